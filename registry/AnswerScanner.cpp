#include "registry/AnswerScanner.h"

#include "registry/DiscoveryDatagram.h"

void AnswerScanner::feed(QByteArrayView datagram, const RecordSink& sink) {
    const qsizetype n = datagram.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char b = datagram[i];
        if (m_record.isEmpty()) {
            if (b == DiscoveryDatagram::kStartMark) {
                m_record.append(b);
            }
            continue;
        }
        m_record.append(b);
        if (m_record.size() < DiscoveryDatagram::kAnswerSize) {
            continue;
        }
        // Only a datagram that can hold a whole record has a tag behind one; the tag must
        // lie inside the datagram.
        const bool tagged = n >= DiscoveryDatagram::kAnswerSize && i + 2 < n && datagram[i + 1] == 'W' &&
                            datagram[i + 2] == 'L';
        if (tagged) {
            i += 2;
        } else if (sink) {
            sink(m_record);
        }
        m_record.clear();
    }
}
