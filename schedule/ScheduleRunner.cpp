#include "schedule/ScheduleRunner.h"

#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "protocol/StoreCheck.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <system_error>

ScheduleRunner::ScheduleRunner() : ScheduleRunner(Options{}) {}

ScheduleRunner::ScheduleRunner(Options options, Uploader uploader)
    : m_options(std::move(options)), m_uploader(std::move(uploader)) {
    if (!m_uploader) {
        const CommandContext context = m_options.context;
        m_uploader = [context](const QString& path, int store, const CommandTarget& target,
                               const std::atomic<bool>& stop) {
            CommandContext withStop = context;
            withStop.stop = &stop;
            return UploadImage(path, store, target, withStop);
        };
    }
}

ScheduleRunner::~ScheduleRunner() {
    stop();
    joinWorker();
}

void ScheduleRunner::setStatusObserver(StatusObserver observer) {
    std::lock_guard lock(m_control);
    if (!isRunning()) {
        m_observer = std::move(observer);
    }
}

void ScheduleRunner::setEndObserver(EndObserver observer) {
    std::lock_guard lock(m_control);
    if (!isRunning()) {
        m_endObserver = std::move(observer);
    }
}

void ScheduleRunner::setWaitObserver(WaitObserver observer) {
    std::lock_guard lock(m_control);
    if (!isRunning()) {
        m_waitObserver = std::move(observer);
    }
}

void ScheduleRunner::setBackoffObserver(BackoffObserver observer) {
    std::lock_guard lock(m_control);
    if (!isRunning()) {
        m_backoffObserver = std::move(observer);
    }
}

void ScheduleRunner::setVerdictObserver(VerdictObserver observer) {
    std::lock_guard lock(m_control);
    if (!isRunning()) {
        m_verdictObserver = std::move(observer);
    }
}

bool ScheduleRunner::start(const ScheduleTable& table, int count, bool loop, const ScheduleOptions& checks) {
    std::lock_guard lock(m_control);
    if (isRunning() || count < 1 || count > ScheduleTable::kSlots) {
        return false;
    }
    joinWorker(); // a run that ended by itself leaves its thread to be collected
    m_table = table;
    m_count = count;
    m_loop = loop;
    m_runOptions = checks;
    for (int i = 0; i < ScheduleTable::kSlots; ++i) {
        m_status[i].store(m_table.entries[i].status);
    }
    m_uploads.store(0);
    m_checks.store(0);
    m_abandon.store(false);
    m_stop.store(StartRequested);
    m_running.store(1);
    try {
        m_worker = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        m_running.store(0); // no thread: the caller tells the user
        return false;
    }
    return true;
}

void ScheduleRunner::requestStop() {
    if (!isRunning()) {
        return;
    }
    m_stop.store(StopRequested);
    m_abandon.store(true);
    {
        // Under the mutex, so a worker about to wait cannot miss the wake-up.
        std::lock_guard wakeLock(m_wakeMutex);
    }
    m_wake.notify_all();
}

void ScheduleRunner::stop() {
    std::lock_guard lock(m_control);
    if (!isRunning()) {
        joinWorker();
        return;
    }
    requestStop();
    joinWorker();
}

int ScheduleRunner::entryStatus(int index) const {
    if (index < 0 || index >= ScheduleTable::kSlots) {
        return ScheduleEntry::NotRun;
    }
    return m_status[index].load();
}

void ScheduleRunner::joinWorker() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void ScheduleRunner::setStatus(int index, int status) {
    m_status[index].store(status);
    if (m_observer) {
        m_observer(index, status);
    }
}

void ScheduleRunner::waitSteps(qint64 steps) {
    std::unique_lock lock(m_wakeMutex);
    for (qint64 s = 0; s < steps; ++s) {
        if (m_stop.load() == StopRequested) {
            return;
        }
        // One step; a stop request wakes it early.
        m_wake.wait_for(lock, std::chrono::milliseconds(m_options.stepMs),
                        [this] { return m_stop.load() == StopRequested; });
    }
}

// One wait of any length that a stop request ends at once.
void ScheduleRunner::waitMs(qint64 ms) {
    std::unique_lock lock(m_wakeMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(std::max<qint64>(0, ms)),
                    [this] { return m_stop.load() == StopRequested; });
}

void ScheduleRunner::tellWait(int index, qint64 ms) {
    if (m_waitObserver && index >= 0 && ms > 0) {
        m_waitObserver(index, ms);
    }
}

