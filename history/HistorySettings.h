#pragma once

#include "history/HistoryStore.h"

#include <QString>

// Where the history's limits come from: the program's INI file, section [History], keys
// MaxRecords and MaxMegabytes (0: no limit of that kind). A missing file, section or key,
// or a value that is not a whole number, leaves that limit at its default.
class HistorySettings final {
public:
    static HistoryLimits fromIni(const QString& iniPath);
    // Reads the same keys from INI text; the file's reader and tests share it.
    static HistoryLimits fromIniText(const QByteArray& text);
};
