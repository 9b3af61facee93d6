#pragma once

#include "protocol/CommandTimeouts.h"

#include <QList>
#include <QtGlobal>

#include <atomic>
#include <functional>

// Asks projectors whether they greet a connection with a challenge, which is how a projector
// that demands a password shows it. Nothing is sent: the probe connects, waits for the
// greeting as a command connection would, and closes.
namespace GreetingProbe {

enum class Verdict {
    Challenge,   // a greeting came: the projector demands a password
    NoChallenge, // connected, and the greeting wait ran out: no password is asked
    Unreachable, // no connection, or it closed or failed before a verdict
    Stopped,     // the stop flag was raised first
};

// The verdict for a connection result code (ConnectResult) of the greeting stage.
Verdict verdictOf(int connectResult);

// One projector, on the calling thread; at most the connect time-out plus the greeting wait.
Verdict probe(quint32 hostAddress, const CommandTimeouts& timeouts, const std::atomic<bool>* stop = nullptr);

// Each address in turn; progress hears how many are done after each one. Addresses left when
// the stop flag rises are Stopped.
QList<Verdict> probeAll(const QList<quint32>& hostAddresses, const CommandTimeouts& timeouts,
                        const std::atomic<bool>* stop, const std::function<void(int done)>& progress = {});

} // namespace GreetingProbe
