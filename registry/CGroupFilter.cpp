#include "registry/CGroupFilter.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QComboBox>
#include <QSignalBlocker>

void FillGroupFilter(QComboBox& combo, const QStringList& groupNames) {
    const QString chosen = combo.currentData().toString();
    const QSignalBlocker quiet(&combo);
    combo.clear();
    combo.addItem(CatalogText(msg::GroupFilterAll), QString());
    for (const QString& name : groupNames) {
        combo.addItem(VisibleText::shown(name), name);
    }
    const int at = chosen.isEmpty() ? 0 : combo.findData(chosen);
    combo.setCurrentIndex(qMax(0, at));
}
