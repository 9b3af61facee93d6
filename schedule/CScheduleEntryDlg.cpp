#include "schedule/CScheduleEntryDlg.h"

#include "app/CFileDialogs.h"
#include "app/CMessageBox.h"
#include "common/TextRules.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "imaging/SendableImage.h"
#include "registry/CIpAddressEdit.h"
#include "registry/CSelectProjectorDlg.h"
#include "registry/Ipv4.h"
#include "registry/ProjectorStore.h"
#include "schedule/CScheduleDlg.h"
#include "schedule/EntryImageCheck.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace {

constexpr int kIntervalChars = 15;
constexpr int kStoreChars = 7;
constexpr int kMinutesPerDay = 24 * 60;
const QString kClockFormat = QStringLiteral("HH:mm");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

constexpr std::array<CatalogId, 7> kDayTexts = {
    msg::DaypartMonday, msg::DaypartTuesday,  msg::DaypartWednesday, msg::DaypartThursday,
    msg::DaypartFriday, msg::DaypartSaturday, msg::DaypartSunday};
constexpr std::array<const char*, 7> kDayNames = {"mondayCheck",   "tuesdayCheck", "wednesdayCheck",
                                                  "thursdayCheck", "fridayCheck",  "saturdayCheck",
                                                  "sundayCheck"};

// "&First date" and "起始日期(&F)" are read as "First date" and "起始日期".
QString withoutMnemonic(QString text) {
    static const QRegularExpression bracketed(QStringLiteral("\\(&.\\)"));
    text.remove(bracketed);
    return text.remove(u'&');
}

QTime clockOf(int minute) {
    return QTime((minute % kMinutesPerDay) / 60, minute % 60);
}

int minuteOf(const QTime& time) {
    return time.hour() * 60 + time.minute();
}

QComboBox* makeStoreList(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    list->setCurrentIndex(0);
    return list;
}

