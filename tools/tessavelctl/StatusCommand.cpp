#include "ColumnText.h"
#include "ConsoleCommands.h"
#include "CtlCommands.h"

#include "board/BoardPoller.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "registry/Ipv4.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>

int RunStatusCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    ProjectorList list;
    if (!options.loadProjectors(list, err)) {
        return CtlExit::BadUsage;
    }
    // Named addresses, or a group's, are asked as the list knows them (name, password), or
    // plainly.
    if (!options.group.isEmpty() && !options.operands.isEmpty()) {
        err << CatalogText(msg::CtlGroupAndAddresses) << '\n';
        return CtlExit::BadUsage;
    }
    if (!options.operands.isEmpty() || !options.group.isEmpty()) {
        QList<quint32> addresses;
        if (options.group.isEmpty() ? !options.addresses(0, addresses, err)
                                    : !GroupMembers(options, list, addresses, err)) {
            return CtlExit::BadUsage;
        }
        ProjectorList chosen;
        for (const quint32 a : addresses) {
            ProjectorRecord r;
            r.address = Ipv4::toOctets(a);
            for (const ProjectorRecord& p : list) {
                if (p.hostAddress() == a) {
                    r = p;
                    break;
                }
            }
            const CommandTarget t = options.targetFor(a, list);
            r.authMark = t.authenticate != 0 ? QStringLiteral("1") : QStringLiteral("0");
            r.password = t.password;
            chosen << r;
        }
        list = chosen;
    } else if (options.password || options.noAuth) {
        for (ProjectorRecord& r : list) {
            const CommandTarget t = options.targetFor(r.hostAddress(), list);
            r.authMark = t.authenticate != 0 ? QStringLiteral("1") : QStringLiteral("0");
            r.password = t.password;
        }
    }
    BoardPoller poller(options.context());
    poller.setProjectors(list);
    QEventLoop loop;
    QObject::connect(&poller, &BoardPoller::refreshFinished, &loop, [&] {
        if (!poller.isRefreshing()) {
            loop.quit();
        }
    });
    poller.refresh(true);
    loop.exec();

    bool allReachable = true;
    QJsonArray json;
    QStringList headers{CatalogText(msg::HistoryColumnAddress), CatalogText(msg::HistoryColumnProjector),
                        CatalogText(msg::BoardColumnState), CatalogText(msg::CtlColumnLastSeen)};
    for (int s = 1; s <= 4; ++s) {
        headers << CatalogText(msg::BoardColumnStore, {QString::number(s)});
    }
    headers << CatalogText(msg::CtlColumnReason);
    ColumnText table(headers);
    for (const BoardRow& r : poller.rows()) {
        const bool reachable = r.reach == BoardRow::Reach::Reachable;
        allReachable = allReachable && reachable;
        const QString seen =
            r.lastSeen.isValid() ? r.lastSeen.toLocalTime().toString(Qt::ISODate) : QString();
        if (options.json) {
            QJsonArray stores;
            for (const BoardStore& s : r.stores) {
                QJsonObject o{{u"result"_qs, s.result}};
                if (s.result == 2) {
                    o.insert(u"file"_qs, s.fileName);
                    o.insert(u"length"_qs, s.length);
                }
                stores.append(o);
            }
            QJsonObject o{{u"address"_qs, Ipv4::toText(r.address)},
                          {u"name"_qs, r.name},
                          {u"reachable"_qs, reachable},
                          {u"last_seen"_qs, seen},
                          {u"stores"_qs, stores}};
            if (!reachable) {
                o.insert(u"reason"_qs, r.reason);
            }
            json.append(o);
            continue;
        }
        QStringList cells{Ipv4::toText(r.address), r.name,
                          CatalogText(reachable ? msg::CtlReachable : msg::CtlNotReachable),
                          seen.isEmpty() ? CatalogText(msg::CtlNeverSeen) : seen};
        for (const BoardStore& s : r.stores) {
            switch (s.result) {
            case 2:
                cells << CatalogText(msg::CtlStoreHolds, {s.fileName, CatalogNumber::formatText(s.length)});
                break;
            case 1:
                cells << CatalogText(msg::BoardStoreEmpty);
                break;
            default:
                cells << CatalogText(msg::BoardStoreUnknown);
                break;
            }
        }
        cells << (reachable ? QString() : r.reason); // last: a long reason widens nothing else
        table.addRow(cells);
    }
    if (!options.json) {
        table.write(out);
    }
    if (options.json) {
        PrintJson(out, json);
    }
    return allReachable ? CtlExit::Ok : CtlExit::ProjectorFailed;
}
