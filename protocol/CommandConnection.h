#pragma once

#include "protocol/CommandTimeouts.h"
#include "protocol/TcpSocket.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>

class CommandObserver;
class ProjectorStore;

inline constexpr quint16 kCommandPort = 9716;

// Result codes of OpenCommandConnection; there is no -104.
namespace ConnectResult {
inline constexpr int Ok = 0;
inline constexpr int SocketFailed = -101;
inline constexpr int ConnectFailed = -102;
inline constexpr int NoGreeting = -103;
inline constexpr int WaitFailed = -105;
inline constexpr int GreetingReadFailed = -1;
} // namespace ConnectResult

// The projector a command goes to, as its record gives it.
struct CommandTarget final {
    CommandTarget() = default;
    CommandTarget(quint32 host, int authenticateMark, QString recordPassword)
        : address(host), authenticate(authenticateMark), password(std::move(recordPassword)) {}

    quint32 address = 0;  // host order, first octet most significant
    int authenticate = 0; // non-zero: answer the challenge
    QString password;     // a record's password, up to 255 characters, used whole
    // The password as the file it came from holds it, when that file has a code page of its
    // own (a schedule); otherwise the projector list's code page writes it.
    std::optional<QByteArray> passwordBytes;
};

// What the commands share besides the target.
struct CommandContext final {
    CommandTimeouts timeouts;
    ProjectorStore* store = nullptr; // receives the authentication fields each connection notes
    // Raised by another thread to abandon the command: its socket closes on the thread that
    // runs it within a fraction of a second. Must outlive the command.
    const std::atomic<bool>* stop = nullptr;
    // Hears how each command run ended (the command history); none when null. Must outlive
    // the command.
    CommandObserver* observer = nullptr;
};

// The bytes the challenge answer hashes: a projector hashes its password in the code page it
// was set in, so a list kept in a legacy code page answers in that code page, not in UTF-8.
QByteArray PasswordBytesFor(const CommandTarget& target, const CommandContext& context);

// A connected socket and the prefix the command block starts with.
struct CommandConnection final {
    int result = ConnectResult::Ok;
    bool connectTimedOut = false; // -102 because the projector did not accept in time
    TcpSocket socket;             // open only when result is 0
    QByteArray prefix;            // 32 upper-case hex digits when authenticating, else empty
};

// How the wait for the greeting and the one read after it end, as a connection result: Ok
// when bytes came (their first 8 are the challenge), NoGreeting when the wait ran out,
// WaitFailed when the wait itself failed, GreetingReadFailed when the read gave nothing.
int GreetingResult(TcpSocket::Wait wait, qint64 bytesRead);

// Connects to port 9716 and, when the target authenticates, reads the greeting and builds
// the prefix. Every failure closes the socket before it returns.
CommandConnection OpenCommandConnection(const CommandTarget& target, const CommandContext& context = {});

// The single buffer a command sends: the prefix directly followed by the command text.
QByteArray CommandBlock(const QByteArray& prefix, const QByteArray& commandText);
