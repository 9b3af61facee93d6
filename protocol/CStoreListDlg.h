#pragma once

#include "protocol/CommandConnection.h"

#include <QDialog>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class QPushButton;
class QTableWidget;
class StoreCommandRun;

// One line per store 1 to 4 of one projector: what each holds (information form) or how
// its transmission stands (status form, with Cancel Transmit and its Stop).
class CStoreListDlg final : public QDialog {
    Q_OBJECT

public:
    enum Form { Information = 0, Status = 1 };

    // context gives Cancel Transmit its waits, the store that notes authentication and the
    // observer that hears of each CANCEL.
    CStoreListDlg(Form form, const CommandContext& context, QWidget* parent = nullptr);
    ~CStoreListDlg() override;

    void setLabel(const QString& name) { m_label = name; }
    // store 1 to 4; the second text is the size column of the information form.
    void setStoreText(int store, const QString& first, const QString& second = {});
    void setTarget(const CommandTarget& target) { m_target = target; }

    // Starts CANCEL for stores 1 to 4, one after another off the interface thread, and
    // returns at once; each outcome goes into a third column as it arrives.
    void OnCancelTransmit();
    // Abandons Cancel Transmit within a fraction of a second: the store being cancelled and
    // those after it read as stopped.
    void stopCancel();
    [[nodiscard]] bool isCancelling() const;

    // Closing during Cancel Transmit stops it first; the dialog closes once it has ended.
    void done(int result) override;

    [[nodiscard]] QTableWidget* list() const { return m_list; }

Q_SIGNALS:
    void cancelFinished(bool stopped);

protected:
    // Builds the list afresh for each showing.
    void showEvent(QShowEvent* event) override;

private:
    void setUp();
    void showCancelling(bool cancelling);
    void cancelEnded(bool stopped);
    void setCancelText(int row, const QString& text);
    void setStateText(int row, const QString& text);

    Form m_form;
    std::unique_ptr<StoreCommandRun> m_cancel;
    QString m_label;
    std::array<QString, 8> m_texts;
    CommandTarget m_target;
    int m_nextCancelRow = 0; // the first row Cancel Transmit has no outcome for yet
    std::optional<int> m_closeWith;
    QTableWidget* m_list = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_stop = nullptr;
};
