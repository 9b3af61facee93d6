#pragma once

#include "app/CurrentImage.h"
#include "history/HistoryLog.h"
#include "registry/ProjectorStore.h"
#include "schedule/ScheduleRunner.h"
#include "schedule/ScheduleTable.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QAction;
class QLabel;
class QToolBar;

// The main window and owner of the program's long-lived state. Dialogs take copies
// through its accessors and hand whole copies back.
class CMainFrame final : public QMainWindow {
    Q_OBJECT

public:
    explicit CMainFrame(const QString& iniPath, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Projector list, current projector and authentication setting.
    [[nodiscard]] ProjectorList GetProjectorList() const { return m_projectors.projectors(); }
    // Replaces the list and rewrites the INI section; a failed write is shown to the user.
    bool SaveProjectorList(const ProjectorList& list);
    [[nodiscard]] ProjectorStore::AuthSetting GetAuthSetting() const { return m_projectors.authSetting(); }
    bool SetAuthSetting(const QString& password, int authOff);
    [[nodiscard]] quint32 GetCurrentProjector() const { return m_projectors.currentProjector(); }
    void SetCurrentProjector(quint32 hostAddress) { m_projectors.setCurrentProjector(hostAddress); }
    ProjectorStore& projectorStore() { return m_projectors; }
    // The command history every run of the window, Send and the schedule goes into.
    [[nodiscard]] CommandObserver* commandObserver() { return m_history.get(); }
    HistoryLog& history() { return *m_history; }
    // Makes the address the current projector and runs one of the window's projector
    // commands (Send, Image Information, Transmission State) when it is enabled.
    void RunProjectorCommand(int commandId, quint32 hostAddress);
    // The projector a Send started that way is for, once; empty for the plain Send command.
    std::optional<quint32> TakeSendTarget() { return std::exchange(m_sendTarget, std::nullopt); }

    // Current image.
    qint32 GetCurrentImage(QString& path) const;
    void SetCurrentImage(const std::optional<QString>& path, qint32 state);
    void SetPictureSize(quint32 width, quint32 height);
    [[nodiscard]] const CurrentImage& currentImage() const { return m_image; }
    [[nodiscard]] bool CanSendCurrentImage() const;

    // The run copy of the schedule.
    [[nodiscard]] ScheduleTable GetScheduleTable() const { return m_schedule; }
    void SetScheduleTable(const ScheduleTable& table);
    [[nodiscard]] qint32 GetScheduleCount() const { return m_schedule.count; }
    void SetScheduleCount(qint32 count) { m_schedule.count = count; }
    [[nodiscard]] qint32 GetScheduleLoop() const { return m_scheduleLoop; }
    void SetScheduleLoop(qint32 loop) { m_scheduleLoop = loop; }
    // Verify and retry of the run copy; both off unless the Schedule dialog hands them over.
    [[nodiscard]] ScheduleOptions GetScheduleOptions() const { return m_scheduleOptions; }
    void SetScheduleOptions(const ScheduleOptions& options) { m_scheduleOptions = options; }

    // The run of the schedule on its worker thread.
    [[nodiscard]] bool IsScheduleRunning() const { return m_runner->isRunning(); }
    // Starts the worker on the run copy; false when a run is active or the copy is empty.
    bool StartScheduleWorker();
    // Asks the worker to stop and waits until it has ended, which takes a fraction of a
    // second; the window keeps painting meanwhile.
    void StopScheduleWorker();
    static constexpr int kStopPollMs = 10;
    [[nodiscard]] qint32 GetEntryStatus(int index) const { return m_runner->entryStatus(index); }
    ScheduleRunner& scheduleRunner() { return *m_runner; }

    // Menus, toolbar and status bar.
    void LocaliseMainMenu();
    QAction* action(int id) const { return m_actions.value(id); }
    // The command's enabled state is asked again whenever the interface may show it.
    void setCommandHandler(int id, std::function<void()> run, std::function<bool()> enabled = {});
    void updateCommandStates();
    // Red when the figure is over what a projector accepts.
    void setSizePaneText(const QString& text, bool overLimit = false);
    [[nodiscard]] QString sizePaneText() const;
    [[nodiscard]] QToolBar* toolBar() const { return m_toolBar; }
    // The recent files stand in the File menu above Exit; choosing one calls open.
    void setRecentFiles(const QStringList& files, const std::function<void(const QString&)>& open);
    [[nodiscard]] QList<QAction*> recentFileActions() const { return m_recentActions; }

    // The user tool's presence beside the executable enables User Edit.
    static QString userToolName();
    std::function<void()> userEditHandler; // shows the user configuration

Q_SIGNALS:
    // SaveProjectorList replaced the list (whether or not the file could be written).
    void ProjectorListChanged();
    // The schedule or a send began (true) or ended (false) an upload to the projector.
    void ProjectorUploading(quint32 hostAddress, bool uploading);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::optional<quint32> m_sendTarget;
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void showAbout();
    void showEncodingNotice();
    void showHistoryProblem();

    ProjectorStore m_projectors;
    std::unique_ptr<HistoryLog> m_history; // before the runner, whose worker reports to it
    CurrentImage m_image;
    ScheduleTable m_schedule;
    qint32 m_scheduleLoop = 0;
    ScheduleOptions m_scheduleOptions;
    std::unique_ptr<ScheduleRunner> m_runner; // declared after the state its worker uses

    QHash<int, QAction*> m_actions;
    QHash<int, std::function<bool()>> m_enabledWhen;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_fileMenu = nullptr;
    QList<QAction*> m_recentActions;
    QLabel* m_sizePane = nullptr;
};
