#include "app/AppState.h"
#include "app/CMainFrame.h"
#include "board/CBoardDock.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "protocol/TransStateQuery.h"
#include "support/CatalogFixture.h"
#include "support/Emulators.h"
#include "support/TestImages.h"

#include <QDateTime>
#include <QHeaderView>
#include <QScrollBar>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

#include <memory>

namespace {

// 127.0.4.1-60: this file's own emulators.
constexpr quint32 kFirst = 0x7F000401u;
constexpr quint32 kLast = 0x7F00043Cu;

// The board as the program builds it: the window's own state, history and wiring.
class BoardLiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings().clear();
        state = std::make_unique<AppState>(dir.filePath(u"t.INI"_qs), dir.filePath(u"history.sqlite"_qs));
        frame = std::make_unique<CMainFrame>(*state);
        dock = frame->findChild<CBoardDock*>(u"boardDock"_qs);
        ASSERT_NE(dock, nullptr);
        dock->setCommandContext(FastContext());
    }
    void TearDown() override {
        frame.reset();
        QSettings().clear();
    }

    // A command run as a send or a dialog runs it: off the interface thread, into the history.
    CommandContext recorded() {
        CommandContext c = FastContext();
        c.store = &state->projectors();
        c.observer = state->commandObserver();
        return c;
    }
    template <typename Run> void runRecorded(Run run) {
        QFuture<void> done = QtConcurrent::run(std::move(run));
        ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 20000));
    }
    QTableWidgetItem* cell(quint32 address, int column) const {
        return dock->table()->item(dock->rowOf(address), column);
    }
    QTableWidgetItem* store(quint32 address, int s) const {
        return cell(address, CBoardDock::FirstStoreColumn + s - 1);
    }
    BoardRow row(quint32 address) { return dock->poller().row(address); }
    // Lets the clock pass t, so "later than t" means something.
    static QDateTime tickedPast(const QDateTime& t) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return QDateTime::currentDateTimeUtc() > t; }, 20000));
        return QDateTime::currentDateTimeUtc();
    }

    ShippedCatalog catalog;
    QTemporaryDir dir;
    std::unique_ptr<AppState> state; // outlives the frame
    std::unique_ptr<CMainFrame> frame;
    CBoardDock* dock = nullptr;
    Emulators emus{kFirst, kLast};
};

} // namespace

TEST_F(BoardLiveTest, UploadOutcomesReachTheirRowsWithoutAPoll) {
    ProjectorEmulator* hall = emus.add();
    EmulatorConfig refusing;
    refusing.faults.replyOverride = "PUT 3\r\n";
    ProjectorEmulator* full = emus.add(refusing);
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    ProjectorEmulator* silent = emus.add(mute);
    ASSERT_TRUE(hall && full && silent);
    const quint32 nobody = emus.unusedAddress();
    ASSERT_TRUE(frame->SaveProjectorList(
        {TestProjector(u"Hall"_qs, hall->address()), TestProjector(u"Full"_qs, full->address()),
         TestProjector(u"Mute"_qs, silent->address()), TestProjector(u"Nobody"_qs, nobody)}));
    ASSERT_EQ(dock->table()->rowCount(), 4);

    const QByteArray gif = TestImages::encode(TestImages::gradient(120, 90), ".gif");
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const CommandContext context = recorded();
    for (ProjectorEmulator* e : {hall, full, silent}) {
        runRecorded([&, e] {
            UploadImageData("lobby.qv1", gif, 3, CommandTarget{e->address(), 0, {}}, context);
        });
    }
    runRecorded([&] { UploadImageData("lobby.qv1", gif, 3, CommandTarget{nobody, 0, {}}, context); });

    // Delivered: store 3 names the file at once and shows the very picture from the history.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return CBoardDock::pictureOf(store(hall->address(), 3)) == CBoardDock::Picture::Thumbnail; },
        20000));
    EXPECT_EQ(store(hall->address(), 3)->text(),
              CatalogText(msg::BoardStoreHolds,
                          {u"lobby.qv1"_qs, CatalogNumber::formatText(QString::number(gif.size()))}));
    EXPECT_EQ(row(hall->address()).reach, BoardRow::Reach::Reachable);
    EXPECT_GE(row(hall->address()).lastSeen, before);
    EXPECT_EQ(store(hall->address(), 1)->text(), CatalogText(msg::BoardStoreUnknown))
        << "the other stores were not asked";
    EXPECT_FALSE(dock->isRefreshing());
    const QList<EmulatorRequest> asked = hall->requests();
    ASSERT_EQ(asked.size(), 1) << "nothing but the upload went to the projector";
    EXPECT_TRUE(asked.front().command.startsWith("PUT "));

    // Refused: it answered, so it is there; what store 3 holds is no longer known, and why.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return row(full->address()).reach == BoardRow::Reach::Reachable; }, 20000));
    EXPECT_EQ(store(full->address(), 3)->text(), CatalogText(msg::BoardStoreUnknown));
    EXPECT_FALSE(store(full->address(), 3)->toolTip().isEmpty());

    // No answer, or nobody there: unreachable, with the upload's own reason, never seen.
    for (const quint32 a : {silent->address(), nobody}) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return row(a).reach == BoardRow::Reach::Unreachable; }, 20000))
            << a;
        EXPECT_FALSE(row(a).reason.isEmpty());
        EXPECT_FALSE(row(a).lastSeen.isValid());
        EXPECT_EQ(cell(a, CBoardDock::StateColumn)->text(),
                  CatalogText(msg::BoardUnreachableNever, {row(a).reason}));
    }
}

