#include "schedule/Daypart.h"
#include "schedule/DaypartCalendar.h"

#include <gtest/gtest.h>

namespace {

const QTimeZone kBerlin(QByteArrayLiteral("Europe/Berlin"));

QDateTime berlin(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), kBerlin);
}
QDateTime utc(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc());
}
qint64 utcSecs(int y, int mo, int d, int h, int mi) {
    return utc(y, mo, d, h, mi).toSecsSinceEpoch();
}

Daypart part(const char* days, const char* windows, QDate first = {}, QDate last = {}) {
    Daypart d;
    if (days) {
        d.weekdays = *Daypart::parseWeekdays(QString::fromLatin1(days));
    }
    if (windows) {
        d.windows = *Daypart::parseWindows(QString::fromLatin1(windows));
    }
    d.first = first;
    d.last = last;
    return d;
}

class BerlinCalendar : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kBerlin.isValid()) << "no time zone data for Europe/Berlin"; }
    DaypartCalendar calendar{kBerlin};
};

} // namespace

TEST(DaypartText, WeekdaysReadAsListsAndRangesAndWriteBackTheSame) {
    EXPECT_EQ(Daypart::parseWeekdays(u"mon-fri"), quint8{0x1F});
    EXPECT_EQ(Daypart::parseWeekdays(u"Mon, Wed ,FRI"), quint8{0x15});
    EXPECT_EQ(Daypart::parseWeekdays(u"sat-mon"), quint8{0x61}); // over the week's end
    EXPECT_EQ(Daypart::parseWeekdays(u"tue-mon"), Daypart::kEveryDay);
    for (const char16_t* bad : {u"", u"monday", u"mon-", u"mon,,tue", u"-fri", u"mo"}) {
        EXPECT_FALSE(Daypart::parseWeekdays(bad)) << QString::fromUtf16(bad).toStdString();
    }
    for (const quint8 mask : {quint8{0x1F}, quint8{0x5F}, quint8{0x15}, quint8{0x61}, Daypart::kEveryDay}) {
        EXPECT_EQ(Daypart::parseWeekdays(Daypart::weekdaysText(mask)), mask) << int{mask};
    }
    EXPECT_EQ(Daypart::weekdaysText(0x5F), u"mon-fri,sun");
}

TEST(DaypartText, WindowsAndDatesTakeOnlyWhatTheyMean) {
    const auto w = DaypartWindow::parse(u"22:00-02:00");
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->crossesMidnight());
    EXPECT_EQ(DaypartWindow::parse(u"7:05-8:00")->toText(), u"07:05-08:00");
    EXPECT_EQ(DaypartWindow::parse(u"22:00-24:00")->endMinute, 24 * 60);
    for (const char16_t* bad : {u"25:00-01:00", u"07:00-07:00", u"07:60-08:00", u"0700-0800", u"00:00-24:00",
                                u"24:00-01:00", u"07:00", u"-08:00", u"07:00-08:00-09:00", u"+7:00-08:00"}) {
        EXPECT_FALSE(DaypartWindow::parse(bad)) << QString::fromUtf16(bad).toStdString();
    }
    EXPECT_EQ(Daypart::parseWindows(u"07:00-11:00,17:00-19:00")->size(), 2);
    QString nine = u"01:00-02:00"_qs;
    for (int i = 0; i < Daypart::kMaxWindows; ++i) {
        nine += u",03:00-04:00"_qs;
    }
    EXPECT_FALSE(Daypart::parseWindows(nine));
    EXPECT_EQ(Daypart::parseDate(u"2028-02-29"), QDate(2028, 2, 29));
    for (const char16_t* bad :
         {u"2026-02-29", u"2026-2-03", u"26-02-03", u"2026-02-03T10:00", u"2026/02/03"}) {
        EXPECT_FALSE(Daypart::parseDate(bad)) << QString::fromUtf16(bad).toStdString();
    }
}

TEST_F(BerlinCalendar, WeekdaysAndWindowsOpenAndCloseWhereTheySay) {
    const Daypart d = part("mon-fri", "07:00-11:00,17:00-19:00");
    // Wednesday 2026-12-09.
    auto s = calendar.stateAt(d, berlin(2026, 12, 9, 8, 0));
    EXPECT_TRUE(s.open);
    EXPECT_EQ(s.closes, berlin(2026, 12, 9, 11, 0));
    s = calendar.stateAt(d, berlin(2026, 12, 9, 11, 0)); // the close itself is outside
    EXPECT_FALSE(s.open);
    EXPECT_EQ(s.opens, berlin(2026, 12, 9, 17, 0));
    // After Friday evening the next is Monday morning.
    s = calendar.stateAt(d, berlin(2026, 12, 11, 19, 30));
    EXPECT_FALSE(s.open);
    EXPECT_EQ(s.opens, berlin(2026, 12, 14, 7, 0));
    EXPECT_EQ(s.closes, berlin(2026, 12, 14, 11, 0));
    // The same moment given in another zone means the same.
    EXPECT_TRUE(calendar.isOpen(d, utc(2026, 12, 9, 16, 30)));
    EXPECT_TRUE(calendar.isOpen(Daypart{}, berlin(2026, 12, 12, 3, 0)));
}

