#include "schedule/SchedulePlan.h"
#include "schedule/ScheduleRunner.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <ctime>
#include <mutex>

namespace {

const QTimeZone kBerlin(QByteArrayLiteral("Europe/Berlin"));

qint64 berlin(int month, int day, int hour, int minute) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), kBerlin).toSecsSinceEpoch();
}

qint64 utc(int month, int day, int hour, int minute) {
    return QDateTime(QDate(2026, month, day), QTime(hour, minute), QTimeZone::utc()).toSecsSinceEpoch();
}

using Uploads = std::vector<SchedulePlan::Upload>;

// The process's own zone, as a user's desktop sets it; the old one comes back afterwards.
class LocalZone final {
public:
    explicit LocalZone(const char* tz) : m_had(qEnvironmentVariableIsSet("TZ")), m_old(qgetenv("TZ")) {
        qputenv("TZ", tz);
        tzset();
    }
    ~LocalZone() {
        if (m_had) {
            qputenv("TZ", m_old);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    bool m_had;
    QByteArray m_old;
};

class RunnerWindows : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(kBerlin.isValid()) << "no time zone data for Europe/Berlin"; }

    Daypart& add(int intervalMinutes, const char* windows = nullptr, const char* days = nullptr) {
        const int index = table.count;
        EXPECT_EQ(table.AddScheduleEntry(u"127.0.9.%1"_qs.arg(index + 1), u"/pics/%1.qv1"_qs.arg(index),
                                         u"1"_qs, QString::number(intervalMinutes), false, 0, {}),
                  ScheduleTable::AddResult::Added);
        Daypart& d = options.dayparts[static_cast<size_t>(index)];
        if (windows) {
            d.windows = *Daypart::parseWindows(QString::fromLatin1(windows));
        }
        if (days) {
            d.weekdays = *Daypart::parseWeekdays(QString::fromLatin1(days));
        }
        return d;
    }

    // Runs the schedule on a wall clock that stands still while the run works and moves on
    // by what the run waits, so days pass in milliseconds; the run is stopped at until.
    // zone not valid: the process's own.
    Uploads run(bool loop, qint64 from, qint64 until, const QTimeZone& zone = {}) {
        std::atomic<qint64> ms{from * 1000};
        ScheduleRunner* self = nullptr;
        ScheduleRunner::Options o;
        o.zone = zone;
        o.nowSecs = [&ms] { return ms.load() / 1000; };
        o.clock = [&ms] { return ms.load(); };
        o.sleeper = [&](qint64 wait) {
            if (ms.fetch_add(wait) + wait >= until * 1000) {
                self->requestStop();
            }
        };
        Uploads uploads;
        std::mutex m;
        std::condition_variable ended;
        bool over = false;
        ScheduleRunner runner(
            o, [&](const QString& path, int, const CommandTarget&, const std::atomic<bool>&) {
                uploads.push_back({ms.load() / 1000, path.section(u'/', -1).section(u'.', 0, 0).toInt()});
                return 0;
            });
        self = &runner;
        runner.setWindowWaitObserver([&](int index, const QDateTime& opens) {
            windowWaits.push_back({opens.toSecsSinceEpoch(), index});
        });
        runner.setSkipObserver([&](int index) { skipped.push_back(index); });
        runner.setEndObserver([&] {
            std::lock_guard lock(m);
            over = true;
            ended.notify_all();
        });
        EXPECT_TRUE(runner.start(table, table.count, loop, options));
        std::unique_lock lock(m);
        EXPECT_TRUE(ended.wait_for(lock, std::chrono::seconds(60), [&] { return over; }));
        lock.unlock();
        runner.stop();
        return uploads;
    }
    // What the plan foretells for the same days.
    Uploads plan(bool loop, qint64 from, int days, const QTimeZone& zone) const {
        return SchedulePlan::make(table, options, loop, QDateTime::fromSecsSinceEpoch(from, zone), days,
                                  DaypartCalendar(zone))
            .uploads;
    }

    ScheduleTable table;
    ScheduleOptions options;
    Uploads windowWaits; // {opens, entry}
    std::vector<int> skipped;
};

} // namespace

