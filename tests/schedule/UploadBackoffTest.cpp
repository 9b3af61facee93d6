#include "schedule/UploadBackoff.h"
#include "protocol/ImageUpload.h"
#include "schedule/ScheduleRunner.h"
#include "support/Emulators.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30000ms) {
    const auto end = SteadyClock::now() + limit;
    while (!condition()) {
        if (SteadyClock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

} // namespace

TEST(UploadBackoff, DoublesFromFiveSecondsToFiveMinutesPerProjectorAndASuccessStartsOver) {
    qint64 now = 1000;
    UploadBackoff b([&now] { return now; });
    const quint32 dead = 0x7F000002u;
    const quint32 other = 0x7F000003u;
    EXPECT_EQ(b.waitFor(dead), 0);

    const std::vector<qint64> expected{5000, 10000, 20000, 40000, 80000, 160000, 300000, 300000, 300000};
    for (const qint64 delay : expected) {
        EXPECT_EQ(b.failed(dead), delay);
        EXPECT_EQ(b.waitFor(dead), delay);
        now += delay - 1;
        EXPECT_EQ(b.waitFor(dead), 1) << "still resting one millisecond before the end";
        now += 1;
        EXPECT_EQ(b.waitFor(dead), 0);
    }
    // One projector's failures never hold up another.
    EXPECT_EQ(b.waitFor(other), 0);
    EXPECT_EQ(b.failed(other), 5000);

    b.succeeded(dead);
    EXPECT_EQ(b.failures(dead), 0);
    EXPECT_EQ(b.waitFor(dead), 0);
    EXPECT_EQ(b.failed(dead), 5000);
    EXPECT_EQ(b.failures(other), 1);

    // However long a projector stays off, the wait neither overflows nor shrinks.
    for (int i = 0; i < 5000; ++i) {
        b.failed(dead);
    }
    EXPECT_EQ(b.failed(dead), 300000);
    EXPECT_EQ(UploadBackoff::delayAfter(0), 0);
    EXPECT_EQ(UploadBackoff::delayAfter(std::numeric_limits<int>::max()), 300000);
}

class LoopingRunner : public ::testing::Test {
protected:
    void SetUp() override {
        m_image = m_dir.filePath(u"pic.qv1"_qs);
        QFile f(m_image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1500, 'q'));
    }
    void add(quint32 address) {
        ScheduleEntry& e = m_table.entries[m_table.count++];
        e.address = Ipv4::toOctets(address);
        ScheduleEntry::setField(e.imageFile, m_image.toUtf8());
        e.saveId = 1;
        e.interval = 0;
    }
    // Real uploads over loopback, counted per projector.
    ScheduleRunner::Uploader countingUploader() {
        return [this](const QString& path, int store, const CommandTarget& target,
                      const std::atomic<bool>& stop) {
            {
                std::lock_guard lock(m_mutex);
                ++m_attempts[target.address];
            }
            CommandContext context = FastContext();
            context.stop = &stop;
            return UploadImage(path, store, target, context);
        };
    }
    int attempts(quint32 address) {
        std::lock_guard lock(m_mutex);
        return m_attempts[address];
    }

    QTemporaryDir m_dir;
    QString m_image;
    ScheduleTable m_table;
    Emulators m_emus;
    std::mutex m_mutex;
    std::map<quint32, int> m_attempts;
};

// The flood this guards against: one entry, no interval, nobody listening made thousands of
// attempts a second.
TEST_F(LoopingRunner, ADeadProjectorIsTriedAgainOnlyAfterItsBackoffAndStopCutsTheWaitShort) {
    const quint32 dead = Emulators::silentAddress();
    add(dead);
    ScheduleRunner::Options options;
    options.context = FastContext();
    ScheduleRunner runner(options, countingUploader());
    std::mutex seen;
    std::vector<std::pair<int, qint64>> backoffs;
    std::vector<qint64> waits;
    runner.setBackoffObserver([&](int index, int result, qint64 ms) {
        std::lock_guard lock(seen);
        EXPECT_EQ(result, ConnectResult::ConnectFailed);
        backoffs.emplace_back(index, ms);
    });
    runner.setWaitObserver([&](int, qint64 ms) {
        std::lock_guard lock(seen);
        waits.push_back(ms);
    });

    const auto began = SteadyClock::now();
    ASSERT_TRUE(runner.start(m_table, m_table.count, true));
    ASSERT_TRUE(waitUntil([&] { return attempts(dead) >= 2; }));
    const auto secondAttempt = SteadyClock::now();
    // Waits only ever run long, never short, so this lower bound holds on a loaded machine.
    EXPECT_GE(secondAttempt - began, 4900ms);
    EXPECT_EQ(attempts(dead), 2);
    EXPECT_NE(runner.entryStatus(0), ScheduleEntry::Done);
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(seen);
        return backoffs.size() >= 2;
    }));

    // The worker now rests for 10 s; Stop must not sit that out.
    const auto stopAsked = SteadyClock::now();
    runner.stop();
    EXPECT_LT(SteadyClock::now() - stopAsked, 5000ms);
    EXPECT_FALSE(runner.isRunning());
    EXPECT_EQ(attempts(dead), 2);
    std::lock_guard lock(seen);
    ASSERT_EQ(backoffs.size(), 2u);
    EXPECT_EQ(backoffs[0], std::make_pair(0, qint64{5000}));
    EXPECT_EQ(backoffs[1], std::make_pair(0, qint64{10000}));
    // The whole-run waits were announced, each no longer than the back-off that caused it.
    ASSERT_GE(waits.size(), 2u);
    EXPECT_GT(waits[0], 0);
    EXPECT_LE(waits[0], 5000);
}

TEST_F(LoopingRunner, EntriesOfALiveProjectorGoOnWhileADeadOneRestsAndOneShotRunsNeverWait) {
    ProjectorEmulator* live = m_emus.add();
    ASSERT_NE(live, nullptr);
    const quint32 dead = Emulators::silentAddress();
    add(dead);
    add(live->address());
    ScheduleRunner::Options options;
    options.context = FastContext();
    options.backoffFirstMs = 2000;
    options.backoffLongestMs = 2000;
    ScheduleRunner runner(options, countingUploader());
    ASSERT_TRUE(runner.start(m_table, m_table.count, true));
    ASSERT_TRUE(waitUntil([&] { return attempts(live->address()) >= 10; }));
    runner.stop();
    // Without the rests both projectors would be tried equally often.
    EXPECT_LT(attempts(dead), attempts(live->address()));
    EXPECT_EQ(runner.entryStatus(1), ScheduleEntry::Done);

    // Without the loop each entry runs once, a failure of its projector notwithstanding.
    m_attempts.clear();
    ScheduleTable once;
    std::swap(once, m_table);
    add(dead);
    add(dead);
    ScheduleRunner::Options slow;
    slow.context = FastContext();
    slow.backoffFirstMs = 600000; // a wait this long would make the run miss the limit below
    ScheduleRunner single(slow, countingUploader());
    ASSERT_TRUE(single.start(m_table, m_table.count, false));
    ASSERT_TRUE(waitUntil([&] { return !single.isRunning(); }));
    EXPECT_EQ(attempts(dead), 2);
    EXPECT_EQ(single.entryStatus(0), ScheduleEntry::Failed);
    EXPECT_EQ(single.entryStatus(1), ScheduleEntry::Failed);
}
