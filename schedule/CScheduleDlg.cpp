#include "schedule/CScheduleDlg.h"

#include "app/CFileDialogs.h"
#include "app/CMessageBox.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "protocol/ImageUpload.h"
#include "registry/ProjectorStore.h"
#include "schedule/CScheduleEntryDlg.h"
#include "schedule/ScheduleControl.h"
#include "schedule/ScheduleFile.h"
#include "schedule/ScheduleRunner.h"
#include "schedule/UploadBackoff.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

enum Column { kAddress = 0, kImageFile, kStore, kInterval, kStatus, kColumns };
constexpr int kStoreTextMax = 31;

const QString kScheduleFilter = QStringLiteral("Schedule File (*.sch)");
const QString kScheduleSuffix = QStringLiteral("sch");
const QString kClockFormat = QStringLiteral("HH:mm:ss");
const QString kPlanTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
enum PlanColumn { kPlanTime = 0, kPlanEntry, kPlanProjector, kPlanStore, kPlanPicture, kPlanColumns };

constexpr std::array<CatalogId, 7> kDayTexts = {
    msg::DaypartMonday, msg::DaypartTuesday,  msg::DaypartWednesday, msg::DaypartThursday,
    msg::DaypartFriday, msg::DaypartSaturday, msg::DaypartSunday};

// A moment of the plan as the user reads it: local date and time and the day of the week,
// since the days are what an entry's windows follow.
QString planTime(const QDateTime& at) {
    return at.toString(kPlanTimeFormat) + u' ' +
           CatalogText(kDayTexts[static_cast<size_t>(at.date().dayOfWeek() - 1)]);
}

QString statusText(int status) {
    switch (status) {
    case ScheduleEntry::NotRun:
        return CatalogText(msg::EntryStatusNotRun);
    case ScheduleEntry::Executing:
        return CatalogText(msg::EntryStatusExecuting);
    case ScheduleEntry::Done:
        return CatalogText(msg::EntryStatusDone);
    default:
        return CatalogText(msg::EntryStatusFailed);
    }
}

// The label without its keyboard mark: "&Verify" and "校验(&V)" are read as "Verify" and "校验".
QString withoutMnemonic(QString text) {
    static const QRegularExpression bracketed(QStringLiteral("\\(&.\\)"));
    text.remove(bracketed);
    return text.remove(u'&');
}

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(withoutMnemonic(text));
    return box;
}

