#pragma once

#include "i18n/Catalog.h"
#include "i18n/CatalogId.h"

#include <QString>
#include <QStringList>

#include <memory>

// The process-wide catalog: chosen and loaded once at start-up, read from any thread.
// The marker files GETENG and GETSCH in the current folder are looked for on every lookup.

inline const QString kNoMessageCatalog = QStringLiteral("No Message Catalog");
inline constexpr int kCatalogBufferSize = 1024;

// 0 when a catalog was loaded, -1 otherwise.
int LoadCatalog();
void UnloadCatalog();
bool IsCatalogLoaded();

// The text without its line break, inserts filled, cut to what a buffer of bufferSize
// bytes holds; "No Message Catalog" when no catalog is loaded or no language has the text.
QString CatalogText(quint32 group, quint32 number, const QStringList& inserts = {},
                    int bufferSize = kCatalogBufferSize);
QString CatalogText(CatalogId id, const QStringList& inserts = {});

// The language id of the system locale: 2052 for Simplified Chinese, 1033 otherwise.
quint32 SystemLanguageId();

// Where LoadCatalog looks, in order: the executable's folder, then the install's data folder.
QStringList CatalogSearchPath();

// The lookup itself, for a given catalog and environment.
struct CatalogEnvironment final {
    quint32 systemLanguage = Catalog::kEnglish;
    bool forceEnglish = false; // GETENG exists
    bool forceChinese = false; // GETSCH exists

    static CatalogEnvironment current();
    // The language whose texts a lookup prefers: GETSCH, then GETENG, then the system's.
    [[nodiscard]] quint32 language() const;
};

// The language the loaded catalog's texts are looked up in now.
quint32 CatalogLanguageId();
QString LookUpText(const Catalog* catalog, const CatalogEnvironment& env, quint32 group, quint32 number,
                   const QStringList& inserts, int bufferSize = kCatalogBufferSize);

// The language chosen by the user (0 follows the locale); the marker files still win over it.
// LoadCatalog picks the catalog by it, so load again after choosing.
void SetChosenLanguageId(quint32 language);

// For tests and tools: replace the search path or the language that the locale gives.
void SetCatalogSearchPathForTesting(const QStringList& dirs);
void SetSystemLanguageIdForTesting(quint32 language); // 0 restores the locale's
// Makes catalog the loaded one (nullptr unloads).
void InstallCatalogForTesting(std::shared_ptr<const Catalog> catalog);
