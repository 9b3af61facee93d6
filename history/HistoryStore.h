#pragma once

#include "history/HistoryRecord.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Why the history could not be written. The command that made the record is never affected.
enum class HistoryProblem {
    None,
    Damaged,    // the file was not a readable database; it was set aside and a new one begun
    Unwritable, // the file or its folder cannot be written; records are dropped
    Locked,     // another writer held the file past the busy limit; that batch is dropped
};

// How much history a file keeps; past either limit the oldest records go. 0: no limit.
struct HistoryLimits final {
    static constexpr qint64 kDefaultRecords = 200000;
    static constexpr qint64 kDefaultMegabytes = 200;
    qint64 maxRecords = kDefaultRecords;
    qint64 maxBytes = kDefaultMegabytes * 1024 * 1024;
};

// That older records were dropped, and under which limits.
struct HistoryDropNote final {
    qint64 dropped = 0; // in all, since the file began
    QDateTime lastDrop; // UTC
    HistoryLimits limits;
};

// The command history in an SQLite file (WAL mode, so the window and a headless schedule run
// write at once). Records are queued and written by a thread of the store's own, so append()
// never waits for the disk. Every thread that reads opens its own connection.
// A failed command identical to the last record of its projector adds to that record's count
// instead of making a new one, and the file is created readable by its owner only.
class HistoryStore final {
public:
    static constexpr int kDefaultKeepDays = 365;
    static constexpr int kDefaultBusyMs = 10000;

    // Starts the writer, which opens the file and prunes records older than keepDays.
    explicit HistoryStore(QString path, int keepDays = kDefaultKeepDays, int busyMs = kDefaultBusyMs);
    ~HistoryStore(); // writes what is queued, then stops
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    void append(HistoryRecord record);
    // Applies from the next batch written on.
    void setLimits(const HistoryLimits& limits);
    // Waits until everything appended so far is written (or dropped).
    void flush();

    // The first problem since the store began, handed out once; None after that or if all is well.
    HistoryProblem takeProblem();
    // Told on the writer's thread when the first problem is met, so nobody has to keep asking.
    void setProblemObserver(std::function<void()> observer);
    // Where a damaged file was moved, when it was.
    [[nodiscard]] QString setAsidePath() const;
    [[nodiscard]] const QString& path() const { return m_path; }

    // Reads on the calling thread with a connection of its own, newest first.
    [[nodiscard]] static std::optional<HistoryRecords> query(const QString& path,
                                                             const HistoryFilter& filter);
    // Whether records were ever dropped to keep the file within its limits; nullopt when not
    // (or when the file cannot be read).
    [[nodiscard]] static std::optional<HistoryDropNote> dropNote(const QString& path);
    // The history file in the user's data folder.
    [[nodiscard]] static QString defaultPath();

private:
    void run();

    const QString m_path;
    const int m_keepDays;
    const int m_busyMs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    std::deque<HistoryRecord> m_queue;
    quint64 m_appended = 0;                  // guarded by m_mutex
    quint64 m_written = 0;                   // guarded by m_mutex (written or dropped)
    bool m_stop = false;                     // guarded by m_mutex
    QString m_setAside;                      // guarded by m_mutex
    std::function<void()> m_problemObserver; // guarded by m_mutex
    HistoryLimits m_limits;                  // guarded by m_mutex
    std::atomic<int> m_problem{static_cast<int>(HistoryProblem::None)};
    std::atomic<bool> m_problemTaken{false};
    std::thread m_writer;
};
