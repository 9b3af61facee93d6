#include "common/TextCodec.h"

#include <array>
#include <cerrno>

#include <iconv.h>

namespace {

// Bytes 0x80 to 0x9F; every other byte is the code point of the same number.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

QString decode1252(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(QChar(b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : char16_t{b}));
    }
    return out;
}

std::optional<QByteArray> encode1252(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        bool found = false;
        for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
            if (kCp1252High[i] == u) {
                out.append(static_cast<char>(0x80 + i));
                found = true;
                break;
            }
        }
        if (!found) {
            return std::nullopt;
        }
    }
    return out;
}

// The platform's converter for the multi-byte code page; one handle per call keeps it
// usable from any thread.
class Iconv final {
public:
    Iconv(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) {
            iconv_close(m_handle);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    [[nodiscard]] bool valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; stops at a sequence it cannot convert and says why.
    int step(const char*& in, std::size_t& inLeft, QByteArray& out) {
        char buffer[4096];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        char* src = const_cast<char*>(in); // iconv's signature; it does not write the input
        const std::size_t r = iconv(m_handle, &src, &inLeft, &dst, &dstLeft);
        const int error = r == static_cast<std::size_t>(-1) ? errno : 0;
        in = src;
        out.append(buffer, static_cast<qsizetype>(dst - buffer));
        return error;
    }

private:
    iconv_t m_handle;
};

QString decodeGbk(QByteArrayView bytes) {
    Iconv cd("UTF-8", "GBK");
    QByteArray utf8;
    utf8.reserve(bytes.size() * 3 / 2);
    const char* in = bytes.data();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        if (!cd.valid()) {
            // Without the converter only ASCII can be read for sure.
            const auto b = static_cast<unsigned char>(*in);
            utf8.append(b < 0x80 ? QByteArray(1, *in) : QByteArray(kReplacementUtf8));
            ++in;
            --left;
            continue;
        }
        const int error = cd.step(in, left, utf8);
        if (error == E2BIG || error == 0) {
            continue;
        }
        // An undefined byte or an incomplete pair: one replacement for its first byte, and
        // the next byte is read afresh (a lead byte before a line break keeps the break).
        utf8.append(kReplacementUtf8);
        ++in;
        --left;
    }
    return QString::fromUtf8(utf8);
}

std::optional<QByteArray> encodeGbk(QStringView text) {
    Iconv cd("GBK", "UTF-8");
    if (!cd.valid()) {
        return std::nullopt;
    }
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    const char* in = utf8.constData();
    std::size_t left = static_cast<std::size_t>(utf8.size());
    while (left > 0) {
        const int error = cd.step(in, left, out);
        if (error != 0 && error != E2BIG) {
            return std::nullopt;
        }
    }
    return out;
}

bool hasUnpairedSurrogate(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return true;
        }
    }
    return false;
}

} // namespace

bool TextCodec::isValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            if (b == 0xE0) {
                lo = 0xA0; // overlong
            } else if (b == 0xED) {
                hi = 0x9F; // surrogates
            }
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            if (b == 0xF0) {
                lo = 0x90;
            } else if (b == 0xF4) {
                hi = 0x8F; // above U+10FFFF
            }
        } else {
            return false;
        }
        if (i + more >= n) {
            return false; // cut short at the end
        }
        if (p[i + 1] < lo || p[i + 1] > hi) {
            return false;
        }
        for (int k = 2; k <= more; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF) {
                return false;
            }
        }
        i += more + 1;
    }
    return true;
}

TextCodec::Encoding TextCodec::detect(QByteArrayView bytes, Encoding legacy) {
    return isValidUtf8(bytes) ? Encoding::Utf8 : legacy;
}

QString TextCodec::decode(QByteArrayView bytes, Encoding encoding) {
    switch (encoding) {
    case Encoding::Windows1252:
        return decode1252(bytes);
    case Encoding::Gbk:
        return decodeGbk(bytes);
    case Encoding::Utf8:
        break;
    }
    return QString::fromUtf8(bytes);
}

std::optional<QByteArray> TextCodec::encode(QStringView text, Encoding encoding) {
    if (encoding == Encoding::Utf8) {
        if (!hasUnpairedSurrogate(text)) {
            return text.toUtf8();
        }
        QString clean = text.toString();
        for (qsizetype i = 0; i < clean.size(); ++i) {
            if (clean[i].isHighSurrogate() && i + 1 < clean.size() && clean[i + 1].isLowSurrogate()) {
                ++i;
            } else if (clean[i].isSurrogate()) {
                clean[i] = QChar::ReplacementCharacter;
            }
        }
        return clean.toUtf8();
    }
    if (hasUnpairedSurrogate(text)) {
        return std::nullopt;
    }
    switch (encoding) {
    case Encoding::Windows1252:
        return encode1252(text);
    case Encoding::Gbk:
        return encodeGbk(text);
    case Encoding::Utf8:
        break;
    }
    return text.toUtf8();
}

QString TextCodec::name(Encoding encoding) {
    switch (encoding) {
    case Encoding::Windows1252:
        return QStringLiteral("Windows-1252");
    case Encoding::Gbk:
        return QStringLiteral("GBK");
    case Encoding::Utf8:
        break;
    }
    return QStringLiteral("UTF-8");
}
