// The schedule runner's verify and retry options, against emulated projectors.
#include "schedule/ScheduleRunner.h"
#include "support/Emulators.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kLimitMs = 30000;

class Checks : public ::testing::Test {
protected:
    void SetUp() override {
        m_image = m_dir.filePath(u"pic.qv1"_qs);
        QFile f(m_image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2000, 'q'));
    }
    void add(quint32 address, int saveId = 1) {
        ScheduleEntry& e = m_table.entries[m_table.count++];
        e.address = Ipv4::toOctets(address);
        ScheduleEntry::setField(e.imageFile, m_image.toUtf8());
        e.saveId = saveId;
        e.temporary = saveId > 4 ? 1 : 0;
    }
    static ScheduleRunner::Options options(int stepMs = 5, int retryWaitSteps = 2) {
        ScheduleRunner::Options o;
        o.stepMs = stepMs;
        o.retryWaitSteps = retryWaitSteps;
        o.context = FastContext();
        return o;
    }
    ProjectorEmulator* emulator(const std::function<void(EmulatorFaults&)>& fault = {}) {
        EmulatorConfig c;
        if (fault) {
            fault(c.faults);
        }
        return m_emus.add(c);
    }
    // Runs the table to its end and gives each entry's status.
    std::vector<int> run(ScheduleRunner& runner, const ScheduleOptions& checks) {
        EXPECT_TRUE(runner.start(m_table, m_table.count, false, checks));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !runner.isRunning(); }, kLimitMs));
        std::vector<int> statuses;
        for (int i = 0; i < m_table.count; ++i) {
            statuses.push_back(runner.entryStatus(i));
        }
        return statuses;
    }
    // What each connection carried, in the order they came, once every one has been served.
    static QList<QByteArray> commands(const ProjectorEmulator* e) {
        EXPECT_TRUE(e->waitForServed(e->connections(), kLimitMs));
        QList<QByteArray> words;
        for (const EmulatorRequest& r : e->requests()) {
            words << r.command.left(r.command.indexOf(' ') < 0 ? r.command.size()
                                                               : r.command.indexOf(' ') + 2);
        }
        return words;
    }

    QTemporaryDir m_dir;
    QString m_image;
    ScheduleTable m_table;
    Emulators m_emus;
};

const QByteArray kRightInfo = "INFO 0\r\nFile-Name:pic.qv1\r\nFile-Length:2000\r\n";

} // namespace

TEST_F(Checks, BothOffByDefaultSoNothingIsAskedOrRepeated) {
    EXPECT_EQ(ScheduleOptions{}, (ScheduleOptions{false, false}));
    const ScheduleRunner::Options defaults;
    EXPECT_EQ(defaults.retries, 3);
    EXPECT_EQ(defaults.retryWaitSteps * defaults.stepMs, 30000);

    // A projector that claims the file and keeps nothing, and one that refuses it.
    ProjectorEmulator* dropping = emulator([](EmulatorFaults& f) { f.dropUploads = true; });
    ProjectorEmulator* refusing = emulator([](EmulatorFaults& f) { f.replyOverride = "PUT 1\r\n"; });
    add(dropping->address());
    add(refusing->address());
    ScheduleRunner runner(options());
    EXPECT_EQ(run(runner, {}), (std::vector<int>{ScheduleEntry::Done, ScheduleEntry::Failed}));
    EXPECT_EQ(commands(dropping), QList<QByteArray>{"PUT p"});
    EXPECT_EQ(commands(refusing), QList<QByteArray>{"PUT p"});
    EXPECT_FALSE(dropping->stores().image(1).has_value());
    EXPECT_EQ(runner.uploadsMade(), 2);
    EXPECT_EQ(runner.checksMade(), 0);
}

TEST_F(Checks, VerifyAsksTheSameStoreAndPassesWhenItHoldsTheFile) {
    ProjectorEmulator* e = emulator();
    add(e->address(), 1);
    add(e->address(), 3);
    ScheduleRunner runner(options());
    EXPECT_EQ(run(runner, {true, false}), (std::vector<int>{ScheduleEntry::Done, ScheduleEntry::Done}));
    QList<QByteArray> lines;
    for (const EmulatorRequest& r : e->requests()) {
        lines << r.command;
    }
    EXPECT_EQ(lines, (QList<QByteArray>{"PUT pic.qv1", "INFO 1", "PUT pic.qv1", "INFO 3"}));
    EXPECT_EQ(runner.checksMade(), 2);
}