QPushButton* makeButton(QWidget* parent, const char* name, CatalogId text) {
    auto* button = new QPushButton(CatalogText(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

CScheduleDlg::CScheduleDlg(ScheduleControl& schedule, ProjectorStore& store, QWidget* parent)
    : QDialog(parent), m_schedule(schedule), m_store(store) {
    setObjectName(QStringLiteral("scheduleDlg"));
    setWindowTitle(CatalogText(msg::ScheduleDlgTitle));

    m_list = new QTableWidget(0, kColumns, this);
    m_list->setObjectName(QStringLiteral("scheduleTable"));
    m_list->setHorizontalHeaderLabels(
        {CatalogText(msg::ColumnEntryAddress), CatalogText(msg::ColumnEntryImageFile),
         CatalogText(msg::ColumnEntryStore), CatalogText(msg::ColumnEntryInterval),
         CatalogText(msg::ColumnStatus)});
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->setMinimumSize(660, 260);

    m_insert = makeButton(this, "insertButton", msg::ButtonInsert);
    m_delete = makeButton(this, "deleteButton", msg::ButtonDelete);
    m_days = makeButton(this, "daysButton", msg::ButtonDaysAndTimes);
    m_days->setAccessibleName(withoutMnemonic(m_days->text()));
    m_load = makeButton(this, "loadButton", msg::ButtonLoadFile);
    m_save = makeButton(this, "saveButton", msg::ButtonSaveFile);
    m_execute = makeButton(this, "executeButton", msg::ButtonExecute);
    m_stop = makeButton(this, "stopButton", msg::ButtonStop);
    m_loopBox = makeCheckBox(this, "loopCheck", CatalogText(msg::CheckLoop));
    const ScheduleRunner::Options timing;
    m_verifyBox = makeCheckBox(this, "verifyCheck", CatalogText(msg::ScheduleVerifyUploads));
    m_retryBox = makeCheckBox(this, "retryCheck",
                              CatalogText(msg::ScheduleRetryUploads,
                                          {QString::number(timing.retries),
                                           QString::number(timing.retryWaitSteps * timing.stepMs / 1000)}));
    auto* cancel = makeButton(this, "cancelButton", msg::ButtonCancel);

    connect(m_insert, &QPushButton::clicked, this, &CScheduleDlg::onInsert);
    connect(m_delete, &QPushButton::clicked, this, &CScheduleDlg::onDelete);
    connect(m_load, &QPushButton::clicked, this, &CScheduleDlg::onLoad);
    connect(m_save, &QPushButton::clicked, this, &CScheduleDlg::onSave);
    connect(m_execute, &QPushButton::clicked, this, &CScheduleDlg::onExecute);
    connect(m_days, &QPushButton::clicked, this, &CScheduleDlg::onDaysAndTimes);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        // The address cell's tick box takes its own clicks.
        if (column != kAddress && m_insert->isEnabled()) {
            m_list->setCurrentCell(row, column);
            onDaysAndTimes();
        }
    });
    connect(m_list, &QTableWidget::currentCellChanged, this, &CScheduleDlg::updateDaysButton);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, &CScheduleDlg::updateDaysButton);
    connect(m_loopBox, &QCheckBox::toggled, this, &CScheduleDlg::refreshPlan);
    connect(m_stop, &QPushButton::clicked, this, &CScheduleDlg::onStop);
    // Closing leaves a run going; reopening shows it again.
    connect(cancel, &QPushButton::clicked, this, &CScheduleDlg::reject);

    auto* buttons = new QVBoxLayout;
    for (QWidget* w :
         {static_cast<QWidget*>(m_insert), static_cast<QWidget*>(m_delete), static_cast<QWidget*>(m_days),
          static_cast<QWidget*>(m_load), static_cast<QWidget*>(m_save), static_cast<QWidget*>(m_execute),
          static_cast<QWidget*>(m_stop), static_cast<QWidget*>(m_loopBox), static_cast<QWidget*>(m_verifyBox),
          static_cast<QWidget*>(m_retryBox)}) {
        buttons->addWidget(w);
    }
    buttons->addStretch();
    buttons->addWidget(cancel);
    m_nextUploadLabel = new QLabel(this);
    m_nextUploadLabel->setObjectName(QStringLiteral("nextUploadLabel"));
    m_nextUploadLabel->hide(); // shown only while a run waits for its next upload
    m_countdown = new QTimer(this);
    m_countdown->setInterval(1000);
    connect(m_countdown, &QTimer::timeout, this, &CScheduleDlg::showCountdown);
    m_planLabel = new QLabel(this);
    m_planLabel->setObjectName(QStringLiteral("planLabel"));
    m_planLabel->setWordWrap(true);
    m_planTable = new QTableWidget(0, kPlanColumns, this);
    m_planTable->setObjectName(QStringLiteral("planTable"));
    m_planTable->setHorizontalHeaderLabels(
        {CatalogText(msg::PlanColumnTime), CatalogText(msg::PlanColumnEntry),
         CatalogText(msg::PlanColumnProjector), CatalogText(msg::PlanColumnStore),
         CatalogText(msg::PlanColumnPicture)});
    m_planTable->verticalHeader()->hide();
    m_planTable->setWordWrap(false); // one line a send, so a week fits the eye
    m_planTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_planTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_planTable->horizontalHeader()->setStretchLastSection(true);
    m_planTable->setMinimumHeight(160);
    m_planLabel->setBuddy(m_planTable);
    m_planNote = new QLabel(this);
    m_planNote->setObjectName(QStringLiteral("planNoteLabel"));
    m_planNote->setWordWrap(true);
    m_collisionLabel = new QLabel(this);
    m_collisionLabel->setObjectName(QStringLiteral("collisionLabel"));
    m_collisionLabel->setWordWrap(true);
    m_collisionLabel->setStyleSheet(QStringLiteral("color: #a00000"));
    m_collisionLabel->hide(); // shown only while two entries clash
    m_planClock = new QTimer(this);
    m_planClock->setInterval(60 * 1000);
    connect(m_planClock, &QTimer::timeout, this, &CScheduleDlg::refreshPlan);
    m_planClock->start();

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(m_list, 1);
    listColumn->addWidget(m_nextUploadLabel);
    listColumn->addWidget(m_planLabel);
    listColumn->addWidget(m_planTable, 1);
    listColumn->addWidget(m_planNote);
    listColumn->addWidget(m_collisionLabel);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(listColumn, 1);
    layout->addLayout(buttons);

    const bool running = m_schedule.isRunning();
    if (running) {
        m_table = m_schedule.table();
        m_loop = m_schedule.loop() ? 1 : 0;
        setOptions(m_schedule.options());
        RefreshScheduleList();
        for (int i = 0; i < m_table.count; ++i) {
            showEntryStatus(i, m_schedule.entryStatus(i));
            if (const ScheduleControl::Backoff b = m_schedule.backoff(i); b.until.isValid()) {
                showBackoff(i, b.result, b.until);
            }
        }
        if (m_schedule.nextUpload().isValid()) {
            planNextUpload(0, m_schedule.nextUpload());
        }
    }
    // A stop asked for before this dialog opened is still under way.
    setRunningControls(running);
    if (m_schedule.isStopping()) {
        m_stop->setEnabled(false);
    }
    m_loopBox->setChecked(m_loop == 1);
    connect(&m_schedule, &ScheduleControl::entryStatusChanged, this, &CScheduleDlg::showEntryStatus);
    connect(&m_schedule, &ScheduleControl::runEnded, this, &CScheduleDlg::runEnded);
    connect(&m_schedule, &ScheduleControl::entryBackingOff, this, &CScheduleDlg::showBackoff);
    connect(&m_schedule, &ScheduleControl::nextUploadPlanned, this, &CScheduleDlg::planNextUpload);

    m_list->setAccessibleName(windowTitle());
    refreshPlan();
}

void CScheduleDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_columnsSized) {
        m_columnsSized = true;
        sizeColumns();
    }
}

// Widths follow the list's client width as it is first shown.
void CScheduleDlg::sizeColumns() {
    const int u = m_list->viewport()->width() / kColumnUnits;
    const int units[kColumns] = {6, 16, 4, 5, 4};
    for (int c = 0; c < kColumns; ++c) {
        m_list->setColumnWidth(c, units[c] * u);
    }
    // The plan's last column, the picture, takes what is left.
    const int planUnit = m_planTable->viewport()->width() / kColumnUnits;
    const int planUnits[kPlanColumns - 1] = {9, 3, 10, 4};
    for (int c = 0; c < kPlanColumns - 1; ++c) {
        m_planTable->setColumnWidth(c, planUnits[c] * planUnit);
    }
}

void CScheduleDlg::setRunningControls(bool running) {
    for (QWidget* w :
         {static_cast<QWidget*>(m_insert), static_cast<QWidget*>(m_delete), static_cast<QWidget*>(m_load),
          static_cast<QWidget*>(m_save), static_cast<QWidget*>(m_execute), static_cast<QWidget*>(m_loopBox),
          static_cast<QWidget*>(m_verifyBox), static_cast<QWidget*>(m_retryBox)}) {
        w->setEnabled(!running);
    }
    m_stop->setEnabled(running);
    updateDaysButton();
}

