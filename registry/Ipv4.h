#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>

// IPv4 addresses travel in two forms: four octets in network order (records, files,
// datagrams) and a 32-bit host-order value with the first octet most significant.
namespace Ipv4 {

using Octets = std::array<quint8, 4>;

inline constexpr quint32 kNone = 0xFFFFFFFFu; // the classic parser's failure value

constexpr quint32 toHost(const Octets& o) {
    return (quint32{o[0]} << 24) | (quint32{o[1]} << 16) | (quint32{o[2]} << 8) | quint32{o[3]};
}
constexpr Octets toOctets(quint32 host) {
    return {static_cast<quint8>(host >> 24), static_cast<quint8>(host >> 16), static_cast<quint8>(host >> 8),
            static_cast<quint8>(host)};
}

// "%d.%d.%d.%d"
QString toText(const Octets& o);
inline QString toText(quint32 host) {
    return toText(toOctets(host));
}

// The classic dotted-address parser: one to four parts, each decimal, octal (leading 0) or
// hexadecimal (0x), the last part filling the remaining bytes; trailing blanks are allowed.
// Text it rejects yields kNone, as does "255.255.255.255" itself.
quint32 parseClassic(QByteArrayView text);

} // namespace Ipv4

// Strict dotted form: exactly four decimal numbers of 0 to 255 joined by three dots; an
// empty number reads as 0. Returns 0 and fills out, or -1.
int ParseDottedAddress(QStringView text, Ipv4::Octets& out);
