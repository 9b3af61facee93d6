#include "schedule/SchedulePlan.h"
#include "support/CatalogFixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QTimeZone kBerlin(QByteArrayLiteral("Europe/Berlin"));

qint64 at(int month, int day, int hour, int minute) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), kBerlin).toSecsSinceEpoch();
}

class Plan : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kBerlin.isValid()) << "no time zone data for Europe/Berlin"; }

    // An entry as the entry dialog adds it, with its dayparts.
    void add(const char* address, int store, int intervalMinutes, const char* windows = nullptr,
             const char* days = nullptr, QDate first = {}, QDate last = {}) {
        const int index = table.count;
        ASSERT_EQ(table.AddScheduleEntry(QString::fromLatin1(address), u"/pics/p%1.qv1"_qs.arg(index + 1),
                                         QString::number(store), QString::number(intervalMinutes), false, 0,
                                         {}),
                  ScheduleTable::AddResult::Added);
        Daypart& d = options.dayparts[static_cast<size_t>(index)];
        if (windows) {
            d.windows = *Daypart::parseWindows(QString::fromLatin1(windows));
        }
        if (days) {
            d.weekdays = *Daypart::parseWeekdays(QString::fromLatin1(days));
        }
        d.first = first;
        d.last = last;
    }
    SchedulePlan make(bool loop, int month, int day, int hour, int minute, int days = 1) const {
        return SchedulePlan::make(table, options, loop,
                                  QDateTime(QDate(2026, month, day), QTime(hour, minute), kBerlin), days,
                                  calendar);
    }

    ScheduleTable table;
    ScheduleOptions options;
    DaypartCalendar calendar{kBerlin};
};

using Uploads = std::vector<SchedulePlan::Upload>;

} // namespace

TEST_F(Plan, WithoutDaypartsItIsTheRunOfToday) {
    add("127.0.5.1", 1, 10);
    add("127.0.5.2", 2, 20);
    add("127.0.5.1", 1, 30);
    // Monday 2026-12-07: each upload at once, each interval after its upload, then the end.
    EXPECT_EQ(make(false, 12, 7, 6, 0).uploads,
              (Uploads{{at(12, 7, 6, 0), 0}, {at(12, 7, 6, 10), 1}, {at(12, 7, 6, 30), 2}}));
    // In a loop the same pass comes round every hour, up to the plan's end a day later.
    const SchedulePlan looped = make(true, 12, 7, 6, 0);
    ASSERT_EQ(looped.uploads.size(), 24u * 3u);
    EXPECT_EQ(looped.uploads[3], (SchedulePlan::Upload{at(12, 7, 7, 0), 0}));
    EXPECT_EQ(looped.uploads.back(), (SchedulePlan::Upload{at(12, 8, 5, 30), 2}));
    EXPECT_FALSE(looped.endless);
    EXPECT_TRUE(looped.collisions.empty()) << "rotating through one store is no clash";
}

TEST_F(Plan, WithoutLoopTheRunWaitsForEachEntrysWindowInTurn) {
    add("127.0.5.1", 1, 5);
    add("127.0.5.1", 2, 0, "07:00-08:00");
    add("127.0.5.1", 3, 0, "06:00-06:30", "mon-fri");
    add("127.0.5.1", 4, 0, "05:00-05:30", nullptr, {}, QDate(2026, 12, 1)); // over: passed by
    add("127.0.5.2", 1, 0, "12:00-13:00", "sat");
    EXPECT_EQ(make(false, 12, 7, 6, 0, 7).uploads,
              (Uploads{{at(12, 7, 6, 0), 0},
                       {at(12, 7, 7, 0), 1},
                       {at(12, 8, 6, 0), 2}, // Monday's had closed by 07:00
                       {at(12, 12, 12, 0), 4}}));
    // A start inside a window uploads at once; one beyond the plan holds the rest back.
    EXPECT_EQ(make(false, 12, 7, 7, 30, 1).uploads,
              (Uploads{{at(12, 7, 7, 30), 0}, {at(12, 7, 7, 35), 1}, {at(12, 8, 6, 0), 2}}));
    EXPECT_EQ(make(false, 12, 7, 6, 0, 1).uploads.size(), 2u) << "entry 3 opens after the plan's end";
}

