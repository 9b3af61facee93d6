#pragma once

#include <functional>

class QMainWindow;

// View > Language: English or Simplified Chinese, remembered for later starts. The menus change
// at once (relocalise is called after the new catalog is loaded); windows opened afterwards
// follow, and the user is told that the rest follows at the next start.
void AddLanguageMenu(QMainWindow* frame, std::function<void()> relocalise);
