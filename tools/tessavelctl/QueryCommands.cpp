#include "ColumnText.h"
#include "CtlCommands.h"
#include "CtlHistory.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CancelCommand.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/TransStateQuery.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>

#include <thread>
#include <vector>

namespace {

struct Row {
    quint32 address = 0;
    int result = -1;
    bool ok = false;
    QString text;
    QString file; // INFO with an image
    QString length;
    QDateTime started;
    qint64 tookMs = 0;
};

Row runOne(const QString& command, int store, const CommandTarget& target, const CommandContext& context) {
    Row row;
    row.address = target.address;
    row.started = QDateTime::currentDateTimeUtc();
    QElapsedTimer took;
    took.start();
    if (command == u"info") {
        const StoreInfo s = QueryStoreInfo(store, target, context);
        row.result = s.result;
        row.ok = s.result >= 0;
        row.text = s.result == 2 ? s.size : s.name;
        if (s.result == 2) {
            row.file = s.name;
            row.length = s.lengthText;
        }
    } else if (command == u"stat") {
        const StoreText s = QueryStoreState(store, target, context);
        row.result = s.result;
        row.ok = s.result == 0;
        row.text = s.text;
    } else {
        const StoreText s = CancelStoreTransmission(store, target, context);
        row.result = s.result;
        row.ok = s.result == 0;
        row.text = s.text;
    }
    row.tookMs = took.elapsed();
    return row;
}

} // namespace

int RunQueryCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    // INFO knows the four stores; STAT and CANCEL also the temporary numbers 5 to 8.
    QList<quint32> addresses;
    if (!options.storeIn(1, options.command == u"info" ? 4 : 8, err) ||
        !options.addresses(0, addresses, err)) {
        return CtlExit::BadUsage;
    }
    ProjectorList list;
    if (!options.loadProjectors(list, err)) {
        return CtlExit::BadUsage;
    }
    const CommandContext context = options.context();
    // One connection per projector, side by side: a projector that does not answer holds
    // up only its own line.
    std::vector<Row> rows(static_cast<size_t>(addresses.size()));
    std::vector<std::thread> workers;
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        const CommandTarget target = options.targetFor(addresses[i], list);
        workers.emplace_back([&rows, i, target, &options, &context] {
            rows[static_cast<size_t>(i)] = runOne(options.command, options.store, target, context);
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    CtlHistory history(list, options.historyLimits());
    bool allOk = true;
    QJsonArray json;
    ColumnText table({CatalogText(msg::HistoryColumnAddress), CatalogText(msg::CtlColumnCode),
                      CatalogText(msg::HistoryColumnFile), CatalogText(msg::CtlColumnMessage)});
    for (const Row& r : rows) {
        allOk = allOk && r.ok;
        history.record(options.command, options.store, r.address, r.result, r.ok,
                       r.file.isEmpty() ? r.text : r.file + u' ' + r.length, r.started, r.tookMs);
        if (options.json) {
            QJsonObject o{
                {u"address"_qs, Ipv4::toText(r.address)}, {u"result"_qs, r.result}, {u"text"_qs, r.text}};
            if (!r.file.isEmpty()) {
                o.insert(u"file"_qs, r.file);
                o.insert(u"length"_qs, r.length);
            }
            json.append(o);
            continue;
        }
        table.addRow({Ipv4::toText(r.address), QString::number(r.result), r.file, r.text});
    }
    if (!options.json) {
        table.write(out);
    }
    if (options.json) {
        PrintJson(out, json);
    }
    history.finish(err);
    return allOk ? CtlExit::Ok : CtlExit::ProjectorFailed;
}
