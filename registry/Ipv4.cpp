#include "registry/Ipv4.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

} // namespace

QString Ipv4::toText(const Octets& o) {
    return QStringLiteral("%1.%2.%3.%4").arg(o[0]).arg(o[1]).arg(o[2]).arg(o[3]);
}

quint32 Ipv4::parseClassic(QByteArrayView text) {
    quint64 parts[4] = {};
    int count = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        if (i >= n || digitValue(text[i], 10) < 0) {
            return kNone; // every part starts with a digit
        }
        int base = 10;
        if (text[i] == '0') {
            base = 8;
            ++i;
            if (i < n && (text[i] == 'x' || text[i] == 'X')) {
                base = 16;
                ++i;
            }
        }
        quint64 value = 0;
        while (i < n && digitValue(text[i], base) >= 0) {
            value = value * base + digitValue(text[i], base);
            if (value > 0xFFFFFFFFull) {
                return kNone;
            }
            ++i;
        }
        if (count == 4) {
            return kNone;
        }
        parts[count++] = value;
        if (i < n && text[i] == '.') {
            ++i;
            continue;
        }
        break;
    }
    for (; i < n; ++i) {
        if (!isBlank(text[i])) {
            return kNone;
        }
    }
    for (int k = 0; k < count - 1; ++k) {
        if (parts[k] > 0xFF) {
            return kNone;
        }
    }
    const quint64 last = parts[count - 1];
    const quint64 lastMax[] = {0xFFFFFFFFull, 0xFFFFFFull, 0xFFFFull, 0xFFull};
    if (last > lastMax[count - 1]) {
        return kNone;
    }
    quint32 host = 0;
    for (int k = 0; k < count - 1; ++k) {
        host |= static_cast<quint32>(parts[k]) << (24 - 8 * k);
    }
    return host | static_cast<quint32>(last);
}

int ParseDottedAddress(QStringView text, Ipv4::Octets& out) {
    Ipv4::Octets octets{};
    int part = 0;
    int value = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'.') {
            if (part > 3 || (i == text.size()) != (part == 3)) {
                return -1;
            }
            octets[part++] = static_cast<quint8>(value);
            value = 0;
            continue;
        }
        if (text[i] < u'0' || text[i] > u'9') {
            return -1;
        }
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > 255) {
            return -1;
        }
    }
    out = octets;
    return 0;
}
