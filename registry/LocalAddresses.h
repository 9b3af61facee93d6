#pragma once

#include <QList>
#include <QtGlobal>

// The host's own IPv4 addresses a search can name as its local address.
namespace LocalAddresses {

inline constexpr int kMaxAddresses = 32;
inline constexpr quint32 kFallback = 0xC0A80001u; // 192.168.0.1, offered when there is none

// From candidate addresses (host order, in the platform's order): duplicates and the
// unspecified address dropped, loopback (127/8) only when asked for, at most 32; the
// fallback alone when nothing is left.
QList<quint32> choose(const QList<quint32>& candidates, bool includeLoopback);

// The addresses of this host's interfaces that are up. No name lookup: that could ask a
// name server on the network.
QList<quint32> ofThisHost(bool includeLoopback);

} // namespace LocalAddresses
