#include "schedule/ScheduleRunner.h"
#include "support/Emulators.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        m_image = m_dir.filePath(u"pic.qv1"_qs);
        QFile f(m_image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2000, 'q'));
    }
    // An entry for the given projector; an address of 0 names nobody.
    void add(quint32 address, int interval = 0, const QString& image = {}, int auth = 0,
             const QString& pw = {}) {
        ScheduleEntry& e = m_table.entries[m_table.count++];
        e.address = Ipv4::toOctets(address);
        ScheduleEntry::setField(e.imageFile, (image.isEmpty() ? m_image : image).toUtf8());
        e.saveId = 1;
        e.interval = interval;
        e.authentication = auth;
        ScheduleEntry::setField(e.password, pw.toUtf8());
    }
    ScheduleRunner::Options fastOptions(int stepMs = 5) {
        ScheduleRunner::Options o;
        o.stepMs = stepMs;
        o.context = FastContext();
        return o;
    }
    static bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5000ms) {
        const auto end = Clock::now() + limit;
        while (!condition()) {
            if (Clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(2ms);
        }
        return true;
    }

    QTemporaryDir m_dir;
    QString m_image;
    ScheduleTable m_table;
    Emulators m_emus;
};

} // namespace

TEST_F(Runner, TwoEntriesWithoutIntervalRunOnceAndEnd) {
    ProjectorEmulator* a = m_emus.add();
    ProjectorEmulator* b = m_emus.add();
    add(a->address());
    add(b->address());
    ScheduleRunner runner(fastOptions());
    ASSERT_TRUE(runner.start(m_table, m_table.count, false));
    EXPECT_TRUE(runner.isRunning()); // at once, before the worker got going
    ASSERT_TRUE(waitUntil([&] { return !runner.isRunning(); }));
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::Done);
    EXPECT_EQ(runner.entryStatus(1), ScheduleEntry::Done);
    EXPECT_EQ(runner.entryStatus(2), ScheduleEntry::NotRun);
    EXPECT_EQ(runner.stopRequest(), ScheduleRunner::None);
    EXPECT_EQ(a->stores().image(1)->data, QByteArray(2000, 'q'));
    EXPECT_EQ(b->connections(), 1);
}

TEST_F(Runner, AFailingUploadIsMarkedAndTheNextEntryStillRuns) {
    ProjectorEmulator* ok = m_emus.add();
    add(Emulators::silentAddress());
    add(ok->address(), 0, m_dir.filePath(u"missing.qv1"_qs));
    add(ok->address());
    ScheduleRunner runner(fastOptions());
    std::mutex m;
    std::vector<std::pair<int, int>> changes;
    runner.setStatusObserver([&](int i, int s) {
        std::lock_guard lock(m);
        changes.emplace_back(i, s);
    });
    ASSERT_TRUE(runner.start(m_table, m_table.count, false));
    ASSERT_TRUE(waitUntil([&] { return !runner.isRunning(); }));
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::Failed);
    EXPECT_EQ(runner.entryStatus(1), ScheduleEntry::Failed);
    EXPECT_EQ(runner.entryStatus(2), ScheduleEntry::Done);
    const std::vector<std::pair<int, int>> expected{{0, 1}, {0, -1}, {1, 1}, {1, -1}, {2, 1}, {2, 2}};
    EXPECT_EQ(changes, expected);
}

TEST_F(Runner, LoopModeUploadsAgainUntilStop) {
    ProjectorEmulator* e = m_emus.add();
    add(e->address());
    ScheduleRunner runner(fastOptions());
    ASSERT_TRUE(runner.start(m_table, 1, true));
    ASSERT_TRUE(waitUntil([&] { return e->connections() >= 3; }));
    EXPECT_TRUE(runner.isRunning());
    runner.stop();
    EXPECT_FALSE(runner.isRunning());
    EXPECT_EQ(runner.stopRequest(), ScheduleRunner::StopRequested);
    const int made = runner.uploadsMade();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(runner.uploadsMade(), made); // nothing after the stop
}

