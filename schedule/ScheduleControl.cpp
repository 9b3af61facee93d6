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
                Q_EMIT entryStatusChanged(index, status);
                Q_EMIT projectorUploading(address, status == ScheduleEntry::Executing);
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
    return m_runner->start(m_table, m_table.count, m_loop, m_options);
}

void ScheduleControl::requestStop() {
    m_runner->requestStop();
}

bool ScheduleControl::isStopping() const {
    return m_runner->isRunning() && m_runner->stopRequest() == ScheduleRunner::StopRequested;
}
