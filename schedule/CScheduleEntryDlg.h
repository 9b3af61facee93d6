#pragma once

#include <QDialog>

class ProjectorStore;
class CScheduleDlg;
class QComboBox;
class CIpAddressEdit;
class QLineEdit;
class QRadioButton;

// Collects one schedule entry and adds it to the Schedule dialog that owns it, with the
// projector's authentication data from the projector list.
class CScheduleEntryDlg final : public QDialog {
    Q_OBJECT

public:
    // Bytes an entry holds of a path and of a password (the field's last byte is its zero).
    static constexpr int kMaxImageFile = 255;
    static constexpr int kMaxPassword = 255;

    CScheduleEntryDlg(ProjectorStore& store, CScheduleDlg& owner);

public Q_SLOTS:
    void accept() override;

private:
    void onSelect();
    void onBrowse();
    void setAddress(quint32 hostAddress);

    ProjectorStore& m_projectors;
    CScheduleDlg& m_owner;
    CIpAddressEdit* m_address = nullptr;
    QLineEdit* m_imageFile = nullptr;
    QComboBox* m_store = nullptr;
    QLineEdit* m_interval = nullptr;
    QRadioButton* m_storeChoice = nullptr;
    QRadioButton* m_temporaryChoice = nullptr;
    QComboBox* m_temporaryStore = nullptr;
};
