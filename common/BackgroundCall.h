#pragma once

#include <QObject>
#include <QThread>

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

// One slow call at a time for a window (a password hash, say). The call runs on a thread of
// its own; its result comes back on the owner's thread through the thread's queued finished
// signal, so the window's own event loop keeps running and no other loop is spun.
// Declare it after the members the call uses: its destructor waits for a call still running.
class BackgroundCall final {
public:
    explicit BackgroundCall(QObject* owner) : m_owner(owner) {}
    ~BackgroundCall() {
        if (m_thread) {
            m_thread->wait();
        }
    }
    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;

    // True from start() until just before done() is called.
    [[nodiscard]] bool busy() const { return m_thread != nullptr; }

    // Runs work() off the interface thread, then done(result) on the owner's thread. The owner
    // refuses a second start while busy().
    template <typename Work, typename Done> void start(Work work, Done done) {
        using Result = std::invoke_result_t<Work&>;
        auto result = std::make_shared<std::optional<Result>>();
        m_thread.reset(
            QThread::create([work = std::move(work), result]() mutable { result->emplace(work()); }));
        QObject::connect(
            m_thread.get(), &QThread::finished, m_owner,
            [this, result, done]() mutable {
                m_thread->wait();
                // Released first, so that done() may start the next call.
                m_thread.release()->deleteLater();
                done(std::move(**result));
            },
            Qt::QueuedConnection);
        m_thread->start();
    }

private:
    QObject* m_owner;
    std::unique_ptr<QThread> m_thread;
};
