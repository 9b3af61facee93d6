#pragma once

#include "registry/AnswerScanner.h"

#include <QByteArrayView>
#include <QHash>

// Collects answer records per sender. Several projectors answer one search at about the same
// time; a record split over datagrams would otherwise take in another sender's datagram that
// arrived between its halves, losing that answer and making a record of two halves.
class AnswerCollector final {
public:
    // A sender is its IPv4 address and port, as one number.
    static quint64 senderKey(quint32 address, quint16 port) { return (quint64(address) << 16) | port; }

    void feed(quint64 sender, QByteArrayView datagram, const AnswerScanner::RecordSink& sink);
    void reset() { m_scanners.clear(); }
    [[nodiscard]] qsizetype senders() const { return m_scanners.size(); }

    // Past this many senders, those with no record under way are forgotten.
    static constexpr qsizetype kMaxSenders = 1024;

private:
    QHash<quint64, AnswerScanner> m_scanners;
};
