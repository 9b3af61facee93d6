#pragma once

#include "EmulatorConfig.h"
#include "EmulatorSession.h"
#include "EmulatorStores.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <atomic>
#include <list>
#include <memory>
#include <thread>

// An emulated projector: the command port on its own address, its four stores, and on
// request the answer to a discovery search. Every connection is served on a thread of its
// own, so slow clients do not hold up others.
class ProjectorEmulator final {
public:
    explicit ProjectorEmulator(EmulatorConfig config);
    ~ProjectorEmulator();
    ProjectorEmulator(const ProjectorEmulator&) = delete;
    ProjectorEmulator& operator=(const ProjectorEmulator&) = delete;

    // Binds and listens; false with a reason when the address or port is not available.
    bool start(QString* error = nullptr);
    // Ends every connection and joins every thread.
    void stop();
    [[nodiscard]] bool isRunning() const { return m_listenFd >= 0; }

    // Faults apply to connections accepted from now on.
    void setFaults(const EmulatorFaults& faults);
    [[nodiscard]] EmulatorConfig config() const;

    [[nodiscard]] quint32 address() const { return m_config.address; }
    [[nodiscard]] EmulatorStores& stores() { return *m_stores; }

    // What each accepted connection carried, in the order they were accepted. A session
    // records its request only when its thread ends, which may be after the client has read
    // the reply and gone; this waits (up to kRecordWaitMs) until every connection accepted so
    // far has been recorded, so a test never reads the log half written.
    [[nodiscard]] QList<EmulatorRequest> requests() const;
    static constexpr int kRecordWaitMs = 30000;
    [[nodiscard]] int connections() const { return m_connections.load(); }
    [[nodiscard]] int searchesAnswered() const { return m_searches.load(); }
    // Waits until as many connections as given have been served to their end.
    bool waitForServed(int count, int timeoutMs) const;

private:
    struct Session {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptLoop();
    void discoveryLoop();
    void reapSessions(bool all);
    bool openDiscovery(QString* error);
    void answerSearch(quint32 searcher, const EmulatorFaults& faults);

    EmulatorConfig m_config;
    std::unique_ptr<EmulatorStores> m_stores;
    mutable QMutex m_mutex;            // faults, records, sessions
    mutable QWaitCondition m_recorded; // a session added its record
    EmulatorFaults m_faults;
    QList<EmulatorRequest> m_requests;
    QList<int> m_requestOrder; // the accept number of each request, ascending
    std::list<std::unique_ptr<Session>> m_sessions;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_served{0};
    std::atomic<int> m_searches{0};
    int m_listenFd = -1;
    int m_discoveryFd = -1;
    std::thread m_acceptThread;
    std::thread m_discoveryThread;
};
