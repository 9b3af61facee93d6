#pragma once

#include "registry/Ipv4.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

// The two datagrams of the projector search.
namespace DiscoveryDatagram {

inline constexpr quint32 kGroup = 0xE0000580u; // 224.0.5.128
inline constexpr quint16 kRequestPort = 2363;
inline constexpr quint16 kAnswerPort = 4001;
inline constexpr int kRequestSize = 18;
inline constexpr int kAnswerSize = 88;
inline constexpr int kNameSize = 64;
inline constexpr char kStartMark = 0x01;

using Mac = std::array<quint8, 6>;

// 0x01 0x00 "DeviceSearch" and the searching host's address, network order.
QByteArray request(quint32 localHostAddress);

// The local address a request carries, when the datagram is a request.
std::optional<quint32> parseRequest(QByteArrayView datagram);

// 0x01 0x00 "DeviceAnswer", the address, the MAC and the name zero-padded to 64 bytes
// (a longer name is cut, a name of exactly 64 bytes has no zero).
QByteArray answer(quint32 hostAddress, const Mac& mac, QByteArrayView name);

} // namespace DiscoveryDatagram
