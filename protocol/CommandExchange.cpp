#include "protocol/CommandExchange.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

thread_local int t_replies = 0;

int msUntil(Clock::time_point t) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Takes what is already waiting in the socket without waiting for more.
void drainAvailable(TcpSocket& socket, QByteArray& reply) {
    while (reply.size() < ReplyJudge::kReplyBuffer && socket.waitReadable(0) == TcpSocket::Wait::Readable) {
        char chunk[ReplyJudge::kReplyBuffer];
        const qint64 n = socket.readOnce(chunk, ReplyJudge::kReplyBuffer - reply.size());
        if (n <= 0) {
            return;
        }
        reply.append(chunk, n);
    }
}

} // namespace

ExchangeResult RunOnConnection(CommandConnection& connection, const CommandContext& context,
                               const QByteArray& block, const ExchangeRequest& request) {
    ExchangeResult r;
    TcpSocket& socket = connection.socket;
    constexpr qint64 kPiece = 16 * 1024;
    const qint64 total = block.size();
    const bool sent = request.onSent ? socket.sendInPieces(block, context.timeouts.sendMs, kPiece,
                                                           [&](qint64 n) { request.onSent(n, total); })
                                     : socket.sendAll(block, context.timeouts.sendMs);
    if (!sent) {
        socket.close();
        r.stage = ExchangeResult::Stage::SendFailed;
        return r;
    }
    if (request.onWaiting) {
        request.onWaiting(0);
    }
    const int step = qMax(1, request.waitStepMs);
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(qint64{step} * qMax(1, request.replyWaits));
    int stepsWaited = 0;
    QByteArray reply;
    while (true) {
        const int wait = qMin(step, msUntil(deadline));
        const TcpSocket::Wait w = wait > 0 ? socket.waitReadable(wait) : TcpSocket::Wait::TimedOut;
        if (w == TcpSocket::Wait::TimedOut) {
            if (msUntil(deadline) > 0) {
                if (request.onWaiting) {
                    request.onWaiting(++stepsWaited);
                }
                continue;
            }
            r.stage = reply.isEmpty() ? ExchangeResult::Stage::TimedOut : ExchangeResult::Stage::Replied;
            break;
        }
        if (w == TcpSocket::Wait::Failed) {
            r.stage = reply.isEmpty() ? ExchangeResult::Stage::WaitFailed : ExchangeResult::Stage::Replied;
            break;
        }
        char chunk[ReplyJudge::kReplyBuffer];
        const qint64 n = socket.readOnce(chunk, ReplyJudge::kReplyBuffer - reply.size());
        if (n <= 0) {
            r.stage = reply.isEmpty() ? ExchangeResult::Stage::Closed : ExchangeResult::Stage::Replied;
            break;
        }
        reply.append(chunk, n);
        if (ReplyJudge::isComplete(request.kind, reply)) {
            drainAvailable(socket, reply);
            r.stage = ExchangeResult::Stage::Replied;
            break;
        }
    }
    socket.close();
    if (r.stage == ExchangeResult::Stage::Replied) {
        ++t_replies;
    }
    r.reply = std::move(reply);
    return r;
}

int RepliesOnThisThread() {
    return t_replies;
}

ExchangeResult RunCommandExchange(const CommandTarget& target, const CommandContext& context,
                                  const ExchangeRequest& request) {
    CommandConnection connection = OpenCommandConnection(target, context);
    if (connection.result != ConnectResult::Ok) {
        ExchangeResult r;
        r.stage = ExchangeResult::Stage::ConnectFailed;
        r.connectResult = connection.result;
        r.connectTimedOut = connection.connectTimedOut;
        return r;
    }
    return RunOnConnection(connection, context, CommandBlock(connection.prefix, request.commandText),
                           request);
}
