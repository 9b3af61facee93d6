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
    const TcpSocket::Wait wait = c.socket.waitReadable(context.timeouts.greetingMs);
    QByteArray greeting(kGreetingBuffer, '\0');
    const qint64 n =
        wait == TcpSocket::Wait::Readable ? c.socket.readOnce(greeting.data(), kGreetingBuffer) : 0;
    c.result = GreetingResult(wait, n);
    if (c.result != ConnectResult::Ok) {
        c.socket.close();
        return c;
    }
    greeting.truncate(n);
    c.prefix = ChallengeResponse::prefixFor(greeting, PasswordBytesFor(target, context));
    return c;
}

QByteArray PasswordBytesFor(const CommandTarget& target, const CommandContext& context) {
    if (target.passwordBytes) {
        return *target.passwordBytes;
    }
    return context.store != nullptr ? context.store->passwordBytes(target.password)
                                    : target.password.toUtf8();
}

int GreetingResult(TcpSocket::Wait wait, qint64 bytesRead) {
    switch (wait) {
    case TcpSocket::Wait::TimedOut:
        return ConnectResult::NoGreeting;
    case TcpSocket::Wait::Failed:
        return ConnectResult::WaitFailed;
    case TcpSocket::Wait::Readable:
        break;
    }
    return bytesRead > 0 ? ConnectResult::Ok : ConnectResult::GreetingReadFailed;
}

QByteArray CommandBlock(const QByteArray& prefix, const QByteArray& commandText) {
    return prefix + commandText;
}
