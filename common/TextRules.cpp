#include "common/TextRules.h"

#include <limits>

namespace {

template <typename Ch> int parseInt(const Ch* p, qsizetype n) {
    qsizetype i = 0;
    auto at = [&](qsizetype k) { return static_cast<char32_t>(p[k]); };
    while (i < n && (at(i) == ' ' || at(i) == '\t' || at(i) == '\n' || at(i) == '\r' || at(i) == '\v' ||
                     at(i) == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < n && (at(i) == '+' || at(i) == '-')) {
        negative = at(i) == '-';
        ++i;
    }
    long long value = 0;
    constexpr long long limit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < n && at(i) >= '0' && at(i) <= '9'; ++i) {
        value = value * 10 + (at(i) - '0');
        if (value > limit) {
            value = limit;
        }
    }
    if (negative) {
        return static_cast<int>(-value);
    }
    return value >= limit ? std::numeric_limits<int>::max() : static_cast<int>(value);
}

} // namespace

int TextRules::toInt(QStringView text) {
    return parseInt(text.utf16(), text.size());
}

int TextRules::toInt(QByteArrayView text) {
    return parseInt(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

QByteArray TextRules::toField(const QString& text, int fieldSize) {
    QByteArray bytes = text.toUtf8();
    const qsizetype room = fieldSize - 1;
    if (bytes.size() <= room) {
        return bytes;
    }
    qsizetype cut = room;
    // Step back over continuation bytes so the cut lands on a character boundary.
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    bytes.truncate(cut);
    return bytes;
}

QString TextRules::fromField(const char* field, int fieldSize) {
    qsizetype n = 0;
    while (n < fieldSize && field[n] != '\0') {
        ++n;
    }
    return QString::fromUtf8(field, n);
}
