#include "registry/DiscoverySearch.h"

#include "i18n/CatalogIds.h"
#include "registry/DiscoveryAnswers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype kDatagramBuffer = DiscoveryAnswers::kMaxDatagram;

sockaddr_in endpoint(quint32 host, quint16 port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(host);
    return a;
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

DiscoverySearch::DiscoverySearch() : DiscoverySearch(Options{}) {}

DiscoverySearch::DiscoverySearch(const Options& options) : m_options(options) {}

DiscoverySearch::~DiscoverySearch() {
    close();
}

void DiscoverySearch::close() {
    closeFd(m_searchFd);
    closeFd(m_answerFd);
}

DiscoverySearch::Status DiscoverySearch::open() {
    close();
    m_searchFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    m_answerFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_searchFd < 0 || m_answerFd < 0) {
        close();
        return Status::SocketFailed;
    }
    // Projectors and their emulators on this host listen on the request port as well.
    const int on = 1;
    ::setsockopt(m_searchFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in searchAt = endpoint(INADDR_ANY, m_options.requestPort);
    if (::bind(m_searchFd, reinterpret_cast<const sockaddr*>(&searchAt), sizeof searchAt) != 0) {
        m_failedPort = m_options.requestPort;
        close();
        return Status::BindFailed;
    }
    ip_mreq join{};
    join.imr_multiaddr.s_addr = htonl(m_options.group);
    join.imr_interface.s_addr = htonl(INADDR_ANY);
    if (::setsockopt(m_searchFd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) {
        close();
        return Status::JoinFailed;
    }
    const int ttl = m_options.ttl;
    if (::setsockopt(m_searchFd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0) {
        close();
        return Status::TtlFailed;
    }
    // The answer port is not shared: a second search at the same time would split the
    // answers between the two, so it is told instead.
    const sockaddr_in answerAt = endpoint(INADDR_ANY, m_options.answerPort);
    if (::bind(m_answerFd, reinterpret_cast<const sockaddr*>(&answerAt), sizeof answerAt) != 0) {
        m_failedPort = m_options.answerPort;
        close();
        return Status::BindFailed;
    }
    return Status::Ok;
}

DiscoverySearch::Status DiscoverySearch::search(quint32 localAddress, DiscoveredDeviceTable& found) {
    found.clear();
    if (!isOpen()) {
        return Status::NotOpen;
    }
    m_stop.store(false);
    // Out of the chosen interface; an address that is not one of this host's leaves the
    // choice to the routing table.
    in_addr via{};
    via.s_addr = htonl(localAddress);
    ::setsockopt(m_searchFd, IPPROTO_IP, IP_MULTICAST_IF, &via, sizeof via);

    const QByteArray request = DiscoveryDatagram::request(localAddress);
    const sockaddr_in to = endpoint(m_options.group, m_options.requestPort);
    if (::sendto(m_searchFd, request.constData(), static_cast<size_t>(request.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to) != request.size()) {
        return Status::SendFailed;
    }

    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(m_options.maxDurationMs);
    DiscoveryAnswers answers(found);
    int timeouts = 0;
    // A full table ends the search: a flood of answers could add nothing to it.
    while (timeouts < m_options.timeouts && !m_stop.load() && Clock::now() < end && !answers.full()) {
        pollfd p{m_answerFd, POLLIN, 0};
        const int rc = ::poll(&p, 1, m_options.waitMs);
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc == 0) {
            ++timeouts;
            if (m_onWait) {
                m_onWait(timeouts);
            }
            continue;
        }
        if (rc < 0 || (p.revents & (POLLIN | POLLERR)) == 0) {
            // A wait that fails counts like one that timed out and takes as long, so a
            // broken socket still ends the search after its five waits.
            ++timeouts;
            ::usleep(static_cast<useconds_t>(m_options.waitMs) * 1000);
            continue;
        }
        char datagram[kDatagramBuffer];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(m_answerFd, datagram, sizeof datagram, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0) {
            continue;
        }
        const quint64 sender =
            fromLength >= sizeof from
                ? AnswerCollector::senderKey(ntohl(from.sin_addr.s_addr), ntohs(from.sin_port))
                : 0;
        answers.feed(sender, QByteArrayView(datagram, n), [this](const QByteArray& record) {
            if (m_onFound) {
                m_onFound(record);
            }
        });
    }
    return Status::Ok;
}

CatalogId DiscoverySearch::textFor(Status status) {
    switch (status) {
    case Status::Ok:
        return msg::StatusSearchDone;
    case Status::SocketFailed:
    case Status::NotOpen:
        return msg::DiscoverySocketFailed;
    case Status::BindFailed:
        return msg::DiscoveryBindFailed;
    case Status::JoinFailed:
        return msg::DiscoveryJoinFailed;
    case Status::TtlFailed:
        return msg::DiscoveryTtlFailed;
    case Status::SendFailed:
        return msg::DiscoverySendFailed;
    }
    return msg::DiscoverySocketFailed;
}

QStringList DiscoverySearch::insertsFor(Status status) const {
    if (status == Status::BindFailed) {
        return {QString::number(m_failedPort)};
    }
    return {};
}
