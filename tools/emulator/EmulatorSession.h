#pragma once

#include "EmulatorConfig.h"
#include "EmulatorStores.h"

#include <QByteArray>

#include <atomic>
#include <functional>

// What one connection carried, kept for tests to inspect.
struct EmulatorRequest final {
    QByteArray block;   // everything the client sent
    QByteArray command; // the command line without prefix and line end
    bool prefixOk = true;
    QByteArray reply; // what the emulator sent back (before faults reshaped it)
};

// Serves one accepted connection the way a projector does: challenge, one command block,
// one reply, close.
class EmulatorSession final {
public:
    EmulatorSession(int fd, const EmulatorConfig& config, EmulatorStores& stores,
                    const std::atomic<bool>& stopping);
    ~EmulatorSession();
    EmulatorSession(const EmulatorSession&) = delete;
    EmulatorSession& operator=(const EmulatorSession&) = delete;

    // Runs to the end of the connection and returns what it carried.
    EmulatorRequest serve();

    // The reply a command earns, without faults; stores are changed as the command says.
    // Pure apart from the stores; PUT is handled by serve() because it reads a file body.
    static QByteArray replyTo(const QByteArray& command, EmulatorStores& stores);

private:
    bool pause(int ms) const;
    bool readMore(QByteArray& buffer, qint64 atLeast);
    bool sendAll(QByteArrayView data);
    void sendReply(const QByteArray& reply);
    void holdOpen(int ms) const;
    void closeGracefully();
    QByteArray handlePut(const QByteArray& commandLine, QByteArray& block, qsizetype bodyStart);

    int m_fd;
    const EmulatorConfig& m_config;
    EmulatorStores& m_stores;
    const std::atomic<bool>& m_stopping;
    EmulatorRequest m_request;
};