// The selected row, or the current one: a screen reader selects rows without moving the
// current cell.
int CScheduleDlg::chosenEntry() const {
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? m_list->currentRow() : rows.first().row();
    return row >= 0 && row < m_table.count ? row : -1;
}

// Days and Times works on one chosen entry, and only while nothing runs.
void CScheduleDlg::updateDaysButton() {
    m_days->setEnabled(m_insert->isEnabled() && chosenEntry() >= 0);
}

ScheduleOptions CScheduleDlg::options() const {
    return {m_verifyBox->isChecked(), m_retryBox->isChecked(), m_dayparts};
}

void CScheduleDlg::setOptions(const ScheduleOptions& options) {
    m_verifyBox->setChecked(options.verify);
    m_retryBox->setChecked(options.retry);
    m_dayparts = options.dayparts;
    refreshPlan();
}

const Daypart& CScheduleDlg::daypart(int index) const {
    return m_dayparts[static_cast<size_t>(std::clamp(index, 0, ScheduleTable::kSlots - 1))];
}

void CScheduleDlg::setDaypart(int index, const Daypart& daypart) {
    if (index < 0 || index >= ScheduleTable::kSlots) {
        return;
    }
    m_dayparts[static_cast<size_t>(index)] = daypart;
    refreshPlan();
}

void CScheduleDlg::onDaysAndTimes() {
    const int row = chosenEntry();
    if (row < 0) {
        return;
    }
    CScheduleEntryDlg entry(m_store, *this, row);
    entry.exec();
}

