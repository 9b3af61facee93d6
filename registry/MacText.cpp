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

std::optional<MacText::Bytes> MacText::parseWhole(QStringView text) {
    text = text.trimmed();
    // The digits, and where the form puts its joins: after every 2 digits or every 4.
    QString digits;
    QChar join;
    int group = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (hexValue(c) >= 0) {
            digits += c;
            continue;
        }
        if (c != u':' && c != u'-' && c != u'.') {
            return std::nullopt;
        }
        if (join.isNull()) {
            join = c;
            group = static_cast<int>(digits.size());
        }
        // One kind of join, each after a whole group, never at either end.
        if (c != join || (group != 2 && group != 4) || (join == u'.') != (group == 4) || digits.isEmpty() ||
            digits.size() % group != 0 || i + 1 == text.size() || hexValue(text[i + 1]) < 0 ||
            text[i - 1] == join) {
            return std::nullopt;
        }
    }
    if (digits.size() != 12 || (!join.isNull() && text.count(join) != 12 / group - 1)) {
        return std::nullopt;
    }
    Bytes bytes{};
    for (size_t k = 0; k < bytes.size(); ++k) {
        const auto i = static_cast<qsizetype>(2 * k);
        bytes[k] = static_cast<quint8>(hexValue(digits[i]) * 16 + hexValue(digits[i + 1]));
    }
    return bytes;
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