TEST_F(Plan, InLoopAPassSkipsClosedEntriesAndWaitsWhenAllAreClosed) {
    add("127.0.5.1", 1, 20, "07:00-08:00");
    add("127.0.5.2", 1, 30, "07:30-09:00");
    // The interval still follows an upload made just before a window closes.
    EXPECT_EQ(make(true, 12, 7, 6, 0).uploads, (Uploads{{at(12, 7, 7, 0), 0},
                                                        {at(12, 7, 7, 20), 0},
                                                        {at(12, 7, 7, 40), 1},
                                                        {at(12, 7, 8, 10), 1},
                                                        {at(12, 7, 8, 40), 1}}));
    // Over a week the same morning comes back every day.
    EXPECT_EQ(make(true, 12, 7, 6, 0, 7).uploads.size(), 35u);
}

TEST_F(Plan, LoopWithoutAnyPauseIsToldAsEndless) {
    add("127.0.5.1", 1, 0);
    add("127.0.5.2", 1, 0);
    const SchedulePlan plan = make(true, 12, 7, 6, 0);
    EXPECT_TRUE(plan.endless);
    EXPECT_EQ(plan.endlessFrom, at(12, 7, 6, 0));
    EXPECT_EQ(plan.uploads.size(), 2u);
    // One pause anywhere in the pass is enough to move on.
    table.entries[1].interval = 1;
    const SchedulePlan paused = make(true, 12, 7, 6, 0);
    EXPECT_FALSE(paused.endless);
    EXPECT_EQ(paused.uploads.size(), 2u * 24u * 60u);
}