// What Execute would do from now on, worked out again whenever the table, an entry's days
// and times or the loop box change. A week of 30 entries, rows and all, takes under 2 ms on
// a busy machine (bench/ScheduleDlgPlanBench), so it runs here rather than on a worker.
void CScheduleDlg::refreshPlan() {
    if (m_planTable == nullptr) {
        return; // still being built
    }
    const QDateTime now = QDateTime::currentDateTime();
    m_plan = SchedulePlan::make(m_table, options(), m_loopBox->isChecked(), now, kPlanDays, m_calendar);

    QHash<quint32, QString> names;
    for (const ProjectorRecord& r : m_store.projectors()) {
        names.insert(r.hostAddress(), r.name);
    }
    auto projector = [&names](const Ipv4::Octets& address) {
        const QString text = Ipv4::toText(address);
        const QString name = names.value(Ipv4::toHost(address));
        return name.isEmpty() ? text
                              : CatalogText(msg::ProjectorNameAndAddress, {VisibleText::shown(name), text});
    };

    const QString heading = CatalogText(
        msg::PlanHeading, {QString::number(kPlanDays), planTime(m_calendar.toDateTime(m_plan.start))});
    m_planLabel->setText(heading);
    m_planTable->setAccessibleName(heading);
    const int shown = static_cast<int>(std::min<size_t>(m_plan.uploads.size(), kPlanRows));
    // Each entry's texts once, not once per send; cells keep their items and change only
    // where the text does, and drawing waits until all are set.
    struct EntryTexts {
        QString projector;
        QString store;
        QString picture;
        QString tip;
    };
    std::vector<EntryTexts> texts;
    for (int i = 0; i < m_table.count; ++i) {
        const ScheduleEntry& e = m_table.entries[static_cast<size_t>(i)];
        const QString store = CatalogText(e.temporary != 0 ? msg::EntryTemporaryText : msg::EntryStoreText,
                                          {QString::number(e.saveId)});
        texts.push_back({projector(e.address), store.left(kStoreTextMax),
                         VisibleText::shown(e.imageFilePath()), VisibleText::toolTip(e.imageFilePath())});
    }
    auto setCell = [this](int row, int column, const QString& text, const QString& tip = {}) {
        QTableWidgetItem* item = m_planTable->item(row, column);
        if (item == nullptr) {
            item = new QTableWidgetItem(text);
            item->setToolTip(tip);
            m_planTable->setItem(row, column, item);
        } else if (item->text() != text) {
            item->setText(text);
            item->setToolTip(tip);
        }
    };
    m_planTable->setUpdatesEnabled(false);
    m_planTable->setRowCount(shown);
    for (int row = 0; row < shown; ++row) {
        const SchedulePlan::Upload& u = m_plan.uploads[static_cast<size_t>(row)];
        const EntryTexts& t = texts[static_cast<size_t>(u.entry)];
        setCell(row, kPlanTime, planTime(m_calendar.toDateTime(u.at)));
        setCell(row, kPlanEntry, QString::number(u.entry + 1));
        setCell(row, kPlanProjector, t.projector);
        setCell(row, kPlanStore, t.store);
        setCell(row, kPlanPicture, t.picture, t.tip);
    }
    m_planTable->setUpdatesEnabled(true);

    QStringList notes;
    if (m_plan.uploads.empty()) {
        notes << CatalogText(msg::PlanNothing, {QString::number(kPlanDays)});
    }
    if (m_plan.endless) {
        // One pass is listed; the run would repeat it at once, for ever.
        notes << CatalogText(msg::PlanEndless, {planTime(m_calendar.toDateTime(m_plan.endlessFrom))});
    }
    if (m_plan.truncated) {
        notes << CatalogText(msg::PlanTruncated, {QString::number(SchedulePlan::kMaxUploads)});
    }
    if (m_plan.uploads.size() > static_cast<size_t>(kPlanRows)) {
        notes << CatalogText(msg::PlanRowsCapped,
                             {QString::number(kPlanRows), QString::number(m_plan.uploads.size())});
    }
    m_planNote->setText(notes.join(u'\n'));
    m_planNote->setVisible(!notes.isEmpty());

    QStringList clashes;
    for (const SchedulePlan::Collision& c : m_plan.collisions) {
        const ScheduleEntry& e = m_table.entries[static_cast<size_t>(c.first)];
        clashes << CatalogText(msg::PlanCollision,
                               {QString::number(c.first + 1), QString::number(c.second + 1),
                                projector(e.address), QString::number(e.saveId),
                                planTime(m_calendar.toDateTime(c.from))});
    }
    m_collisionLabel->setText(clashes.join(u'\n'));
    m_collisionLabel->setVisible(!clashes.isEmpty());
}

// The options go with the schedule just loaded; a side file that cannot be used leaves both off.
void CScheduleDlg::loadOptions(const QString& schedulePath) {
    ScheduleOptions loaded;
    const IoResult result = ScheduleOptions::load(schedulePath, loaded);
    setOptions(loaded);
    if (result.ok()) {
        return;
    }
    CMessageBox::show(this, ScheduleOptions::loadFailureText(schedulePath, result), CMessageBox::Icon::Stop);
}

ScheduleTable::AddResult CScheduleDlg::AddScheduleEntry(const QString& addressText, const QString& imageFile,
                                                        const QString& storeText, const QString& intervalText,
                                                        bool temporary, int authentication,
                                                        const QString& password) {
    const auto result = m_table.AddScheduleEntry(addressText, imageFile, storeText, intervalText, temporary,
                                                 authentication, password);
    RefreshScheduleList();
    return result;
}

