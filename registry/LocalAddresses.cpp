#include "registry/LocalAddresses.h"

#include <QNetworkInterface>

QList<quint32> LocalAddresses::choose(const QList<quint32>& candidates, bool includeLoopback) {
    QList<quint32> out;
    for (const quint32 a : candidates) {
        if (out.size() >= kMaxAddresses) {
            break;
        }
        const bool loopback = (a >> 24) == 127;
        if (a == 0 || (loopback && !includeLoopback) || out.contains(a)) {
            continue;
        }
        out.append(a);
    }
    if (out.isEmpty()) {
        out.append(kFallback);
    }
    return out;
}

QList<quint32> LocalAddresses::ofThisHost(bool includeLoopback) {
    QList<quint32> candidates;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (!iface.flags().testFlag(QNetworkInterface::IsUp)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                candidates.append(entry.ip().toIPv4Address());
            }
        }
    }
    return choose(candidates, includeLoopback);
}
