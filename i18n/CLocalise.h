#pragma once

#include "i18n/CatalogId.h"

#include <QtGlobal>

class QAction;
class QMenuBar;

// Sets an action's text (a menu's title through its menu action) from the catalog and keeps
// which text it is on the action, so that RelocaliseMenuBar can set it again in another language.
void SetCatalogText(QAction* action, CatalogId id);

// Sets again every text that SetCatalogText gave the menu bar's menus and their items.
void RelocaliseMenuBar(QMenuBar* menuBar);
