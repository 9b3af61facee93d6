#pragma once

#include "schedule/DaypartCalendar.h"
#include "schedule/ScheduleOptions.h"
#include "schedule/SchedulePlan.h"
#include "schedule/ScheduleTable.h"

#include <QDateTime>
#include <QDialog>

class ProjectorStore;
class ScheduleControl;
class QCheckBox;
class QLabel;
class QTimer;
class QPushButton;
class QTableWidget;

// The working copy of a schedule as a list: insert, delete, load, save, and start and stop
// its run, showing each entry's status as the run reports it.
class CScheduleDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kColumnUnits = 33; // the list's width is shared out in these units
    static constexpr int kPlanDays = 7;
    static constexpr int kPlanRows = 200; // a loop of short intervals plans thousands

    CScheduleDlg(ScheduleControl& schedule, ProjectorStore& store, QWidget* parent = nullptr);

    // For the entry dialog: validates and appends one entry, then rebuilds the list.
    ScheduleTable::AddResult AddScheduleEntry(const QString& addressText, const QString& imageFile,
                                              const QString& storeText, const QString& intervalText,
                                              bool temporary, int authentication, const QString& password);
    void RefreshScheduleList();

    [[nodiscard]] const ScheduleTable& table() const { return m_table; }
    [[nodiscard]] int loopFlag() const { return m_loop; }
    // Verify and retry as the check boxes stand: kept with the working copy, loaded and
    // saved beside its schedule file, handed to the run by Execute.
    [[nodiscard]] ScheduleOptions options() const;
    // The days and times of one entry (from 0); a change shows in the plan at once.
    [[nodiscard]] const Daypart& daypart(int index) const;
    void setDaypart(int index, const Daypart& daypart);
    // The plan the table below the list shows, as last worked out.
    [[nodiscard]] const SchedulePlan& plan() const { return m_plan; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onInsert();
    void onDelete();
    void onLoad();
    void onSave();
    void onExecute();
    void onDaysAndTimes();
    void updateDaysButton();
    [[nodiscard]] int chosenEntry() const;
    void refreshPlan();
    void onStop();
    void showEntryStatus(int index, int status);
    void showBackoff(int index, int result, const QDateTime& until);
    void planNextUpload(int index, const QDateTime& at);
    void showCountdown();
    void runEnded();
    void setRunningControls(bool running);
    void setOptions(const ScheduleOptions& options);
    void loadOptions(const QString& schedulePath);
    void sizeColumns();

    ScheduleControl& m_schedule;
    ProjectorStore& m_store;
    ScheduleTable m_table;
    // Each entry's days and hours, as loaded; the boxes hold verify and retry.
    std::array<Daypart, ScheduleTable::kSlots> m_dayparts{};
    int m_loop = 0;
    bool m_columnsSized = false;
    QTableWidget* m_list = nullptr;
    QPushButton* m_insert = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_load = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_execute = nullptr;
    QPushButton* m_stop = nullptr;
    QCheckBox* m_loopBox = nullptr;
    QCheckBox* m_verifyBox = nullptr;
    QCheckBox* m_retryBox = nullptr;
    QPushButton* m_days = nullptr;
    QLabel* m_planLabel = nullptr;
    QTableWidget* m_planTable = nullptr;
    QLabel* m_planNote = nullptr;
    QLabel* m_collisionLabel = nullptr;
    QTimer* m_planClock = nullptr; // the plan starts from now, so it moves on with the clock
    DaypartCalendar m_calendar;
    SchedulePlan m_plan;
    QLabel* m_nextUploadLabel = nullptr;
    QTimer* m_countdown = nullptr; // only redraws the label; the run tells the time itself
    QDateTime m_nextUpload;
};
