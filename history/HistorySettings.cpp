#include "history/HistorySettings.h"

#include "common/PrivateFile.h"

#include <SimpleIni.h>

#include <limits>

namespace {

constexpr qint64 kMaxIniBytes = 4 * 1024 * 1024;
constexpr qint64 kMaxMegabytes = qint64{1} << 30; // keeps the byte count far from overflow

void readNumber(const CSimpleIniA& ini, const char* key, qint64 most, qint64& out) {
    const char* raw = ini.GetValue("History", key, nullptr);
    if (raw == nullptr) {
        return;
    }
    bool ok = false;
    const qint64 n = QByteArray(raw).trimmed().toLongLong(&ok);
    if (ok && n >= 0 && n <= most) {
        out = n;
    }
}

} // namespace

HistoryLimits HistorySettings::fromIniText(const QByteArray& text) {
    HistoryLimits limits;
    CSimpleIniA ini(false, true, false);
    if (ini.LoadData(text.constData(), static_cast<size_t>(text.size())) < 0) {
        return limits;
    }
    readNumber(ini, "MaxRecords", std::numeric_limits<qint64>::max(), limits.maxRecords);
    qint64 megabytes = HistoryLimits::kDefaultMegabytes;
    readNumber(ini, "MaxMegabytes", kMaxMegabytes, megabytes);
    limits.maxBytes = megabytes * 1024 * 1024;
    return limits;
}

HistoryLimits HistorySettings::fromIni(const QString& iniPath) {
    QByteArray text;
    if (!PrivateFile::read(iniPath, kMaxIniBytes, text).ok()) {
        return {};
    }
    return fromIniText(text);
}
