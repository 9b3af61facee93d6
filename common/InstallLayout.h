#pragma once

#include <QString>

// Where an installed program keeps its data relative to its binary folder, so a package
// installed under any prefix finds its catalogs without a path baked in at build time.
class InstallLayout final {
public:
    InstallLayout() = delete;

    // The program's data folder for a binary folder, e.g. /usr/bin -> /usr/share/tessavel.
    static QString dataDirFor(const QString& binDir);

    // True when binDir is an installed program's binary folder: its data folder holds the
    // catalogs and nothing sits beside the programs. Such a folder is a shared system
    // folder and never the place for a user's files, even when the user may write to it.
    static bool isInstalledBinDir(const QString& binDir);

    // The folder of the running executable, also before any application object exists.
    static QString executableDir();
};
