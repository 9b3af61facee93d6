#include "protocol/GreetingProbe.h"

#include "protocol/CommandConnection.h"
#include "protocol/TcpSocket.h"

GreetingProbe::Verdict GreetingProbe::verdictOf(int connectResult) {
    switch (connectResult) {
    case ConnectResult::Ok:
        return Verdict::Challenge;
    case ConnectResult::NoGreeting:
        return Verdict::NoChallenge;
    default:
        return Verdict::Unreachable;
    }
}

GreetingProbe::Verdict GreetingProbe::probe(quint32 hostAddress, const CommandTimeouts& timeouts,
                                            const std::atomic<bool>* stop) {
    TcpSocket socket;
    if (!socket.create()) {
        return Verdict::Unreachable;
    }
    socket.setStopFlag(stop);
    if (socket.connectTo(hostAddress, kCommandPort, timeouts.connectMs) != TcpSocket::Connect::Ok) {
        return socket.stopRequested() ? Verdict::Stopped : Verdict::Unreachable;
    }
    const TcpSocket::Wait wait = socket.waitReadable(timeouts.greetingMs);
    if (socket.stopRequested()) {
        return Verdict::Stopped;
    }
    char greeting[1024];
    const qint64 n = wait == TcpSocket::Wait::Readable
                         ? socket.readOnce(greeting, static_cast<qint64>(sizeof greeting))
                         : 0;
    socket.close();
    return verdictOf(GreetingResult(wait, n));
}

QList<GreetingProbe::Verdict> GreetingProbe::probeAll(const QList<quint32>& hostAddresses,
                                                      const CommandTimeouts& timeouts,
                                                      const std::atomic<bool>* stop,
                                                      const std::function<void(int done)>& progress) {
    QList<Verdict> verdicts;
    verdicts.reserve(hostAddresses.size());
    for (const quint32 address : hostAddresses) {
        const bool stopped = stop != nullptr && stop->load();
        verdicts << (stopped ? Verdict::Stopped : probe(address, timeouts, stop));
        if (progress) {
            progress(static_cast<int>(verdicts.size()));
        }
    }
    return verdicts;
}
