#pragma once

#include "protocol/AsyncExchange.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A thread of its own that carries many AsyncExchanges with one poll() over all their
// sockets, so hundreds of projectors can be waited on at once without a thread each.
// Everything it calls (posted tasks, the exchanges' reports) runs on that thread, one at a
// time, so what they share needs no lock among themselves.
class ExchangeLoop final {
public:
    // When stop is raised every exchange is abandoned: at once after wake(), else within
    // kStopSliceMs. Each exchange's own context.stop is looked at in the same way.
    explicit ExchangeLoop(const std::atomic<bool>* stop = nullptr);
    // Quits, abandons what is left and joins the thread.
    ~ExchangeLoop();
    ExchangeLoop(const ExchangeLoop&) = delete;
    ExchangeLoop& operator=(const ExchangeLoop&) = delete;

    void start();
    [[nodiscard]] bool isRunning() const { return m_thread.joinable(); }

    // Any thread: task runs on the loop's thread soon.
    void post(std::function<void()> task);
    // Any thread: the stop flags are looked at now.
    void wake();
    // Any thread: the thread ends after its current turn; exchanges left are abandoned
    // (their reports still run, on the loop's thread).
    void quit();
    // Waits for the thread to end; call quit() first, or make sure something does.
    void join();

    // Loop thread only: the exchange begins on the next turn and goes when it is done.
    void add(std::unique_ptr<AsyncExchange> exchange);
    // Loop thread only: exchanges under way.
    [[nodiscard]] int size() const { return static_cast<int>(m_exchanges.size() + m_starting.size()); }

    static constexpr int kStopSliceMs = 50; // as TcpSocket looks at a stop flag

private:
    void run();
    void closeWakePipe();
    bool runTasks();
    void startNew();
    void abandonStopped();
    void dropDone();
    int pollTimeoutMs() const;

    const std::atomic<bool>* m_stop;
    std::thread m_thread;
    std::mutex m_mutex; // the tasks and the wake pipe
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::vector<std::function<void()>> m_tasks;
    std::atomic<bool> m_quit{false};
    // The loop thread's own.
    std::vector<std::unique_ptr<AsyncExchange>> m_exchanges;
    std::vector<std::unique_ptr<AsyncExchange>> m_starting;
};
