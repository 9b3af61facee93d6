#include "registry/DiscoveryDatagram.h"

namespace {

void appendAddress(QByteArray& out, quint32 host) {
    for (const quint8 octet : Ipv4::toOctets(host)) {
        out.append(static_cast<char>(octet));
    }
}

} // namespace

QByteArray DiscoveryDatagram::request(quint32 localHostAddress) {
    QByteArray d;
    d.append(kStartMark);
    d.append('\0');
    d.append("DeviceSearch", 12);
    appendAddress(d, localHostAddress);
    return d;
}

std::optional<quint32> DiscoveryDatagram::parseRequest(QByteArrayView datagram) {
    if (datagram.size() < kRequestSize || datagram[0] != kStartMark ||
        datagram.sliced(2, 12) != "DeviceSearch") {
        return std::nullopt;
    }
    Ipv4::Octets o{};
    for (int i = 0; i < 4; ++i) {
        o[i] = static_cast<quint8>(datagram[14 + i]);
    }
    return Ipv4::toHost(o);
}

QByteArray DiscoveryDatagram::answer(quint32 hostAddress, const Mac& mac, QByteArrayView name) {
    QByteArray d;
    d.reserve(kAnswerSize);
    d.append(kStartMark);
    d.append('\0');
    d.append("DeviceAnswer", 12);
    appendAddress(d, hostAddress);
    for (const quint8 b : mac) {
        d.append(static_cast<char>(b));
    }
    QByteArray field = name.first(qMin<qsizetype>(name.size(), kNameSize)).toByteArray();
    field.resize(kNameSize, '\0');
    d.append(field);
    return d;
}
