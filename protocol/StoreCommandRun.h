#pragma once

#include "protocol/CommandConnection.h"
#include "protocol/CommandObserver.h"

#include <QList>
#include <QObject>
#include <QVariant>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// A dialog's run of store commands. Its steps go one at a time to a thread of their own, so
// the interface never waits on a projector, and the next step starts only once the owner has
// heard of the last one: a message box shown from stepFinished holds the run there, as the
// user expects one answer at a time. One atomic flag stops the run: the step in flight closes
// its socket from the worker's side within a fraction of a second, whatever the projector
// does, and no later step starts. Lives on the thread that starts it; its signals arrive there.
class StoreCommandRun final : public QObject, private CommandObserver {
    Q_OBJECT

public:
    // Usually one command to one store of one projector, run with the run's context; what it
    // returns is handed to stepFinished.
    using Step = std::function<QVariant(const CommandContext&)>;

    // context gives the waits, the store that notes authentication and the observer; its stop
    // flag is replaced by the run's own. A command the stop abandons reaches the observer as
    // stopped rather than as the projector's failure.
    explicit StoreCommandRun(const CommandContext& context, QObject* parent = nullptr);
    // Stops the step in flight and waits for its thread, which the stop ends at once.
    ~StoreCommandRun() override;
    StoreCommandRun(const StoreCommandRun&) = delete;
    StoreCommandRun& operator=(const StoreCommandRun&) = delete;

    // False, and nothing starts, while a run is under way or when there is nothing to run.
    bool start(QList<Step> steps);
    // Returns at once; finished(true) follows as soon as the step in flight has given up.
    void stop();
    [[nodiscard]] bool isRunning() const { return m_running; }
    [[nodiscard]] bool stopRequested() const { return m_stop.load(); }
    [[nodiscard]] const CommandContext& context() const { return m_context; }

Q_SIGNALS:
    void stepStarted(int index);
    // The step ended with no stop asked for; outcome is what it returned.
    void stepFinished(int index, const QVariant& outcome);
    // The run is over: every step finished, or (stopped) the step in flight was abandoned
    // and the later ones never started.
    void finished(bool stopped);

private:
    void launch(int index);
    void stepEnded(int index, const QVariant& outcome);
    void end(bool stopped);
    // Runs on the worker thread.
    void commandFinished(const CommandEvent& event) override;

    CommandContext m_context;
    CommandObserver* m_observer = nullptr; // the owner's, behind this one
    std::atomic<bool> m_stop{false};
    QList<Step> m_steps;
    std::unique_ptr<QThread> m_thread;
    bool m_running = false;
};
