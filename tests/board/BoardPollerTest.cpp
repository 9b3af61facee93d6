#include "board/BoardPoller.h"

#include "protocol/CommandObserver.h"
#include "protocol/ImageUpload.h"
#include "support/Emulators.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace {

ProjectorRecord recordFor(quint32 address, const QString& name) {
    ProjectorRecord r;
    r.name = name;
    r.address = Ipv4::toOctets(address);
    return r;
}

// Runs events until the poller has nothing left to do (generous: the machine may be loaded).
bool waitIdle(BoardPoller& poller, int finishedBefore, const int& finished) {
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (finished > finishedBefore && !poller.isRefreshing()) {
            QCoreApplication::processEvents();
            return true;
        }
    }
    return false;
}

class BoardPollerTest : public ::testing::Test {
protected:
    void SetUp() override {
        QObject::connect(&poller, &BoardPoller::refreshFinished, [this] { ++finished; });
    }
    bool refreshAndWait(bool force = true) {
        const int before = finished;
        poller.refresh(force);
        return waitIdle(poller, before, finished);
    }

    Emulators emus;
    BoardPoller poller{FastContext()};
    int finished = 0;
};

} // namespace

TEST_F(BoardPollerTest, ReportsStoresReachAndBacksOffFromTheUnreachable) {
    ProjectorEmulator* holding = emus.add();
    ProjectorEmulator* empty = emus.add();
    ASSERT_TRUE(holding && empty);
    ASSERT_TRUE(holding->stores().begin(2));
    ASSERT_FALSE(holding->stores().finish(2, "hall.qv1", QByteArray(5000, 'x')));
    const quint32 silent = Emulators::silentAddress();
    poller.setProjectors({recordFor(holding->address(), u"Hall"_qs), recordFor(empty->address(), u"Lobby"_qs),
                          recordFor(silent, u"Gone"_qs)});
    ASSERT_EQ(poller.rows().size(), 3);
    EXPECT_EQ(poller.rows()[2].reach, BoardRow::Reach::Unknown);

    ASSERT_TRUE(refreshAndWait());
    const BoardRow h = poller.row(holding->address());
    EXPECT_EQ(h.reach, BoardRow::Reach::Reachable);
    EXPECT_TRUE(h.lastSeen.isValid());
    EXPECT_EQ(h.stores[0].result, 1);
    EXPECT_EQ(h.stores[1].result, 2);
    EXPECT_EQ(h.stores[1].fileName, u"hall.qv1");
    EXPECT_EQ(h.stores[1].length, u"5000");
    EXPECT_EQ(poller.row(empty->address()).stores[3].result, 1);
    const BoardRow g = poller.row(silent);
    EXPECT_EQ(g.reach, BoardRow::Reach::Unreachable);
    EXPECT_FALSE(g.reason.isEmpty());
    EXPECT_FALSE(g.lastSeen.isValid());
    EXPECT_EQ(g.failures, 1);
    EXPECT_GT(g.nextDue, QDateTime::currentDateTimeUtc().addSecs(20));
    EXPECT_EQ(holding->connections(), 4) << "one INFO per store";

    // A timed refresh leaves the unreachable one alone; one on demand asks everyone.
    const int before = finished;
    EXPECT_EQ(poller.refresh(false), 2);
    ASSERT_TRUE(waitIdle(poller, before, finished));
    ASSERT_TRUE(refreshAndWait(true));
    EXPECT_EQ(poller.row(silent).failures, 2);
}

TEST_F(BoardPollerTest, BackOffDoublesUpToTenMinutes) {
    EXPECT_EQ(BoardPoller::backOffMs(0), 0);
    EXPECT_EQ(BoardPoller::backOffMs(1), 30000);
    EXPECT_EQ(BoardPoller::backOffMs(2), 60000);
    EXPECT_EQ(BoardPoller::backOffMs(5), 480000);
    EXPECT_EQ(BoardPoller::backOffMs(6), 600000);
    EXPECT_EQ(BoardPoller::backOffMs(1000), 600000);
}