TEST_F(BerlinCalendar, AWindowAcrossMidnightBelongsToTheDayItStarts) {
    const Daypart fridayNight = part("fri", "22:00-02:00");
    EXPECT_FALSE(calendar.isOpen(fridayNight, berlin(2026, 12, 11, 21, 59)));
    auto s = calendar.stateAt(fridayNight, berlin(2026, 12, 12, 1, 0)); // Saturday morning
    EXPECT_TRUE(s.open);
    EXPECT_EQ(s.opens, berlin(2026, 12, 11, 22, 0));
    EXPECT_EQ(s.closes, berlin(2026, 12, 12, 2, 0));
    // Thursday night is not Friday's, though it ends on a Friday.
    EXPECT_FALSE(calendar.isOpen(fridayNight, berlin(2026, 12, 11, 1, 0)));
    s = calendar.stateAt(fridayNight, berlin(2026, 12, 12, 23, 0));
    EXPECT_EQ(s.opens, berlin(2026, 12, 18, 22, 0));
    // Windows that meet are one: the close is the later one's.
    s = calendar.stateAt(part(nullptr, "20:00-00:00,00:00-03:00"), berlin(2026, 12, 9, 23, 0));
    EXPECT_TRUE(s.open);
    EXPECT_EQ(s.closes, berlin(2026, 12, 10, 3, 0));
    // Whole weekend days run on into Monday's midnight.
    s = calendar.stateAt(part("sat,sun", nullptr), berlin(2026, 12, 12, 10, 0));
    EXPECT_TRUE(s.open);
    EXPECT_EQ(s.closes, berlin(2026, 12, 14, 0, 0));
}

TEST_F(BerlinCalendar, FirstAndLastDatesBoundTheWindows) {
    const Daypart d = part(nullptr, "09:00-10:00,23:00-01:00", QDate(2026, 12, 10), QDate(2026, 12, 11));
    auto s = calendar.stateAt(d, berlin(2026, 12, 1, 12, 0));
    EXPECT_FALSE(s.open);
    EXPECT_EQ(s.opens, berlin(2026, 12, 10, 9, 0));
    // The last day's window across midnight still runs to its end.
    EXPECT_TRUE(calendar.isOpen(d, berlin(2026, 12, 12, 0, 30)));
    s = calendar.stateAt(d, berlin(2026, 12, 12, 1, 0));
    EXPECT_FALSE(s.open);
    EXPECT_FALSE(s.opens.isValid()) << "never again";
    // A first date far ahead is found however far it is.
    EXPECT_EQ(
        calendar.stateAt(part("mon", "06:00-07:00", QDate(2029, 1, 1)), berlin(2026, 12, 9, 0, 0)).opens,
        berlin(2029, 1, 1, 6, 0));
}

TEST_F(BerlinCalendar, TheHourSkippedInSpringDropsNoWindow) {
    // 2026-03-29: 02:00 CET jumps to 03:00 CEST (01:00 UTC).
    const QDate day(2026, 3, 29);
    using Span = DaypartCalendar::Span;
    EXPECT_EQ(calendar.spans(part(nullptr, "02:30-03:30"), day, day),
              (std::vector<Span>{{utcSecs(2026, 3, 29, 1, 0), utcSecs(2026, 3, 29, 1, 30)}}));
    // Wholly inside the missing hour: it opens as the clocks land, for its own length.
    EXPECT_EQ(calendar.spans(part(nullptr, "02:10-02:50"), day, day),
              (std::vector<Span>{{utcSecs(2026, 3, 29, 1, 0), utcSecs(2026, 3, 29, 1, 40)}}));
    EXPECT_EQ(calendar.spans(part(nullptr, "01:00-02:30"), day, day),
              (std::vector<Span>{{utcSecs(2026, 3, 29, 0, 0), utcSecs(2026, 3, 29, 1, 0)}}));
    // The days around keep their usual offsets.
    EXPECT_EQ(calendar.spans(part(nullptr, "02:30-03:30"), day.addDays(1), day.addDays(1)),
              (std::vector<Span>{{utcSecs(2026, 3, 30, 0, 30), utcSecs(2026, 3, 30, 1, 30)}}));
    auto s = calendar.stateAt(part(nullptr, "02:30-03:30"), berlin(2026, 3, 29, 1, 59));
    EXPECT_EQ(s.opens.toSecsSinceEpoch(), utcSecs(2026, 3, 29, 1, 0));
}

TEST_F(BerlinCalendar, TheHourRepeatedInAutumnRunsAWindowOnce) {
    // 2026-10-25: 03:00 CEST goes back to 02:00 CET (01:00 UTC); 02:00-03:00 happens twice.
    const QDate day(2026, 10, 25);
    using Span = DaypartCalendar::Span;
    EXPECT_EQ(calendar.spans(part(nullptr, "02:30-03:30"), day, day),
              (std::vector<Span>{{utcSecs(2026, 10, 25, 0, 30), utcSecs(2026, 10, 25, 2, 30)}}));
    const Daypart early = part(nullptr, "02:00-02:30");
    EXPECT_EQ(calendar.spans(early, day, day),
              (std::vector<Span>{{utcSecs(2026, 10, 25, 0, 0), utcSecs(2026, 10, 25, 0, 30)}}));
    // 02:15 on the second pass of the clock reads as inside, but that window has run.
    const auto s = calendar.stateAt(early, utc(2026, 10, 25, 1, 15));
    EXPECT_FALSE(s.open);
    EXPECT_EQ(s.opens, berlin(2026, 10, 26, 2, 0));
    EXPECT_EQ(s.opens.toSecsSinceEpoch(), utcSecs(2026, 10, 26, 1, 0));
}