TEST_F(Runner, IntervalWaitAlsoAfterTheLastEntryAndStopDuringAWait) {
    ProjectorEmulator* e = m_emus.add();
    add(e->address(), 1); // one minute = 60 steps of 5 ms here
    ScheduleRunner runner(fastOptions(5));
    const auto begin = Clock::now();
    ASSERT_TRUE(runner.start(m_table, 1, false));
    ASSERT_TRUE(waitUntil([&] { return runner.entryStatus(0) == ScheduleEntry::Done; }));
    EXPECT_TRUE(runner.isRunning()); // waiting its interval before the end
    ASSERT_TRUE(waitUntil([&] { return !runner.isRunning(); }));
    EXPECT_GE(Clock::now() - begin, 300ms);

    // A stop during an entry's wait ends the run; the next entry shows "executing".
    ScheduleTable two;
    m_table = two;
    add(e->address(), 1000); // a long wait
    add(e->address());
    ScheduleRunner slow(fastOptions(20));
    ASSERT_TRUE(slow.start(m_table, 2, false));
    ASSERT_TRUE(waitUntil([&] { return slow.entryStatus(0) == ScheduleEntry::Done; }));
    const auto stopAt = Clock::now();
    slow.stop();
    EXPECT_LT(Clock::now() - stopAt, 2000ms); // within a step, not after the 1000 minutes
    EXPECT_EQ(slow.entryStatus(1), ScheduleEntry::Executing);
    EXPECT_EQ(slow.uploadsMade(), 1);
}

// The protocol's own waits: a silent projector would hold an upload for minutes.
static ScheduleRunner::Options protocolTimingOptions() {
    ScheduleRunner::Options o;
    o.stepMs = 5;
    return o;
}

TEST_F(Runner, StopAbandonsAnUploadWaitingForASilentProjector) {
    EmulatorConfig c;
    c.faults.neverReply = true; // takes the file, then says nothing for ever
    ProjectorEmulator* e = m_emus.add(c);
    add(e->address());
    add(e->address());
    m_table.entries[0].status = ScheduleEntry::Done; // as a previous pass left it
    ScheduleRunner runner(protocolTimingOptions());
    std::mutex seenLock;
    std::vector<int> seen;
    runner.setStatusObserver([&](int index, int status) {
        std::lock_guard lock(seenLock);
        if (index == 0) {
            seen.push_back(status);
        }
    });
    ASSERT_TRUE(runner.start(m_table, 2, true));
    // The whole file arrived: the upload now waits up to 300 s for the verdict.
    ASSERT_TRUE(waitUntil([&] { return e->stores().image(1).has_value(); }, 20000ms));
    const auto stopAt = Clock::now();
    runner.stop();
    EXPECT_LT(Clock::now() - stopAt, 5000ms); // about 50 ms; the bound is for loaded machines
    EXPECT_FALSE(runner.isRunning());
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::Done) << "the abandoned entry keeps what it showed";
    EXPECT_EQ(runner.entryStatus(1), ScheduleEntry::NotRun);
    EXPECT_EQ(runner.uploadsMade(), 0);
    std::lock_guard lock(seenLock);
    EXPECT_EQ(seen, (std::vector<int>{ScheduleEntry::Executing, ScheduleEntry::Done}));
}

TEST_F(Runner, StopAbandonsAnUploadThatAProjectorNeverReads) {
    EmulatorConfig c;
    c.faults.neverRead = true;
    ProjectorEmulator* e = m_emus.add(c);
    // Far more than the socket buffers of both ends hold, so the send blocks.
    const QString big = m_dir.filePath(u"big.qv1"_qs);
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(QByteArray(48 << 20, 'b')), 48 << 20);
    f.close();
    add(e->address(), 0, big);
    ScheduleRunner runner(protocolTimingOptions());
    ASSERT_TRUE(runner.start(m_table, 1, false));
    ASSERT_TRUE(waitUntil([&] { return e->connections() >= 1; }, 20000ms));
    const auto stopAt = Clock::now();
    runner.stop();
    EXPECT_LT(Clock::now() - stopAt, 5000ms); // the send would otherwise hold it for 30 s
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::NotRun);
    EXPECT_EQ(runner.uploadsMade(), 0);
}

TEST_F(Runner, StopCutsALongIntervalStepShort) {
    ProjectorEmulator* e = m_emus.add();
    add(e->address(), 1);
    ScheduleRunner::Options o = fastOptions(60000); // one step of a minute
    ScheduleRunner runner(o);
    ASSERT_TRUE(runner.start(m_table, 1, false));
    ASSERT_TRUE(waitUntil([&] { return runner.entryStatus(0) == ScheduleEntry::Done; }));
    const auto stopAt = Clock::now();
    runner.stop();
    EXPECT_LT(Clock::now() - stopAt, 5000ms);
    EXPECT_FALSE(runner.isRunning());
}

