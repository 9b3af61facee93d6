#include "ProjectorEmulator.h"

#include "registry/Ipv4.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSliceMs = 20;

sockaddr_in endpoint(quint32 host, quint16 port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(host);
    return a;
}

QString failure(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

ProjectorEmulator::ProjectorEmulator(EmulatorConfig config)
    : m_config(std::move(config)), m_stores(std::make_unique<EmulatorStores>(m_config.storeDir)),
      m_faults(m_config.faults) {}

ProjectorEmulator::~ProjectorEmulator() {
    stop();
}

bool ProjectorEmulator::start(QString* error) {
    if (isRunning()) {
        return true;
    }
    m_stopping.store(false);
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        if (error) {
            *error = failure("socket");
        }
        return false;
    }
    const int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in at = endpoint(m_config.address, m_config.port);
    if (::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(m_listenFd, 64) != 0) {
        if (error) {
            *error = failure("bind") + u' ' + Ipv4::toText(m_config.address);
        }
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    if (m_config.discovery && !openDiscovery(error)) {
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_acceptThread = std::thread([this] { acceptLoop(); });
    if (m_discoveryFd >= 0) {
        m_discoveryThread = std::thread([this] { discoveryLoop(); });
    }
    return true;
}

void ProjectorEmulator::stop() {
    if (!isRunning()) {
        return;
    }
    m_stopping.store(true);
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    if (m_discoveryThread.joinable()) {
        m_discoveryThread.join();
    }
    reapSessions(true);
    ::close(m_listenFd);
    m_listenFd = -1;
    if (m_discoveryFd >= 0) {
        ::close(m_discoveryFd);
        m_discoveryFd = -1;
    }
}

void ProjectorEmulator::setFaults(const EmulatorFaults& faults) {
    QMutexLocker lock(&m_mutex);
    m_faults = faults;
}

EmulatorConfig ProjectorEmulator::config() const {
    QMutexLocker lock(&m_mutex);
    EmulatorConfig c = m_config;
    c.faults = m_faults;
    return c;
}

QList<EmulatorRequest> ProjectorEmulator::requests() const {
    QMutexLocker lock(&m_mutex);
    QDeadlineTimer deadline(kRecordWaitMs);
    while (m_served.load() < m_connections.load() && !deadline.hasExpired()) {
        m_recorded.wait(&m_mutex, deadline);
    }
    return m_requests;
}

bool ProjectorEmulator::waitForServed(int count, int timeoutMs) const {
    QMutexLocker lock(&m_mutex);
    QDeadlineTimer deadline(timeoutMs);
    while (m_served.load() < count) {
        if (deadline.hasExpired()) {
            return false;
        }
        m_recorded.wait(&m_mutex, deadline);
    }
    return true;
}

void ProjectorEmulator::reapSessions(bool all) {
    std::list<std::unique_ptr<Session>> finished;
    {
        QMutexLocker lock(&m_mutex);
        for (auto it = m_sessions.begin(); it != m_sessions.end();) {
            if (all || (*it)->done.load()) {
                finished.push_back(std::move(*it));
                it = m_sessions.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& s : finished) {
        s->thread.join();
    }
}

void ProjectorEmulator::acceptLoop() {
    while (!m_stopping.load()) {
        reapSessions(false);
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) {
            continue;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const int sequence = m_connections.fetch_add(1);
        EmulatorConfig snapshot = config();
        auto session = std::make_unique<Session>();
        Session* raw = session.get();
        {
            QMutexLocker lock(&m_mutex);
            m_sessions.push_back(std::move(session));
        }
        raw->thread = std::thread([this, raw, fd, sequence, snapshot = std::move(snapshot)] {
            EmulatorSession s(fd, snapshot, *m_stores, m_stopping);
            EmulatorRequest r = s.serve();
            if (snapshot.faults.recordDelayMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(snapshot.faults.recordDelayMs));
            }
            {
                // Sessions end in any order (a client may open the next before the last has
                // seen its close); the list keeps the order they were accepted in.
                QMutexLocker lock(&m_mutex);
                const auto at = std::upper_bound(m_requestOrder.begin(), m_requestOrder.end(), sequence);
                const qsizetype i = at - m_requestOrder.begin();
                m_requestOrder.insert(i, sequence);
                m_requests.insert(i, std::move(r));
                m_served.fetch_add(1);
                m_recorded.wakeAll();
            }
            raw->done.store(true);
        });
    }
}

bool ProjectorEmulator::openDiscovery(QString* error) {
    m_discoveryFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_discoveryFd < 0) {
        if (error) {
            *error = failure("socket");
        }
        return false;
    }
    const int on = 1;
    ::setsockopt(m_discoveryFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in at = endpoint(INADDR_ANY, m_config.requestPort);
    ip_mreq join{};
    join.imr_multiaddr.s_addr = htonl(DiscoveryDatagram::kGroup);
    join.imr_interface.s_addr = htonl(m_config.discoveryInterface);
    if (::bind(m_discoveryFd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        ::setsockopt(m_discoveryFd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) {
        if (error) {
            *error = failure("discovery");
        }
        ::close(m_discoveryFd);
        m_discoveryFd = -1;
        return false;
    }
    return true;
}

void ProjectorEmulator::discoveryLoop() {
    while (!m_stopping.load()) {
        pollfd p{m_discoveryFd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) {
            continue;
        }
        char datagram[1024];
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(m_discoveryFd, datagram, sizeof datagram, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n <= 0 || !DiscoveryDatagram::parseRequest(QByteArrayView(datagram, n))) {
            continue;
        }
        EmulatorFaults faults;
        {
            QMutexLocker lock(&m_mutex);
            faults = m_faults;
        }
        // The answer goes back to where the request came from.
        // Counted before the answer leaves: a searcher holding the answer sees the count.
        m_searches.fetch_add(1);
        answerSearch(ntohl(from.sin_addr.s_addr), faults);
    }
}

void ProjectorEmulator::answerSearch(quint32 searcher, const EmulatorFaults& faults) {
    const QByteArray record = DiscoveryDatagram::answer(m_config.address, m_config.mac, m_config.name);
    QList<QByteArray> datagrams;
    for (int copy = 0; copy < qMax(1, faults.answerCopies); ++copy) {
        QByteArray d = faults.answerLeading + record;
        if (faults.answerTaggedWL) {
            d += "WL";
        }
        if (faults.answerSplit) {
            const qsizetype half = d.size() / 2;
            datagrams << d.left(half) << d.mid(half);
        } else {
            datagrams << d;
        }
    }
    // A projector answers from its own address. The group socket would answer from whatever
    // address the route picks, the same for every emulator on this machine, and the searcher
    // could not tell their datagrams apart.
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in own = endpoint(m_config.address, 0);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&own), sizeof own) != 0) {
        ::close(fd);
        fd = -1;
    }
    const sockaddr_in to = endpoint(searcher, m_config.answerPort);
    for (const QByteArray& d : datagrams) {
        ::sendto(fd >= 0 ? fd : m_discoveryFd, d.constData(), static_cast<size_t>(d.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    if (fd >= 0) {
        ::close(fd);
    }
}
