#pragma once

#include <QDialog>
#include <QStringList>

class QLineEdit;

// Asks once for the password of the projectors that Register found demanding one. The
// password is masked, and OK with an empty one is refused with the reason.
class CPasswordPromptDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CPasswordPromptDlg(const QStringList& projectorNames, QWidget* parent = nullptr);

    [[nodiscard]] QString password() const;

    void accept() override;

private:
    QLineEdit* m_password = nullptr;
};
