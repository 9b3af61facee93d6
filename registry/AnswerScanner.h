#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

// Collects 88-byte answer records out of the datagrams as they arrive: bytes before a start
// mark are skipped, a record may span datagrams, one datagram may hold several. A record
// followed in its datagram by "WL" is dropped with those two bytes.
class AnswerScanner final {
public:
    using RecordSink = std::function<void(QByteArrayView record)>;

    void feed(QByteArrayView datagram, const RecordSink& sink);
    void reset() { m_record.clear(); }
    [[nodiscard]] qsizetype pending() const { return m_record.size(); }

private:
    QByteArray m_record; // empty while no record is being collected
};
