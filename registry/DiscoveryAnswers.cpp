#include "registry/DiscoveryAnswers.h"

#include <algorithm>

void DiscoveryAnswers::feed(quint64 sender, QByteArrayView datagram, const NewRow& onNewRow) {
    if (full()) {
        return;
    }
    m_collector.feed(sender, datagram.first(std::min(datagram.size(), kMaxDatagram)),
                     [&](QByteArrayView record) {
                         if (m_found.add(record) && onNewRow) {
                             onNewRow(record.toByteArray());
                         }
                     });
}