TEST_F(Checks, VerifyFailsAnUploadTheStoreDoesNotShowAndTheRunGoesOn) {
    ProjectorEmulator* otherName = emulator([](EmulatorFaults& f) {
        f.infoReplyOverride = "INFO 0\r\nFile-Name:old.qv1\r\nFile-Length:2000\r\n";
    });
    ProjectorEmulator* otherLength = emulator([](EmulatorFaults& f) {
        f.infoReplyOverride = "INFO 0\r\nFile-Name:pic.qv1\r\nFile-Length:1999\r\n";
    });
    ProjectorEmulator* dropping = emulator([](EmulatorFaults& f) { f.dropUploads = true; }); // reports empty
    ProjectorEmulator* right = emulator([](EmulatorFaults& f) { f.infoReplyOverride = kRightInfo; });
    for (ProjectorEmulator* e : {otherName, otherLength, dropping, right}) {
        add(e->address());
    }
    ScheduleRunner runner(options());
    std::mutex m;
    std::vector<std::pair<int, int>> changes;
    runner.setStatusObserver([&](int i, int s) {
        std::lock_guard lock(m);
        changes.emplace_back(i, s);
    });
    EXPECT_EQ(run(runner, {true, false}), (std::vector<int>{ScheduleEntry::Failed, ScheduleEntry::Failed,
                                                            ScheduleEntry::Failed, ScheduleEntry::Done}));
    for (ProjectorEmulator* e : {otherName, otherLength, dropping, right}) {
        EXPECT_EQ(commands(e), (QList<QByteArray>{"PUT p", "INFO 1"}));
    }
    std::lock_guard lock(m);
    const std::vector<std::pair<int, int>> expected{{0, 1}, {0, -1}, {1, 1}, {1, -1},
                                                    {2, 1}, {2, -1}, {3, 1}, {3, 2}};
    EXPECT_EQ(changes, expected) << "no retry unless asked";
}

TEST_F(Checks, AnInfoThatFailsCountsAsAFailedUpload) {
    ProjectorEmulator* refused = emulator([](EmulatorFaults& f) { f.infoReplyOverride = "INFO 1\r\n"; });
    ProjectorEmulator* garbled = emulator([](EmulatorFaults& f) { f.infoReplyOverride = "??\r\n"; });
    ProjectorEmulator* noLines =
        emulator([](EmulatorFaults& f) { f.infoReplyOverride = "INFO 0\r\nhello\r\n"; });
    for (ProjectorEmulator* e : {refused, garbled, noLines}) {
        add(e->address());
    }
    ScheduleRunner runner(options());
    EXPECT_EQ(run(runner, {true, false}),
              (std::vector<int>{ScheduleEntry::Failed, ScheduleEntry::Failed, ScheduleEntry::Failed}));
    EXPECT_EQ(runner.checksMade(), 3);
    for (ProjectorEmulator* e : {refused, garbled, noLines}) {
        EXPECT_TRUE(e->stores().image(1).has_value()) << "the upload itself arrived";
    }
}

TEST_F(Checks, ATemporaryStoreIsNotAskedBecauseInfoKnowsOnlyFourStores) {
    ProjectorEmulator* e = emulator();
    add(e->address(), 6);
    ScheduleRunner runner(options());
    EXPECT_EQ(run(runner, {true, false}), std::vector<int>{ScheduleEntry::Done});
    EXPECT_EQ(commands(e), QList<QByteArray>{"PUT p"});
    EXPECT_TRUE(e->stores().image(6).has_value());
}

TEST_F(Checks, RetryTriesThreeMoreTimesApartThenFails) {
    ProjectorEmulator* refusing = emulator([](EmulatorFaults& f) { f.replyOverride = "PUT 1\r\n"; });
    ProjectorEmulator* after = emulator();
    add(refusing->address());
    add(after->address());
    ScheduleRunner runner(options(20, 5)); // 100 ms between attempts
    std::mutex m;
    std::vector<int> first;
    runner.setStatusObserver([&](int i, int s) {
        std::lock_guard lock(m);
        if (i == 0) {
            first.push_back(s);
        }
    });
    const auto begin = Clock::now();
    EXPECT_EQ(run(runner, {false, true}), (std::vector<int>{ScheduleEntry::Failed, ScheduleEntry::Done}));
    EXPECT_GE(Clock::now() - begin, 300ms) << "three waits between four attempts";
    EXPECT_EQ(refusing->connections(), 4);
    EXPECT_EQ(after->connections(), 1) << "a success is not repeated";
    EXPECT_EQ(runner.uploadsMade(), 5);
    std::lock_guard lock(m);
    EXPECT_EQ(first, (std::vector<int>{1, -1, 1, -1, 1, -1, 1, -1}));
}

