#include "registry/ProjectorCsv.h"

#include "common/SpreadsheetCell.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "registry/MacText.h"
#include "registry/ProjectorClash.h"

#include <QStringDecoder>

namespace {

QString quoted(const QString& field) {
    const bool needs = field.contains(u',') || field.contains(u'"') || field.contains(u'\n') ||
                       field.contains(u'\r') || field.startsWith(u' ') || field.endsWith(u' ');
    if (!needs) {
        return field;
    }
    QString out = field;
    out.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

bool hasControl(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            return true;
        }
    }
    return false;
}

// Four decimal numbers of 0 to 255, none empty, and not 0.0.0.0.
bool parseAddress(const QString& text, Ipv4::Octets& out) {
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.size() != 4) {
        return false;
    }
    for (const QString& p : parts) {
        if (p.isEmpty() || p.size() > 3) {
            return false;
        }
    }
    if (ParseDottedAddress(text.trimmed(), out) != 0) {
        return false;
    }
    return Ipv4::toHost(out) != 0;
}

bool isHeader(const QStringList& fields) {
    return !fields.isEmpty() && fields.first().trimmed().compare(u"name", Qt::CaseInsensitive) == 0;
}

} // namespace

QByteArray ProjectorCsv::write(const ProjectorList& list) {
    QString text = QStringLiteral("name,mac,ip,authentication,password\r\n");
    for (const ProjectorRecord& r : list) {
        const QStringList fields{quoted(SpreadsheetCell::guarded(r.name)),
                                 quoted(SpreadsheetCell::guarded(r.mac)), Ipv4::toText(r.address),
                                 r.authenticate() != 0 ? QStringLiteral("1") : QStringLiteral("0"),
                                 quoted(SpreadsheetCell::guarded(r.password))};
        text += fields.join(u',') + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

QList<QStringList> ProjectorCsv::splitRows(QStringView text) {
    QList<QStringList> rows;
    QStringList fields;
    QString field;
    bool inQuotes = false;
    bool rowHasContent = false;
    auto endRow = [&] {
        if (rowHasContent || !field.isEmpty() || !fields.isEmpty()) {
            fields << field;
            rows << fields;
        }
        fields.clear();
        field.clear();
        rowHasContent = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            inQuotes = true;
            rowHasContent = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
            rowHasContent = true;
        } else if (c == u'\n') {
            endRow();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            // the LF ends the row
        } else {
            field += c;
        }
    }
    endRow();
    return rows;
}

ProjectorCsv::Plan ProjectorCsv::plan(QByteArrayView data, const ProjectorList& current) {
    Plan p;
    p.result = current;
    if (data.size() > kMaxFileSize) {
        return p;
    }
    QByteArrayView body = data;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body = body.sliced(3);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(body);
    if (decoder.hasError() || text.contains(QChar(0))) {
        return p;
    }
    p.readable = true;

    QList<QStringList> rows = splitRows(text);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QStringList& fields = rows[i];
        for (QString& f : fields) {
            f = SpreadsheetCell::unguarded(f);
        }
        if (i == 0 && isHeader(fields)) {
            continue;
        }
        Row row;
        row.line = static_cast<int>(i + 1);
        if (fields.size() != 5) {
            row.outcome = Outcome::Columns;
            p.rows << row;
            continue;
        }
        ProjectorRecord& r = row.record;
        r.name = fields[0];
        r.password = fields[4];
        const QString auth = fields[3].trimmed();
        const std::optional<QString> mac = MacText::normalised(fields[1].trimmed());
        if (hasControl(r.name) || hasControl(r.password)) {
            row.outcome = Outcome::ControlCharacter;
        } else if (VisibleText::containsInvisible(r.name)) {
            // Bidirectional overrides and zero-width characters make one name pass for another.
            row.outcome = Outcome::InvisibleCharacter;
        } else if (r.name.size() > ProjectorRecord::kMaxName) {
            row.outcome = Outcome::NameTooLong;
        } else if (!mac) {
            row.outcome = Outcome::BadMac;
        } else if (!parseAddress(fields[2], r.address)) {
            row.outcome = Outcome::BadAddress;
        } else if (auth != u"0" && auth != u"1" && !auth.isEmpty()) {
            row.outcome = Outcome::BadAuth;
        } else if (r.password.size() > ProjectorRecord::kMaxPassword) {
            row.outcome = Outcome::PasswordTooLong;
        } else {
            r.mac = *mac;
            r.authMark = auth == u"1" ? QStringLiteral("1") : QStringLiteral("0");
            qsizetype same = -1;
            for (qsizetype k = 0; k < p.result.size(); ++k) {
                if (p.result[k].address == r.address) {
                    same = k;
                    break;
                }
            }
            if (const std::optional<ProjectorClash> c = duplicateOf(p.result, r, same)) {
                row.clash = c->text();
            }
            if (same >= 0) {
                row.outcome = Outcome::Replaces;
                p.result[same] = r;
            } else if (p.result.size() >= kMaxProjectors) {
                row.outcome = Outcome::ListFull;
            } else {
                row.outcome = Outcome::New;
                p.result << r;
            }
        }
        p.rows << row;
    }
    return p;
}

int ProjectorCsv::Plan::acceptedCount() const {
    int n = 0;
    for (const Row& r : rows) {
        n += r.accepted() ? 1 : 0;
    }
    return n;
}

CatalogId ProjectorCsv::Row::text() const {
    switch (outcome) {
    case Outcome::New:
        return msg::CsvRowNew;
    case Outcome::Replaces:
        return msg::CsvRowReplaces;
    case Outcome::BadAddress:
        return msg::CsvRowBadAddress;
    case Outcome::BadMac:
        return msg::CsvRowBadMac;
    case Outcome::NameTooLong:
        return msg::CsvRowNameTooLong;
    case Outcome::PasswordTooLong:
        return msg::CsvRowPasswordTooLong;
    case Outcome::BadAuth:
        return msg::CsvRowBadAuth;
    case Outcome::Columns:
        return msg::CsvRowColumns;
    case Outcome::ControlCharacter:
        return msg::CsvRowControlCharacter;
    case Outcome::ListFull:
        return msg::CsvRowListFull;
    case Outcome::InvisibleCharacter:
        return msg::CsvRowInvisibleCharacter;
    }
    return msg::CsvRowColumns;
}

QStringList ProjectorCsv::Row::inserts() const {
    if (accepted()) {
        return {QString::number(line), VisibleText::shown(record.name), Ipv4::toText(record.address)};
    }
    if (outcome == Outcome::InvisibleCharacter) {
        return {QString::number(line), VisibleText::shown(record.name)};
    }
    return {QString::number(line)};
}