// Monday 2026-12-07, 08:00.
TEST_F(RunnerWindows, InsideAWindowItUploadsAtOnceOutsideItWaitsAndAPastEntryIsSkipped) {
    add(10, "07:00-11:00");
    add(0, "12:00-13:00", "mon");
    add(0).last = QDate(2026, 12, 6);
    add(0, "22:00-02:00", "sun");
    const qint64 from = berlin(12, 7, 8, 0);
    const Uploads made = run(false, from, berlin(12, 21, 0, 0), kBerlin);
    EXPECT_EQ(made, (Uploads{{from, 0}, {berlin(12, 7, 12, 0), 1}, {berlin(12, 13, 22, 0), 3}}));
    EXPECT_EQ(windowWaits, (Uploads{{berlin(12, 7, 12, 0), 1}, {berlin(12, 13, 22, 0), 3}}));
    EXPECT_EQ(skipped, std::vector<int>{2});
    EXPECT_EQ(made, plan(false, from, 14, kBerlin));
}

// Three days of a loop with weekdays, a window across midnight and a first date agree with
// the plan upload for upload.
TEST_F(RunnerWindows, ALoopSkipsClosedEntriesExactlyAsThePlanForetells) {
    add(25, "07:00-09:00,17:00-18:00", "mon-fri");
    add(40, "23:00-01:30");
    add(15).first = QDate(2026, 12, 13);
    add(50, "08:30-08:45", "sat-sun");
    const qint64 from = berlin(12, 11, 6, 0); // a Friday
    const Uploads made = run(true, from, berlin(12, 14, 6, 0), kBerlin);
    const Uploads foretold = plan(true, from, 3, kBerlin);
    EXPECT_EQ(made, foretold);
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(made.front(), (SchedulePlan::Upload{berlin(12, 11, 7, 0), 0}));
}

// The process runs in Berlin time, as a desktop sets it.
TEST_F(RunnerWindows, NeitherDaylightSavingChangeRepeatsOrDropsAWindow) {
    const LocalZone berlinTime("Europe/Berlin");
    add(45, "02:30-03:30");
    // 2026-10-25: 02:30 CEST is 00:30 UTC and 03:30 CET is 02:30 UTC, one window of two
    // hours; the second 02:30 (01:30 UTC) does not open it again.
    Uploads made = run(true, utc(10, 24, 12, 0), utc(10, 26, 0, 0));
    EXPECT_EQ(made, (Uploads{{utc(10, 25, 0, 30), 0}, {utc(10, 25, 1, 15), 0}, {utc(10, 25, 2, 0), 0}}));
    EXPECT_EQ(made, plan(true, utc(10, 24, 12, 0), 1, QTimeZone::systemTimeZone()));

    // 2026-03-29: 02:15-02:45 lies in the hour the clocks skip; it opens as they land, at
    // 03:00 CEST (01:00 UTC), for its half hour.
    Daypart& spring = options.dayparts[0];
    spring.windows = *Daypart::parseWindows(u"02:15-02:45");
    windowWaits.clear();
    made = run(true, utc(3, 28, 12, 0), utc(3, 30, 0, 0));
    EXPECT_EQ(made, (Uploads{{utc(3, 29, 1, 0), 0}}));
    ASSERT_FALSE(windowWaits.empty());
    EXPECT_EQ(windowWaits.front(), (SchedulePlan::Upload{utc(3, 29, 1, 0), 0}));
}

// The real waits: a window a year away, a stop, and the run ends long before the half
// minute after which the wait would read the clock again.
TEST_F(RunnerWindows, AStopDuringAWindowWaitEndsAtOnce) {
    add(0).first = QDate::currentDate().addYears(1);
    ScheduleRunner runner(ScheduleRunner::Options{}, [](const QString&, int, const CommandTarget&,
                                                        const std::atomic<bool>&) { return 0; });
    std::mutex m;
    std::condition_variable told;
    QDateTime opens;
    runner.setWindowWaitObserver([&](int, const QDateTime& at) {
        std::lock_guard lock(m);
        opens = at;
        told.notify_all();
    });
    ASSERT_TRUE(runner.start(table, table.count, true, options));
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(told.wait_for(lock, std::chrono::seconds(20), [&] { return opens.isValid(); }));
    }
    EXPECT_EQ(opens, QDateTime(QDate::currentDate().addYears(1), QTime(0, 0)));
    QElapsedTimer took;
    took.start();
    runner.stop();
    EXPECT_FALSE(runner.isRunning());
    EXPECT_LT(took.elapsed(), 15000);
    EXPECT_EQ(runner.uploadsMade(), 0);
}
