#pragma once

#include <QList>
#include <QString>
#include <QtCore/qnamespace.h>

// The laid-out menus, toolbar, accelerators and command prompts of the main window,
// with their numbered placeholders as a translator sees them.
namespace MenuLayout {

struct Item {
    int id = 0; // 0: separator
    const char* text = nullptr;
};
struct Popup {
    const char* text = nullptr;
    QList<Item> items;
};
struct Accelerator {
    int id = 0;
    QKeyCombination keys;
};

const QList<Popup>& mainMenu();
const QList<int>& toolbar(); // 0: separator
const QList<Accelerator>& accelerators();
// "prompt\ntooltip" as laid out, or empty when a command has none.
QString promptString(int id);

struct Prompt {
    QString statusTip;
    QString toolTip;
};
// A prompt that reads "%d;%s" becomes catalog text (53, number) for both; otherwise the
// status tip is the prompt as it stands and the tool tip the part after the line break.
Prompt promptFor(int id);

} // namespace MenuLayout
