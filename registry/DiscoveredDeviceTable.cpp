#include "registry/DiscoveredDeviceTable.h"

#include "registry/DiscoveryDatagram.h"

bool DiscoveredDeviceTable::add(QByteArrayView record) {
    if (record.size() < DiscoveryDatagram::kAnswerSize || record.sliced(2, 12) != "DeviceAnswer") {
        return false;
    }
    if (m_devices.size() >= kMaxDevices) {
        return false;
    }
    DiscoveredDevice d;
    d.mac = QString::asprintf("%02X-%02X-%02X-%02X-%02X-%02X", static_cast<quint8>(record[18]),
                              static_cast<quint8>(record[19]), static_cast<quint8>(record[20]),
                              static_cast<quint8>(record[21]), static_cast<quint8>(record[22]),
                              static_cast<quint8>(record[23]));
    const QByteArrayView field = record.sliced(24, DiscoveryDatagram::kNameSize);
    const qsizetype zero = field.indexOf('\0');
    d.nameBytes = (zero >= 0 ? field.first(zero) : field).toByteArray();
    for (const DiscoveredDevice& known : m_devices) {
        if (known.nameBytes == d.nameBytes && known.mac == d.mac) {
            return false;
        }
    }
    for (int i = 0; i < 4; ++i) {
        d.address[i] = static_cast<quint8>(record[14 + i]);
    }
    m_devices.append(std::move(d));
    return true;
}
