#pragma once

#include "i18n/CatalogId.h"
#include "registry/DiscoveredDeviceTable.h"
#include "registry/DiscoveryDatagram.h"

#include <QList>
#include <QStringList>

#include <atomic>
#include <functional>

// One or more projector searches over UDP multicast. open() makes the two sockets of the
// search dialog; each search() sends one request and collects the answers until five
// one-second waits in all have passed without one.
class DiscoverySearch final {
public:
    enum class Status { Ok, SocketFailed, BindFailed, JoinFailed, TtlFailed, SendFailed, NotOpen };

    struct Options {
        int waitMs = 1000;
        int timeouts = 5;
        // Answers that keep coming keep a search going; this bounds it all the same.
        int maxDurationMs = 60000;
        quint16 requestPort = DiscoveryDatagram::kRequestPort;
        quint16 answerPort = DiscoveryDatagram::kAnswerPort;
        quint32 group = DiscoveryDatagram::kGroup;
        int ttl = 10;
    };

    DiscoverySearch();
    explicit DiscoverySearch(const Options& options);
    ~DiscoverySearch();
    DiscoverySearch(const DiscoverySearch&) = delete;
    DiscoverySearch& operator=(const DiscoverySearch&) = delete;

    // The search socket (port 2363, group joined, time-to-live 10) and the answer socket
    // (port 4001). Creating or binding either is checked: a failure is never a search that
    // found nothing.
    Status open();
    void close();
    [[nodiscard]] const Options& options() const { return m_options; }
    [[nodiscard]] bool isOpen() const { return m_searchFd >= 0 && m_answerFd >= 0; }

    // Sends the request naming localAddress (host order) out of that interface and collects
    // the answers into found, which is emptied first. found never holds more than
    // DiscoveredDeviceTable::kMaxDevices (256) projectors; a search that fills it ends.
    Status search(quint32 localAddress, DiscoveredDeviceTable& found);

    // Called on the searching thread with each answer record that made a new row, as it
    // arrives, and with the number of quiet waits so far after each wait without an answer.
    using FoundCallback = std::function<void(const QByteArray& record)>;
    using WaitCallback = std::function<void(int quietWaits)>;
    void setFoundCallback(FoundCallback callback) { m_onFound = std::move(callback); }
    void setWaitCallback(WaitCallback callback) { m_onWait = std::move(callback); }

    // Ends a running search at its next wait.
    void requestStop() { m_stop.store(true); }

    // What the user is told for a status, and its inserts.
    static CatalogId textFor(Status status);
    [[nodiscard]] QStringList insertsFor(Status status) const;

private:
    Options m_options;
    int m_searchFd = -1;
    int m_answerFd = -1;
    quint16 m_failedPort = 0;
    std::atomic<bool> m_stop{false};
    FoundCallback m_onFound;
    WaitCallback m_onWait;
};
