#include "protocol/CommandConnection.h"

#include "protocol/ChallengeResponse.h"
#include "registry/ProjectorStore.h"

namespace {
constexpr qint64 kGreetingBuffer = 1024;
}

CommandConnection OpenCommandConnection(const CommandTarget& target, const CommandContext& context) {
    if (context.store != nullptr) {
        context.store->noteConnection(target.authenticate, target.password);
    }
    CommandConnection c;
    if (!c.socket.create()) {
        c.result = ConnectResult::SocketFailed;
        return c;
    }
    c.socket.setStopFlag(context.stop);
    switch (c.socket.connectTo(target.address, kCommandPort, context.timeouts.connectMs)) {
    case TcpSocket::Connect::Ok:
        break;
    case TcpSocket::Connect::TimedOut:
        c.connectTimedOut = true;
        [[fallthrough]];
    case TcpSocket::Connect::Failed:
        c.socket.close();
        c.result = ConnectResult::ConnectFailed;
        return c;
    }
    if (target.authenticate == 0) {
        return c; // nothing is read before the command goes out
    }
    switch (c.socket.waitReadable(context.timeouts.greetingMs)) {
    case TcpSocket::Wait::Readable:
        break;
    case TcpSocket::Wait::TimedOut:
        c.socket.close();
        c.result = ConnectResult::NoGreeting;
        return c;
    case TcpSocket::Wait::Failed:
        c.socket.close();
        c.result = ConnectResult::WaitFailed;
        return c;
    }
    QByteArray greeting(kGreetingBuffer, '\0');
    const qint64 n = c.socket.readOnce(greeting.data(), kGreetingBuffer);
    if (n <= 0) {
        c.socket.close();
        c.result = ConnectResult::GreetingReadFailed;
        return c;
    }
    greeting.truncate(n);
    c.prefix = ChallengeResponse::prefixFor(greeting, target.password.toUtf8());
    return c;
}

QByteArray CommandBlock(const QByteArray& prefix, const QByteArray& commandText) {
    return prefix + commandText;
}
