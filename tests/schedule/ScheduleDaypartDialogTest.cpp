#include "app/AppState.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/CIpAddressEdit.h"
#include "schedule/CScheduleDlg.h"
#include "schedule/CScheduleEntryDlg.h"
#include "support/CatalogFixture.h"
#include "support/DialogDriver.h"
#include "support/TestImages.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimeEdit>

#include <gtest/gtest.h>

namespace {

// Listed in the projector list; nothing here ever connects to them.
const QString kHall = QStringLiteral("127.0.10.1");
const QString kStage = QStringLiteral("127.0.10.2");

Daypart daypart(const char* days, const char* windows, QDate first = {}, QDate last = {}) {
    Daypart d;
    d.weekdays = *Daypart::parseWeekdays(QString::fromLatin1(days));
    d.windows = *Daypart::parseWindows(QString::fromLatin1(windows));
    d.first = first;
    d.last = last;
    return d;
}

QString dayText(const QDate& date) {
    const CatalogId days[] = {msg::DaypartMonday,   msg::DaypartTuesday, msg::DaypartWednesday,
                              msg::DaypartThursday, msg::DaypartFriday,  msg::DaypartSaturday,
                              msg::DaypartSunday};
    return CatalogText(days[date.dayOfWeek() - 1]);
}

class ScheduleDaypartDialog : public ::testing::Test {
protected:
    ShippedCatalog catalog;
    QTemporaryDir dir;
    MessageBoxRecorder boxes;
    std::unique_ptr<AppState> state;
    QString image;

    void SetUp() override {
        state = std::make_unique<AppState>(dir.filePath(u"t.INI"_qs), dir.filePath(u"history.sqlite"_qs));
        ProjectorRecord hall;
        hall.name = u"Hall"_qs;
        hall.address = Ipv4::toOctets(0x7F000A01u); // kHall
        ASSERT_TRUE(state->projectors().saveProjectors({hall}).ok());
        image = dir.filePath(u"pic.qv1"_qs);
        TestImages::writeFile(image, TestImages::encode(TestImages::gradient(120, 90), ".gif"));
    }
    void TearDown() override { ASSERT_TRUE(StopScheduleAndWait(state->schedule())); }

    static void add(CScheduleDlg& d, const QString& address, const QString& store, const QString& interval) {
        ASSERT_EQ(d.AddScheduleEntry(address, u"/pics/a.qv1"_qs, store, interval, false, 0, {}),
                  ScheduleTable::AddResult::Added);
    }
    // Sets the shown rows' times, one "HH:mm-HH:mm" each, adding rows as needed.
    static void typeWindows(CScheduleEntryDlg& e, const QStringList& windows) {
        for (qsizetype i = 0; i < windows.size(); ++i) {
            const QByteArray n = QByteArray::number(i + 1);
            if (e.findChild<QTimeEdit*>(u"windowStartEdit"_qs + QString::number(i + 1)) == nullptr) {
                Click(e, "addWindowButton");
            }
            const QStringList times = windows[i].split(u'-');
            Child<QTimeEdit>(e, ("windowStartEdit" + n).constData())
                ->setTime(QTime::fromString(times[0], u"HH:mm"_qs));
            Child<QTimeEdit>(e, ("windowEndEdit" + n).constData())
                ->setTime(QTime::fromString(times[1], u"HH:mm"_qs));
        }
    }
    static QStringList planRows(CScheduleDlg& d) {
        QStringList rows;
        auto* t = Child<QTableWidget>(d, "planTable");
        for (int r = 0; r < t->rowCount(); ++r) {
            rows << t->item(r, 0)->text() + u'|' + t->item(r, 1)->text() + u'|' + t->item(r, 2)->text();
        }
        return rows;
    }
    // Opens the Days and Times dialog of one entry, runs steps in it and returns how it closed.
    static int editDays(CScheduleDlg& d, int row, const std::function<void(CScheduleEntryDlg&)>& steps) {
        Child<QTableWidget>(d, "scheduleTable")->setCurrentCell(row, 1);
        int result = -1;
        WhenModal<CScheduleEntryDlg>([&](CScheduleEntryDlg& e) {
            steps(e);
            result = e.isVisible() ? -1 : e.result();
            if (e.isVisible()) {
                e.reject();
            }
        });
        Click(d, "daysButton");
        return result;
    }
};

// The times a loop of one entry with a 60-minute interval sends at, inside 07:00-11:00 on
// weekdays, over the week after start: worked out hour by hour rather than by the plan.
QStringList hourlyWeekdayMornings(const QDateTime& start) {
    QStringList rows;
    const QDateTime end = start.addDays(CScheduleDlg::kPlanDays);
    for (QDate day = start.date(); day <= end.date(); day = day.addDays(1)) {
        if (day.dayOfWeek() > 5) {
            continue;
        }
        QDateTime at(day, QTime(7, 0));
        const QDateTime close(day, QTime(11, 0));
        if (start > at && start < close) {
            at = start; // inside the window already: at once, then every hour
        }
        for (; at < close && at < end; at = at.addSecs(3600)) {
            if (at >= start) {
                rows << at.toString(u"yyyy-MM-dd HH:mm:ss"_qs);
            }
        }
    }
    return rows;
}

} // namespace

