#include "i18n/CLocalise.h"

#include "i18n/CatalogLookup.h"
#include "i18n/Placeholder.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

namespace {

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
