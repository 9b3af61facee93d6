#pragma once

#include "i18n/CatalogId.h"
#include "protocol/CommandConnection.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class ExchangeLoop;
class ObservedRun;
struct ExchangeResult;

// One picture to many projectors at once. At most maxParallel transfers (connecting, the
// greeting, the file going out) run side by side; a projector that has the whole file and
// is still storing it holds no transfer, so all the verdicts are waited for together. Every
// connection runs on one thread of the engine's own, without blocking the others. Progress
// and results come as signals and can also be read at any time; one flag stops them all
// (sockets in flight close at once), and each delivery can be checked with INFO.
class SendEngine final : public QObject {
    Q_OBJECT

public:
    enum class Stage {
        Waiting, // not started yet
        Connecting,
        Sending,   // bytes going out
        Verdict,   // everything sent, the projector has not answered yet
        Verifying, // delivered; asking the store what it holds
        Delivered, // delivered, not checked (no verify asked, or stopped while checking)
        Verified,  // delivered and the store reports the same name and length
        Mismatch,  // delivered, but the store reports something else
        Failed,
        Stopped,
    };

    static constexpr int kDefaultParallel = 16;
    static constexpr int kMaxParallel = 64; // transfers at once stay bounded whatever is asked
    // Connections open at once, those waiting for a verdict included: descriptors stay bounded.
    static constexpr int kMaxConnections = 512;

    struct Job {
        QByteArray fileName; // the name the projector stores
        QByteArray content;  // the whole file, read once
        int storeNumber = 1;
        bool verify = true;
        int maxParallel = kDefaultParallel; // transfers at once; verdicts are waited for beside them
        CommandContext context;             // its stop flag is the engine's own
    };

    struct TargetState {
        Stage stage = Stage::Waiting;
        qint64 sent = 0;  // bytes of the command block out so far
        qint64 total = 0; // bytes of the whole block
        int waitedMs = 0; // time spent waiting for the verdict so far
        int verdictLimitMs = 0;
        int result = 0; // the upload's result code once it has ended
        // What the store reported when the check did not match.
        int verifyResult = 0; // 2 a file, 1 empty, -1 failed
        QString reportedName; // or the failure text
        QString reportedLength;
    };

    explicit SendEngine(Job job, QList<CommandTarget> targets, QObject* parent = nullptr);
    // Stops and waits for the engine's thread: nothing is reported after this.
    ~SendEngine() override;
    SendEngine(const SendEngine&) = delete;
    SendEngine& operator=(const SendEngine&) = delete;

    void start();
    // Uploads not started do not start; those in flight are abandoned. Returns at once.
    void stop();
    [[nodiscard]] bool stopRequested() const { return m_stop.load(); }
    // Waits until every target has ended; false when timeoutMs passed first.
    bool wait(int timeoutMs);
    [[nodiscard]] bool isFinished() const { return m_finished.load(); }

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

Q_SIGNALS:
    // A target moved on: another stage, more of the file out, another step of the verdict
    // waited. Sent from the engine's thread, so a receiver elsewhere hears it queued.
    void targetChanged(int index, const SendEngine::TargetState& state);
    // Every target has ended; state() and snapshot() hold the outcome.
    void finished();

private:
    using Clock = std::chrono::steady_clock;
    using Since = std::optional<Clock::time_point>;

    // On the engine's thread.
    void admit();
    void beginUpload(int index);
    void sentBytes(int index, qint64 sent, qint64 total);
    void waiting(int index, int steps);
    void uploadEnded(int index, const ExchangeResult& exchange, ObservedRun& run);
    void beginVerify(int index);
    void verifyEnded(int index, const ExchangeResult& exchange, ObservedRun& run);
    void releaseTransfer(int index);
    void end(int index, Stage stage, int result);
    template <typename Change> void update(int index, Change&& change);

    Job m_job;
    QList<CommandTarget> m_targets;
    QByteArray m_putText; // the header and the file, shared by every upload
    int m_sendable = 0;   // why no upload can begin, when it is not 0

    mutable std::mutex m_mutex; // the states and the end
    std::condition_variable m_ended;
    std::vector<TargetState> m_states;
    std::vector<Since> m_verdictSince;
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_stop{false};
    bool m_started = false;

    // The engine thread's own.
    int m_next = 0;      // the next target to begin
    int m_transfers = 0; // connecting or sending
    int m_open = 0;      // connections open
    int m_endedCount = 0;
    std::vector<char> m_holdsTransfer;
    std::vector<int> m_shownPermille; // of the file out, as last reported

    std::unique_ptr<ExchangeLoop> m_loop; // last: its thread ends before the rest goes
};

Q_DECLARE_METATYPE(SendEngine::TargetState)