TEST_F(Runner, RequestStopReturnsAtOnceAndTheWorkerEndsByItself) {
    EmulatorConfig c;
    c.faults.neverReply = true;
    ProjectorEmulator* e = m_emus.add(c);
    add(e->address());
    ScheduleRunner runner(protocolTimingOptions());
    runner.requestStop(); // nothing runs: nothing happens
    ASSERT_TRUE(runner.start(m_table, 1, false));
    ASSERT_TRUE(waitUntil([&] { return e->stores().image(1).has_value(); }, 20000ms));
    runner.requestStop();
    EXPECT_EQ(runner.stopRequest(), ScheduleRunner::StopRequested);
    ASSERT_TRUE(waitUntil([&] { return !runner.isRunning(); }, 20000ms));
    runner.stop(); // collects the thread
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::NotRun);
    // A new run after a stopped one uploads again: the stop does not stick.
    EmulatorConfig plain;
    ProjectorEmulator* ok = m_emus.add(plain);
    m_table = ScheduleTable{};
    add(ok->address());
    ASSERT_TRUE(runner.start(m_table, 1, false));
    ASSERT_TRUE(waitUntil([&] { return !runner.isRunning(); }, 20000ms));
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::Done);
}

TEST_F(Runner, StartAndStopRules) {
    ProjectorEmulator* e = m_emus.add();
    add(e->address());
    ScheduleRunner runner(fastOptions());
    runner.stop(); // nothing runs: nothing happens
    EXPECT_FALSE(runner.isRunning());
    EXPECT_FALSE(runner.start(m_table, 0, false));
    EXPECT_FALSE(runner.start(m_table, 31, false));
    // A stop pressed right after the start is not lost.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(runner.start(m_table, 1, true));
        runner.stop();
        EXPECT_FALSE(runner.isRunning());
    }
    // No second run while one is active.
    ASSERT_TRUE(runner.start(m_table, 1, true));
    EXPECT_FALSE(runner.start(m_table, 1, true));
    runner.stop();
    // The runner ends a run it still has when it goes.
    {
        ScheduleRunner owned(fastOptions());
        ASSERT_TRUE(owned.start(m_table, 1, true));
    }
    SUCCEED();
}

TEST_F(Runner, EntriesCarryTheirAuthenticationAndWholePassword) {
    EmulatorConfig c;
    c.authenticate = true;
    c.password = QByteArray(255, 'z');
    ProjectorEmulator* e = m_emus.add(c);
    add(e->address(), 0, {}, 1, QString(255, u'z'));
    add(e->address(), 0, {}, 1, QString(254, u'z'));
    ScheduleRunner runner(fastOptions());
    ASSERT_TRUE(runner.start(m_table, 2, false));
    ASSERT_TRUE(waitUntil([&] { return !runner.isRunning(); }));
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::Done);
    EXPECT_EQ(runner.entryStatus(1), ScheduleEntry::Failed);
}

TEST_F(Runner, DefaultTimingIsOneSecondStepsSixtyPerMinute) {
    const ScheduleRunner::Options o;
    EXPECT_EQ(o.stepMs, 1000);
    EXPECT_EQ(o.stepsPerMinute, 60);
}

TEST_F(Runner, EachTurnsOutcomeIsToldOnceAfterItsRetriesAndCheck) {
    ProjectorEmulator* ok = m_emus.add();
    ProjectorEmulator* dropping = m_emus.add();
    ASSERT_TRUE(ok && dropping);
    EmulatorFaults faults;
    faults.dropUploads = true; // takes the file and forgets it: only the check can tell
    dropping->setFaults(faults);
    add(ok->address());
    add(Emulators::silentAddress());
    add(dropping->address());
    struct Told {
        int index;
        bool done;
        int result;
        bool checkFailed;
    };
    std::mutex mutex;
    std::vector<Told> told;
    ScheduleRunner::Options options = fastOptions();
    options.retryWaitSteps = 1;
    ScheduleRunner runner(options);
    runner.setOutcomeObserver([&](int index, bool done, int result, bool checkFailed) {
        std::lock_guard lock(mutex);
        told.push_back({index, done, result, checkFailed});
    });
    ScheduleOptions checks;
    checks.verify = true;
    checks.retry = true;
    ASSERT_TRUE(runner.start(m_table, m_table.count, false, checks));
    ASSERT_TRUE(waitUntil([&] { return !runner.isRunning(); }, 60000ms));
    std::lock_guard lock(mutex);
    ASSERT_EQ(told.size(), 3u);
    EXPECT_TRUE(told[0].index == 0 && told[0].done && told[0].result == 0 && !told[0].checkFailed);
    EXPECT_TRUE(told[1].index == 1 && !told[1].done && told[1].result == ConnectResult::ConnectFailed &&
                !told[1].checkFailed);
    EXPECT_TRUE(told[2].index == 2 && !told[2].done && told[2].checkFailed);
    EXPECT_EQ(runner.uploadsMade(), 1 + 4 + 4) << "told before the retries ran out";
}
