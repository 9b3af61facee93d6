#pragma once

#include "registry/Ipv4.h"

#include <QByteArray>
#include <QString>

// One projector that answered a search.
struct DiscoveredDevice final {
    QByteArray nameBytes; // as the answer carried it, at most 64 bytes
    QString mac;          // "%02X-%02X-%02X-%02X-%02X-%02X"
    Ipv4::Octets address{};

    [[nodiscard]] QString name() const { return QString::fromUtf8(nameBytes); }
    friend bool operator==(const DiscoveredDevice&, const DiscoveredDevice&) = default;
};
