#pragma once

#include "protocol/CommandConnection.h"
#include "registry/ProjectorRecord.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <QVariant>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class CGetWaitDlg;
class CStoreListDlg;
class CommandObserver;
class ProjectorGroups;
class ProjectorStore;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QTableWidget;
class StoreCommandRun;

// Where the user maintains the projector list: add, edit, delete, discover, import and
// export, and ask the selected projectors what their stores hold.
class CProjectorListDlg final : public QDialog {
    Q_OBJECT

public:
    enum Command {
        CmdAdd,
        CmdEdit,
        CmdDelete,
        CmdGetStatus,
        CmdImageInfo,
        CmdDiscovery,
        CmdClose,
        CmdImportCsv,
        CmdExportCsv,
    };

    // Replaces the whole list and writes it; false when the write failed, which the keeper of
    // the list has told the user of.
    using SaveList = std::function<bool(const ProjectorList&)>;

    // The list is the store's; every change goes whole to save, and the list then shows what
    // the store holds. observer hears of every command (none when null). context replaces the
    // protocol's waits (tests use short ones).
    CProjectorListDlg(ProjectorStore& store, CommandObserver* observer, SaveList save,
                      QWidget* parent = nullptr, const std::optional<CommandContext>& context = std::nullopt);
    ~CProjectorListDlg() override;

    // The groups the list shows in a column of their own and filters by; the form edits a
    // projector's groups, and every change of the list keeps them right.
    void setGroups(ProjectorGroups* groups);
    [[nodiscard]] QComboBox* groupFilter() const { return m_groupFilter; }

    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnDiscovery();
    // Ask the selected projectors, one after another off the interface thread, with the wait
    // box up meanwhile; both return at once. The wait box's Stop abandons the projector
    // being asked within a fraction of a second.
    void OnGetStatus();
    void OnImageInfo();
    [[nodiscard]] bool isQuerying() const;
    void OnImportCsv();
    void OnExportCsv();

    // Enabled states of both menus, as worked out when a popup opens.
    void updateCommandStates();
    [[nodiscard]] QAction* menuBarAction(int id) const { return m_barActions.value(id); }
    [[nodiscard]] QAction* contextAction(int id) const { return m_contextActions.value(id); }
    [[nodiscard]] QMenu* contextMenu() const { return m_contextMenu; }
    [[nodiscard]] QTableWidget* list() const { return m_table; }
    [[nodiscard]] QMenuBar* menuBar() const { return m_menuBar; }
    // Says when the queries were stopped; hidden otherwise.
    [[nodiscard]] QLabel* statusLine() const { return m_status; }

    void reject() override;

Q_SIGNALS:
    // Discovery's right-click menu asks for one of the window's projector commands.
    void projectorCommandRequested(int commandId, quint32 hostAddress);
    void queriesFinished(bool stopped);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fillList();
    void save();
    void fillGroupFilter();
    void applyGroupFilter();
    // Writes the groups; a failure is told here.
    void saveGroups();
    void setGroupsOf(quint32 address, const QStringList& names);
    [[nodiscard]] QList<int> selectedRows() const;
    void runStoreQueries(bool status);
    void queryStarted(int step);
    void queryFinished(int step, const QVariant& outcome);
    void queriesEnded(bool stopped);
    void setColumnWidths();
    bool commandEnabled(int id) const;

    ProjectorStore& m_projectors;
    SaveList m_save;
    CommandContext m_context;
    ProjectorList m_list;
    // The queries under way: four steps per projector, one per store.
    ProjectorList m_queryRecords;
    std::array<QStringList, 4> m_storeTexts;
    int m_queryStep = -1;
    std::unique_ptr<CGetWaitDlg> m_wait;
    std::unique_ptr<CStoreListDlg> m_info;
    std::unique_ptr<StoreCommandRun> m_run;
    QTableWidget* m_table = nullptr;
    ProjectorGroups* m_groups = nullptr;
    QComboBox* m_groupFilter = nullptr;
    QLabel* m_status = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_contextMenu = nullptr;
    QHash<int, QAction*> m_barActions;
    QHash<int, QAction*> m_contextActions;
};
