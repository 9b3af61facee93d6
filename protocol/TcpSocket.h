#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <atomic>
#include <functional>

// One blocking IPv4 TCP socket, closed when the object goes. It only moves bytes; what the
// bytes mean is decided elsewhere. Every wait has a bound, so no peer can hold a caller.
class TcpSocket final {
public:
    enum class Wait { Readable, TimedOut, Failed };
    enum class Connect { Ok, Failed, TimedOut };

    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // False when the platform gives no socket (descriptors exhausted and the like).
    bool create();
    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    void close();

    Connect connectTo(quint32 hostAddress, quint16 port, int timeoutMs);

    // One send call for the whole block; a peer that stops reading fails it after timeoutMs.
    bool sendAll(QByteArrayView data, int timeoutMs);

    // Readable also covers a closed or reset connection, as a read set of select would.
    Wait waitReadable(int timeoutMs);

    // One read: the byte count, 0 when the peer closed, -1 on an error.
    qint64 readOnce(char* buffer, qint64 maxBytes);

    // How one poll() outcome is judged; kept apart so the rule itself can be tested.
    static Wait classifyPoll(int pollResult, short revents);

    // A run's stop flag. While it is set, every wait looks at it every few milliseconds
    // and, once it is raised, closes the socket and fails: a stop never waits for a peer.
    void setStopFlag(const std::atomic<bool>* stop) { m_stopFlag = stop; }
    [[nodiscard]] bool stopRequested() const { return m_stopFlag != nullptr && m_stopFlag->load(); }

    // The block in pieces of at most chunkBytes, telling onSent the running total after each
    // piece; fails like sendAll, and when the stop flag rises.
    bool sendInPieces(QByteArrayView data, int timeoutMs, qint64 chunkBytes,
                      const std::function<void(qint64 sent)>& onSent);

private:
    int pollOnce(short events, int timeoutMs, short& revents);

    int m_fd = -1;
    const std::atomic<bool>* m_stopFlag = nullptr;
};
