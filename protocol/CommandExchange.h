#pragma once

#include "protocol/CommandConnection.h"
#include "protocol/ReplyJudge.h"

#include <QByteArray>

#include <functional>

// One command on its own connection: connect, send one block, read the reply, close.
struct ExchangeRequest final {
    CommandKind kind = CommandKind::Info;
    QByteArray commandText; // what follows the prefix: "INFO 1\r\n", a PUT header and file, ...
    int replyWaits = 1;     // the reply may take replyWaits waits of waitStepMs
    int waitStepMs = 30000;
    // Called on the calling thread after the block went out and after each wait step
    // that passed without a reply.
    std::function<void(int stepsWaited)> onWaiting;
    // When set, the block goes out in pieces and this hears how many bytes are out.
    std::function<void(qint64 sent, qint64 total)> onSent;
};

struct ExchangeResult final {
    enum class Stage {
        ConnectFailed, // connectResult holds the code
        SendFailed,
        TimedOut,   // nothing arrived in time
        WaitFailed, // a wait ended without the socket readable
        Closed,     // the read failed or the peer closed before sending anything
        Replied,    // reply holds what arrived
    };
    Stage stage = Stage::ConnectFailed;
    int connectResult = ConnectResult::Ok;
    bool connectTimedOut = false;
    QByteArray reply; // at most 1024 bytes
};

// The reply is read until it is complete (ReplyJudge::isComplete), the waits are used up or
// the peer closes; then whatever already arrived behind it is taken too, so extra bytes are
// seen. Whatever arrived when the reading stops is the reply that is judged.
ExchangeResult RunCommandExchange(const CommandTarget& target, const CommandContext& context,
                                  const ExchangeRequest& request);

// How many replies the exchanges run on the calling thread have had so far, so that a run
// that keeps its exchange to itself can still tell whether the projector answered.
int RepliesOnThisThread();

// The same, with the connection already open (the upload builds its block around the prefix).
ExchangeResult RunOnConnection(CommandConnection& connection, const CommandContext& context,
                               const QByteArray& block, const ExchangeRequest& request);
