#include "schedule/ScheduleControl.h"
#include "support/Emulators.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Lets queued signals arrive until the condition holds or the limit passes.
bool pumpUntil(const std::function<bool()>& condition, int limitMs = 20000) {
    QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class Control : public ::testing::Test {
protected:
    void SetUp() override {
        QFile f(m_dir.filePath(u"pic.qv1"_qs));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2000, 'q'));
    }
    ScheduleTable tableFor(quint32 address) {
        ScheduleTable t;
        EXPECT_EQ(t.AddScheduleEntry(Ipv4::toText(address), m_dir.filePath(u"pic.qv1"_qs), u"1"_qs, u"0"_qs,
                                     false, 0, {}),
                  ScheduleTable::AddResult::Added);
        return t;
    }
    QTemporaryDir m_dir;
    Emulators m_emus;
};

} // namespace

// Stop only asks; the end arrives as one signal, after which the run is collected and a new
// one can start at once.
TEST_F(Control, AStopReturnsAtOnceAndTheEndArrivesAsOneSignal) {
    EmulatorConfig c;
    c.faults.neverReply = true; // the upload would wait for its verdict for minutes
    ProjectorEmulator* silent = m_emus.add(c);
    ASSERT_NE(silent, nullptr);
    ScheduleControl control(FastContext());
    QList<std::pair<int, int>> statuses;
    QList<std::pair<quint32, bool>> uploads;
    int ended = 0;
    QObject::connect(&control, &ScheduleControl::entryStatusChanged, [&](int index, int status) {
        statuses.append({index, status});
    });
    QObject::connect(&control, &ScheduleControl::projectorUploading, [&](quint32 a, bool on) {
        uploads.append({a, on});
    });
    QObject::connect(&control, &ScheduleControl::runEnded, [&] { ++ended; });

    const ScheduleTable table = tableFor(silent->address());
    control.setTable(table);
    control.setCount(table.count);
    control.setLoop(true);
    ASSERT_TRUE(control.start());
    EXPECT_FALSE(control.start()) << "one run at a time";
    ASSERT_TRUE(pumpUntil([&] { return silent->stores().image(1).has_value(); }));
    ASSERT_TRUE(pumpUntil([&] { return !uploads.isEmpty(); }));
    EXPECT_EQ(uploads.front(), std::make_pair(silent->address(), true));
    EXPECT_EQ(statuses.front(), std::make_pair(0, int(ScheduleEntry::Executing)));

    QElapsedTimer clock;
    clock.start();
    control.requestStop();
    EXPECT_LT(clock.elapsed(), 1000) << "asking does not wait for the worker";
    EXPECT_TRUE(control.isStopping());
    ASSERT_TRUE(pumpUntil([&] { return ended > 0; }));
    EXPECT_FALSE(control.isRunning());
    EXPECT_FALSE(control.isStopping());
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 1);

    // The collected worker leaves room for the next run straight away.
    ASSERT_TRUE(control.start());
    control.requestStop();
    ASSERT_TRUE(pumpUntil([&] { return ended == 2; }));
}

// The window learns that the run waits for an entry's window and when it opens, and which
// entry the run passes over for good.
TEST_F(Control, AWindowWaitAndASkipReachTheWindow) {
    ScheduleTable table = tableFor(0x7F000904); // 127.0.9.4, never reached
    ASSERT_EQ(table.AddScheduleEntry(u"127.0.9.5"_qs, m_dir.filePath(u"pic.qv1"_qs), u"1"_qs, u"0"_qs, false,
                                     0, {}),
              ScheduleTable::AddResult::Added);
    ScheduleOptions options;
    options.dayparts[0].last = QDate(2020, 1, 31);
    const QDate first = QDate::currentDate().addDays(100);
    options.dayparts[1].first = first;
    ScheduleControl control(FastContext());
    control.setTable(table);
    control.setCount(table.count);
    control.setOptions(options);
    QList<int> skipped;
    QList<std::pair<int, QDateTime>> waits;
    bool ended = false;
    QObject::connect(&control, &ScheduleControl::entrySkipped, [&](int index) { skipped.append(index); });
    QObject::connect(&control, &ScheduleControl::windowWaitPlanned, [&](int index, const QDateTime& opens) {
        waits.append({index, opens});
    });
    QObject::connect(&control, &ScheduleControl::runEnded, [&] { ended = true; });
    ASSERT_TRUE(control.start());
    ASSERT_TRUE(pumpUntil([&] { return !waits.isEmpty(); }));
    EXPECT_EQ(skipped, QList<int>{0});
    EXPECT_EQ(waits.front(), std::make_pair(1, QDateTime(first, QTime(0, 0))));
    EXPECT_TRUE(control.waitsForWindow());
    EXPECT_EQ(control.nextUpload(), QDateTime(first, QTime(0, 0)));
    control.requestStop();
    ASSERT_TRUE(pumpUntil([&] { return ended; }));
    EXPECT_FALSE(control.waitsForWindow());
    EXPECT_EQ(control.runner().uploadsMade(), 0);
}
