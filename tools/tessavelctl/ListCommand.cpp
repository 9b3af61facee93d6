#include "CtlCommands.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QJsonArray>
#include <QJsonObject>

int RunListCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    if (!options.operands.isEmpty()) {
        err << CatalogText(msg::CtlUsage) << '\n';
        return CtlExit::BadUsage;
    }
    ProjectorList list;
    if (!options.loadProjectors(list, err)) {
        return CtlExit::BadUsage;
    }
    if (options.json) {
        QJsonArray rows;
        for (const ProjectorRecord& r : list) {
            rows.append(QJsonObject{{u"name"_qs, r.name},
                                    {u"mac"_qs, r.mac},
                                    {u"address"_qs, Ipv4::toText(r.address)},
                                    {u"authentication"_qs, r.authenticate() != 0}});
        }
        PrintJson(out, rows);
        return CtlExit::Ok;
    }
    if (list.isEmpty()) {
        out << CatalogText(msg::ProjectorListEmpty) << '\n';
    }
    for (const ProjectorRecord& r : list) {
        out << Ipv4::toText(r.address) << '\t' << OneLine(r.name) << '\t' << r.mac << '\t'
            << CatalogText(r.authenticate() != 0 ? msg::AuthenticationOn : msg::AuthenticationOff) << '\n';
    }
    return CtlExit::Ok;
}
