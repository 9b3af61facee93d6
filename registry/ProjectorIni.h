#pragma once

#include "common/TextCodec.h"
#include "registry/ProjectorRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The projector list's INI text, read and written in memory. Files copied from the original
// platform arrive in its legacy code page; they are read in it and written back in it.
class ProjectorIni final {
public:
    ProjectorIni() = delete;

    struct Parsed {
        bool ok = false;
        ProjectorList list;
        TextCodec::Encoding encoding = TextCodec::Encoding::Utf8;
    };

    struct AuthValues {
        QString password;
        int authOff = 0;
    };

    struct Rendered {
        bool ok = false;
        QByteArray bytes;
        TextCodec::Encoding encoding = TextCodec::Encoding::Utf8; // what bytes is in
        // The text was in a legacy code page that could not hold a new value (or whose bytes
        // would have read back as UTF-8), so the whole text was turned into UTF-8: programs
        // that expect the code page must be told.
        bool changedToUtf8 = false;
        TextCodec::Encoding previous = TextCodec::Encoding::Utf8;
    };

    // UTF-8 when the text is valid UTF-8, otherwise legacy. At most 256 records.
    static Parsed parse(QByteArrayView text, TextCodec::Encoding legacy);

    // The text with the list section (when list is given) and the authentication section
    // (when auth is given) rewritten; every other section, key and value keeps its bytes, and
    // so does a value whose text did not change.
    static Rendered render(QByteArrayView existing, TextCodec::Encoding legacy, const ProjectorList* list,
                           const AuthValues* auth);

    // The profile reader's rule: one pair of surrounding double quotes is dropped.
    static QByteArray unquote(QByteArrayView raw);
    // The form to write so that the reader gives back exactly text: inside one pair of quotes
    // when it starts or ends with a quote or a blank (which the reader would drop).
    static QString quoteForWrite(const QString& text);

    // The legacy code page that a catalog language implies.
    static TextCodec::Encoding legacyEncodingFor(quint32 languageId);

    // A password as a file in that encoding holds it, which is what the projector it was set
    // on hashes; UTF-8 when the code page cannot write it.
    static QByteArray passwordBytes(const QString& password, TextCodec::Encoding encoding);
};