TEST_F(BoardPollerTest, AProjectorBeingAskedOrPausedIsNotAskedAgain) {
    EmulatorConfig slow;
    EmulatorFaults faults;
    faults.verdictDelayMs = 300;
    slow.faults = faults;
    ProjectorEmulator* a = emus.add(slow);
    ProjectorEmulator* b = emus.add();
    ASSERT_TRUE(a && b);
    poller.setProjectors({recordFor(a->address(), u"A"_qs), recordFor(b->address(), u"B"_qs)});
    poller.setPaused(b->address(), true);
    const int before = finished;
    EXPECT_EQ(poller.refresh(), 1);
    EXPECT_EQ(poller.refresh(), 0) << "already being asked";
    EXPECT_EQ(poller.refresh(), 0);
    ASSERT_TRUE(waitIdle(poller, before, finished));
    EXPECT_EQ(a->connections(), 4);
    EXPECT_EQ(b->connections(), 0);
    EXPECT_EQ(poller.row(b->address()).reach, BoardRow::Reach::Unknown);
    poller.setPaused(b->address(), false);
    ASSERT_TRUE(refreshAndWait());
    EXPECT_EQ(b->connections(), 4);
}

TEST_F(BoardPollerTest, SurvivesGarbageAndAListEditedDuringARefresh) {
    EmulatorConfig garbage;
    EmulatorFaults junk;
    junk.garbageBytes = 64;
    garbage.faults = junk;
    EmulatorConfig slow;
    EmulatorFaults late;
    late.verdictDelayMs = 200;
    slow.faults = late;
    ProjectorEmulator* g = emus.add(garbage);
    ProjectorEmulator* s1 = emus.add(slow);
    ProjectorEmulator* s2 = emus.add(slow);
    ASSERT_TRUE(g && s1 && s2);
    poller.setProjectors({recordFor(g->address(), u"G"_qs), recordFor(s1->address(), u"S1"_qs),
                          recordFor(s2->address(), u"S2"_qs)});
    const int before = finished;
    poller.refresh();
    // The list changes under the running refresh: one goes, one comes.
    const quint32 added = Emulators::silentAddress();
    poller.setProjectors({recordFor(s1->address(), u"S1"_qs), recordFor(added, u"New"_qs)});
    ASSERT_EQ(poller.rows().size(), 2);
    ASSERT_TRUE(waitIdle(poller, before, finished));
    const QList<BoardRow> rows = poller.rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].address, s1->address());
    EXPECT_EQ(rows[0].reach, BoardRow::Reach::Reachable);
    EXPECT_EQ(rows[1].reach, BoardRow::Reach::Unknown) << "added after the round began";
    ASSERT_TRUE(refreshAndWait());
    EXPECT_EQ(poller.row(added).reach, BoardRow::Reach::Unreachable);

    poller.setProjectors({recordFor(g->address(), u"G"_qs)});
    ASSERT_TRUE(refreshAndWait());
    const BoardRow gr = poller.row(g->address());
    EXPECT_EQ(gr.reach, BoardRow::Reach::Unreachable) << "garbage is not an answer";
    EXPECT_FALSE(gr.reason.isEmpty());
}

TEST_F(BoardPollerTest, StopEndsARoundAndTheObjectGoesCleanly) {
    EmulatorConfig mute;
    EmulatorFaults never;
    never.neverReply = true;
    mute.faults = never;
    ProjectorList list;
    for (int i = 0; i < 3; ++i) {
        ProjectorEmulator* e = emus.add(mute);
        ASSERT_NE(e, nullptr);
        list << recordFor(e->address(), QStringLiteral("M%1").arg(i));
    }
    poller.setProjectors(list);
    EXPECT_EQ(poller.refresh(), 3);
    poller.stop(); // waits for the exchanges under way (bounded by the reply time-out)
    EXPECT_FALSE(poller.isRefreshing());
}