void CScheduleDlg::RefreshScheduleList() {
    m_list->setRowCount(0);
    m_list->setRowCount(m_table.count);
    for (int i = 0; i < m_table.count; ++i) {
        const ScheduleEntry& e = m_table.entries[static_cast<size_t>(i)];
        const QString addressText = Ipv4::toText(e.address);
        auto* address = new QTableWidgetItem(addressText);
        address->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        address->setCheckState(Qt::Unchecked);
        // The tick box marks the entry for Delete; a screen reader names the entry it belongs to.
        const QString number = QString::number(i + 1);
        address->setToolTip(CatalogText(msg::EntryCheckToolTip, {number}));
        address->setData(Qt::AccessibleTextRole, CatalogText(msg::EntryCheckName, {number, addressText}));
        m_list->setItem(i, kAddress, address);
        m_list->setItem(i, kImageFile, new QTableWidgetItem(VisibleText::shown(e.imageFilePath())));
        const QString store = CatalogText(e.temporary != 0 ? msg::EntryTemporaryText : msg::EntryStoreText,
                                          {QString::number(e.saveId)});
        m_list->setItem(i, kStore, new QTableWidgetItem(store.left(kStoreTextMax)));
        m_list->setItem(i, kInterval, new QTableWidgetItem(QString::number(e.interval)));
        m_list->setItem(i, kStatus, new QTableWidgetItem());
    }
    updateDaysButton();
    refreshPlan();
}

void CScheduleDlg::onInsert() {
    if (m_table.count >= ScheduleTable::kSlots) {
        CMessageBox::show(this, CatalogText(msg::ScheduleFull, {QString::number(ScheduleTable::kSlots)}),
                          CMessageBox::Icon::Stop);
        return;
    }
    CScheduleEntryDlg entry(m_store, *this);
    entry.exec();
}

void CScheduleDlg::onDelete() {
    QList<bool> checked;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const QTableWidgetItem* item = m_list->item(row, kAddress);
        checked << (item != nullptr && item->checkState() == Qt::Checked);
    }
    m_table.deleteChecked(checked);
    // Days and hours belong to their entry, which may now have a lower number.
    std::array<Daypart, ScheduleTable::kSlots> kept{};
    size_t next = 0;
    for (qsizetype i = 0; i < checked.size() && i < ScheduleTable::kSlots; ++i) {
        if (!checked[i]) {
            kept[next++] = m_dayparts[static_cast<size_t>(i)];
        }
    }
    for (size_t i = static_cast<size_t>(checked.size()); i < m_dayparts.size() && next < kept.size(); ++i) {
        kept[next++] = m_dayparts[i];
    }
    m_dayparts = kept;
    RefreshScheduleList();
}

void CScheduleDlg::onSave() {
    const QString path = CFileDialogs::instance().saveFile(
        this, {CatalogText(msg::SaveScheduleDlgTitle), kScheduleFilter, kScheduleSuffix, QString()});
    if (path.isEmpty()) {
        return;
    }
    const IoResult result = ScheduleFile::save(path, m_table);
    if (!result.ok()) {
        CMessageBox::show(
            this, CatalogText(msg::ScheduleSaveFailed, {path, FileErrorReason::ofSystemText(result.detail)}),
            CMessageBox::Icon::Stop);
        return;
    }
    // A schedule never saved kept its options in the dialog until now.
    const IoResult side = ScheduleOptions::save(path, options());
    if (!side.ok()) {
        CMessageBox::show(
            this,
            CatalogText(msg::ScheduleOptionsSaveFailed,
                        {ScheduleOptions::sidePath(path), FileErrorReason::ofSystemText(side.detail)}),
            CMessageBox::Icon::Stop);
    }
}

void CScheduleDlg::onLoad() {
    const QString path = CFileDialogs::instance().openFile(
        this, {CatalogText(msg::LoadScheduleDlgTitle), kScheduleFilter, kScheduleSuffix, QString()});
    if (path.isEmpty()) {
        return;
    }
    const IoResult result = ScheduleFile::load(path, m_table);
    switch (result.code) {
    case IoResult::Code::Ok:
        RefreshScheduleList();
        loadOptions(path);
        break;
    case IoResult::Code::Truncated:
        CMessageBox::show(this, CatalogText(msg::ScheduleFileTruncated, {path}), CMessageBox::Icon::Stop);
        break;
    case IoResult::Code::BadContent:
        break; // an empty file or a count out of range is not a schedule: ignored
    default:
        CMessageBox::show(
            this, CatalogText(msg::ScheduleReadFailed, {path, FileErrorReason::ofSystemText(result.detail)}),
            CMessageBox::Icon::Stop);
        break;
    }
}

