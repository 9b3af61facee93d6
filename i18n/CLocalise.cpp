#include "i18n/CLocalise.h"

#include "i18n/CatalogLookup.h"
#include "i18n/Placeholder.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
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

template <typename W, typename Get, typename Set>
bool replaceIn(QWidget* w, Get get, Set set, quint32 group) {
    auto* typed = qobject_cast<W*>(w);
    if (typed == nullptr) {
        return false;
    }
    if (const auto n = Placeholder::number((typed->*get)())) {
        (typed->*set)(CatalogText(group, static_cast<quint32>(*n)));
    }
    return true;
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

void LocaliseDialog(quint32 group, QWidget* dialog) {
    if (dialog == nullptr || !IsCatalogLoaded()) {
        return;
    }
    if (const auto n = Placeholder::number(dialog->windowTitle())) {
        dialog->setWindowTitle(CatalogText(group, static_cast<quint32>(*n)));
    }
    const auto children = dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        replaceIn<QLabel>(child, &QLabel::text, &QLabel::setText, group) ||
            replaceIn<QAbstractButton>(child, &QAbstractButton::text, &QAbstractButton::setText, group) ||
            replaceIn<QGroupBox>(child, &QGroupBox::title, &QGroupBox::setTitle, group);
    }
}
