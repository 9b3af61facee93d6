#pragma once

#include "schedule/Daypart.h"

#include <QDialog>

#include <array>
#include <optional>
#include <vector>

class ProjectorStore;
class CScheduleDlg;
class QCheckBox;
class QComboBox;
class CIpAddressEdit;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

// Collects one schedule entry and adds it to the Schedule dialog that owns it, with the
// projector's authentication data from the projector list. Opened for an entry already in
// the schedule, it shows that entry and changes only its days and times.
class CScheduleEntryDlg final : public QDialog {
    Q_OBJECT

public:
    // Bytes an entry holds of a path and of a password (the field's last byte is its zero).
    static constexpr int kMaxImageFile = 255;
    static constexpr int kMaxPassword = 255;

    CScheduleEntryDlg(ProjectorStore& store, CScheduleDlg& owner);
    // The days and times of entry (from 0) of the owner's table.
    CScheduleEntryDlg(ProjectorStore& store, CScheduleDlg& owner, int entry);

    // The days and times as the controls stand; a message box says what is wrong and
    // nullopt comes back when they do not make a daypart.
    std::optional<Daypart> readDaypart();
    void showDaypart(const Daypart& daypart);

public Q_SLOTS:
    void accept() override;

private:
    struct WindowRow {
        QTimeEdit* start = nullptr;
        QTimeEdit* end = nullptr;
        QLabel* note = nullptr;
        QPushButton* remove = nullptr;
    };

    QWidget* makeDaypartGroup();
    void setWindows(const QList<DaypartWindow>& windows, int focusRow);
    [[nodiscard]] QList<DaypartWindow> shownWindows() const;
    void addWindow();
    void removeWindow(int row);
    void showCrossing(const WindowRow& row);
    void orderTabs();
    void onSelect();
    void onBrowse();
    void setAddress(quint32 hostAddress);

    ProjectorStore& m_projectors;
    CScheduleDlg& m_owner;
    int m_entry = -1; // the entry whose days and times are edited; -1 while inserting
    CIpAddressEdit* m_address = nullptr;
    QLineEdit* m_imageFile = nullptr;
    QComboBox* m_store = nullptr;
    QLineEdit* m_interval = nullptr;
    QRadioButton* m_storeChoice = nullptr;
    QRadioButton* m_temporaryChoice = nullptr;
    QComboBox* m_temporaryStore = nullptr;
    std::array<QCheckBox*, 7> m_weekdays{};
    QGridLayout* m_windowGrid = nullptr;
    std::vector<WindowRow> m_windows;
    QPushButton* m_addWindow = nullptr;
    QCheckBox* m_firstCheck = nullptr;
    QDateEdit* m_firstDate = nullptr;
    QCheckBox* m_lastCheck = nullptr;
    QDateEdit* m_lastDate = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