void CScheduleDlg::onExecute() {
    if (m_table.count < 1) {
        return;
    }
    m_loop = m_loopBox->isChecked() ? 1 : 0;
    m_schedule.setTable(m_table);
    m_schedule.setCount(m_table.count);
    m_schedule.setLoop(m_loop != 0);
    m_schedule.setOptions(options());
    if (!m_schedule.start()) {
        CMessageBox::show(this,
                          CatalogText(msg::ScheduleStartFailed, {CatalogText(msg::ScheduleWorkerNotStarted)}),
                          CMessageBox::Icon::Stop);
        return;
    }
    setRunningControls(true);
}

// The worker abandons its upload and ends within a fraction of a second; runEnded brings
// the idle controls back.
void CScheduleDlg::onStop() {
    if (!m_schedule.isRunning()) {
        return;
    }
    m_stop->setEnabled(false);
    m_schedule.requestStop();
}

void CScheduleDlg::showEntryStatus(int index, int status) {
    if (index < 0 || index >= m_table.count || index >= m_list->rowCount()) {
        return;
    }
    if (QTableWidgetItem* item = m_list->item(index, kStatus)) {
        item->setText(statusText(status));
        item->setToolTip({});
    }
    if (status == ScheduleEntry::Executing) {
        m_nextUpload = {};
        showCountdown();
    }
}

// The row says why the run passes its projector over and when it tries again; the tooltip
// holds the full explanation of the last failure.
void CScheduleDlg::showBackoff(int index, int result, const QDateTime& until) {
    if (index < 0 || index >= m_table.count || index >= m_list->rowCount()) {
        return;
    }
    if (QTableWidgetItem* item = m_list->item(index, kStatus)) {
        item->setText(CatalogText(msg::EntryNextTry, {CatalogText(UploadBackoff::reasonFor(result)),
                                                      until.toString(kClockFormat)}));
        const ImageUpload::ResultText why = ImageUpload::textFor(result);
        item->setToolTip(CatalogText(why.id, why.inserts));
    }
}

void CScheduleDlg::planNextUpload(int /*index*/, const QDateTime& at) {
    m_nextUpload = at;
    showCountdown();
}

void CScheduleDlg::showCountdown() {
    if (!m_nextUpload.isValid() || !m_schedule.isRunning()) {
        m_countdown->stop();
        m_nextUploadLabel->clear();
        m_nextUploadLabel->hide();
        return;
    }
    const qint64 left =
        std::max<qint64>(0, (QDateTime::currentDateTime().msecsTo(m_nextUpload) + 999) / 1000);
    const QString at = m_nextUpload.toString(kClockFormat);
    m_nextUploadLabel->setText(
        left < 60 ? CatalogText(msg::ScheduleNextUploadSeconds, {at, QString::number(left)})
                  : CatalogText(msg::ScheduleNextUploadMinutes,
                                {at, QString::number(left / 60), QString::number(left % 60)}));
    if (m_schedule.waitsForWindow()) {
        // A window may open days ahead: its date goes with the time.
        const bool today = m_nextUpload.date() == QDate::currentDate();
        m_nextUploadLabel->setText(CatalogText(msg::ScheduleWaitingForWindow,
                                               {today ? at : m_nextUpload.toString(u"yyyy-MM-dd HH:mm"_qs)}));
    }
    m_nextUploadLabel->show();
    if (!m_countdown->isActive()) {
        m_countdown->start();
    }
}

void CScheduleDlg::runEnded() {
    for (int i = 0; i < m_table.count; ++i) {
        showEntryStatus(i, m_schedule.entryStatus(i));
    }
    m_nextUpload = {};
    showCountdown();
    setRunningControls(false);
}
