#include "i18n/CLocalise.h"

#include "i18n/CatalogLookup.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

constexpr const char* kGroupProperty = "catalogGroup";
constexpr const char* kNumberProperty = "catalogNumber";

void relocalise(const QList<QAction*>& actions) {
    for (QAction* action : actions) {
        const QVariant group = action->property(kGroupProperty);
        const QVariant number = action->property(kNumberProperty);
        if (group.isValid() && number.isValid()) {
            action->setText(CatalogText(group.toUInt(), number.toUInt()));
        }
        if (QMenu* sub = action->menu()) {
            relocalise(sub->actions());
        }
    }
}

} // namespace

void SetCatalogText(QAction* action, CatalogId id) {
    action->setProperty(kGroupProperty, id.group);
    action->setProperty(kNumberProperty, id.number);
    action->setText(CatalogText(id));
}

void RelocaliseMenuBar(QMenuBar* menuBar) {
    if (menuBar != nullptr) {
        relocalise(menuBar->actions());
    }
}
