#include "protocol/StoreCommandRun.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QPointer>
#include <QThread>

StoreCommandRun::StoreCommandRun(const CommandContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_observer(context.observer) {
    m_context.stop = &m_stop;
    if (m_observer != nullptr) {
        m_context.observer = this;
    }
}

StoreCommandRun::~StoreCommandRun() {
    m_stop.store(true);
    if (m_thread) {
        m_thread->wait();
    }
}

bool StoreCommandRun::start(QList<Step> steps) {
    if (m_running || steps.isEmpty()) {
        return false;
    }
    m_steps = std::move(steps);
    m_stop.store(false);
    m_running = true;
    launch(0);
    return true;
}

void StoreCommandRun::stop() {
    if (m_running) {
        m_stop.store(true);
    }
}

void StoreCommandRun::launch(int index) {
    auto outcome = std::make_shared<QVariant>();
    m_thread.reset(
        QThread::create([step = m_steps[index], context = m_context, outcome] { *outcome = step(context); }));
    // Queued: the thread has left the step behind when the owner hears of it.
    connect(
        m_thread.get(), &QThread::finished, this, [this, index, outcome] { stepEnded(index, *outcome); },
        Qt::QueuedConnection);
    const QPointer<StoreCommandRun> alive(this);
    Q_EMIT stepStarted(index);
    if (alive.isNull()) {
        return;
    }
    if (m_stop.load()) {
        m_thread.reset(); // never started: nothing went to the projector
        end(true);
        return;
    }
    m_thread->start();
}

void StoreCommandRun::stepEnded(int index, const QVariant& outcome) {
    m_thread->wait();
    m_thread.reset();
    if (m_stop.load()) {
        end(true);
        return;
    }
    const QPointer<StoreCommandRun> alive(this);
    Q_EMIT stepFinished(index, outcome);
    if (alive.isNull()) {
        return;
    }
    if (index + 1 >= m_steps.size()) {
        end(false);
    } else if (m_stop.load()) {
        end(true);
    } else {
        launch(index + 1);
    }
}

void StoreCommandRun::end(bool stopped) {
    m_running = false;
    m_steps.clear();
    Q_EMIT finished(stopped);
}

void StoreCommandRun::commandFinished(const CommandEvent& event) {
    if (event.ok || !m_stop.load()) {
        m_observer->commandFinished(event);
        return;
    }
    // The socket was closed from our side: the projector did not fail.
    CommandEvent stopped = event;
    stopped.text = CatalogText(msg::CommandStopped);
    m_observer->commandFinished(stopped);
}
