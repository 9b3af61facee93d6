#pragma once

#include "i18n/CatalogId.h"
#include "protocol/CommandConnection.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// One picture to many projectors at once: at most maxParallel uploads run side by side,
// each target's progress can be read at any time, one flag stops them all (sockets in
// flight are closed from the workers' side), and each delivery can be checked with INFO.
class SendEngine final {
public:
    enum class Stage {
        Waiting,    // not started yet
        Connecting,
        Sending,    // bytes going out
        Verdict,    // everything sent, the projector has not answered yet
        Verifying,  // delivered; asking the store what it holds
        Delivered,  // delivered, not checked (no verify asked, or stopped while checking)
        Verified,   // delivered and the store reports the same name and length
        Mismatch,   // delivered, but the store reports something else
        Failed,
        Stopped,
    };

    static constexpr int kDefaultParallel = 16;
    static constexpr int kMaxParallel = 64; // threads and sockets stay bounded whatever is asked

    struct Job {
        QByteArray fileName; // the name the projector stores
        QByteArray content;  // the whole file, read once
        int storeNumber = 1;
        bool verify = true;
        int maxParallel = kDefaultParallel;
        CommandContext context; // its stop flag is the engine's own
    };

    struct TargetState {
        Stage stage = Stage::Waiting;
        qint64 sent = 0;   // bytes of the command block out so far
        qint64 total = 0;  // bytes of the whole block
        int waitedMs = 0;  // time spent waiting for the verdict so far
        int verdictLimitMs = 0;
        int result = 0;    // the upload's result code once it has ended
        // What the store reported when the check did not match.
        int verifyResult = 0;     // 2 a file, 1 empty, -1 failed
        QString reportedName;     // or the failure text
        QString reportedLength;
    };

    SendEngine(Job job, QList<CommandTarget> targets);
    // Stops and waits for the workers.
    ~SendEngine();
    SendEngine(const SendEngine&) = delete;
    SendEngine& operator=(const SendEngine&) = delete;

    void start();
    // Uploads not started do not start; those in flight are abandoned. Returns at once.
    void stop() { m_stop.store(true); }
    [[nodiscard]] bool stopRequested() const { return m_stop.load(); }
    // Waits until every worker has ended; false when timeoutMs passed first.
    bool wait(int timeoutMs);
    [[nodiscard]] bool isFinished() const { return m_running.load() == 0 && m_started; }

    [[nodiscard]] int size() const { return static_cast<int>(m_targets.size()); }
    [[nodiscard]] TargetState state(int index) const;
    [[nodiscard]] std::vector<TargetState> snapshot() const;

    // Row texts as the user reads them.
    static QString stageText(const TargetState& state, const CommandTimeouts& timeouts);
    // The outcome of an upload result code: never a bare number.
    static QString outcomeText(int uploadResult, const CommandTimeouts& timeouts);
    [[nodiscard]] const Job& job() const { return m_job; }
    [[nodiscard]] static bool isEnded(Stage stage);
    [[nodiscard]] static bool isDelivered(Stage stage);

private:
    using Clock = std::chrono::steady_clock;

    void work();
    void runOne(int index);
    template <typename Change> void update(int index, Change&& change);

    Job m_job;
    QList<CommandTarget> m_targets;
    std::vector<TargetState> m_states;
    std::vector<std::optional<Clock::time_point>> m_verdictSince;
    mutable std::mutex m_mutex;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_next{0};
    std::atomic<int> m_running{0};
    bool m_started = false;
    std::vector<std::thread> m_workers;
};
