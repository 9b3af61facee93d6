// Any run of datagrams through the discovery answer scanner and the found-device table.
// Input: datagrams, each a length byte followed by that many bytes.
#include "registry/AnswerScanner.h"
#include "registry/DiscoveredDeviceTable.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

namespace {
void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AnswerScanner scanner;
    DiscoveredDeviceTable table;
    size_t at = 0;
    while (at < size) {
        const size_t length = qMin<size_t>(data[at], size - at - 1);
        const QByteArrayView datagram(reinterpret_cast<const char*>(data + at + 1),
                                      static_cast<qsizetype>(length));
        at += 1 + length;
        scanner.feed(datagram, [&](QByteArrayView record) {
            require(record.size() == 88 && record[0] == 0x01);
            table.add(record);
        });
        require(scanner.pending() < 88);
    }
    require(table.count() <= DiscoveredDeviceTable::kMaxDevices);
    QSet<QByteArray> seen;
    for (const DiscoveredDevice& d : table.devices()) {
        require(d.nameBytes.size() <= 64 && d.mac.size() == 17);
        const QByteArray key = d.nameBytes + '\0' + d.mac.toLatin1();
        require(!seen.contains(key));
        seen.insert(key);
    }
    return 0;
}
