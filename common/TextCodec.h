#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// The encodings that text files from other machines arrive in: UTF-8, or the legacy code page
// of the machine that wrote them (Windows-1252 for Western names, GBK for Chinese ones).
class TextCodec final {
public:
    enum class Encoding { Utf8, Windows1252, Gbk };

    TextCodec() = delete;

    // Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
    static bool isValidUtf8(QByteArrayView bytes);

    // UTF-8 when the bytes are valid UTF-8, otherwise the given legacy code page.
    static Encoding detect(QByteArrayView bytes, Encoding legacy);

    // Bytes that the encoding does not define each read as U+FFFD. Windows-1252 defines all
    // 256 bytes (the five unassigned ones read as the C1 controls of the same number), so it
    // round-trips any bytes.
    static QString decode(QByteArrayView bytes, Encoding encoding);

    // Nothing when a legacy code page cannot write a character of the text (including an
    // unpaired surrogate, or U+FFFD standing for bytes that were unreadable). UTF-8 writes
    // every text; an unpaired surrogate becomes U+FFFD.
    static std::optional<QByteArray> encode(QStringView text, Encoding encoding);

    static QString name(Encoding encoding);
};
