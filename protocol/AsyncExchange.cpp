#include "protocol/AsyncExchange.h"

#include "protocol/ChallengeResponse.h"
#include "registry/ProjectorStore.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 kGreetingBuffer = 1024;
constexpr short kReadable = POLLIN | POLLHUP | POLLERR; // as TcpSocket::classifyPoll reads them

// Whole milliseconds left, as the blocking form counts them.
qint64 msUntil(AsyncExchange::Clock::time_point t, AsyncExchange::Clock::time_point now) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t - now).count();
    return left > 0 ? left : 0;
}

ssize_t receive(int fd, char* buffer, qint64 maxBytes) {
    while (true) {
        const ssize_t n = ::recv(fd, buffer, static_cast<size_t>(maxBytes), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n;
    }
}

bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

} // namespace

AsyncExchange::AsyncExchange(CommandTarget target, const CommandContext& context, ExchangeRequest request,
                             Done done)
    : m_target(std::move(target)), m_context(context), m_request(std::move(request)),
      m_done(std::move(done)) {}

AsyncExchange::~AsyncExchange() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void AsyncExchange::begin(Clock::time_point now) {
    if (m_phase != Phase::Idle) {
        return;
    }
    if (m_context.store != nullptr) {
        m_context.store->noteConnection(m_target.authenticate, m_target.password);
    }
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        failConnect(ConnectResult::SocketFailed);
        return;
    }
    const int flags = ::fcntl(m_fd, F_GETFL, 0);
    if (stopRequested() || flags < 0 || ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        failConnect(ConnectResult::ConnectFailed);
        return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kCommandPort);
    to.sin_addr.s_addr = htonl(m_target.address);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        connected(now);
        return;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        failConnect(ConnectResult::ConnectFailed);
        return;
    }
    m_phase = Phase::Connecting;
    m_events = POLLOUT;
    m_deadline = now + std::chrono::milliseconds(m_context.timeouts.connectMs);
}

void AsyncExchange::advance(short revents, Clock::time_point now) {
    switch (m_phase) {
    case Phase::Connecting:
        if (revents != 0) {
            int error = 0;
            socklen_t len = sizeof error;
            if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
                failConnect(ConnectResult::ConnectFailed);
                return;
            }
            connected(now);
        } else if (now >= m_deadline) {
            m_result.connectTimedOut = true;
            failConnect(ConnectResult::ConnectFailed);
        }
        return;
    case Phase::Greeting:
        if (revents != 0) {
            readGreeting(revents, now);
        } else if (now >= m_deadline) {
            failConnect(ConnectResult::NoGreeting);
        }
        return;
    case Phase::Sending:
        if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            finish(ExchangeResult::Stage::SendFailed);
        } else if ((revents & POLLOUT) != 0) {
            sendSome(now);
        } else if (now >= m_deadline) {
            finish(ExchangeResult::Stage::SendFailed);
        }
        return;
    case Phase::Replying:
        if (revents != 0) {
            readReply(revents, now);
            return;
        }
        if (now < m_deadline) {
            return;
        }
        if (msUntil(m_replyDeadline, now) > 0) {
            // A whole step passed without a reply.
            if (m_request.onWaiting) {
                m_request.onWaiting(++m_stepsWaited);
            }
            armStep(now);
            return;
        }
        finish(m_reply.isEmpty() ? ExchangeResult::Stage::TimedOut : ExchangeResult::Stage::Replied);
        return;
    case Phase::Idle:
    case Phase::Done:
        return;
    }
}

void AsyncExchange::abandon() {
    switch (m_phase) {
    case Phase::Idle:
    case Phase::Connecting:
        failConnect(ConnectResult::ConnectFailed);
        return;
    case Phase::Greeting:
        failConnect(ConnectResult::WaitFailed);
        return;
    case Phase::Sending:
        finish(ExchangeResult::Stage::SendFailed);
        return;
    case Phase::Replying:
        finish(m_reply.isEmpty() ? ExchangeResult::Stage::WaitFailed : ExchangeResult::Stage::Replied);
        return;
    case Phase::Done:
        return;
    }
}

void AsyncExchange::connected(Clock::time_point now) {
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (m_target.authenticate == 0) {
        startSending(now); // nothing is read before the command goes out
        return;
    }
    m_phase = Phase::Greeting;
    m_events = POLLIN;
    m_deadline = now + std::chrono::milliseconds(m_context.timeouts.greetingMs);
}

