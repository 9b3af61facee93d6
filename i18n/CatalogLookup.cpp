#include "i18n/CatalogLookup.h"

#include "common/InstallLayout.h"
#include "i18n/MessageFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>

#include <atomic>

namespace {

QMutex g_mutex;
std::shared_ptr<const Catalog> g_catalog;
QStringList g_searchPathOverride;
std::atomic<quint32> g_languageOverride{0};

std::shared_ptr<const Catalog> loadedCatalog() {
    QMutexLocker lock(&g_mutex);
    return g_catalog;
}

} // namespace

quint32 SystemLanguageId() {
    if (const quint32 forced = g_languageOverride.load()) {
        return forced;
    }
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::Chinese && locale.script() != QLocale::TraditionalChineseScript &&
        locale.territory() != QLocale::Taiwan && locale.territory() != QLocale::HongKong &&
        locale.territory() != QLocale::Macao) {
        return Catalog::kSimplifiedChinese;
    }
    return Catalog::kEnglish;
}

QStringList CatalogSearchPath() {
    {
        QMutexLocker lock(&g_mutex);
        if (!g_searchPathOverride.isEmpty()) {
            return g_searchPathOverride;
        }
    }
    QStringList dirs;
    const QString exeDir = InstallLayout::executableDir();
    if (!exeDir.isEmpty()) {
        dirs << exeDir;
        // A package may be installed under another prefix than the one the build assumed.
        dirs << InstallLayout::dataDirFor(exeDir);
    }
    dirs << QStringLiteral(TESSAVEL_DATADIR);
    dirs.removeDuplicates();
    return dirs;
}

CatalogEnvironment CatalogEnvironment::current() {
    CatalogEnvironment env;
    env.systemLanguage = SystemLanguageId();
    env.forceEnglish = QFileInfo::exists(QStringLiteral("GETENG"));
    env.forceChinese = QFileInfo::exists(QStringLiteral("GETSCH"));
    return env;
}

quint32 CatalogEnvironment::language() const {
    if (forceChinese) {
        return Catalog::kSimplifiedChinese;
    }
    return forceEnglish ? Catalog::kEnglish : systemLanguage;
}

quint32 CatalogLanguageId() {
    return CatalogEnvironment::current().language();
}

int LoadCatalog() {
    const CatalogEnvironment env = CatalogEnvironment::current();
    const QString name = (env.systemLanguage == Catalog::kSimplifiedChinese || env.forceChinese)
                             ? QStringLiteral("Pellaticsc.cat")
                             : QStringLiteral("Pellatic.cat");
    for (const QString& dir : CatalogSearchPath()) {
        const QString path = QDir(dir).filePath(name);
        if (!QFileInfo::exists(path)) {
            continue;
        }
        if (auto catalog = Catalog::fromFile(path)) {
            InstallCatalogForTesting(std::make_shared<const Catalog>(std::move(*catalog)));
            return 0;
        }
    }
    return -1;
}

void UnloadCatalog() {
    InstallCatalogForTesting(nullptr);
}

bool IsCatalogLoaded() {
    return loadedCatalog() != nullptr;
}

QString LookUpText(const Catalog* catalog, const CatalogEnvironment& env, quint32 group, quint32 number,
                   const QStringList& inserts, int bufferSize) {
    if (catalog == nullptr) {
        return kNoMessageCatalog;
    }
    const quint32 language = env.forceEnglish ? Catalog::kEnglish : env.systemLanguage;
    std::optional<QString> text = catalog->stored(language, group, number);
    if (env.forceChinese) {
        text = catalog->stored(Catalog::kSimplifiedChinese, group, number);
    }
    if (!text) {
        text = catalog->stored(Catalog::kEnglish, group, number);
    }
    if (!text) {
        return kNoMessageCatalog;
    }
    QString result = MessageFormat::format(*text, inserts);
    // Every stored text ends with its line break; a text shorter than that reads as empty.
    result.chop(2);
    const int room = qMax(0, bufferSize - 1);
    if (result.size() > room) {
        result.truncate(room);
    }
    return result;
}

QString CatalogText(quint32 group, quint32 number, const QStringList& inserts, int bufferSize) {
    const auto catalog = loadedCatalog();
    return LookUpText(catalog.get(), CatalogEnvironment::current(), group, number, inserts, bufferSize);
}

QString CatalogText(CatalogId id, const QStringList& inserts) {
    return CatalogText(id.group, id.number, inserts);
}

void SetCatalogSearchPathForTesting(const QStringList& dirs) {
    QMutexLocker lock(&g_mutex);
    g_searchPathOverride = dirs;
}

void SetChosenLanguageId(quint32 language) {
    g_languageOverride.store(language);
}

void SetSystemLanguageIdForTesting(quint32 language) {
    g_languageOverride.store(language);
}

void InstallCatalogForTesting(std::shared_ptr<const Catalog> catalog) {
    QMutexLocker lock(&g_mutex);
    g_catalog = std::move(catalog);
}
