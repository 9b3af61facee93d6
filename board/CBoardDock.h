#pragma once

#include "board/BoardHistoryLookup.h"
#include "board/BoardPoller.h"

#include <QDockWidget>
#include <QHash>
#include <QPixmap>

#include <functional>
#include <memory>

class CommandObserver;
class HistoryLog;
class ProjectorGroups;
class ProjectorStore;
struct CommandEvent;
class QMainWindow;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSettings;
class QSpinBox;
class QTableWidget;
class QTimer;

// The projector board: one row per projector of the list with its reach and, for each of
// the four stores, what the projector says it holds and, when the history knows that very
// upload, a thumbnail of our own file. Asking and looking up run off the interface thread.
class CBoardDock final : public QDockWidget {
    Q_OBJECT

public:
    enum Column { NameColumn = 0, AddressColumn = 1, StateColumn = 2, FirstStoreColumn = 3 };
    // What a store cell shows, kept in the cell for anyone who asks (tests, accessibility).
    enum class Picture { None, Thumbnail, Neutral };
    static constexpr int kPictureRole = Qt::UserRole + 1;
    static constexpr int kKeyRole = Qt::UserRole + 2;

    // Runs one of the window's projector commands on a row's address.
    using RunCommand = std::function<void(int commandId, quint32 hostAddress)>;

    // history: where a Cancel Transmit the user asks for is recorded.
    CBoardDock(QMainWindow& window, ProjectorStore& store, CommandObserver* history, RunCommand runCommand,
               std::unique_ptr<QSettings> settings = {});
    ~CBoardDock() override;

    // Asks every projector now (Refresh, F5), or only those due (the timed refresh).
    void refresh(bool force = true);
    void stopRefresh();
    [[nodiscard]] bool isRefreshing() const;
    // Timed refresh every minutes (1 to 60); remembered.
    void setTimedRefresh(bool on, int minutes);
    [[nodiscard]] bool timedRefreshOn() const;
    [[nodiscard]] int timedRefreshMinutes() const;

    // Rows follow the store's list; asked again whenever a new list is handed in.
    void followList();
    // A Groups column (a click on its header sorts by it) and a choice that shows one group's
    // projectors only; followGroups is called whenever the groups change.
    void setGroups(const ProjectorGroups* groups);
    void followGroups();
    [[nodiscard]] QComboBox* groupFilter() const { return m_groupFilter; }
    [[nodiscard]] int groupsColumn() const { return FirstStoreColumn + 4; }

    // An upload to the projector began (true) or ended (false): its row is left alone meanwhile.
    void noteUploading(quint32 hostAddress, bool uploading);

    // A command some other part ran was recorded: the projector's row shows what it learnt.
    void noteCommand(const CommandEvent& event);
    // Pictures are looked up in this history, read only once what it was handed is written.
    void followHistory(HistoryLog& history);

    // Tests shorten the protocol's waits and keep the history in a folder of their own.
    void setCommandContext(const CommandContext& context);
    void setHistoryPath(const QString& path);

    [[nodiscard]] QTableWidget* table() const { return m_table; }
    [[nodiscard]] QMenu* contextMenu() const { return m_menu; }
    [[nodiscard]] BoardPoller& poller() { return *m_poller; }
    [[nodiscard]] int rowOf(quint32 address) const;
    [[nodiscard]] quint32 addressAt(int row) const;
    [[nodiscard]] static Picture pictureOf(const class QTableWidgetItem* item);
    // Every lookup asked for has been shown.
    [[nodiscard]] bool lookupsSettled() const;

    // The projector's four stores as the board last saw them, in the information form.
    void openStoreView(int row);
    // Writes where the board stands and the timed refresh into the settings.
    void saveLayout();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void connectPoller();
    void makeLookup();
    // onlyNew: pictures are looked up only for stores whose file changed.
    void showRow(quint32 address, bool onlyNew = false);
    void showPictures(quint32 address, const BoardPictures& pictures);
    void onFinished();
    void updateRefreshState();
    void restoreLayout();
    void runOnRow(int commandId);
    void showGroups();
    [[nodiscard]] QString stateText(const BoardRow& row) const;

    QMainWindow& m_window;
    ProjectorStore& m_store;
    CommandObserver* m_history = nullptr;
    RunCommand m_runCommand;
    std::unique_ptr<QSettings> m_settings;
    CommandContext m_context;
    QString m_historyPath;
    HistoryLog* m_historyLog = nullptr;
    std::unique_ptr<BoardPoller> m_poller;
    std::unique_ptr<BoardHistoryLookup> m_lookup;
    QHash<quint32, int> m_uploads; // uploads under way per projector (schedule and sends)
    int m_lookupsAsked = 0;
    int m_lookupsShown = 0;
    int m_asked = 0; // projectors in the running refresh
    int m_answered = 0;
    bool m_stopped = false;
    bool m_awaitingFinish = false; // a round was started and its end not yet heard
    bool m_restoring = false;
    QPixmap m_neutral;

    QTableWidget* m_table = nullptr;
    const ProjectorGroups* m_groups = nullptr;
    QComboBox* m_groupFilter = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_stop = nullptr;
    QCheckBox* m_timed = nullptr;
    QSpinBox* m_minutes = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QMenu* m_menu = nullptr;
    QTimer* m_timer = nullptr;
    QTimer* m_saveLater = nullptr;
};

// Makes the board, puts it into the window's View menu (a toggle and Refresh Board, F5) and
// docks it where it was last left.
CBoardDock* AddBoardDock(QMainWindow* window, ProjectorStore& store, CommandObserver* history,
                         CBoardDock::RunCommand runCommand);
