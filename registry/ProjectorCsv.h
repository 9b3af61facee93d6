#pragma once

#include "i18n/CatalogId.h"
#include "registry/ProjectorRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The projector list as a CSV file: a header row, then name, MAC, IP, authentication and
// password per row, UTF-8. Cells a spreadsheet would run as formulas are written behind an
// apostrophe (SpreadsheetCell), which import takes away again. Import is worked out as a plan first and
// written only when the user takes it.
namespace ProjectorCsv {

inline constexpr qint64 kMaxFileSize = 1024 * 1024;

QByteArray write(const ProjectorList& list);

enum class Outcome {
    New,
    Replaces,
    BadAddress,
    BadMac,
    NameTooLong,
    PasswordTooLong,
    BadAuth,
    Columns,
    ControlCharacter,
    ListFull,
    InvisibleCharacter, // a name with bidirectional or zero-width characters
};

struct Row final {
    int line = 0; // 1-based row of the file, the header counted
    Outcome outcome = Outcome::Columns;
    ProjectorRecord record;
    QString clash; // another record with the same address or MAC, as the projector form says it

    [[nodiscard]] bool accepted() const { return outcome == Outcome::New || outcome == Outcome::Replaces; }
    // The preview line the user reads.
    [[nodiscard]] CatalogId text() const;
    [[nodiscard]] QStringList inserts() const;
};

struct Plan final {
    bool readable = false; // false: not UTF-8 text, or too large
    QList<Row> rows;
    ProjectorList result; // the list as it would be after the import
    [[nodiscard]] int acceptedCount() const;
};

// Plans importing data into current. Never more than 256 records result.
Plan plan(QByteArrayView data, const ProjectorList& current);

// Splits CSV text into rows of fields: quotes around a field may hold commas, quotes
// (doubled) and line breaks; rows end at LF or CRLF.
QList<QStringList> splitRows(QStringView text);

} // namespace ProjectorCsv
