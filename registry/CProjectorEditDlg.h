#pragma once

#include "registry/MacText.h"

#include <QDialog>
#include <QString>

#include <array>

class CIpAddressEdit;
class QCheckBox;
class QLineEdit;

// The form for one projector record, for both Add and Edit.
class CProjectorEditDlg final : public QDialog {
    Q_OBJECT

public:
    enum Mode { Add = 0, Edit = 1 };

    struct Values {
        QString name;
        MacText::Bytes mac{};
        quint32 address = 0; // host order
        QString authMark = QStringLiteral("1");
        QString password;
    };

    // Edit mode shows values; add mode starts empty with authentication checked.
    CProjectorEditDlg(Mode mode, const Values& values, QWidget* parent = nullptr);

    // What OK took from the form.
    [[nodiscard]] const Values& values() const { return m_values; }

    void accept() override;

private:
    Mode m_mode;
    Values m_values;
    QLineEdit* m_name = nullptr;
    std::array<QLineEdit*, 6> m_mac{};
    CIpAddressEdit* m_address = nullptr;
    QCheckBox* m_auth = nullptr;
    QLineEdit* m_password = nullptr;
};
