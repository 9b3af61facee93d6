#pragma once

class QMainWindow;

// Adds the View menu with its History entry in front of the window's last menu (Help). The
// window opened from it reads the history file of the user's data folder.
void AddHistoryMenu(QMainWindow* frame);