TEST_F(ScheduleDaypartDialog, EntryDialogKeepsDaysWindowsAndDatesAndShowsThemAgain) {
    CScheduleDlg d(state->schedule(), state->projectors());
    d.show();
    // Left at its defaults, an entry has no days and times at all.
    CScheduleEntryDlg plain(state->projectors(), d);
    plain.show();
    Child<CIpAddressEdit>(plain, "addressEdit")->setText(kHall);
    Child<QLineEdit>(plain, "fileEdit")->setText(image);
    Click(plain, "okButton");
    ASSERT_EQ(d.table().count, 1);
    EXPECT_TRUE(d.daypart(0).isAlwaysOpen());

    CScheduleEntryDlg e(state->projectors(), d);
    e.show();
    Child<CIpAddressEdit>(e, "addressEdit")->setText(kHall);
    Child<QLineEdit>(e, "fileEdit")->setText(image);
    Child<QCheckBox>(e, "saturdayCheck")->setChecked(false);
    Child<QCheckBox>(e, "sundayCheck")->setChecked(false);
    typeWindows(e, {u"22:00-02:00"_qs, u"07:00-11:00"_qs, u"17:30-00:00"_qs});
    // Only the window that runs into the next day says so.
    EXPECT_TRUE(Child<QLabel>(e, "windowNoteLabel1")->isVisible());
    EXPECT_EQ(Child<QLabel>(e, "windowNoteLabel1")->text(), CatalogText(msg::DaypartEndsNextDay));
    EXPECT_FALSE(Child<QLabel>(e, "windowNoteLabel2")->isVisible());
    EXPECT_FALSE(Child<QLabel>(e, "windowNoteLabel3")->isVisible());
    Child<QCheckBox>(e, "firstDateCheck")->setChecked(true);
    Child<QDateEdit>(e, "firstDateEdit")->setDate(QDate(2026, 1, 5));
    Child<QCheckBox>(e, "lastDateCheck")->setChecked(true);
    Child<QDateEdit>(e, "lastDateEdit")->setDate(QDate(2026, 3, 27));
    Click(e, "okButton");
    ASSERT_EQ(d.table().count, 2);
    // 00:00 as an end is the midnight that ends the day.
    const Daypart expected =
        daypart("mon-fri", "22:00-02:00,07:00-11:00,17:30-24:00", QDate(2026, 1, 5), QDate(2026, 3, 27));
    EXPECT_EQ(d.daypart(1), expected);
    EXPECT_EQ(d.options().dayparts[1], expected);

    // Opened again, the dialog shows the entry as it is and changes nothing by itself.
    const int closed = editDays(d, 1, [&](CScheduleEntryDlg& again) {
        EXPECT_EQ(again.windowTitle(), CatalogText(msg::DaypartDlgTitle, {u"2"_qs}));
        EXPECT_FALSE(Child<QWidget>(again, "fileEdit")->isEnabled());
        EXPECT_FALSE(Child<QCheckBox>(again, "sundayCheck")->isChecked());
        EXPECT_TRUE(Child<QCheckBox>(again, "fridayCheck")->isChecked());
        EXPECT_EQ(Child<QTimeEdit>(again, "windowEndEdit1")->time(), QTime(2, 0));
        EXPECT_EQ(Child<QDateEdit>(again, "lastDateEdit")->date(), QDate(2026, 3, 27));
        // Removing the first window renumbers the rest.
        Click(again, "removeWindowButton1");
        EXPECT_EQ(Child<QTimeEdit>(again, "windowStartEdit1")->time(), QTime(7, 0));
        EXPECT_EQ(again.findChild<QTimeEdit*>(u"windowStartEdit3"_qs), nullptr);
        Click(again, "okButton");
    });
    EXPECT_EQ(closed, QDialog::Accepted);
    EXPECT_EQ(d.daypart(1).windows, daypart("mon", "07:00-11:00,17:30-24:00").windows);
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(u'\n').toStdString();
}

