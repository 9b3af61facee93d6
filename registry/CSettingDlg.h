#pragma once

#include "registry/ProjectorStore.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

// Shows the authentication setting and lets the user change it; whoever opened the dialog
// keeps the setting OK gave.
class CSettingDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CSettingDlg(const ProjectorStore::AuthSetting& setting, QWidget* parent = nullptr);

    // The setting as the dialog shows it: off forgets the password.
    [[nodiscard]] ProjectorStore::AuthSetting setting() const;

private:
    QCheckBox* m_authenticate = nullptr;
    QLineEdit* m_password = nullptr;
};
