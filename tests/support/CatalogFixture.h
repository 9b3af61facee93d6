#pragma once

#include "i18n/Catalog.h"
#include "i18n/CatalogLookup.h"

#include <QFile>

#include <memory>

// Installs the shipped catalogs (or none) for one test and restores the state after it.
class ShippedCatalog final {
public:
    enum class Which { Default, SimplifiedChinese, None };

    explicit ShippedCatalog(Which which = Which::Default, quint32 systemLanguage = Catalog::kEnglish) {
        SetSystemLanguageIdForTesting(systemLanguage);
        if (which == Which::None) {
            InstallCatalogForTesting(nullptr);
            return;
        }
        const QString path =
            QStringLiteral(TESSAVEL_BUILD_DIR) +
            (which == Which::Default ? QStringLiteral("/Pellatic.cat") : QStringLiteral("/Pellaticsc.cat"));
        auto catalog = Catalog::fromFile(path);
        if (catalog) {
            InstallCatalogForTesting(std::make_shared<const Catalog>(std::move(*catalog)));
        }
    }
    ~ShippedCatalog() {
        InstallCatalogForTesting(nullptr);
        SetSystemLanguageIdForTesting(0);
    }
    ShippedCatalog(const ShippedCatalog&) = delete;
    ShippedCatalog& operator=(const ShippedCatalog&) = delete;
};