TEST_F(ScheduleDaypartDialog, EntryDialogRefusesWhatMakesNoDaypart) {
    CScheduleDlg d(state->schedule(), state->projectors());
    d.show();
    add(d, kHall, u"1"_qs, u"0"_qs);
    const Daypart kept = daypart("mon-fri", "07:00-11:00");
    d.setDaypart(0, kept);
    editDays(d, 0, [&](CScheduleEntryDlg& e) {
        typeWindows(e, {u"07:00-11:00"_qs, u"09:15-09:15"_qs});
        Click(e, "okButton");
        EXPECT_TRUE(e.isVisible());
        typeWindows(e, {u"07:00-11:00"_qs, u"09:15-10:00"_qs});
        Child<QCheckBox>(e, "firstDateCheck")->setChecked(true);
        Child<QDateEdit>(e, "firstDateEdit")->setDate(QDate(2026, 5, 2));
        Child<QCheckBox>(e, "lastDateCheck")->setChecked(true);
        Child<QDateEdit>(e, "lastDateEdit")->setDate(QDate(2026, 5, 1));
        Click(e, "okButton");
        EXPECT_TRUE(e.isVisible());
        Child<QCheckBox>(e, "lastDateCheck")->setChecked(false);
        for (const char* day :
             {"mondayCheck", "tuesdayCheck", "wednesdayCheck", "thursdayCheck", "fridayCheck"}) {
            Child<QCheckBox>(e, day)->setChecked(false);
        }
        Click(e, "okButton");
        EXPECT_TRUE(e.isVisible());
        // No more windows than an entry holds.
        for (int i = 2; i < Daypart::kMaxWindows; ++i) {
            Click(e, "addWindowButton");
        }
        EXPECT_FALSE(Child<QWidget>(e, "addWindowButton")->isEnabled());
    });
    EXPECT_EQ(boxes.texts(),
              QStringList({CatalogText(msg::DaypartWindowEmpty, {u"2"_qs, u"09:15-09:15"_qs}),
                           CatalogText(msg::DaypartLastBeforeFirst, {u"2026-05-02"_qs, u"2026-05-01"_qs}),
                           CatalogText(msg::DaypartNoWeekday)}));
    EXPECT_EQ(d.daypart(0), kept);
}

TEST_F(ScheduleDaypartDialog, PlanFollowsTheTableTheDaysAndTheLoopBox) {
    CScheduleDlg d(state->schedule(), state->projectors());
    d.show();
    EXPECT_TRUE(planRows(d).isEmpty());
    EXPECT_EQ(Child<QLabel>(d, "planNoteLabel")->text(),
              CatalogText(msg::PlanNothing, {QString::number(CScheduleDlg::kPlanDays)}));

    add(d, kHall, u"1"_qs, u"60"_qs);
    ASSERT_EQ(planRows(d).size(), 1); // without loop the entry sends once, at once
    // The projector by the name the list gives it; an unlisted one by its address.
    EXPECT_TRUE(
        planRows(d)[0].endsWith(u"|1|"_qs + CatalogText(msg::ProjectorNameAndAddress, {u"Hall"_qs, kHall})));

    Child<QCheckBox>(d, "loopCheck")->setChecked(true);
    editDays(d, 0, [&](CScheduleEntryDlg& e) {
        for (const char* day : {"saturdayCheck", "sundayCheck"}) {
            Child<QCheckBox>(e, day)->setChecked(false);
        }
        typeWindows(e, {u"07:00-11:00"_qs});
        Click(e, "okButton");
    });
    const QDateTime start = QDateTime::fromSecsSinceEpoch(d.plan().start);
    QStringList expected;
    for (const QString& at : hourlyWeekdayMornings(start)) {
        const QDateTime t = QDateTime::fromString(at, u"yyyy-MM-dd HH:mm:ss"_qs);
        expected << at + u' ' + dayText(t.date()) + u"|1|"_qs +
                        CatalogText(msg::ProjectorNameAndAddress, {u"Hall"_qs, kHall});
    }
    EXPECT_EQ(planRows(d), expected);
    EXPECT_TRUE(Child<QLabel>(d, "planLabel")->text().contains(start.toString(u"yyyy-MM-dd HH:mm:ss"_qs)));

    // A second entry with nothing to wait turns the loop into one that never pauses: one
    // pass is listed and the note says it repeats.
    add(d, kStage, u"2"_qs, u"0"_qs);
    Child<QTableWidget>(d, "scheduleTable")->item(0, 0)->setCheckState(Qt::Checked);
    Click(d, "deleteButton");
    ASSERT_EQ(planRows(d).size(), 1);
    EXPECT_TRUE(planRows(d)[0].endsWith(u"|1|"_qs + kStage));
    EXPECT_TRUE(Child<QLabel>(d, "planNoteLabel")
                    ->text()
                    .startsWith(CatalogText(msg::PlanEndless, {u"@"_qs}).section(u'@', 0, 0)))
        << Child<QLabel>(d, "planNoteLabel")->text().toStdString();

    // Short intervals in a loop make thousands of sends; the table lists a few hundred.
    d.setDaypart(0, Daypart{});
    add(d, kStage, u"3"_qs, u"1"_qs);
    add(d, kStage, u"4"_qs, u"1"_qs);
    EXPECT_EQ(planRows(d).size(), CScheduleDlg::kPlanRows);
    EXPECT_EQ(Child<QLabel>(d, "planNoteLabel")->text(),
              CatalogText(msg::PlanRowsCapped, {QString::number(CScheduleDlg::kPlanRows),
                                                QString::number(d.plan().uploads.size())}));
}