QLabel* makeLabel(QWidget* parent, const char* name, CatalogId text) {
    auto* label = new QLabel(CatalogText(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// The first failing check of the file decides which texts the user sees.
QList<CatalogId> reasonMessages(int reason) {
    switch (reason) {
    case SendableImage::CannotOpen:
        return {msg::EntryFileUnreadable, msg::EntryNotSchedulable};
    case SendableImage::BadFileSize:
        return {msg::EntryFileSizeInvalid, msg::EntryNotSchedulable};
    case SendableImage::NotQv1:
        return {msg::EntryNotQv1, msg::EntryNotSchedulable};
    case SendableImage::BadPictureSize:
        return {msg::EntryPictureSizeInvalid};
    default:
        return {msg::EntryNotSchedulable};
    }
}

} // namespace

CScheduleEntryDlg::CScheduleEntryDlg(ProjectorStore& store, CScheduleDlg& owner)
    : QDialog(&owner), m_projectors(store), m_owner(owner) {
    setObjectName(QStringLiteral("scheduleEntryDlg"));
    setWindowTitle(CatalogText(msg::InsertDlgTitle));

    // Four fields of 0 to 255; an empty field counts as 0.
    m_address = new CIpAddressEdit(this);
    m_address->setObjectName(QStringLiteral("addressEdit"));
    auto* select = new QPushButton(CatalogText(msg::ButtonSelect), this);
    select->setObjectName(QStringLiteral("selectButton"));
    select->setAutoDefault(false);

    m_imageFile = new QLineEdit(this);
    m_imageFile->setObjectName(QStringLiteral("fileEdit"));
    m_imageFile->setMinimumWidth(280);
    auto* browse = new QPushButton(CatalogText(msg::ButtonBrowse), this);
    browse->setObjectName(QStringLiteral("browseButton"));
    browse->setAutoDefault(false);

    m_store = makeStoreList(this, "storeList");
    m_interval = new QLineEdit(QStringLiteral("0"), this);
    m_interval->setObjectName(QStringLiteral("intervalEdit"));
    m_interval->setMaxLength(kIntervalChars);

    // Laid out hidden: every entry targets a store unless these are shown.
    m_storeChoice = new QRadioButton(QStringLiteral("Store"), this);
    m_storeChoice->setObjectName(QStringLiteral("storeRadio"));
    m_storeChoice->setChecked(true);
    m_storeChoice->hide();
    m_temporaryChoice = new QRadioButton(QStringLiteral("Temporary"), this);
    m_temporaryChoice->setObjectName(QStringLiteral("temporaryRadio"));
    m_temporaryChoice->hide();
    m_temporaryStore = makeStoreList(this, "temporaryList");
    m_temporaryStore->hide();

    QWidget* days = makeDaypartGroup();

    auto* ok = new QPushButton(CatalogText(msg::ButtonOk), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(CatalogText(msg::ButtonFormCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    m_ok = ok;
    m_cancel = cancel;

    connect(select, &QPushButton::clicked, this, &CScheduleEntryDlg::onSelect);
    connect(browse, &QPushButton::clicked, this, &CScheduleEntryDlg::onBrowse);
    connect(ok, &QPushButton::clicked, this, &CScheduleEntryDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CScheduleEntryDlg::reject);

    auto* grid = new QGridLayout;
    QLabel* addressLabel = makeLabel(this, "addressLabel", msg::LabelProjectorIpAddress);
    grid->addWidget(addressLabel, 0, 0);
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(select, 0, 2);
    // Buddies give the fields their labels' names, for the keyboard and for screen readers.
    QLabel* fileLabel = makeLabel(this, "fileLabel", msg::LabelImageFileName);
    fileLabel->setBuddy(m_imageFile);
    grid->addWidget(fileLabel, 1, 0);
    grid->addWidget(m_imageFile, 1, 1);
    grid->addWidget(browse, 1, 2);
    QLabel* storeLabel = makeLabel(this, "storeLabel", msg::LabelStoreNo);
    storeLabel->setBuddy(m_store);
    grid->addWidget(storeLabel, 2, 0);
    grid->addWidget(m_store, 2, 1);
    QLabel* intervalLabel = makeLabel(this, "intervalLabel", msg::LabelInterval);
    intervalLabel->setBuddy(m_interval);
    grid->addWidget(intervalLabel, 3, 0);
    grid->addWidget(m_interval, 3, 1);
    grid->addWidget(m_storeChoice, 4, 0);
    grid->addWidget(m_temporaryChoice, 4, 1);
    grid->addWidget(m_temporaryStore, 4, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(days);
    layout->addLayout(buttons);

    setAddress(m_projectors.currentProjector());

    m_address->setLabelText(addressLabel->text());
    orderTabs();
}

CScheduleEntryDlg::CScheduleEntryDlg(ProjectorStore& store, CScheduleDlg& owner, int entry)
    : CScheduleEntryDlg(store, owner) {
    m_entry = std::clamp(entry, 0, ScheduleTable::kSlots - 1);
    setWindowTitle(CatalogText(msg::DaypartDlgTitle, {QString::number(m_entry + 1)}));
    const ScheduleEntry& e = owner.table().entries[static_cast<size_t>(m_entry)];
    setAddress(Ipv4::toHost(e.address));
    m_imageFile->setText(e.imageFilePath());
    m_interval->setText(QString::number(e.interval));
    const int storeNumber = e.temporary != 0 ? e.saveId - 4 : e.saveId;
    (e.temporary != 0 ? m_temporaryChoice : m_storeChoice)->setChecked(true);
    (e.temporary != 0 ? m_temporaryStore : m_store)->setCurrentIndex(std::clamp(storeNumber, 1, 4) - 1);
    // The entry itself stays as it was saved; only when it may send changes here.
    for (const char* name :
         {"addressEdit", "selectButton", "fileEdit", "browseButton", "storeList", "intervalEdit"}) {
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(name))) {
            w->setEnabled(false);
        }
    }
    showDaypart(owner.daypart(m_entry));
}

QWidget* CScheduleEntryDlg::makeDaypartGroup() {
    auto* group = new QGroupBox(CatalogText(msg::DaypartGroupTitle), this);
    group->setObjectName(QStringLiteral("daysGroup"));

    auto* dayRow = new QHBoxLayout;
    auto* dayLabel = new QLabel(CatalogText(msg::DaypartWeekdaysLabel), group);
    dayLabel->setObjectName(QStringLiteral("weekdaysLabel"));
    dayRow->addWidget(dayLabel);
    for (size_t d = 0; d < m_weekdays.size(); ++d) {
        auto* box = new QCheckBox(CatalogText(kDayTexts[d]), group);
        box->setObjectName(QString::fromLatin1(kDayNames[d]));
        box->setAccessibleName(box->text());
        box->setChecked(true);
        dayRow->addWidget(box);
        m_weekdays[d] = box;
    }
    dayRow->addStretch();

    auto* windowsLabel = new QLabel(CatalogText(msg::DaypartWindowsLabel), group);
    windowsLabel->setObjectName(QStringLiteral("windowsLabel"));
    m_windowGrid = new QGridLayout;
    m_addWindow = new QPushButton(CatalogText(msg::DaypartAddWindow), group);
    m_addWindow->setObjectName(QStringLiteral("addWindowButton"));
    m_addWindow->setAccessibleName(withoutMnemonic(m_addWindow->text()));
    m_addWindow->setAutoDefault(false);
    connect(m_addWindow, &QPushButton::clicked, this, &CScheduleEntryDlg::addWindow);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(m_addWindow);
    addRow->addStretch();

    auto makeDate = [group](const char* checkName, const char* editName, CatalogId text) {
        auto* check = new QCheckBox(CatalogText(text), group);
        check->setObjectName(QString::fromLatin1(checkName));
        check->setAccessibleName(withoutMnemonic(check->text()));
        auto* edit = new QDateEdit(QDate::currentDate(), group);
        edit->setObjectName(QString::fromLatin1(editName));
        edit->setDisplayFormat(kDateFormat);
        edit->setCalendarPopup(true);
        edit->setAccessibleName(check->accessibleName());
        edit->setEnabled(false);
        connect(check, &QCheckBox::toggled, edit, &QWidget::setEnabled);
        return std::pair{check, edit};
    };
    std::tie(m_firstCheck, m_firstDate) = makeDate("firstDateCheck", "firstDateEdit", msg::DaypartFirstDate);
    std::tie(m_lastCheck, m_lastDate) = makeDate("lastDateCheck", "lastDateEdit", msg::DaypartLastDate);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(m_firstCheck);
    dateRow->addWidget(m_firstDate);
    dateRow->addSpacing(16);
    dateRow->addWidget(m_lastCheck);
    dateRow->addWidget(m_lastDate);
    dateRow->addStretch();

    auto* layout = new QVBoxLayout(group);
    layout->addLayout(dayRow);
    layout->addWidget(windowsLabel);
    layout->addLayout(m_windowGrid);
    layout->addLayout(addRow);
    layout->addLayout(dateRow);
    setWindows({}, -1);
    return group;
}

// The rows are made anew on every change, so their numbers, names and tab order always
// follow what is shown.
void CScheduleEntryDlg::setWindows(const QList<DaypartWindow>& windows, int focusRow) {
    // A Remove button may be the one whose click got us here: its row goes later.
    m_windows.clear();
    while (QLayoutItem* item = m_windowGrid->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->setObjectName(QString());
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    auto* group = m_addWindow->parentWidget();
    if (!windows.isEmpty()) {
        auto* startHeader = new QLabel(CatalogText(msg::DaypartColumnStart), group);
        startHeader->setObjectName(QStringLiteral("startHeader"));
        auto* endHeader = new QLabel(CatalogText(msg::DaypartColumnEnd), group);
        endHeader->setObjectName(QStringLiteral("endHeader"));
        m_windowGrid->addWidget(startHeader, 0, 0);
        m_windowGrid->addWidget(endHeader, 0, 1);
    }
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const QString number = QString::number(i + 1);
        auto makeTime = [&](const char* name, CatalogId text, int minute) {
            auto* edit = new QTimeEdit(clockOf(minute), group);
            edit->setObjectName(QString::fromLatin1(name) + number);
            edit->setDisplayFormat(kClockFormat);
            edit->setAccessibleName(CatalogText(text, {number}));
            edit->setWrapping(true);
            return edit;
        };
        WindowRow row;
        row.start = makeTime("windowStartEdit", msg::DaypartWindowStartName, windows[i].startMinute);
        row.end = makeTime("windowEndEdit", msg::DaypartWindowEndName, windows[i].endMinute);
        row.note = new QLabel(group);
        row.note->setObjectName(QStringLiteral("windowNoteLabel") + number);
        row.remove = new QPushButton(CatalogText(msg::DaypartRemoveWindow), group);
        row.remove->setObjectName(QStringLiteral("removeWindowButton") + number);
        row.remove->setAccessibleName(CatalogText(msg::DaypartRemoveWindowName, {number}));
        row.remove->setAutoDefault(false);
        const int r = static_cast<int>(i) + 1;
        m_windowGrid->addWidget(row.start, r, 0);
        m_windowGrid->addWidget(row.end, r, 1);
        m_windowGrid->addWidget(row.remove, r, 2);
        m_windowGrid->addWidget(row.note, r, 3);
        m_windows.push_back(row);
        const int index = static_cast<int>(i);
        connect(row.remove, &QPushButton::clicked, this, [this, index] { removeWindow(index); });
        connect(row.start, &QTimeEdit::timeChanged, this,
                [this, index] { showCrossing(m_windows[static_cast<size_t>(index)]); });
        connect(row.end, &QTimeEdit::timeChanged, this,
                [this, index] { showCrossing(m_windows[static_cast<size_t>(index)]); });
        showCrossing(row);
    }
    m_windowGrid->setColumnStretch(3, 1);
    m_addWindow->setEnabled(windows.size() < Daypart::kMaxWindows);
    orderTabs();
    if (focusRow >= 0 && focusRow < static_cast<int>(m_windows.size())) {
        m_windows[static_cast<size_t>(focusRow)].start->setFocus();
    } else if (focusRow >= 0) {
        m_addWindow->setFocus();
    }
}

QList<DaypartWindow> CScheduleEntryDlg::shownWindows() const {
    QList<DaypartWindow> windows;
    for (const WindowRow& row : m_windows) {
        const int start = minuteOf(row.start->time());
        const int end = minuteOf(row.end->time());
        // An end at 00:00 is the midnight that closes the day.
        windows.append(DaypartWindow{start, end == 0 && start != 0 ? kMinutesPerDay : end});
    }
    return windows;
}

void CScheduleEntryDlg::addWindow() {
    QList<DaypartWindow> windows = shownWindows();
    if (windows.size() >= Daypart::kMaxWindows) {
        return;
    }
    windows.append(DaypartWindow{9 * 60, 17 * 60});
    setWindows(windows, static_cast<int>(windows.size()) - 1);
}

void CScheduleEntryDlg::removeWindow(int row) {
    QList<DaypartWindow> windows = shownWindows();
    if (row < 0 || row >= windows.size()) {
        return;
    }
    windows.removeAt(row);
    setWindows(windows, windows.isEmpty() ? static_cast<int>(Daypart::kMaxWindows)
                                          : std::min<int>(row, static_cast<int>(windows.size()) - 1));
}

void CScheduleEntryDlg::showCrossing(const WindowRow& row) {
    const int start = minuteOf(row.start->time());
    const int end = minuteOf(row.end->time());
    const bool crosses = end != 0 && end < start;
    row.note->setText(crosses ? CatalogText(msg::DaypartEndsNextDay) : QString());
    row.note->setVisible(crosses);
}

void CScheduleEntryDlg::orderTabs() {
    if (m_ok == nullptr) {
        return; // still being built; the constructor orders them at its end
    }
    QList<QWidget*> chain;
    chain << m_interval;
    for (QCheckBox* box : m_weekdays) {
        chain << box;
    }
    for (const WindowRow& row : m_windows) {
        chain << row.start << row.end << row.remove;
    }
    chain << m_addWindow << m_firstCheck << m_firstDate << m_lastCheck << m_lastDate << m_ok << m_cancel;
    for (qsizetype i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
}

void CScheduleEntryDlg::showDaypart(const Daypart& daypart) {
    for (size_t d = 0; d < m_weekdays.size(); ++d) {
        m_weekdays[d]->setChecked((daypart.weekdays & (1u << d)) != 0);
    }
    setWindows(daypart.windows, -1);
    m_firstCheck->setChecked(daypart.first.isValid());
    m_firstDate->setDate(daypart.first.isValid() ? daypart.first : QDate::currentDate());
    m_lastCheck->setChecked(daypart.last.isValid());
    m_lastDate->setDate(daypart.last.isValid() ? daypart.last : QDate::currentDate());
}

std::optional<Daypart> CScheduleEntryDlg::readDaypart() {
    Daypart d;
    d.weekdays = 0;
    for (size_t i = 0; i < m_weekdays.size(); ++i) {
        if (m_weekdays[i]->isChecked()) {
            d.weekdays |= static_cast<quint8>(1u << i);
        }
    }
    if (d.weekdays == 0) {
        CMessageBox::show(this, CatalogText(msg::DaypartNoWeekday), CMessageBox::Icon::Stop, QMessageBox::Ok);
        m_weekdays[0]->setFocus();
        return std::nullopt;
    }
    for (size_t i = 0; i < m_windows.size(); ++i) {
        const WindowRow& row = m_windows[i];
        if (row.start->time() == row.end->time()) {
            const QString clock = row.start->time().toString(kClockFormat);
            CMessageBox::show(
                this, CatalogText(msg::DaypartWindowEmpty, {QString::number(i + 1), clock + u'-' + clock}),
                CMessageBox::Icon::Stop, QMessageBox::Ok);
            row.end->setFocus();
            return std::nullopt;
        }
    }
    d.windows = shownWindows();
    d.first = m_firstCheck->isChecked() ? m_firstDate->date() : QDate();
    d.last = m_lastCheck->isChecked() ? m_lastDate->date() : QDate();
    if (d.first.isValid() && d.last.isValid() && d.last < d.first) {
        CMessageBox::show(this,
                          CatalogText(msg::DaypartLastBeforeFirst,
                                      {d.first.toString(Qt::ISODate), d.last.toString(Qt::ISODate)}),
                          CMessageBox::Icon::Stop, QMessageBox::Ok);
        m_lastDate->setFocus();
        return std::nullopt;
    }
    return d;
}

void CScheduleEntryDlg::setAddress(quint32 hostAddress) {
    m_address->setAddress(hostAddress);
}

void CScheduleEntryDlg::onSelect() {
    CSelectProjectorDlg select(m_projectors, this);
    if (select.exec() == QDialog::Accepted) {
        setAddress(m_projectors.currentProjector());
    }
}

void CScheduleEntryDlg::onBrowse() {
    const QString path = CFileDialogs::instance().openFile(this, {CatalogText(msg::BrowseImageDlgTitle),
                                                                  QStringLiteral("Projector GIF (*.qv1)"),
                                                                  QString(), QString()});
    if (!path.isEmpty()) {
        m_imageFile->setText(path);
    }
}

void CScheduleEntryDlg::accept() {
    if (m_entry >= 0) {
        if (const auto daypart = readDaypart()) {
            m_owner.setDaypart(m_entry, *daypart);
            QDialog::accept();
        }
        return;
    }
    const QString imageFile = m_imageFile->text();

    const QString intervalText = m_interval->text().left(kIntervalChars);
    const bool temporary = !m_storeChoice->isChecked();
    const QString storeText = (temporary ? m_temporaryStore : m_store)->currentText().left(kStoreChars);

    const quint32 address = m_address->address();
    if (imageFile.isEmpty() || address == 0) {
        return;
    }
    // The entry keeps the path as bytes, so bytes are what must fit: a path of few but wide
    // characters can be too long.
    const qsizetype pathBytes = QFile::encodeName(imageFile).size();
    if (pathBytes > kMaxImageFile) {
        CMessageBox::show(this, CatalogText(msg::EntryPathTooLong, {QString::number(pathBytes)}),
                          CMessageBox::Icon::Stop, QMessageBox::Ok);
        return;
    }

    int reason = 0;
    if (!EntryImageCheck::isSchedulable(imageFile, reason)) {
        for (const CatalogId id : reasonMessages(reason)) {
            CMessageBox::show(this, CatalogText(id), CMessageBox::Icon::Stop, QMessageBox::Ok);
        }
        return;
    }

    const ProjectorList projectors = m_projectors.projectors();
    const auto record =
        std::find_if(projectors.cbegin(), projectors.cend(),
                     [address](const ProjectorRecord& r) { return r.hostAddress() == address; });
    if (record == projectors.cend()) {
        CMessageBox::show(this, CatalogText(msg::EntryAddressUnknown), CMessageBox::Icon::Stop,
                          QMessageBox::Ok);
        return;
    }

    // A password cut to fit would fail every upload of the entry.
    const qsizetype passwordBytes = record->password.toUtf8().size();
    if (passwordBytes > kMaxPassword) {
        CMessageBox::show(this, CatalogText(msg::EntryPasswordTooLong, {QString::number(passwordBytes)}),
                          CMessageBox::Icon::Stop, QMessageBox::Ok);
        return;
    }

    const auto daypart = readDaypart();
    if (!daypart) {
        return;
    }

    // A store out of range adds nothing, yet the dialog still closes; a full table says so.
    const ScheduleTable::AddResult added =
        m_owner.AddScheduleEntry(m_address->text(), imageFile, storeText, intervalText, temporary,
                                 TextRules::toInt(record->authMark), record->password);
    if (added == ScheduleTable::AddResult::TableFull) {
        CMessageBox::show(this, CatalogText(msg::ScheduleFull, {QString::number(ScheduleTable::kSlots)}),
                          CMessageBox::Icon::Stop, QMessageBox::Ok);
        return;
    }
    if (added == ScheduleTable::AddResult::Added) {
        m_owner.setDaypart(m_owner.table().count - 1, *daypart);
    }
    m_projectors.setCurrentProjector(address);
    QDialog::accept();
}
