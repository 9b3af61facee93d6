#pragma once

#include "common/IoResult.h"

#include <QByteArray>
#include <QString>

// Files that may hold passwords: written whole or not at all, readable by the owner only.
class PrivateFile final {
public:
    // Writes through a temporary file in the same folder and a rename, mode 0600.
    static IoResult write(const QString& path, const QByteArray& data);

    // Reads at most maxBytes; a longer file is refused rather than half read.
    static IoResult read(const QString& path, qint64 maxBytes, QByteArray& out);
};
