#include "ConsoleCommands.h"
#include "CtlCommands.h"
#include "history/HistoryStore.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/Ipv4.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

// "2026-12-01" (the start of that local day) or a full ISO date and time.
QDateTime parseSince(const QString& text) {
    if (const QDate d = QDate::fromString(text, Qt::ISODate); d.isValid()) {
        return d.startOfDay();
    }
    return QDateTime::fromString(text, Qt::ISODate);
}

} // namespace

int RunHistoryCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    HistoryFilter filter;
    bool json = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--json") {
            json = true;
        } else if (a == u"--since" || a == u"--projector") {
            if (i + 1 >= args.size()) {
                err << CatalogText(msg::CtlMissingValue, {a}) << '\n'
                    << CatalogText(msg::CtlHistoryUsage) << '\n';
                return CtlExit::BadUsage;
            }
            const QString v = args[++i];
            if (a == u"--since") {
                filter.since = parseSince(v);
                if (!filter.since.isValid()) {
                    err << CatalogText(msg::CtlBadDate, {v}) << '\n';
                    return CtlExit::BadUsage;
                }
            } else {
                Ipv4::Octets o{};
                if (ParseDottedAddress(v, o) != 0) {
                    err << CatalogText(msg::CtlBadAddress, {v}) << '\n';
                    return CtlExit::BadUsage;
                }
                filter.address = Ipv4::toText(o);
            }
        } else {
            err << CatalogText(msg::CtlUnknownOption, {a}) << '\n'
                << CatalogText(msg::CtlHistoryUsage) << '\n';
            return CtlExit::BadUsage;
        }
    }
    const std::optional<HistoryRecords> rows = HistoryStore::query(HistoryStore::defaultPath(), filter);
    if (!rows) {
        err << CatalogText(msg::HistoryReadFailed) << '\n';
        return CtlExit::BadUsage;
    }
    QJsonArray array;
    for (const HistoryRecord& r : *rows) {
        const QString time = r.time.toLocalTime().toString(Qt::ISODate);
        if (json) {
            QJsonObject o{{u"time"_qs, time},         {u"user"_qs, r.user},     {u"name"_qs, r.projectorName},
                          {u"address"_qs, r.address}, {u"mac"_qs, r.mac},       {u"command"_qs, r.command},
                          {u"store"_qs, r.store},     {u"result"_qs, r.result}, {u"ok"_qs, r.ok},
                          {u"text"_qs, r.resultText}, {u"took_ms"_qs, r.tookMs}};
            if (!r.fileName.isEmpty()) {
                o.insert(u"path"_qs, r.filePath);
                o.insert(u"file"_qs, r.fileName);
                o.insert(u"length"_qs, r.fileLength);
                o.insert(u"sha256"_qs, r.sha256);
            }
            array.append(o);
            continue;
        }
        out << time << '\t' << OneLine(r.user) << '\t' << OneLine(r.projectorName) << '\t' << r.address
            << '\t' << r.command << '\t' << r.store << '\t' << OneLine(r.fileName) << '\t' << r.result << '\t'
            << OneLine(r.resultText) << '\t' << r.tookMs << '\n';
    }
    if (json) {
        PrintJson(out, array);
    }
    return CtlExit::Ok;
}
