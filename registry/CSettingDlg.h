#pragma once

#include <QDialog>

class CMainFrame;
class QCheckBox;
class QLineEdit;

// Shows and changes the frame's authentication setting, which OK writes to the INI file.
class CSettingDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CSettingDlg(CMainFrame& frame, QWidget* parent = nullptr);

    void accept() override;

private:
    CMainFrame& m_frame;
    QCheckBox* m_authenticate = nullptr;
    QLineEdit* m_password = nullptr;
};
