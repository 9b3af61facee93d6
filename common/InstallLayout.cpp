#include "common/InstallLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef TESSAVEL_BIN_TO_DATA
#error "TESSAVEL_BIN_TO_DATA names the data folder relative to the binary folder"
#endif

namespace {
const QString kCatalog = QStringLiteral("Pellatic.cat");
} // namespace

QString InstallLayout::dataDirFor(const QString& binDir) {
    return QDir::cleanPath(QDir(binDir).filePath(QStringLiteral(TESSAVEL_BIN_TO_DATA "/tessavel")));
}

bool InstallLayout::isInstalledBinDir(const QString& binDir) {
    if (binDir.isEmpty() || QFileInfo::exists(QDir(binDir).filePath(kCatalog))) {
        return false;
    }
    return QFileInfo::exists(QDir(dataDirFor(binDir)).filePath(kCatalog));
}

QString InstallLayout::executableDir() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
#ifdef Q_OS_LINUX
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
#else
    return {};
#endif
}
