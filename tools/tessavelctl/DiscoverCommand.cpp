#include "CtlCommands.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/DiscoverySearch.h"
#include "registry/LocalAddresses.h"

#include <QJsonArray>
#include <QJsonObject>

int RunDiscoverCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    if (!options.operands.isEmpty()) {
        err << CatalogText(msg::CtlUsage) << '\n';
        return CtlExit::BadUsage;
    }
    quint32 local = 0;
    if (options.local.isEmpty()) {
        local = LocalAddresses::ofThisHost(false).first();
    } else {
        Ipv4::Octets o{};
        if (ParseDottedAddress(options.local, o) != 0) {
            err << CatalogText(msg::CtlBadAddress, {options.local}) << '\n';
            return CtlExit::BadUsage;
        }
        local = Ipv4::toHost(o);
    }
    DiscoverySearch::Options searchOptions;
    if (options.searchWaitMs > 0) {
        searchOptions.waitMs = options.searchWaitMs;
    }
    DiscoverySearch search(searchOptions);
    DiscoveredDeviceTable found;
    DiscoverySearch::Status status = search.open();
    if (status == DiscoverySearch::Status::Ok) {
        status = search.search(local, found);
    }
    if (status != DiscoverySearch::Status::Ok) {
        err << CatalogText(DiscoverySearch::textFor(status), search.insertsFor(status)) << '\n';
        return CtlExit::ProjectorFailed;
    }
    if (options.json) {
        QJsonArray rows;
        for (const DiscoveredDevice& d : found.devices()) {
            rows.append(QJsonObject{
                {u"name"_qs, d.name()}, {u"mac"_qs, d.mac}, {u"address"_qs, Ipv4::toText(d.address)}});
        }
        PrintJson(out, rows);
        return CtlExit::Ok;
    }
    for (const DiscoveredDevice& d : found.devices()) {
        out << OneLine(d.name()) << '\t' << d.mac << '\t' << Ipv4::toText(d.address) << '\n';
    }
    out << CatalogText(msg::DiscoveryFoundCount, {QString::number(found.count())}) << '\n';
    return CtlExit::Ok;
}
