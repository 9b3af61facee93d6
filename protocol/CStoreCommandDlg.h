#pragma once

#include "i18n/CatalogId.h"
#include "protocol/CommandConnection.h"
#include "protocol/RunReport.h"
#include "registry/ProjectorRecord.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class CMainFrame;
class CProjectorTable;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// What the INFO, STAT and CANCEL dialogs share: the projector list, the store choice, one
// button that runs the command on every selected projector, and a status line.
class CStoreCommandDlg : public QDialog {
    Q_OBJECT

public:
    using Run = std::function<RunReport(int storeNumber, const CommandTarget&, const CommandContext&)>;

    struct Layout {
        QString name;        // objectName of the dialog, "dlg" and the resource number
        QString title;       // "N;Text"
        int listId = 0;
        int storeId = 0;
        bool temporaryChoice = false; // the hidden Store/Temporary radios and second list
        int storeRadioId = 0;
        int temporaryRadioId = 0;
        int temporaryListId = 0;
        QString buttonName;  // e.g. "get1011"
        QString buttonText;  // "N;Text"
        int statusId = 0;
        CatalogId running, done, failed; // status line before and after each run
        Run run;
    };

    // The store number the button would use now.
    [[nodiscard]] int storeNumber() const;
    // The button's action: runs the command for every selected row, from the top.
    void runSelected();

    [[nodiscard]] CProjectorTable* projectorTable() const { return m_table; }

protected:
    CStoreCommandDlg(CMainFrame& frame, Layout layout, const std::optional<CommandContext>& context,
                     QWidget* parent);

private:
    CMainFrame& m_frame;
    Layout m_layout;
    CommandContext m_context;
    ProjectorList m_list; // the copy taken on opening
    CProjectorTable* m_table = nullptr;
    QComboBox* m_store = nullptr;
    QRadioButton* m_storeRadio = nullptr;
    QRadioButton* m_temporaryRadio = nullptr;
    QComboBox* m_temporary = nullptr;
    QPushButton* m_button = nullptr;
    QLabel* m_status = nullptr;
};
