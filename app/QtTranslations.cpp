#include "app/QtTranslations.h"

#include "i18n/Catalog.h"
#include "i18n/CatalogNumber.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace {

QPointer<QTranslator> g_installed;

} // namespace

QString QtTranslations::folder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool QtTranslations::install(quint32 language) {
    if (g_installed) {
        QCoreApplication::removeTranslator(g_installed);
        delete g_installed;
    }
    // Spin boxes, date fields and Qt's dialogs format numbers the way our texts do.
    QLocale::setDefault(CatalogNumber::localeFor(language));
    if (language != Catalog::kSimplifiedChinese) {
        return true;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder())) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    g_installed = translator;
    return true;
}
