#pragma once

#include "protocol/CommandExchange.h"

#include <QByteArray>

#include <chrono>
#include <functional>

// One command exchange whose steps never block: connect, the greeting when the target
// authenticates, the block, the reply. It keeps the waits and outcomes of
// RunCommandExchange step for step, so that one thread (ExchangeLoop) can carry hundreds of
// exchanges at once where the blocking form needs a thread for each.
class AsyncExchange final {
public:
    using Clock = std::chrono::steady_clock;
    using Done = std::function<void(const ExchangeResult& result)>;

    // The block is the connection's prefix followed by request.commandText. request.onSent
    // and request.onWaiting are called as in RunOnConnection, done once at the end; all of
    // them on the thread that drives the exchange.
    AsyncExchange(CommandTarget target, const CommandContext& context, ExchangeRequest request, Done done);
    ~AsyncExchange();
    AsyncExchange(const AsyncExchange&) = delete;
    AsyncExchange& operator=(const AsyncExchange&) = delete;

    // Opens the socket and starts connecting; a failure ends the exchange at once.
    void begin(Clock::time_point now);
    // What poll() waits for, and the latest time to come back without an event.
    [[nodiscard]] int fd() const { return m_fd; }
    [[nodiscard]] short events() const { return m_events; }
    [[nodiscard]] Clock::time_point deadline() const { return m_deadline; }
    // poll() said revents for fd(), or 0 when the deadline came first.
    void advance(short revents, Clock::time_point now);
    // Ends where it stands, as a raised stop flag ends the blocking form.
    void abandon();

    [[nodiscard]] bool isDone() const { return m_phase == Phase::Done; }
    [[nodiscard]] bool stopRequested() const { return m_context.stop != nullptr && m_context.stop->load(); }

    static constexpr qint64 kPieceBytes = 16 * 1024; // as RunOnConnection reports its pieces

private:
    enum class Phase { Idle, Connecting, Greeting, Sending, Replying, Done };

    void connected(Clock::time_point now);
    void readGreeting(short revents, Clock::time_point now);
    void startSending(Clock::time_point now);
    void sendSome(Clock::time_point now);
    void startReplying(Clock::time_point now);
    void readReply(short revents, Clock::time_point now);
    void armStep(Clock::time_point now);
    void failConnect(int code);
    void finish(ExchangeResult::Stage stage);

    CommandTarget m_target;
    CommandContext m_context;
    ExchangeRequest m_request;
    Done m_done;

    Phase m_phase = Phase::Idle;
    int m_fd = -1;
    short m_events = 0;
    Clock::time_point m_deadline;
    QByteArray m_prefix;
    QByteArray m_block;
    qint64 m_total = 0;
    qint64 m_sent = 0;
    Clock::time_point m_replyDeadline;
    int m_stepsWaited = 0;
    QByteArray m_reply;
    ExchangeResult m_result;
};
