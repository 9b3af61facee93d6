#include "schedule/RunSequence.h"

#include <gtest/gtest.h>

namespace {

const QTimeZone kBerlin(QByteArrayLiteral("Europe/Berlin"));

qint64 at(int month, int day, int hour, int minute) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), kBerlin).toSecsSinceEpoch();
}

using Kind = RunSequence::Step::Kind;

// A step as "kind entry time", so a mismatch reads as the run would.
std::string text(const RunSequence::Step& s) {
    const char* kinds[] = {"upload", "wait", "skip", "idle", "end"};
    std::string out = kinds[static_cast<int>(s.kind)];
    if (s.kind != Kind::End) {
        out += " " + std::to_string(s.entry);
    }
    if (s.kind == Kind::Wait || s.kind == Kind::Idle) {
        out +=
            s.at == RunSequence::kNever
                ? std::string(" never")
                : " " +
                      QDateTime::fromSecsSinceEpoch(s.at, kBerlin).toString(u"ddd dd HH:mm"_qs).toStdString();
    }
    return out;
}

class Sequence : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kBerlin.isValid()) << "no time zone data for Europe/Berlin"; }

    Daypart& part(int index, const char* windows, const char* days = nullptr) {
        Daypart& d = dayparts[static_cast<size_t>(index)];
        if (windows) {
            d.windows = *Daypart::parseWindows(QString::fromLatin1(windows));
        }
        if (days) {
            d.weekdays = *Daypart::parseWeekdays(QString::fromLatin1(days));
        }
        return d;
    }
    RunSequence::WindowAt windows() const { return RunSequence::fromDayparts(dayparts, calendar); }

    std::array<Daypart, ScheduleTable::kSlots> dayparts{};
    DaypartCalendar calendar{kBerlin};
};

} // namespace

// Friday 2026-12-11, noon: weekdays, a window across midnight, and first and last dates.
TEST_F(Sequence, WithoutLoopEachEntryWaitsForItsWindowInTurn) {
    part(0, "07:00-11:00", "mon-fri");
    part(1, "22:00-02:00", "sat");
    part(2, nullptr).last = QDate(2026, 12, 10);  // over yesterday
    part(3, nullptr).first = QDate(2026, 12, 20); // the whole of Sunday and on
    part(4, "11:30-12:30");                       // open at the start, but its turn comes later
    RunSequence run(5, false, windows());

    EXPECT_EQ(text(run.next(at(12, 11, 12, 0))), "wait 0 Mon 14 07:00");
    EXPECT_EQ(text(run.next(at(12, 14, 6, 59))), "wait 0 Mon 14 07:00"); // a clock that was set back
    EXPECT_EQ(text(run.next(at(12, 14, 7, 0))), "upload 0");
    run.uploaded();
    EXPECT_EQ(text(run.next(at(12, 14, 7, 5))), "wait 1 Sat 19 22:00");
    // After midnight the Saturday window still holds.
    EXPECT_EQ(text(run.next(at(12, 20, 1, 30))), "upload 1");
    run.uploaded();
    EXPECT_EQ(text(run.next(at(12, 20, 2, 0))), "skip 2");
    EXPECT_EQ(text(run.next(at(12, 20, 2, 0))), "upload 3");
    run.uploaded();
    EXPECT_EQ(text(run.next(at(12, 20, 2, 0))), "wait 4 Sun 20 11:30");
    EXPECT_EQ(text(run.next(at(12, 20, 12, 29))), "upload 4");
    run.uploaded();
    EXPECT_EQ(text(run.next(at(12, 20, 12, 29))), "end");
}

TEST_F(Sequence, InLoopAPassSkipsClosedEntriesAndIdlesUntilTheFirstOpens) {
    part(1, "09:00-10:00");
    part(2, "08:00-08:30");
    part(3, nullptr).last = QDate(2026, 12, 1);
    RunSequence run(4, true, windows());

    EXPECT_EQ(text(run.next(at(12, 7, 8, 10))), "upload 0"); // no windows: always open
    run.uploaded();
    EXPECT_EQ(text(run.next(at(12, 7, 8, 10))), "upload 2"); // 1 is closed
    run.uploaded();
    EXPECT_EQ(text(run.next(at(12, 7, 8, 40))), "skip 3"); // told once
    EXPECT_EQ(text(run.next(at(12, 7, 8, 40))), "upload 0");
    run.uploaded();
    EXPECT_EQ(text(run.next(at(12, 7, 9, 0))), "upload 1");
    run.uploaded();

    // Without entry 0 every pass idles until the first window opens.
    RunSequence windowsOnly(
        3, true, [w = windows()](int i, qint64 t) { return i == 0 ? RunSequence::kNever : w(i, t); });
    EXPECT_EQ(text(windowsOnly.next(at(12, 7, 8, 40))), "skip 0");
    EXPECT_EQ(text(windowsOnly.next(at(12, 7, 8, 40))), "idle 1 Mon 07 09:00");
    EXPECT_EQ(text(windowsOnly.next(at(12, 7, 10, 0))), "idle 2 Tue 08 08:00");
    // An open entry whose projector rests is passed over like a closed one.
    EXPECT_EQ(text(windowsOnly.next(at(12, 8, 8, 0), [](int i) { return i == 2; })), "idle 1 Tue 08 09:00");
    EXPECT_EQ(text(windowsOnly.next(at(12, 8, 8, 0))), "upload 2");
    EXPECT_FALSE(windowsOnly.repeatsAtOnce());

    // With every window over for good the loop ends.
    RunSequence over(1, true, [](int, qint64) { return RunSequence::kNever; });
    EXPECT_EQ(text(over.next(0)), "skip 0");
    EXPECT_EQ(text(over.next(0)), "end");
}
