#pragma once

#include "protocol/CommandConnection.h"
#include "protocol/RunReport.h"

#include <QDialog>
#include <QString>

#include <array>
#include <functional>

class QPushButton;
class QTableWidget;

// One line per store 1 to 4 of one projector: what each holds (information form) or how
// its transmission stands (status form, with Cancel Transmit).
class CImageInfo2Dlg final : public QDialog {
    Q_OBJECT

public:
    enum Form { Information = 0, Status = 1 };
    using CancelRun = std::function<StoreText(int storeNumber, const CommandTarget&)>;

    CImageInfo2Dlg(Form form, CancelRun cancel, QWidget* parent = nullptr);

    void setLabel(const QString& name) { m_label = name; }
    // store 1 to 4; the second text is the size column of the information form.
    void setStoreText(int store, const QString& first, const QString& second = {});
    void setTarget(const CommandTarget& target) { m_target = target; }

    // Builds the list afresh for each showing.
    int exec() override;

    // Sends CANCEL for stores 1 to 4 and writes the outcomes into a third column.
    void OnCancelTransmit();

    [[nodiscard]] QTableWidget* list() const { return m_list; }

private:
    void setUp();

    Form m_form;
    CancelRun m_cancel;
    QString m_label;
    std::array<QString, 8> m_texts;
    CommandTarget m_target;
    QTableWidget* m_list = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