void AsyncExchange::readGreeting(short revents, Clock::time_point now) {
    if ((revents & kReadable) == 0) {
        failConnect(ConnectResult::WaitFailed);
        return;
    }
    QByteArray greeting(kGreetingBuffer, '\0');
    const ssize_t n = receive(m_fd, greeting.data(), kGreetingBuffer);
    if (n < 0 && wouldBlock()) {
        return; // nothing there after all: keep waiting
    }
    if (n <= 0) {
        failConnect(ConnectResult::GreetingReadFailed);
        return;
    }
    greeting.truncate(n);
    m_prefix = ChallengeResponse::prefixFor(greeting, PasswordBytesFor(m_target, m_context));
    startSending(now);
}

void AsyncExchange::startSending(Clock::time_point now) {
    // Without a prefix the caller's text is the block itself: a file sent to many
    // projectors is not copied for each.
    m_block = m_prefix.isEmpty() ? m_request.commandText : CommandBlock(m_prefix, m_request.commandText);
    m_total = m_block.size();
    m_sent = 0;
    m_phase = Phase::Sending;
    m_events = POLLOUT;
    m_deadline = now + std::chrono::milliseconds(m_context.timeouts.sendMs);
    sendSome(now);
}

void AsyncExchange::sendSome(Clock::time_point now) {
    while (m_sent < m_total) {
        const qint64 piece = m_request.onSent ? qMin(kPieceBytes, m_total - m_sent) : m_total - m_sent;
        const ssize_t n = ::send(m_fd, m_block.constData() + m_sent, static_cast<size_t>(piece),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (wouldBlock()) {
                break;
            }
            finish(ExchangeResult::Stage::SendFailed);
            return;
        }
        m_sent += n;
        if (m_request.onSent) {
            m_request.onSent(m_sent, m_total);
        }
        if (m_sent < m_total && stopRequested()) {
            finish(ExchangeResult::Stage::SendFailed);
            return;
        }
    }
    if (m_sent == m_total) {
        startReplying(now);
    } else if (now >= m_deadline) {
        finish(ExchangeResult::Stage::SendFailed);
    }
}

void AsyncExchange::startReplying(Clock::time_point now) {
    m_block = QByteArray();
    m_phase = Phase::Replying;
    m_events = POLLIN;
    const int step = qMax(1, m_request.waitStepMs);
    m_replyDeadline = now + std::chrono::milliseconds(qint64{step} * qMax(1, m_request.replyWaits));
    armStep(now);
    if (m_request.onWaiting) {
        m_request.onWaiting(0);
    }
}

void AsyncExchange::armStep(Clock::time_point now) {
    const qint64 step = qMax(1, m_request.waitStepMs);
    m_deadline = now + std::chrono::milliseconds(qMin(step, msUntil(m_replyDeadline, now)));
}

void AsyncExchange::readReply(short revents, Clock::time_point now) {
    if ((revents & kReadable) == 0) {
        finish(m_reply.isEmpty() ? ExchangeResult::Stage::WaitFailed : ExchangeResult::Stage::Replied);
        return;
    }
    char chunk[ReplyJudge::kReplyBuffer];
    const ssize_t n = receive(m_fd, chunk, ReplyJudge::kReplyBuffer - m_reply.size());
    if (n < 0 && wouldBlock()) {
        return;
    }
    if (n <= 0) {
        finish(m_reply.isEmpty() ? ExchangeResult::Stage::Closed : ExchangeResult::Stage::Replied);
        return;
    }
    m_reply.append(chunk, n);
    if (!ReplyJudge::isComplete(m_request.kind, m_reply)) {
        armStep(now);
        return;
    }
    // Whatever already arrived behind the reply is taken too, so extra bytes are seen.
    while (m_reply.size() < ReplyJudge::kReplyBuffer) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0 || (p.revents & kReadable) == 0) {
            break;
        }
        const ssize_t more = receive(m_fd, chunk, ReplyJudge::kReplyBuffer - m_reply.size());
        if (more <= 0) {
            break;
        }
        m_reply.append(chunk, more);
    }
    finish(ExchangeResult::Stage::Replied);
}

void AsyncExchange::failConnect(int code) {
    m_result.connectResult = code;
    finish(ExchangeResult::Stage::ConnectFailed);
}

void AsyncExchange::finish(ExchangeResult::Stage stage) {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_events = 0;
    m_phase = Phase::Done;
    m_block = QByteArray();
    m_result.stage = stage;
    m_result.reply = std::move(m_reply);
    m_reply = QByteArray();
    if (Done done = std::move(m_done)) {
        m_done = nullptr;
        done(m_result);
    }
}