TEST_F(Checks, RetryEndsAtTheFirstSuccess) {
    ProjectorEmulator* flaky = emulator([](EmulatorFaults& f) { f.replyOverride = "PUT 3\r\n"; }); // busy
    add(flaky->address());
    ScheduleRunner runner(options());
    // Busy once: the projector is well again by the time of the retry.
    runner.setStatusObserver([&](int, int s) {
        if (s == ScheduleEntry::Failed) {
            flaky->setFaults({});
        }
    });
    EXPECT_EQ(run(runner, {false, true}), std::vector<int>{ScheduleEntry::Done});
    EXPECT_EQ(flaky->connections(), 2);
    EXPECT_TRUE(flaky->stores().image(1).has_value());
}

TEST_F(Checks, RetryAlsoRepeatsAnUploadThatFailedItsCheck) {
    ProjectorEmulator* dropping = emulator([](EmulatorFaults& f) { f.dropUploads = true; });
    add(dropping->address());
    ScheduleRunner runner(options());
    EXPECT_EQ(run(runner, {true, true}), std::vector<int>{ScheduleEntry::Failed});
    EXPECT_EQ(commands(dropping), (QList<QByteArray>{"PUT p", "INFO 1", "PUT p", "INFO 1", "PUT p", "INFO 1",
                                                     "PUT p", "INFO 1"}));
    EXPECT_EQ(runner.checksMade(), 4);
}

TEST_F(Checks, AStopDuringARetryWaitEndsTheRunAtOnce) {
    ProjectorEmulator* refusing = emulator([](EmulatorFaults& f) { f.replyOverride = "PUT 1\r\n"; });
    ProjectorEmulator* next = emulator();
    add(refusing->address());
    add(next->address());
    ScheduleRunner runner(options(1000, 30)); // the real 30 s wait
    ASSERT_TRUE(runner.start(m_table, m_table.count, true, {false, true}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return runner.uploadsMade() == 1 && runner.entryStatus(0) == ScheduleEntry::Failed; },
        kLimitMs));
    const auto stopAt = Clock::now();
    runner.stop();
    EXPECT_LT(Clock::now() - stopAt, 5000ms) << "not after the 30 s wait";
    EXPECT_FALSE(runner.isRunning());
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::Failed) << "the retry never began";
    EXPECT_EQ(runner.entryStatus(1), ScheduleEntry::NotRun);
    EXPECT_EQ(refusing->connections(), 1);
    EXPECT_EQ(next->connections(), 0);
}

TEST_F(Checks, AStopDuringTheCheckEndsTheRunAtOnceAndKeepsTheUploadDone) {
    ProjectorEmulator* slow = emulator([](EmulatorFaults& f) { f.infoDelayMs = 120000; }); // INFO waits 2 min
    add(slow->address());
    add(slow->address());
    ScheduleRunner::Options o = options();
    o.context.timeouts = CommandTimeouts{}; // the protocol's own 30 s wait for INFO's reply
    ScheduleRunner runner(o);
    ASSERT_TRUE(runner.start(m_table, m_table.count, false, {true, true}));
    // The file is in; the check's connection is open and its reply is minutes away.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return runner.uploadsMade() == 1 && slow->connections() == 2; }, kLimitMs));
    const auto stopAt = Clock::now();
    runner.stop();
    EXPECT_LT(Clock::now() - stopAt, 5000ms) << "not after INFO's 30 s";
    EXPECT_EQ(runner.entryStatus(0), ScheduleEntry::Done)
        << "the projector took the file; only the check was cut";
    EXPECT_EQ(runner.entryStatus(1), ScheduleEntry::NotRun);
    EXPECT_EQ(slow->connections(), 2) << "no retry after a stop";
}
