#include "alerts/AlertCenter.h"

#include "board/BoardPoller.h"
#include "history/HistoryLog.h"
#include "protocol/ImageUpload.h"
#include "registry/Ipv4.h"
#include "schedule/ScheduleControl.h"
#include "support/Emulators.h"
#include "support/RecordingObserver.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>

namespace {

// This file's own loopback addresses: 127.0.12.1-30, and 31 where nothing listens.
constexpr quint32 kFirst = 0x7F000C01u;
constexpr quint32 kLast = 0x7F000C1Eu;

bool waitFor(const std::function<bool()>& done, int ms = 30000) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (done()) {
            return true;
        }
    }
    return done();
}

class AlertCenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        center = std::make_unique<AlertCenter>(
            std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat));
        QObject::connect(center.get(), &AlertCenter::alertRaised, [this](const Alert& a) { raised << a; });
        QObject::connect(center.get(), &AlertCenter::alertCleared, [this](const Alert& a) { cleared << a; });
        QObject::connect(&poller, &BoardPoller::refreshFinished, [this] { ++rounds; });
        QObject::connect(&poller, &BoardPoller::rowUpdated,
                         [this](quint32 address) { center->noteBoardRow(poller.row(address)); });
    }

    void list(const ProjectorList& projectors) {
        center->setProjectors(projectors);
        poller.setProjectors(projectors);
    }
    // One round of the board, to its end.
    bool poll() {
        const int before = rounds;
        poller.refresh(true);
        return waitFor([&] { return rounds > before && !poller.isRefreshing(); });
    }
    // What the program's history would hand on, in the order the commands finished.
    void handOn(RecordingObserver& recorder, qsizetype& seen) {
        const QList<CommandEvent> events = recorder.events();
        for (; seen < events.size(); ++seen) {
            center->noteCommand(events[seen]);
        }
    }

    QTemporaryDir dir;
    Emulators emus{kFirst, kLast};
    BoardPoller poller{FastContext()};
    std::unique_ptr<AlertCenter> center;
    QList<Alert> raised;
    QList<Alert> cleared;
    int rounds = 0;
};

} // namespace

TEST_F(AlertCenterTest, SilentProjectorRaisesOneAlertAndClearsWhenItAnswersAgain) {
    ProjectorEmulator* hall = emus.add();
    ProjectorEmulator* lobby = emus.add();
    ASSERT_TRUE(hall && lobby);
    HistoryLog history(dir.filePath(QStringLiteral("history.sqlite")), QStringLiteral("operator"));
    center->setHistory(&history);
    list({TestProjector(u"Hall"_qs, hall->address()), TestProjector(u"Lobby"_qs, lobby->address())});
    history.setProjectors(
        {TestProjector(u"Hall"_qs, hall->address()), TestProjector(u"Lobby"_qs, lobby->address())});
    center->setAlertSeconds(1);
    EXPECT_EQ(center->alertSeconds(), 1);

    ASSERT_TRUE(poll());
    EXPECT_TRUE(raised.isEmpty());
    EXPECT_EQ(center->silentCount(), 0);

    hall->stop();
    ASSERT_TRUE(poll());
    EXPECT_EQ(center->silentCount(), 1);
    // Raised by the centre's own timer once the alert time has passed, with no further poll.
    EXPECT_TRUE(center->nextTickAt().isValid());
    ASSERT_TRUE(waitFor([&] { return !raised.isEmpty(); }));
    ASSERT_EQ(raised.size(), 1);
    EXPECT_EQ(raised[0].kind, Alert::Kind::Offline);
    EXPECT_EQ(raised[0].address, hall->address());
    EXPECT_EQ(raised[0].projector, u"Hall");
    EXPECT_FALSE(raised[0].detail.isEmpty()); // why it did not answer
    EXPECT_TRUE(center->anyOffline());

    // Still silent at the next looks: no second alert.
    ASSERT_TRUE(poll());
    ASSERT_TRUE(poll());
    EXPECT_EQ(raised.size(), 1);
    EXPECT_TRUE(cleared.isEmpty());

    ASSERT_TRUE(hall->start());
    ASSERT_TRUE(poll());
    ASSERT_EQ(cleared.size(), 1);
    EXPECT_EQ(cleared[0].id, raised[0].id);
    EXPECT_TRUE(cleared[0].isClear());
    EXPECT_FALSE(center->anyOffline());
    EXPECT_EQ(center->silentCount(), 0);
    EXPECT_FALSE(center->nextTickAt().isValid()); // nothing waits: no timer runs
    ASSERT_EQ(center->alerts().size(), 1);
    EXPECT_TRUE(center->alerts()[0].isClear());

    // The raise and the clear are both in the history, under the projector's name.
    history.store().flush();
    const std::optional<HistoryRecords> records = HistoryStore::query(history.store().path(), {});
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 2);
    for (const HistoryRecord& r : *records) {
        EXPECT_EQ(r.command, u"ALERT");
        EXPECT_EQ(r.projectorName, u"Hall");
        EXPECT_EQ(r.user, u"operator");
    }
    EXPECT_TRUE(records->at(0).ok);  // newest first: the clear
    EXPECT_FALSE(records->at(1).ok); // the raise
}

