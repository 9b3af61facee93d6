#pragma once

#include <QDialog>

class ProjectorStore;
class QCheckBox;
class QLineEdit;

// Shows and changes the store's authentication setting, which OK writes to the INI file.
class CSettingDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CSettingDlg(ProjectorStore& store, QWidget* parent = nullptr);

    void accept() override;

private:
    ProjectorStore& m_store;
    QCheckBox* m_authenticate = nullptr;
    QLineEdit* m_password = nullptr;
};