TEST_F(BoardLiveTest, LastSeenMovesOnAnyAnswerAndOnlyOnAnAnswer) {
    ProjectorEmulator* hall = emus.add();
    ASSERT_NE(hall, nullptr);
    ASSERT_TRUE(frame->SaveProjectorList({TestProjector(u"Hall"_qs, hall->address())}));
    const CommandTarget target{hall->address(), 0, {}};
    const CommandContext context = recorded();

    // A status query of a dialog is an answer as good as a poll's.
    QDateTime before = QDateTime::currentDateTimeUtc();
    runRecorded([&] { QueryTransState(1, target, context); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return row(hall->address()).lastSeen.isValid(); }, 20000));
    EXPECT_GE(row(hall->address()).lastSeen, before);
    EXPECT_EQ(row(hall->address()).reach, BoardRow::Reach::Reachable);

    // A command left without a reply moves nothing but the reach.
    const QDateTime seen = row(hall->address()).lastSeen;
    EmulatorFaults mute;
    mute.neverReply = true;
    hall->setFaults(mute);
    tickedPast(seen);
    runRecorded([&] { QueryTransState(1, target, context); });
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return row(hall->address()).reach == BoardRow::Reach::Unreachable; }, 20000));
    EXPECT_EQ(row(hall->address()).lastSeen, seen);
    EXPECT_EQ(cell(hall->address(), CBoardDock::StateColumn)->foreground().color(), QColor(170, 0, 0));

    // A poll answered with what the board cannot read still says the projector is there.
    EmulatorFaults odd;
    odd.infoReplyOverride = "INFO 7\r\n";
    hall->setFaults(odd);
    before = tickedPast(seen);
    dock->refresh(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dock->isRefreshing(); }, 20000));
    EXPECT_EQ(row(hall->address()).reach, BoardRow::Reach::Unreachable);
    EXPECT_GE(row(hall->address()).lastSeen, before);

    // Image Information that finds a picture puts it into the row as a poll would.
    hall->setFaults({});
    ASSERT_TRUE(hall->stores().begin(2));
    ASSERT_FALSE(hall->stores().finish(2, "stage.qv1", QByteArray(321, 's')));
    before = tickedPast(row(hall->address()).lastSeen);
    runRecorded([&] { QueryImageInfo(2, target, context); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return row(hall->address()).stores[1].result == 2; }, 20000));
    EXPECT_EQ(store(hall->address(), 2)->text(),
              CatalogText(msg::BoardStoreHolds, {u"stage.qv1"_qs, u"321"_qs}));
    EXPECT_EQ(row(hall->address()).reach, BoardRow::Reach::Reachable);
    EXPECT_GE(row(hall->address()).lastSeen, before);
}

TEST_F(BoardLiveTest, AllFourStoresAreInViewAtTheWindowsFirstSize) {
    ProjectorEmulator* hall = emus.add();
    ASSERT_NE(hall, nullptr);
    ASSERT_TRUE(frame->SaveProjectorList({TestProjector(u"Hall"_qs, hall->address())}));
    frame->show();
    dock->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    QTableWidget* table = dock->table();
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->viewport()->width() > 0; }, 20000));
    const int viewport = table->viewport()->width();
    for (int s = 0; s < 4; ++s) {
        const int column = CBoardDock::FirstStoreColumn + s;
        const int left = table->columnViewportPosition(column);
        SCOPED_TRACE(s + 1);
        EXPECT_GE(left, 0);
        EXPECT_LE(left + table->columnWidth(column), viewport);
        EXPECT_GE(table->columnWidth(column), table->iconSize().width()) << "room for the picture";
    }
    EXPECT_FALSE(table->horizontalScrollBar()->isVisible());
    // The rows take the dock's height, not a strip of it.
    EXPECT_GE(table->height(), dock->widget()->height() / 2);
}
