#pragma once

#include "registry/AnswerCollector.h"
#include "registry/DiscoveredDeviceTable.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

// What one search hears, datagram by datagram, collected into its table of found projectors.
// Any device on the LAN can answer, as often and from as many addresses as it likes, so
// everything a flood could grow is bounded:
//  - a datagram counts up to its first kMaxDatagram bytes (at most eleven records);
//  - at most AnswerCollector::kMaxSenders (1,024) senders keep half a record;
//  - the table lists at most DiscoveredDeviceTable::kMaxDevices (256) projectors, the size of
//    the projector list, so a new record is compared with at most 255 rows; once it is full
//    the search has nothing more to show and ends.
class DiscoveryAnswers final {
public:
    static constexpr qsizetype kMaxDatagram = 1024;

    using NewRow = std::function<void(const QByteArray& record)>;

    explicit DiscoveryAnswers(DiscoveredDeviceTable& found) : m_found(found) {}

    // Takes one datagram from sender (AnswerCollector::senderKey) and calls onNewRow with each
    // record that made a row of its own.
    void feed(quint64 sender, QByteArrayView datagram, const NewRow& onNewRow);

    [[nodiscard]] bool full() const { return m_found.count() >= DiscoveredDeviceTable::kMaxDevices; }
    [[nodiscard]] qsizetype senders() const { return m_collector.senders(); }

private:
    AnswerCollector m_collector;
    DiscoveredDeviceTable& m_found;
};
