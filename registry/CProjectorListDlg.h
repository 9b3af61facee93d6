#pragma once

#include "protocol/CommandConnection.h"
#include "registry/ProjectorRecord.h"

#include <QDialog>
#include <QHash>

#include <optional>

class CMainFrame;
class QAction;
class QMenu;
class QMenuBar;
class QTableWidget;

// Where the user maintains the projector list: add, edit, delete, discover, import and
// export, and ask the selected projectors what their stores hold.
class CProjectorListDlg final : public QDialog {
    Q_OBJECT

public:
    enum Command {
        CmdAdd = 32811,
        CmdEdit = 32812,
        CmdDelete = 32813,
        CmdGetStatus = 32814,
        CmdImageInfo = 32816,
        CmdDiscovery = 32817,
        CmdClose = 32818,
        CmdImportCsv = 32819, // ours
        CmdExportCsv = 32820, // ours
    };

    // context replaces the protocol's waits (tests use short ones); its store is the frame's
    // when it names none.
    explicit CProjectorListDlg(CMainFrame& frame, QWidget* parent = nullptr,
                               const std::optional<CommandContext>& context = std::nullopt);

    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnDiscovery();
    void OnGetStatus();
    void OnImageInfo();
    void OnImportCsv();
    void OnExportCsv();

    // Enabled states of both menus, as worked out when a popup opens.
    void updateCommandStates();
    [[nodiscard]] QAction* menuBarAction(int id) const { return m_barActions.value(id); }
    [[nodiscard]] QAction* contextAction(int id) const { return m_contextActions.value(id); }
    [[nodiscard]] QMenu* contextMenu() const { return m_contextMenu; }
    [[nodiscard]] QTableWidget* list() const { return m_table; }
    [[nodiscard]] QMenuBar* menuBar() const { return m_menuBar; }

    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fillList();
    void save();
    [[nodiscard]] QList<int> selectedRows() const;
    void runStoreQueries(bool status);
    void setColumnWidths();
    bool commandEnabled(int id) const;

    CMainFrame& m_frame;
    CommandContext m_context;
    ProjectorList m_list;
    QTableWidget* m_table = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_contextMenu = nullptr;
    QHash<int, QAction*> m_barActions;
    QHash<int, QAction*> m_contextActions;
    bool m_busy = false;
};
