#pragma once

#include <QEventLoop>
#include <QThread>

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

// Runs a slow call (a password hash, say) on a thread of its own and keeps the caller's
// events flowing until it is done, so a window stays painted. User input is held back
// meanwhile, so nothing can be clicked twice.
template <typename Work> auto RunOffThread(Work&& work) -> std::invoke_result_t<Work&> {
    using Result = std::invoke_result_t<Work&>;
    std::optional<Result> result;
    std::unique_ptr<QThread> thread(QThread::create([&] { result.emplace(work()); }));
    QEventLoop loop;
    // Queued to this thread, so a quick finish before exec() still ends the loop.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    return std::move(*result);
}
