#pragma once

#include <QDialog>

class QLabel;

// The "please wait" box shown while the four queries of one projector run. Closing it
// (Stop, Escape or the window's close) hides it and asks the caller to stop at once.
class CGetWaitDlg final : public QDialog {
    Q_OBJECT

public:
    enum Form { Information = 0, Status = 1 };

    explicit CGetWaitDlg(Form form, QWidget* parent = nullptr);

    void setLabel(const QString& name);
    // Centred over the owner and painted at once.
    void showOver(QWidget* owner);

    [[nodiscard]] QString text() const;

    void reject() override;

Q_SIGNALS:
    void stopRequested();

private:
    Form m_form;
    QLabel* m_text = nullptr;
};
