#include "schedule/ScheduleControl.h"

#include "registry/Ipv4.h"

ScheduleControl::ScheduleControl(const CommandContext& context, QObject* parent) : QObject(parent) {
    ScheduleRunner::Options runOptions;
    runOptions.context = context;
    m_runner = std::make_unique<ScheduleRunner>(runOptions);
    // Both are told on the worker; the run copy does not change while it runs.
    m_runner->setStatusObserver([this](int index, int status) {
        const quint32 address = Ipv4::toHost(m_runner->runCopy().entries[static_cast<size_t>(index)].address);
        QMetaObject::invokeMethod(
            this,
            [this, index, status, address] {
                if (status == ScheduleEntry::Executing) {
                    m_backoffs[static_cast<size_t>(index)] = {};
                    m_nextUpload = {};
                    m_waitsForWindow = false;
                }
                Q_EMIT entryStatusChanged(index, status);
                Q_EMIT projectorUploading(address, status == ScheduleEntry::Executing);
            },
            Qt::QueuedConnection);
    });
    // Wall-clock times are taken as the worker tells, so a late delivery does not shift them.
    m_runner->setWaitObserver([this](int index, qint64 ms) {
        const QDateTime at = QDateTime::currentDateTime().addMSecs(ms);
        QMetaObject::invokeMethod(
            this,
            [this, index, at] {
                m_nextUpload = at;
                m_waitsForWindow = false;
                Q_EMIT nextUploadPlanned(index, at);
            },
            Qt::QueuedConnection);
    });
    m_runner->setWindowWaitObserver([this](int index, const QDateTime& opens) {
        const QDateTime at = opens.toLocalTime();
        QMetaObject::invokeMethod(
            this,
            [this, index, at] {
                m_nextUpload = at;
                m_waitsForWindow = true;
                Q_EMIT windowWaitPlanned(index, at);
                Q_EMIT nextUploadPlanned(index, at);
            },
            Qt::QueuedConnection);
    });
    m_runner->setSkipObserver([this](int index) {
        QMetaObject::invokeMethod(
            this, [this, index] { Q_EMIT entrySkipped(index); }, Qt::QueuedConnection);
    });
    m_runner->setBackoffObserver([this](int index, int result, qint64 ms) {
        const QDateTime at = QDateTime::currentDateTime().addMSecs(ms);
        QMetaObject::invokeMethod(
            this,
            [this, index, result, at] {
                m_backoffs[static_cast<size_t>(index)] = {result, at};
                Q_EMIT entryBackingOff(index, result, at);
            },
            Qt::QueuedConnection);
    });
    m_runner->setOutcomeObserver([this](int index, bool done, int result, bool) {
        const ScheduleEntry& e = m_runner->runCopy().entries[static_cast<size_t>(index)];
        const quint32 address = Ipv4::toHost(e.address);
        const int store = e.saveId >= 1 && e.saveId <= 4 ? e.saveId : 0;
        QMetaObject::invokeMethod(
            this,
            [this, index, address, store, done, result] {
                Q_EMIT entryFinished(index, address, store, done, result);
            },
            Qt::QueuedConnection);
    });
    m_runner->setEndObserver([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_runner->isRunning()) {
                    return; // a new run began before this news arrived
                }
                m_runner->stop(); // collects the thread, which has ended
                m_nextUpload = {};
                m_waitsForWindow = false;
                Q_EMIT runEnded();
            },
            Qt::QueuedConnection);
    });
}

ScheduleControl::~ScheduleControl() {
    m_runner.reset();
}

void ScheduleControl::setTable(const ScheduleTable& table) {
    const qint32 count = m_table.count;
    m_table = table;
    m_table.count = count;
}

bool ScheduleControl::start() {
    if (!m_runner->start(m_table, m_table.count, m_loop, m_options)) {
        return false;
    }
    m_backoffs.fill({});
    m_nextUpload = {};
    m_waitsForWindow = false;
    return true;
}

ScheduleControl::Backoff ScheduleControl::backoff(int index) const {
    if (index < 0 || index >= ScheduleTable::kSlots) {
        return {};
    }
    return m_backoffs[static_cast<size_t>(index)];
}

void ScheduleControl::requestStop() {
    m_runner->requestStop();
}

bool ScheduleControl::isStopping() const {
    return m_runner->isRunning() && m_runner->stopRequest() == ScheduleRunner::StopRequested;
}
