#pragma once

#include "history/HistoryLog.h"
#include "registry/ProjectorStore.h"
#include "workspace/CPictureHost.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolBar;

class AppState;
class CPictureView;
class RecentFileList;

// The main window: menus, toolbar, status bar and docks. The program's state lives in the
// AppState it is given; the frame wires commands to it and shows what its pieces report.
class CMainFrame final : public QMainWindow, public CPictureHost {
    Q_OBJECT

public:
    explicit CMainFrame(AppState& state, QWidget* parent = nullptr);
    ~CMainFrame() override;

    AppState& state() { return m_state; }
    // Makes the picture view the central widget, on the state's current picture, and binds
    // its commands.
    CPictureView* attachPictureView(std::unique_ptr<RecentFileList> recent);
    ProjectorStore& projectorStore();
    HistoryLog& history();
    [[nodiscard]] CommandObserver* commandObserver();
    // For the dialogs that still take the frame: the list, and a save that shows a failure.
    [[nodiscard]] ProjectorList GetProjectorList() const;
    bool SaveProjectorList(const ProjectorList& list);
    void SetCurrentProjector(quint32 hostAddress);
    // Makes the address the current projector and runs one of the window's projector
    // commands (Send, Image Information, Transmission State) when it is enabled.
    void RunProjectorCommand(int commandId, quint32 hostAddress);

    // What the picture view asks of its window.
    void setCommandHandler(int id, std::function<void()> run, std::function<bool()> enabled = {}) override;
    void setCommandBlocker(int id, std::function<QString()> why) override;
    void updateCommandStates() override;
    void setDocumentTitle(const QString& title) override { setWindowTitle(title); }
    // The recent files stand in the File menu above Exit; choosing one calls open.
    void setRecentFiles(const QStringList& files, const std::function<void(const QString&)>& open) override;
    void setSizePaneText(const QString& text, bool overLimit = false) override;
    void showStatusMessage(const QString& text) override;
    void showBusy(const QString& text, const std::function<void()>& stop) override;
    // The projector a Send started from a row is for, once; empty for the plain Send command.
    void runCommand(int id) override;
    std::optional<quint32> takeSendTarget() override { return std::exchange(m_sendTarget, std::nullopt); }
    QWidget* hostWindow() override { return this; }

    // Menus, toolbar and status bar. Their texts are set when they are made; this sets them
    // again from the catalog, for a language chosen since.
    void LocaliseMainMenu();
    QAction* action(int id) const { return m_actions.value(id); }
    [[nodiscard]] QString sizePaneText() const;
    // Why Send cannot run now; empty while it can.
    [[nodiscard]] QString sendStateText() const;
    [[nodiscard]] QToolBar* toolBar() const { return m_toolBar; }
    [[nodiscard]] QList<QAction*> recentFileActions() const { return m_recentActions; }

    // The user tool's presence beside the executable enables User Edit.
    static QString userToolName();
    // Whether the user tool is installed beside the program (never the current folder).
    static bool userToolPresent();
    std::function<void()> userEditHandler; // shows the user configuration

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void attachProjectorCommands();
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void setPrompts();
    void showAbout();
    void showHistoryProblem();

    AppState& m_state;
    std::optional<quint32> m_sendTarget;
    std::optional<quint32> m_rowTarget; // the row a projector command was asked from
    bool m_closeWhenStopped = false;    // a close waits for the schedule's worker to end
    bool m_cursorHeld = false;
    QHash<int, QAction*> m_actions;
    QHash<int, std::function<bool()>> m_enabledWhen;
    QHash<int, std::function<QString()>> m_blockers;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_fileMenu = nullptr;
    QList<QAction*> m_recentActions;
    QLabel* m_sizePane = nullptr;
    QLabel* m_sendStatePane = nullptr;
    CPictureView* m_view = nullptr;
    bool m_changesSettled = false; // the exit's question about unsaved edits has been answered
    QProgressBar* m_busyBar = nullptr;
    QPushButton* m_stopButton = nullptr;
    std::function<void()> m_stop; // what the status bar's Stop button calls
};
