#include "registry/MacText.h"

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<quint8> MacText::parseBox(QStringView box) {
    int value = 0;
    for (const QChar c : box) {
        const int digit = hexValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + digit;
        if (value > 0xFF) {
            return std::nullopt;
        }
    }
    return static_cast<quint8>(value);
}

MacText::Bytes MacText::fromText(QStringView text) {
    Bytes bytes{};
    for (int k = 0; k < 6; ++k) {
        int value = 0;
        for (qsizetype i = 3 * k; i < 3 * k + 2 && i < text.size(); ++i) {
            const int digit = hexValue(text[i]);
            if (digit < 0) {
                break;
            }
            value = value * 16 + digit;
        }
        bytes[static_cast<size_t>(k)] = static_cast<quint8>(value);
    }
    return bytes;
}

QString MacText::toText(const Bytes& bytes, bool upperCase) {
    QString out;
    for (size_t k = 0; k < bytes.size(); ++k) {
        if (k > 0) {
            out += u'-';
        }
        QString pair = QStringLiteral("%1").arg(bytes[k], 2, 16, QLatin1Char('0'));
        out += upperCase ? pair.toUpper() : pair;
    }
    return out;
}

bool MacText::isZero(const Bytes& bytes) {
    for (const quint8 b : bytes) {
        if (b != 0) {
            return false;
        }
    }
    return true;
}

std::optional<QString> MacText::normalised(QStringView text) {
    if (text.isEmpty()) {
        return QString();
    }
    if (text.size() != 17) {
        return std::nullopt;
    }
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (i % 3 == 2) {
            if (c != u'-' && c != u':') {
                return std::nullopt;
            }
            out += u'-';
        } else {
            if (hexValue(c) < 0) {
                return std::nullopt;
            }
            out += c;
        }
    }
    return out;
}
