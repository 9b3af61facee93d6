#pragma once

#include "i18n/CatalogId.h"

#include <QList>
#include <QString>
#include <QtCore/qnamespace.h>

// The laid-out menus, toolbar, accelerators and command prompts of the main window, with
// the catalog texts that name them.
namespace MenuLayout {

struct Item {
    int id = 0; // 0: separator
    CatalogId text;
};
struct Popup {
    CatalogId title;
    QList<Item> items;
};
struct Accelerator {
    int id = 0;
    QKeyCombination keys;
};

const QList<Popup>& mainMenu();
const QList<int>& toolbar(); // 0: separator
const QList<Accelerator>& accelerators();
struct Prompt {
    QString statusTip;
    QString toolTip;
};
// The command's prompt, one catalog text for both tips; empty when the command has none.
Prompt promptFor(int id);

} // namespace MenuLayout
