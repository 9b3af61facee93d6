#pragma once

#include <QtGlobal>

class QMenu;
class QMenuBar;
class QWidget;

// Replaces "number;text" placeholders of layouts with catalog texts of a group.

// Items by position, descending into submenus; actions, ids and submenus stay.
void LocaliseMenu(quint32 group, QMenu* menu);
void LocaliseMenu(quint32 group, QMenuBar* menuBar);

// The title and the texts of the direct child controls (labels, buttons, group boxes);
// children of children are not visited. Without a loaded catalog it does nothing.
void LocaliseDialog(quint32 group, QWidget* dialog);