ScheduleRunner::Check ScheduleRunner::checkUpload(const ScheduleEntry& entry, const CommandTarget& target) {
    const QString path = entry.imageFilePath();
    CommandContext context = m_options.context;
    context.stop = &m_abandon;
    const StoreInfo info = QueryStoreInfo(entry.saveId, target, context);
    m_checks.fetch_add(1);
    if (StoreHoldsFile(info, ImageUpload::baseName(path).toUtf8(), QFileInfo(path).size())) {
        return Check::Matches;
    }
    return m_stop.load() == StopRequested ? Check::Stopped : Check::Differs;
}

// The entry already shows "executing"; before is what it showed until then. Returns false
// when a stop ended the entry.
bool ScheduleRunner::runEntry(int index, const CommandTarget& target, int before, int& result) {
    const ScheduleEntry& e = m_table.entries[index];
    const int attempts = 1 + (m_runOptions.retry ? std::max(0, m_options.retries) : 0);
    // INFO knows only the four stores; a temporary store's upload stands as PUT answered it.
    const bool check = m_runOptions.verify && e.saveId >= 1 && e.saveId <= 4;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) {
            tellWait(index, qint64{m_options.retryWaitSteps} * m_options.stepMs);
            waitSteps(m_options.retryWaitSteps);
            if (m_stop.load() == StopRequested) {
                return false; // the entry keeps "failed": the retry never began
            }
            before = ScheduleEntry::Failed;
            setStatus(index, ScheduleEntry::Executing);
        }
        result = m_uploader(e.imageFilePath(), e.saveId, target, m_abandon);
        if (result != 0 && m_stop.load() == StopRequested) {
            // Abandoned by the stop: what it would have done is unknown, so the entry
            // keeps what it showed before the upload began.
            setStatus(index, before);
            return false;
        }
        m_uploads.fetch_add(1);
        bool done = result == 0;
        if (done && check) {
            switch (checkUpload(e, target)) {
            case Check::Matches:
                break;
            case Check::Differs:
                done = false;
                result = UploadResult::OtherReply;
                break;
            case Check::Stopped:
                // The projector took the file; only the check was cut short.
                setStatus(index, ScheduleEntry::Done);
                return false;
            }
        }
        setStatus(index, done ? ScheduleEntry::Done : ScheduleEntry::Failed);
        if (m_stop.load() == StopRequested) {
            return false;
        }
        if (done) {
            return true;
        }
    }
    return true;
}

void ScheduleRunner::work() {
    // Clears the start request, but a stop that came before the worker got here stays.
    int expected = StartRequested;
    m_stop.compare_exchange_strong(expected, None);
    UploadBackoff backoff(m_options.clock, m_options.backoffFirstMs, m_options.backoffLongestMs);
    auto targetOf = [this](int i) {
        const ScheduleEntry& e = m_table.entries[i];
        CommandTarget target;
        target.address = Ipv4::toHost(e.address);
        target.authenticate = e.authentication;
        target.password = e.passwordText();
        target.passwordBytes = e.passwordBytes();
        return target;
    };
    do {
        bool tried = false;
        for (int i = 0; i < m_count; ++i) {
            const ScheduleEntry& e = m_table.entries[i];
            const CommandTarget target = targetOf(i);
            // A projector that failed lately is passed over until its back-off has run out.
            if (m_loop && backoff.waitFor(target.address) > 0) {
                continue;
            }
            tried = true;
            const int before = m_status[i].load();
            setStatus(i, ScheduleEntry::Executing);
            if (m_stop.load() == StopRequested) {
                break;
            }
            int result = 0;
            if (!runEntry(i, target, before, result) || m_stop.load() == StopRequested) {
                break;
            }
            if (m_verdictObserver) {
                m_verdictObserver(i, m_status[i].load() == ScheduleEntry::Done, result);
            }
            if (m_loop) {
                if (m_status[i].load() == ScheduleEntry::Done) {
                    backoff.succeeded(target.address);
                } else {
                    const qint64 ms = backoff.failed(target.address);
                    if (m_backoffObserver) {
                        m_backoffObserver(i, result, ms);
                    }
                }
            }
            const qint64 steps = qint64{std::max(0, e.interval)} * m_options.stepsPerMinute;
            tellWait(m_loop || i + 1 < m_count ? (i + 1) % m_count : -1, steps * m_options.stepMs);
            waitSteps(steps);
        }
        if (m_loop && !tried && m_stop.load() != StopRequested) {
            // Every entry's projector is resting: sleep until the first may be tried.
            int first = 0;
            qint64 shortest = -1;
            for (int i = 0; i < m_count; ++i) {
                const qint64 ms = backoff.waitFor(targetOf(i).address);
                if (shortest < 0 || ms < shortest) {
                    shortest = ms;
                    first = i;
                }
            }
            tellWait(first, shortest);
            waitMs(shortest);
        }
    } while (m_loop && m_stop.load() != StopRequested);
    m_running.store(0);
    if (m_endObserver) {
        m_endObserver();
    }
}