TEST_F(ScheduleDaypartDialog, CollisionLabelNamesBothEntriesOnlyWhileTheirWindowsOverlap) {
    CScheduleDlg d(state->schedule(), state->projectors());
    d.show();
    add(d, kHall, u"2"_qs, u"30"_qs);
    add(d, kStage, u"2"_qs, u"30"_qs);
    add(d, kHall, u"2"_qs, u"30"_qs);
    auto* label = Child<QLabel>(d, "collisionLabel");
    d.setDaypart(0, daypart("mon-sun", "08:00-12:00"));
    d.setDaypart(1, daypart("mon-sun", "09:00-13:00")); // same times, another projector
    d.setDaypart(2, daypart("mon-sun", "12:00-18:00")); // takes over where entry 1 ends
    EXPECT_FALSE(label->isVisible()) << label->text().toStdString();

    // From tomorrow on, so the first clash does not depend on the time the test runs.
    const QDate tomorrow = QDate::currentDate().addDays(1);
    d.setDaypart(2, daypart("mon-sun", "11:00-18:00", tomorrow));
    ASSERT_TRUE(label->isVisible());
    const QDateTime from(tomorrow, QTime(11, 0));
    EXPECT_EQ(label->text(),
              CatalogText(msg::PlanCollision,
                          {u"1"_qs, u"3"_qs, CatalogText(msg::ProjectorNameAndAddress, {u"Hall"_qs, kHall}),
                           u"2"_qs, from.toString(u"yyyy-MM-dd HH:mm:ss "_qs) + dayText(tomorrow)}));

    d.setDaypart(2, daypart("mon-sun", "12:30-18:00", tomorrow));
    EXPECT_FALSE(label->isVisible());
}

TEST(ScheduleDaypartChinese, DaysAndPlanShowNoEnglishAndEveryControlHasAName) {
    ShippedCatalog catalog(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    QTemporaryDir dir;
    AppState state(dir.filePath(u"t.INI"_qs), dir.filePath(u"history.sqlite"_qs));
    CScheduleDlg d(state.schedule(), state.projectors());
    d.show();
    ASSERT_EQ(d.AddScheduleEntry(kHall, u"/pics/a.qv1"_qs, u"1"_qs, u"10"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    d.setDaypart(0, daypart("mon-fri", "22:00-02:00"));
    CScheduleEntryDlg e(state.projectors(), d, 0);
    e.show();
    static const QRegularExpression english(u"[A-Za-z]{2,}"_qs);
    QStringList seen;
    auto* group = Child<QGroupBox>(e, "daysGroup");
    seen << group->title();
    for (QWidget* w : group->findChildren<QWidget*>()) {
        if (!w->isVisible() || qobject_cast<QAbstractSpinBox*>(w->parentWidget()) != nullptr) {
            continue; // a time field's own line edit speaks through the field
        }
        if (auto* l = qobject_cast<QLabel*>(w)) {
            seen << l->text();
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            seen << b->text();
        }
        if (w->focusPolicy() & Qt::TabFocus) {
            // Reachable by Tab, and named for a screen reader.
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
            seen << w->accessibleName();
        }
    }
    seen << d.windowTitle() << e.windowTitle() << Child<QLabel>(d, "planLabel")->text()
         << Child<QPushButton>(d, "daysButton")->text();
    auto* plan = Child<QTableWidget>(d, "planTable");
    for (int c = 0; c < plan->columnCount(); ++c) {
        seen << plan->horizontalHeaderItem(c)->text();
    }
    seen << plan->item(0, 0)->text();
    for (const QString& text : seen) {
        EXPECT_FALSE(english.match(text).hasMatch()) << text.toStdString();
    }
}