TEST_F(AlertCenterTest, AnswerWithinTheAlertTimeRaisesNothing) {
    ProjectorEmulator* hall = emus.add();
    ASSERT_TRUE(hall);
    list({TestProjector(u"Hall"_qs, hall->address())});
    center->setAlertSeconds(600);
    ASSERT_TRUE(poll());
    hall->stop();
    ASSERT_TRUE(poll());
    EXPECT_EQ(center->silentCount(), 1);
    ASSERT_TRUE(hall->start());
    ASSERT_TRUE(poll());
    EXPECT_EQ(center->silentCount(), 0);
    // Shortened after the answer: the silence that ended counts no more.
    center->setAlertSeconds(1);
    EXPECT_FALSE(waitFor([&] { return !raised.isEmpty(); }, 2500));
    EXPECT_TRUE(cleared.isEmpty());
}

TEST_F(AlertCenterTest, StoreChangedByAnotherClientAlertsAndOurOwnUploadDoesNot) {
    ProjectorEmulator* hall = emus.add();
    ASSERT_TRUE(hall);
    list({TestProjector(u"Hall"_qs, hall->address())});
    ASSERT_TRUE(poll()); // the first look only learns what the stores hold
    EXPECT_TRUE(raised.isEmpty());

    const CommandTarget target{hall->address(), false, {}};
    // Someone else's upload: straight to the projector, heard by nothing of ours.
    ASSERT_EQ(UploadImageData("lobby-news.qv1", QByteArray(3000, 'a'), 2, target, FastContext()),
              UploadResult::Ok);
    ASSERT_TRUE(poll());
    ASSERT_EQ(raised.size(), 1);
    EXPECT_EQ(raised[0].kind, Alert::Kind::StoreChanged);
    EXPECT_EQ(raised[0].store, 2);
    EXPECT_EQ(raised[0].detail, u"lobby-news.qv1");
    ASSERT_TRUE(poll());
    EXPECT_EQ(raised.size(), 1); // the same content again is no news

    // Our own uploads, as the history hands them on, to the changed store and another.
    RecordingObserver recorder;
    CommandContext ours = FastContext();
    ours.observer = &recorder;
    qsizetype seen = 0;
    ASSERT_EQ(UploadImageData("ours.qv1", QByteArray(4000, 'b'), 2, target, ours), UploadResult::Ok);
    ASSERT_EQ(UploadImageData("ours-too.qv1", QByteArray(5000, 'c'), 3, target, ours), UploadResult::Ok);
    handOn(recorder, seen);
    ASSERT_EQ(cleared.size(), 1); // our upload to that store ends its alert
    EXPECT_EQ(cleared[0].id, raised[0].id);
    ASSERT_TRUE(poll());
    EXPECT_EQ(raised.size(), 1);

    // The same name and length again from here, then someone else's: the second still alerts.
    ASSERT_EQ(UploadImageData("ours-too.qv1", QByteArray(5000, 'c'), 3, target, ours), UploadResult::Ok);
    handOn(recorder, seen);
    ASSERT_TRUE(poll());
    EXPECT_EQ(raised.size(), 1);
    ASSERT_EQ(UploadImageData("theirs.qv1", QByteArray(100, 'd'), 1, target, FastContext()),
              UploadResult::Ok);
    ASSERT_TRUE(poll());
    ASSERT_EQ(raised.size(), 2);
    EXPECT_EQ(raised[1].store, 1);
    EXPECT_EQ(raised[1].detail, u"theirs.qv1");
}

TEST_F(AlertCenterTest, ScheduledUploadFailingAfterItsRetriesAlertsOnceUntilOneSucceeds) {
    // Outside the range: another test of this file may bind any address of it that is free now.
    const quint32 silent = kLast + 1;
    list({TestProjector(u"Gone"_qs, silent)});
    center->setAlertSeconds(3600); // only the upload's verdict may raise here
    ScheduleControl control(FastContext());
    QObject::connect(&control, &ScheduleControl::entryFinished,
                     [this](int, quint32 address, int store, bool done, int result) {
                         center->noteScheduledUpload(address, store, done, result);
                     });
    int finished = 0;
    bool lastDone = true;
    quint32 lastAddress = 0;
    int lastStore = 0;
    QObject::connect(&control, &ScheduleControl::entryFinished,
                     [&](int, quint32 address, int store, bool done, int) {
                         ++finished;
                         lastDone = done;
                         lastAddress = address;
                         lastStore = store;
                     });
    bool ended = false;
    QObject::connect(&control, &ScheduleControl::runEnded, [&] { ended = true; });

    const QString picture = dir.filePath(QStringLiteral("slide.qv1"));
    {
        QFile f(picture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2000, 'x'));
    }
    ScheduleTable table;
    ASSERT_EQ(table.AddScheduleEntry(Ipv4::toText(silent), picture, u"3"_qs, u"0"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    control.setTable(table);
    control.setCount(1);
    ASSERT_TRUE(control.start());
    ASSERT_TRUE(waitFor([&] { return ended; }));
    ASSERT_EQ(finished, 1);
    EXPECT_FALSE(lastDone);
    EXPECT_EQ(lastAddress, silent);
    EXPECT_EQ(lastStore, 3);
    ASSERT_EQ(raised.size(), 1);
    EXPECT_EQ(raised[0].kind, Alert::Kind::UploadFailed);
    EXPECT_EQ(raised[0].store, 3);
    EXPECT_FALSE(raised[0].detail.isEmpty());

    // The same failure again holds the same alert; a success clears it.
    center->noteScheduledUpload(silent, 3, false, UploadResult::NoReply);
    EXPECT_EQ(raised.size(), 1);
    center->noteScheduledUpload(silent, 3, true, 0);
    ASSERT_EQ(cleared.size(), 1);
    EXPECT_EQ(cleared[0].id, raised[0].id);
}
