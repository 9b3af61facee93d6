#pragma once

#include "registry/DiscoveredDevice.h"

#include <QByteArrayView>
#include <QList>

// The found projectors of one search, in the order their answers arrived.
class DiscoveredDeviceTable final {
public:
    static constexpr int kMaxDevices = 256;

    // Takes one 88-byte record. Ignored: a record without "DeviceAnswer", one that arrives
    // when the table is full, and one whose name and MAC text are both already listed
    // (the address takes no part in that comparison).
    bool add(QByteArrayView record);

    void clear() { m_devices.clear(); }
    [[nodiscard]] const QList<DiscoveredDevice>& devices() const { return m_devices; }
    [[nodiscard]] int count() const { return static_cast<int>(m_devices.size()); }

private:
    QList<DiscoveredDevice> m_devices;
};
