#pragma once

#include "alerts/AlertCenter.h"
#include "history/HistoryLog.h"
#include "registry/ProjectorGroups.h"
#include "registry/ProjectorStore.h"
#include "schedule/ScheduleControl.h"
#include "workspace/PictureDocument.h"

#include <QObject>
#include <QString>

#include <memory>

// The program's long-lived state, owned once: the projector store and authentication
// setting, the command history, the picture document, and the schedule with its runner.
// Windows and dialogs are handed the pieces they use; nothing here shows anything.
class AppState final : public QObject {
    Q_OBJECT

public:
    // historyPath empty: the user's data folder.
    explicit AppState(const QString& iniPath, const QString& historyPath = {}, QObject* parent = nullptr);
    // The schedule's worker uses the store and the history: it ends first.
    ~AppState() override;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    ProjectorStore& projectors() { return m_projectors; }
    // The named groups of the list's projectors, in a file beside the INI file.
    ProjectorGroups& groups() { return m_groups; }
    // How the groups read at the start: a warning or error text for the user, or Ok.
    [[nodiscard]] const ProjectorGroups::LoadOutcome& groupsLoad() const { return m_groupsLoad; }
    HistoryLog& history() { return *m_history; }
    [[nodiscard]] CommandObserver* commandObserver() { return m_history.get(); }
    ScheduleControl& schedule() { return *m_schedule; }
    // The alerts raised from what the program hears of its projectors.
    AlertCenter& alerts() { return *m_alerts; }

    // The picture the view shows and works on.
    PictureDocument& document() { return m_document; }

Q_SIGNALS:
    // A whole new projector list was handed to the store (whether or not it was written).
    void projectorListChanged();
    // The groups were saved (a projector left the list, or the groups were edited).
    void groupsChanged();
    // The schedule or a send began (true) or ended (false) an upload to the projector.
    void projectorUploading(quint32 hostAddress, bool uploading);
    // The history met its first problem; HistoryLog::takeProblemText says which.
    void historyProblem();
    // A command's outcome went into the history; queued to the state's thread.
    void commandRecorded(const CommandEvent& event);

private:
    ProjectorStore m_projectors;
    ProjectorGroups m_groups;
    ProjectorGroups::LoadOutcome m_groupsLoad;
    std::unique_ptr<HistoryLog> m_history; // before the schedule, whose worker reports to it
    PictureDocument m_document;
    std::unique_ptr<ScheduleControl> m_schedule; // after the state its worker uses
    std::unique_ptr<AlertCenter> m_alerts;
};