TEST(BoardPollerStopTest, StopAbandonsExchangesAndCountsNothingAgainstTheProjector) {
    Emulators emus;
    EmulatorConfig mute;
    EmulatorFaults never;
    never.neverReply = true;
    mute.faults = never;
    ProjectorList list;
    for (int i = 0; i < 3; ++i) {
        ProjectorEmulator* e = emus.add(mute);
        ASSERT_NE(e, nullptr);
        list << recordFor(e->address(), QStringLiteral("M%1").arg(i));
    }
    CommandContext patient = FastContext();
    patient.timeouts.infoReplyMs = 120000; // a stop that waited for this would show
    BoardPoller poller(patient);
    poller.setProjectors(list);
    EXPECT_EQ(poller.refresh(), 3);
    // Every projector has its command by now, so the stop meets exchanges under way.
    const QDeadlineTimer sent(30000);
    auto allAsked = [&] {
        for (int i = 0; i < emus.size(); ++i) {
            if (emus.at(i)->connections() == 0) {
                return false;
            }
        }
        return true;
    };
    while (!sent.hasExpired() && !allAsked()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ASSERT_TRUE(allAsked());
    QElapsedTimer took;
    took.start();
    poller.stop();
    EXPECT_LT(took.elapsed(), 60000) << "the stop waited for the reply time-out";
    EXPECT_FALSE(poller.isRefreshing());
    QCoreApplication::processEvents();
    for (const BoardRow& r : poller.rows()) {
        EXPECT_EQ(r.reach, BoardRow::Reach::Unknown) << "a stopped round is no failure of the projector";
        EXPECT_EQ(r.failures, 0);
    }
}

TEST(BoardPollerParallelTest, ManyProjectorsAreAskedTogetherEachOverOneConnection) {
    // More projectors than any small pool of workers, none of which answers while the test
    // looks: each must have been reached at once, and none twice.
    constexpr int kCount = 40;
    Emulators emus;
    EmulatorConfig slow;
    slow.faults.infoDelayMs = 120000;
    ProjectorList list;
    for (int i = 0; i < kCount; ++i) {
        ProjectorEmulator* e = emus.add(slow);
        ASSERT_NE(e, nullptr);
        list << recordFor(e->address(), QStringLiteral("S%1").arg(i));
    }
    CommandContext patient = FastContext();
    patient.timeouts.infoReplyMs = 300000;
    BoardPoller poller(patient);
    poller.setProjectors(list);
    ASSERT_EQ(poller.refresh(), kCount);
    auto connected = [&] {
        int reached = 0;
        for (int i = 0; i < emus.size(); ++i) {
            reached += emus.at(i)->connections() > 0 ? 1 : 0;
        }
        return reached;
    };
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && connected() < kCount) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(connected(), kCount);
    for (int i = 0; i < emus.size(); ++i) {
        // Once, not twice: store 2 is asked only after store 1 has answered.
        EXPECT_EQ(emus.at(i)->connections(), 1) << i;
        EXPECT_FALSE(emus.at(i)->waitForServed(1, 0)) << "no answer has gone out yet";
    }
    EXPECT_TRUE(poller.isRefreshing());
    poller.stop();
    EXPECT_FALSE(poller.isRefreshing());
}

// Events of other commands that say nothing of the projector leave its row as it was; an
// upload stored under a path shows the name the projector keeps.
TEST(BoardPollerEvents, OnlyWhatTheProjectorSaidMovesTheRow) {
    BoardPoller poller;
    constexpr quint32 kHall = 0x7F000402u;
    poller.setProjectors({recordFor(kHall, u"Hall"_qs)});
    CommandEvent put;
    put.command = u"PUT"_qs;
    put.address = kHall;
    put.storeNumber = 2;
    for (const int notSent : {UploadResult::Stopped, UploadResult::FileEmpty, UploadResult::FileUnreadable}) {
        put.result = notSent;
        EXPECT_FALSE(poller.noteCommand(put)) << notSent;
        EXPECT_EQ(poller.row(kHall).reach, BoardRow::Reach::Unknown) << notSent;
    }
    CommandEvent elsewhere = put;
    elsewhere.address = 0x7F000403u;
    elsewhere.answered = true;
    EXPECT_FALSE(poller.noteCommand(elsewhere)) << "not on the list";

    QTemporaryDir dir;
    const QString path = dir.filePath(u"evening.qv1"_qs);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(777, 'e')), 777);
    file.close();
    put.result = UploadResult::Ok;
    put.ok = put.answered = true;
    put.uploadPath = path;
    ASSERT_TRUE(poller.noteCommand(put));
    const BoardRow row = poller.row(kHall);
    const BoardStore& held = row.stores[1];
    EXPECT_EQ(held.result, 2);
    EXPECT_EQ(held.fileName, u"evening.qv1");
    EXPECT_EQ(held.length, u"777");
    EXPECT_EQ(row.reach, BoardRow::Reach::Reachable);
}
