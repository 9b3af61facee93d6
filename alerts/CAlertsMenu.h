#pragma once

class AlertCenter;
class CAlertNotifier;
class CBoardDock;
class QMainWindow;

// Puts Alerts into the window's View menu, feeds the board's polls to the alerts and tells
// the desktop of each one (notifications and the tray). The notifier lives with the window.
CAlertNotifier* AddAlerts(QMainWindow* frame, AlertCenter& alerts, CBoardDock* board);