TEST_F(Plan, TheRepeatedAutumnHourDoesNotRepeatAWindow) {
    add("127.0.5.1", 1, 10, "02:00-02:30");
    // 2026-10-25: the clocks go back at 03:00; the window runs once, 02:00 to 02:30 CEST.
    const SchedulePlan plan = make(true, 10, 25, 0, 0);
    const qint64 first = QDateTime(QDate(2026, 10, 25), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
    EXPECT_EQ(plan.uploads, (Uploads{{first, 0}, {first + 600, 0}, {first + 1200, 0}}));
    // In spring the window whose hour is skipped still runs, once the clocks land.
    const SchedulePlan spring = make(false, 3, 29, 0, 0);
    ASSERT_EQ(spring.uploads.size(), 1u);
    EXPECT_EQ(spring.uploads[0].at,
              QDateTime(QDate(2026, 3, 29), QTime(1, 0), QTimeZone::utc()).toSecsSinceEpoch());
}

TEST_F(Plan, CollisionsAreSameProjectorAndStoreInOverlappingWindows) {
    add("127.0.5.1", 1, 60, "07:00-09:00");
    add("127.0.5.1", 1, 60, "08:00-10:00");
    add("127.0.5.1", 2, 60, "07:00-10:00");        // another store
    add("127.0.5.1", 1, 60, "10:00-11:00");        // meets entry 2's end, no overlap
    add("127.0.5.3", 1, 60, "07:00-09:00", "sat"); // another projector
    add("127.0.5.3", 1, 60, "06:00-08:00", "sun"); // same projector, other days
    add("127.0.5.1", 1, 60);                       // no dayparts: the classic rotation
    const SchedulePlan plan = make(false, 12, 7, 6, 0, 7);
    EXPECT_EQ(plan.collisions, (std::vector<SchedulePlan::Collision>{{0, 1, at(12, 7, 8, 0)}}));
    // Overlaps before the plan starts are not its business.
    EXPECT_EQ(make(false, 12, 7, 9, 30, 1).collisions,
              (std::vector<SchedulePlan::Collision>{{0, 1, at(12, 8, 8, 0)}}));
    // Two days that share a night window do clash.
    options.dayparts[5].windows = *Daypart::parseWindows(u"23:00-08:00");
    options.dayparts[5].weekdays = *Daypart::parseWeekdays(u"fri");
    EXPECT_EQ(make(false, 12, 7, 6, 0, 7).collisions.size(), 2u);
}

TEST(ScheduleOptionsDayparts, RoundTripWithAndWithoutDaypartsAndOldFilesLoadUnchanged) {
    QTemporaryDir dir;
    const QString schedule = dir.filePath(u"week.sch"_qs);
    ScheduleOptions o;
    o.verify = true;
    o.dayparts[0].weekdays = 0x1F;
    o.dayparts[0].windows = *Daypart::parseWindows(u"07:00-11:00,22:00-02:00");
    o.dayparts[29].first = QDate(2026, 12, 1);
    o.dayparts[29].last = QDate(2026, 12, 31);
    EXPECT_EQ(o.toText(), QByteArrayLiteral("verify=on\nretry=off\n"
                                            "entry.1.days=mon-fri\nentry.1.windows=07:00-11:00,22:00-02:00\n"
                                            "entry.30.from=2026-12-01\nentry.30.until=2026-12-31\n"));
    ASSERT_TRUE(ScheduleOptions::save(schedule, o).ok());
    ScheduleOptions back;
    ASSERT_TRUE(ScheduleOptions::load(schedule, back).ok());
    EXPECT_EQ(back, o);
    // Every part set on every entry still fits the size a side file may have.
    ScheduleOptions full;
    for (Daypart& d : full.dayparts) {
        d.weekdays = 0x55;
        for (int w = 0; w < Daypart::kMaxWindows; ++w) {
            d.windows << DaypartWindow{w * 120 + 1, w * 120 + 59};
        }
        d.first = QDate(2026, 1, 1);
        d.last = QDate(2099, 12, 31);
    }
    ASSERT_LE(full.toText().size(), ScheduleOptions::kMaxFileSize);
    ASSERT_TRUE(ScheduleOptions::save(schedule, full).ok());
    ASSERT_TRUE(ScheduleOptions::load(schedule, back).ok());
    EXPECT_EQ(back, full);
    // A file of before dayparts reads as always open.
    ScheduleOptions old;
    ASSERT_TRUE(ScheduleOptions::fromText("verify=off\r\nretry=on\r\n", old));
    EXPECT_TRUE(old.retry);
    for (const Daypart& d : old.dayparts) {
        EXPECT_TRUE(d.isAlwaysOpen());
    }
}

TEST(ScheduleOptionsDayparts, DamagedOrHostileLinesAreRefusedAndNamed) {
    const QList<std::pair<QByteArray, int>> bad = {
        {"entry.31.days=mon\n", 1},
        {"entry.0.days=mon\n", 1},
        {"entry.01.days=mon\n", 1},
        {"entry.1.day=mon\n", 1},
        {"verify=on\nentry.1.days=mon\nentry.1.days=tue\n", 3},
        {"entry.1.windows=25:00-01:00\n", 1},
        {"entry.1.windows=\n", 1},
        {"entry.1.from=2026-13-01\n", 1},
        {"# note\n\nentry.2.until=tomorrow\n", 3},
        {"entry.1.days=mon\xe2\x80\xae"
         "fri\n",
         1},
        {"entry.1.from=2026-05-01\nentry.1.until=2026-04-01\n", 0},
    };
    for (const auto& [text, line] : bad) {
        ScheduleOptions read;
        read.verify = true;
        read.dayparts[0].weekdays = 1;
        const ScheduleOptions before = read;
        ScheduleOptions::BadLine where;
        EXPECT_FALSE(ScheduleOptions::fromText(text, read, &where)) << text.toStdString();
        EXPECT_EQ(read, before) << "a refused file changes nothing";
        EXPECT_EQ(where.number, line) << text.toStdString();
    }
    // The line is shown with its invisible characters spelled out.
    const ShippedCatalog catalog;
    QTemporaryDir dir;
    const QString schedule = dir.filePath(u"week.sch"_qs);
    QFile side(ScheduleOptions::sidePath(schedule));
    ASSERT_TRUE(side.open(QIODevice::WriteOnly));
    side.write("retry=on\nentry.4.days=mon\xe2\x80\xae"
               "fri\n");
    side.close();
    ScheduleOptions loaded;
    ScheduleOptions::BadLine where;
    const IoResult r = ScheduleOptions::load(schedule, loaded, &where);
    ASSERT_EQ(r.code, IoResult::Code::BadContent);
    EXPECT_FALSE(loaded.retry);
    const QString text = ScheduleOptions::loadFailureText(schedule, r, where);
    EXPECT_TRUE(text.contains(u"\\u202E")) << text.toStdString();
    EXPECT_FALSE(text.contains(QChar(0x202E)));
    EXPECT_TRUE(text.contains(ScheduleOptions::sidePath(schedule)));
    // Too big to be ours: refused as a whole.
    ASSERT_TRUE(side.open(QIODevice::WriteOnly));
    side.write(QByteArray(ScheduleOptions::kMaxFileSize + 1, '#'));
    side.close();
    EXPECT_EQ(ScheduleOptions::load(schedule, loaded, &where).code, IoResult::Code::BadContent);
    EXPECT_EQ(where.number, 0);
}
