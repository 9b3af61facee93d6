#pragma once

#include "i18n/CatalogId.h"
#include "protocol/CommandConnection.h"
#include "protocol/RunReport.h"
#include "registry/ProjectorRecord.h"

#include <QDialog>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

class CProjectorTable;
class CommandObserver;
class ProjectorStore;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class StoreCommandRun;

// What the INFO, STAT and CANCEL dialogs share: the projector list, the store choice, one
// button that runs the command on every selected projector, a Stop, and a status line.
class CStoreCommandDlg : public QDialog {
    Q_OBJECT

public:
    using Run = std::function<RunReport(int storeNumber, const CommandTarget&, const CommandContext&)>;

    struct Layout {
        QString name; // objectName of the dialog
        CatalogId title;
        bool temporaryChoice = false; // the hidden Store/Temporary radios and second list
        QString buttonName;           // "getButton" or "executeButton"
        CatalogId buttonText;
        CatalogId running, done, failed; // status line before and after each run
        Run run;
        // When set, each message box names its projector and store: this text with the
        // projector's name, the store number and the run's own message as inserts.
        std::optional<CatalogId> namedMessage;
        // When set, picks the status line after a run instead of done or failed.
        std::function<CatalogId(const RunReport&)> statusAfter;
    };

    ~CStoreCommandDlg() override;

    // The store number the button would use now.
    [[nodiscard]] int storeNumber() const;
    // The button's action: starts the command for every selected row, from the top, one
    // projector after another off the interface thread, and returns at once. Each answer is
    // shown before the next projector is asked; runFinished tells when all are done.
    void runSelected();
    // Abandons the run: the projector being asked is given up within a fraction of a second
    // and those after it are not asked.
    void stopRun();
    [[nodiscard]] bool isRunning() const;

    [[nodiscard]] CProjectorTable* projectorTable() const { return m_table; }
    // Starts with this projector alone selected, its row found by address; a projector the
    // list does not hold (one just found on the network) gets a row of its own here.
    void selectProjector(const ProjectorRecord& record);

    // Closing during a run stops it first; the dialog closes once the run has ended.
    void done(int result) override;

Q_SIGNALS:
    void runFinished(bool stopped);

protected:
    // context replaces the protocol's waits (tests use short ones); store and observer stand
    // in for the ones it does not name.
    CStoreCommandDlg(ProjectorStore& store, CommandObserver* observer, Layout layout,
                     const std::optional<CommandContext>& context, QWidget* parent);

private:
    void projectorStarted(int index);
    void projectorFinished(int index, const QVariant& outcome);
    void runEnded(bool stopped);
    void showRunning(bool running);
    [[nodiscard]] QStringList insertsFor(int index) const;

    ProjectorStore& m_projectors;
    Layout m_layout;
    ProjectorList m_list;           // the copy taken on opening
    ProjectorList m_runRecords;     // the rows of the run under way, from the top
    int m_runStore = 0;             // the store number of the run under way
    int m_current = -1;             // the run's row being asked
    std::optional<int> m_closeWith; // Close was asked for during the run
    std::unique_ptr<StoreCommandRun> m_run;
    CProjectorTable* m_table = nullptr;
    QComboBox* m_store = nullptr;
    QRadioButton* m_storeRadio = nullptr;
    QRadioButton* m_temporaryRadio = nullptr;
    QComboBox* m_temporary = nullptr;
    QPushButton* m_button = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_status = nullptr;
};
