#include "protocol/ExchangeLoop.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

bool makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

} // namespace

ExchangeLoop::ExchangeLoop(const std::atomic<bool>* stop) : m_stop(stop) {}

ExchangeLoop::~ExchangeLoop() {
    quit();
    join();
    closeWakePipe();
}

void ExchangeLoop::start() {
    if (m_thread.joinable()) {
        return;
    }
    {
        // The pipe lives while the thread does, so a finished loop holds no descriptors.
        std::lock_guard lock(m_mutex);
        int fds[2] = {-1, -1};
        if (::pipe(fds) == 0 && makeNonBlocking(fds[0]) && makeNonBlocking(fds[1])) {
            m_wakeRead = fds[0];
            m_wakeWrite = fds[1];
        } else {
            // Without the pipe the loop still sees tasks and flags, a slice late.
            for (const int fd : fds) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        }
    }
    m_quit.store(false);
    m_thread = std::thread([this] {
        run();
        closeWakePipe();
    });
}

void ExchangeLoop::closeWakePipe() {
    std::lock_guard lock(m_mutex);
    for (int* fd : {&m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void ExchangeLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    wake();
}

void ExchangeLoop::wake() {
    std::lock_guard lock(m_mutex);
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        // A full pipe already holds a wake-up; nothing is lost when this write fails.
        [[maybe_unused]] const ssize_t n = ::write(m_wakeWrite, &byte, 1);
    }
}

void ExchangeLoop::quit() {
    m_quit.store(true);
    wake();
}

void ExchangeLoop::join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

void ExchangeLoop::add(std::unique_ptr<AsyncExchange> exchange) {
    m_starting.push_back(std::move(exchange));
}

bool ExchangeLoop::runTasks() {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks) {
        task();
    }
    return !tasks.empty();
}

void ExchangeLoop::startNew() {
    // An exchange may end as it begins, and its report may add the next one.
    while (!m_starting.empty()) {
        std::vector<std::unique_ptr<AsyncExchange>> batch;
        batch.swap(m_starting);
        const auto now = AsyncExchange::Clock::now();
        for (auto& x : batch) {
            x->begin(now);
            m_exchanges.push_back(std::move(x));
        }
    }
}

void ExchangeLoop::abandonStopped() {
    const bool all = m_stop != nullptr && m_stop->load();
    // Reports may add exchanges; those wait in m_starting, so the indexes here hold.
    for (size_t i = 0; i < m_exchanges.size(); ++i) {
        AsyncExchange& x = *m_exchanges[i];
        if (!x.isDone() && (all || x.stopRequested())) {
            x.abandon();
        }
    }
}

void ExchangeLoop::dropDone() {
    std::erase_if(m_exchanges, [](const std::unique_ptr<AsyncExchange>& x) { return x->isDone(); });
}

int ExchangeLoop::pollTimeoutMs() const {
    if (m_exchanges.empty()) {
        return m_wakeRead >= 0 ? -1 : kStopSliceMs;
    }
    auto earliest = m_exchanges.front()->deadline();
    for (const auto& x : m_exchanges) {
        earliest = std::min(earliest, x->deadline());
    }
    const auto left = earliest - AsyncExchange::Clock::now();
    if (left <= AsyncExchange::Clock::duration::zero()) {
        return 0;
    }
    // Rounded up: waking a fraction early would only spin once more.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<qint64>(ms, kStopSliceMs));
}

void ExchangeLoop::run() {
    std::vector<pollfd> fds;
    while (true) {
        runTasks();
        startNew();
        abandonStopped();
        dropDone();
        if (m_quit.load()) {
            break;
        }
        bool queued = !m_starting.empty();
        if (!queued) {
            std::lock_guard lock(m_mutex);
            queued = !m_tasks.empty();
        }
        if (queued) {
            continue; // what the reports above asked for comes before the next wait
        }
        fds.clear();
        fds.push_back(pollfd{m_wakeRead, POLLIN, 0});
        for (const auto& x : m_exchanges) {
            fds.push_back(pollfd{x->fd(), x->events(), 0});
        }
        const int rc = ::poll(fds.data(), static_cast<nfds_t>(fds.size()), pollTimeoutMs());
        if (rc > 0 && (fds[0].revents & POLLIN) != 0) {
            char sink[64];
            while (::read(m_wakeRead, sink, sizeof sink) > 0) {
            }
        }
        const auto now = AsyncExchange::Clock::now();
        // New exchanges wait in m_starting, so these indexes match fds.
        const size_t count = m_exchanges.size();
        for (size_t i = 0; i < count; ++i) {
            AsyncExchange& x = *m_exchanges[i];
            if (x.isDone()) {
                continue;
            }
            const short revents = rc > 0 ? fds[i + 1].revents : short{0};
            if (revents != 0 || now >= x.deadline()) {
                x.advance(revents, now);
            }
        }
    }
    // Quitting: what is left is abandoned, and what its reports start is abandoned too.
    for (int round = 0; round < 1000; ++round) {
        runTasks();
        for (auto& x : m_starting) {
            m_exchanges.push_back(std::move(x));
        }
        m_starting.clear();
        if (m_exchanges.empty()) {
            break;
        }
        for (size_t i = 0; i < m_exchanges.size(); ++i) {
            m_exchanges[i]->abandon();
        }
        dropDone();
    }
}
