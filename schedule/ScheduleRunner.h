#pragma once

#include "protocol/CommandConnection.h"
#include "schedule/ScheduleOptions.h"
#include "schedule/ScheduleTable.h"
#include "schedule/UploadBackoff.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Runs a schedule's run copy on a worker thread: uploads each entry, marks it, waits its
// interval, and loops when asked. Flags and statuses that the two threads share are atomics.
// A stop abandons the upload in flight (its socket closes on the worker) and cuts a wait
// short, so the worker ends within a fraction of a second whatever the projector does.
// On request a run checks each upload with INFO and tries a failed one again.
// A looping run leaves a projector whose upload failed alone for a while (UploadBackoff) and
// goes on with the entries of other projectors; when every entry waits, so does the worker.
class ScheduleRunner final {
public:
    enum StopRequest : int { None = 0, StartRequested = 1, StopRequested = 2 };

    // Uploads one entry; 0 is success, anything else a failure. The flag is raised when the
    // run is stopped: an uploader gives up as soon as it sees it.
    using Uploader = std::function<int(const QString& path, int storeNumber, const CommandTarget& target,
                                       const std::atomic<bool>& stop)>;
    // Told on the worker thread whenever an entry's status changes.
    using StatusObserver = std::function<void(int index, int status)>;
    // Told on the worker thread as its last act, once isRunning() has fallen.
    using EndObserver = std::function<void()>;
    // Told on the worker thread as a wait begins: the next upload, of entry index, is due in
    // ms (an interval, a retry's pause or a projector's back-off).
    using WaitObserver = std::function<void(int index, qint64 ms)>;
    // Told on the worker thread when a looping run leaves a failed entry's projector alone:
    // result is the upload's, and the projector is tried again in ms at the earliest.
    using BackoffObserver = std::function<void(int index, int result, qint64 ms)>;
    // Told on the worker thread when an entry's turn ends with a verdict: done, or failed
    // after every attempt (and check); result is the last upload's.
    using VerdictObserver = std::function<void(int index, bool done, int result)>;

    struct Options {
        int stepMs = 1000;       // one step of an interval wait
        int stepsPerMinute = 60; // an interval of n minutes is n * 60 steps
        int retries = 3;         // further attempts at a failed upload, when the run retries
        int retryWaitSteps = 30; // steps between two attempts: 30 s
        CommandContext context;  // for the default uploader; its stop flag is the runner's
        qint64 backoffFirstMs = UploadBackoff::kFirstMs;
        qint64 backoffLongestMs = UploadBackoff::kLongestMs;
        UploadBackoff::Clock clock; // monotonic milliseconds; none: the steady clock
    };

    ScheduleRunner();
    explicit ScheduleRunner(Options options, Uploader uploader = {});
    // Stops a running schedule and waits for the worker: the runner must outlive it.
    ~ScheduleRunner();
    ScheduleRunner(const ScheduleRunner&) = delete;
    ScheduleRunner& operator=(const ScheduleRunner&) = delete;

    void setStatusObserver(StatusObserver observer);
    void setEndObserver(EndObserver observer);
    void setWaitObserver(WaitObserver observer);
    void setBackoffObserver(BackoffObserver observer);
    void setVerdictObserver(VerdictObserver observer);

    // Copies the table, its count, the loop flag and the options and starts the worker.
    // Refused (false) while a run is active or when the count is not 1 to 30.
    // With verify, an upload counts as done only when the store then reports a file of the
    // same name and length (entries of a temporary store cannot be asked and are not
    // checked). With retry, a failed upload is tried again up to Options::retries times,
    // Options::retryWaitSteps apart; the entry shows failed while it waits.
    bool start(const ScheduleTable& table, int count, bool loop, const ScheduleOptions& checks = {});

    // Asks the worker to stop and waits until it has ended; nothing when no run is active.
    // The worker notices at once during a wait and within a fraction of a second during an
    // upload, which it abandons; the entry then keeps the status it had before.
    void stop();
    // Only asks: returns at once. An interface learns of the end through the end observer,
    // then calls stop() to collect the worker.
    void requestStop();

    // Running from start() on, so a Stop pressed at once is never lost.
    [[nodiscard]] bool isRunning() const { return m_running.load() != 0; }
    [[nodiscard]] int stopRequest() const { return m_stop.load(); }
    // The status field of an entry of the run copy (index 0 to 29).
    [[nodiscard]] int entryStatus(int index) const;
    [[nodiscard]] const ScheduleTable& runCopy() const { return m_table; }
    // How many uploads the worker has made in this run, each retry counted.
    [[nodiscard]] int uploadsMade() const { return m_uploads.load(); }
    // How many of them were checked with INFO.
    [[nodiscard]] int checksMade() const { return m_checks.load(); }

private:
    enum class Check { Matches, Differs, Stopped };

    void work();
    bool runEntry(int index, const CommandTarget& target, int before, int& result);
    Check checkUpload(const ScheduleEntry& entry, const CommandTarget& target);
    void setStatus(int index, int status);
    void waitSteps(qint64 steps);
    void waitMs(qint64 ms);
    void tellWait(int index, qint64 ms);
    void joinWorker();

    Options m_options;
    Uploader m_uploader;
    StatusObserver m_observer;
    EndObserver m_endObserver;
    WaitObserver m_waitObserver;
    BackoffObserver m_backoffObserver;
    VerdictObserver m_verdictObserver;
    ScheduleTable m_table;
    int m_count = 0;
    bool m_loop = false;
    ScheduleOptions m_runOptions;
    std::array<std::atomic<qint32>, ScheduleTable::kSlots> m_status{};
    std::atomic<int> m_running{0};
    std::atomic<int> m_stop{None};
    std::atomic<int> m_uploads{0};
    std::atomic<int> m_checks{0};
    std::atomic<bool> m_abandon{false}; // raised with a stop request; sockets watch it
    std::mutex m_wakeMutex;
    std::condition_variable m_wake; // cuts an interval wait short
    std::mutex m_control;           // start and stop come from the interface thread; this keeps them whole
    std::thread m_worker;
};
