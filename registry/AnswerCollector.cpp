#include "registry/AnswerCollector.h"

void AnswerCollector::feed(quint64 sender, QByteArrayView datagram, const AnswerScanner::RecordSink& sink) {
    if (m_scanners.size() >= kMaxSenders && !m_scanners.contains(sender)) {
        // A flood from many addresses must not grow the table without end.
        m_scanners.removeIf([](const auto& it) { return it.value().pending() == 0; });
        if (m_scanners.size() >= kMaxSenders) {
            m_scanners.clear();
        }
    }
    m_scanners[sender].feed(datagram, sink);
}
