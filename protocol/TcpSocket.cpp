#include "protocol/TcpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// poll() that resumes after a signal with the time that is left, so Ctrl+C in a tool
// does not turn into a failed wait.
int pollOnce(int fd, short events, int timeoutMs, short& revents) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, remainingMs(deadline));
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        revents = p.revents;
        return rc;
    }
}

bool setBlocking(int fd, bool blocking) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    return ::fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

} // namespace

TcpSocket::~TcpSocket() {
    close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : m_fd(other.m_fd), m_stop(other.m_stop) {
    other.m_fd = -1;
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_stop = other.m_stop;
        other.m_fd = -1;
    }
    return *this;
}

bool TcpSocket::create() {
    close();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return m_fd >= 0;
}

void TcpSocket::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool TcpSocket::giveUpOnStop() {
    if (!stopRequested()) {
        return false;
    }
    close();
    return true;
}

int TcpSocket::pollFor(short events, int timeoutMs, short& revents) {
    if (m_stop == nullptr) {
        return pollOnce(m_fd, events, timeoutMs, revents);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (giveUpOnStop()) {
            revents = 0;
            return -1;
        }
        const int rc = pollOnce(m_fd, events, qMin(kStopSliceMs, remainingMs(deadline)), revents);
        if (rc != 0 || remainingMs(deadline) == 0) {
            return rc;
        }
    }
}

TcpSocket::Connect TcpSocket::connectTo(quint32 hostAddress, quint16 port, int timeoutMs) {
    if (m_fd < 0 || giveUpOnStop() || !setBlocking(m_fd, false)) {
        return Connect::Failed;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(hostAddress);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            return Connect::Failed;
        }
        short revents = 0;
        const int rc = pollFor(POLLOUT, timeoutMs, revents);
        if (m_fd < 0) {
            return Connect::Failed; // stopped
        }
        if (rc == 0) {
            return Connect::TimedOut;
        }
        int error = 0;
        socklen_t len = sizeof error;
        if (rc < 0 || ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
            return Connect::Failed;
        }
    }
    // A command is one block and one reply: nothing is gained by holding back its tail.
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return setBlocking(m_fd, true) ? Connect::Ok : Connect::Failed;
}

bool TcpSocket::sendAll(QByteArrayView data, int timeoutMs) {
    if (m_fd < 0 || giveUpOnStop()) {
        return false;
    }
    // With a stop flag the send time-out is one slice, so a peer that stops reading holds the
    // send no longer than that before the flag is looked at again.
    const int sliceMs = qMax(1, m_stop != nullptr ? qMin(kStopSliceMs, timeoutMs) : timeoutMs);
    timeval tv{};
    tv.tv_sec = sliceMs / 1000;
    tv.tv_usec = static_cast<suseconds_t>((sliceMs % 1000) * 1000);
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    const char* p = data.data();
    qsizetype left = data.size();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (left > 0) {
        // A blocking send queues the whole block at once; it returns early only when a
        // signal or the send time-out interrupts it.
        const ssize_t n = ::send(m_fd, p, static_cast<size_t>(left), MSG_NOSIGNAL);
        if (n < 0) {
            const bool sliceOver = m_stop != nullptr && (errno == EAGAIN || errno == EWOULDBLOCK);
            if ((errno == EINTR || sliceOver) && remainingMs(deadline) > 0 && !giveUpOnStop()) {
                continue;
            }
            return false;
        }
        p += n;
        left -= n;
        if (left > 0 && (remainingMs(deadline) == 0 || giveUpOnStop())) {
            return false;
        }
    }
    return true;
}

TcpSocket::Wait TcpSocket::classifyPoll(int pollResult, short revents) {
    if (pollResult == 0) {
        return Wait::TimedOut;
    }
    if (pollResult < 0) {
        return Wait::Failed;
    }
    if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        return Wait::Readable;
    }
    return Wait::Failed;
}

TcpSocket::Wait TcpSocket::waitReadable(int timeoutMs) {
    if (m_fd < 0) {
        return Wait::Failed;
    }
    short revents = 0;
    const int rc = pollFor(POLLIN, timeoutMs, revents);
    return classifyPoll(rc, revents);
}

bool TcpSocket::sendInPieces(QByteArrayView data, int timeoutMs, qint64 chunkBytes,
                             const std::function<void(qint64 sent)>& onSent) {
    if (m_fd < 0 || chunkBytes <= 0 || giveUpOnStop()) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    qint64 sent = 0;
    while (sent < data.size()) {
        short revents = 0;
        const int rc = pollFor(POLLOUT, remainingMs(deadline), revents);
        if (rc <= 0 || m_fd < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
        const qint64 piece = qMin(chunkBytes, data.size() - sent);
        const ssize_t n =
            ::send(m_fd, data.data() + sent, static_cast<size_t>(piece), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            return false;
        }
        sent += n;
        if (onSent) {
            onSent(sent);
        }
        if (sent < data.size() && (remainingMs(deadline) == 0 || giveUpOnStop())) {
            return false;
        }
    }
    return true;
}

qint64 TcpSocket::readOnce(char* buffer, qint64 maxBytes) {
    if (m_fd < 0) {
        return -1;
    }
    while (true) {
        const ssize_t n = ::recv(m_fd, buffer, static_cast<size_t>(maxBytes), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n;
    }
}
