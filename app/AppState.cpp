#include "app/AppState.h"

#include "history/HistorySettings.h"
#include "history/HistoryStore.h"

namespace {

CommandContext scheduleContext(ProjectorStore& store, CommandObserver* observer) {
    CommandContext c;
    c.store = &store;
    c.observer = observer;
    return c;
}

} // namespace

AppState::AppState(const QString& iniPath, const QString& historyPath, QObject* parent)
    : QObject(parent), m_projectors(iniPath), m_groups(ProjectorGroups::pathFor(iniPath)),
      m_history(
          std::make_unique<HistoryLog>(historyPath.isEmpty() ? HistoryStore::defaultPath() : historyPath)),
      m_schedule(std::make_unique<ScheduleControl>(scheduleContext(m_projectors, m_history.get()))) {
    connect(m_schedule.get(), &ScheduleControl::projectorUploading, this, &AppState::projectorUploading);
    // A projector list that cannot be read gives an empty list; the file is left as it is.
    m_projectors.load();
    m_groupsLoad = m_groups.load(m_projectors.projectors());
    m_groups.setObserver([this] { Q_EMIT groupsChanged(); });
    m_history->setProjectors(m_projectors.projectors());
    m_history->store().setLimits(HistorySettings::fromIni(iniPath));
    m_history->store().setProblemObserver(
        [this] { QMetaObject::invokeMethod(this, &AppState::historyProblem, Qt::QueuedConnection); });
    m_history->setRecordObserver([this](const CommandEvent& event) {
        QMetaObject::invokeMethod(
            this, [this, event] { Q_EMIT commandRecorded(event); }, Qt::QueuedConnection);
    });
    // The alerts hear each outcome before the windows that follow the same signal.
    m_alerts = std::make_unique<AlertCenter>();
    m_alerts->setHistory(m_history.get());
    m_alerts->setProjectors(m_projectors.projectors());
    connect(this, &AppState::commandRecorded, m_alerts.get(), &AlertCenter::noteCommand);
    connect(m_schedule.get(), &ScheduleControl::entryFinished, m_alerts.get(),
            [this](int, quint32 address, int store, bool done, int result) {
                m_alerts->noteScheduledUpload(address, store, done, result);
            });
    m_projectors.setListObserver([this] {
        m_history->setProjectors(m_projectors.projectors());
        // A projector that left the list leaves its groups too.
        if (m_groups.keepOnly(m_projectors.projectors())) {
            m_groups.save();
        }
        m_alerts->setProjectors(m_projectors.projectors());
        Q_EMIT projectorListChanged();
    });
}

AppState::~AppState() {
    m_history->store().setProblemObserver({});
    m_history->setRecordObserver({});
    m_schedule.reset();
    m_projectors.setListObserver({});
    m_groups.setObserver({});
}
