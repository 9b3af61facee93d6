#pragma once

#include "alerts/Alert.h"

#include <QProcessEnvironment>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

// Runs the operator's command once per alert raised or cleared, through /bin/sh -c, with the
// alert in TESSAVEL_ALERT_* variables. Hooks run one at a time on a thread of their own, so a
// slow one never holds up the schedule; what waits is a bounded queue. A hook that cannot
// start, fails, hangs or floods its output is reported and the service goes on: a hang is
// ended (its whole process group) after the time limit, and output past the cap is read and
// thrown away, never kept.
class AlertHook final {
public:
    struct Settings {
        qint64 timeoutMs = 10000;     // a hook running longer is ended
        int queueLimit = 32;          // runs waiting; more are dropped with a note
        qint64 outputCap = 16 * 1024; // bytes of one run's output passed on
    };

    // Both are called on the hook's thread (a dropped run's note on the caller's): the owner
    // serialises them with its own output.
    using Output = std::function<void(const QString& line)>;  // one line of a hook's output, prefixed
    using Problem = std::function<void(const QString& text)>; // a catalog text, one line

    AlertHook(QString command, Settings settings, Output output, Problem problem);
    // Ends a hook at work and drops the runs that wait, saying how many.
    ~AlertHook();
    AlertHook(const AlertHook&) = delete;
    AlertHook& operator=(const AlertHook&) = delete;

    // Queues one run for the alert as it now stands; false when the queue was full.
    bool post(const Alert& alert, bool raised);
    // Waits until every run queued so far has ended (each is bounded by the time limit), or
    // for waitMs at most when it is not negative; true when none is left.
    bool finish(qint64 waitMs = -1);

    // Runs ended so far, whatever their outcome.
    [[nodiscard]] int runsEnded() const { return m_ended.load(); }

    // base with the alert's variables set; outside text has its invisible characters spelled out.
    [[nodiscard]] static QProcessEnvironment environment(const Alert& alert, bool raised,
                                                         QProcessEnvironment base);

private:
    struct Job {
        Alert alert;
        bool raised = false;
    };

    void work();
    void run(const Job& job);

    QString m_command;
    Settings m_settings;
    Output m_output;
    Problem m_problem;
    std::mutex m_mutex;
    std::condition_variable m_wake; // work queued, or stop
    std::condition_variable m_idle; // the queue emptied and no run is at work
    std::deque<Job> m_queue;
    bool m_busy = false;
    bool m_stop = false;
    std::atomic<bool> m_abandon{false}; // the run at work ends at once
    std::atomic<int> m_ended{0};
    // A QThread, not a bare thread: QProcess wants an event dispatcher on the thread it runs from.
    std::unique_ptr<QThread> m_worker;
};
