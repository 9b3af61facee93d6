#include "app/AppState.h"
#include "app/CMainFrame.h"
#include "app/CommandIds.h"
#include "board/CBoardDock.h"
#include "history/HistoryStore.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CStoreListDlg.h"
#include "registry/Ipv4.h"
#include "schedule/ScheduleEntry.h"
#include "support/CatalogFixture.h"
#include "support/HostileStrings.h"
#include "workspace/CImageSendDlg.h"

#include "support/DialogDriver.h"
#include "support/Emulators.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// The board's emulators keep to 127.0.0.200-215.
constexpr quint32 kFirst = 0x7F0000C8u;
constexpr quint32 kLast = 0x7F0000D7u;

QByteArray pngOf(QColor colour) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class BoardDockTest : public ::testing::Test {
protected:
    // The board remembers itself in the settings (a scratch folder in tests): each case starts
    // afresh and leaves nothing for the next.
    void SetUp() override {
        QSettings().clear();
        frameState = std::make_unique<AppState>(dir.filePath(u"t.INI"_qs));
        frame = std::make_unique<CMainFrame>(*frameState);
        dock = frame->findChild<CBoardDock*>(u"boardDock"_qs);
        ASSERT_NE(dock, nullptr);
        dock->setCommandContext(FastContext());
        dock->setHistoryPath(historyPath);
    }
    void TearDown() override {
        frame.reset();
        QSettings().clear();
    }

    void upload(quint32 address, int store, const QString& file, qint64 length, const QByteArray& thumb,
                bool ok = true) {
        HistoryStore history(historyPath);
        HistoryRecord r;
        r.time = QDateTime::currentDateTimeUtc();
        r.user = u"operator"_qs;
        r.address = Ipv4::toText(address);
        r.command = u"PUT"_qs;
        r.store = store;
        r.fileName = file;
        r.fileLength = length;
        r.thumbnail = thumb;
        r.ok = ok;
        history.append(r);
        history.flush();
    }
    // Refreshes as the user would (F5) and waits until every answer and picture is shown.
    bool refreshAndSettle() {
        QAction* f5 = frame->findChild<QAction*>(u"refreshBoardAction"_qs);
        if (f5 == nullptr || f5->shortcut() != QKeySequence(Qt::Key_F5)) {
            return false;
        }
        f5->trigger();
        return QTest::qWaitFor([&] { return !dock->isRefreshing() && dock->lookupsSettled(); }, 30000);
    }
    QTableWidgetItem* cell(quint32 address, int column) const {
        return dock->table()->item(dock->rowOf(address), column);
    }
    QTableWidgetItem* store(quint32 address, int s) const {
        return cell(address, CBoardDock::FirstStoreColumn + s - 1);
    }

    ShippedCatalog catalog;
    QTemporaryDir dir;
    QString historyPath = dir.filePath(u"history.sqlite"_qs);
    std::unique_ptr<AppState> frameState; // outlives the frame
    std::unique_ptr<CMainFrame> frame;
    CBoardDock* dock = nullptr;
    Emulators m_emus{kFirst, kLast};
};

} // namespace

TEST_F(BoardDockTest, RowsFollowTheListAndTellReachAndWhyNot) {
    ProjectorEmulator* hall = m_emus.add();
    EmulatorConfig guarded;
    guarded.authenticate = true;
    guarded.password = "secret";
    ProjectorEmulator* locked = m_emus.add(guarded);
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    ProjectorEmulator* silent = m_emus.add(mute);
    ASSERT_TRUE(hall && locked && silent);
    const quint32 nobody = m_emus.unusedAddress();
    ASSERT_TRUE(hall->stores().begin(1));
    ASSERT_FALSE(hall->stores().finish(1, "hall.qv1", QByteArray(1234, 'h')));

    frame->SaveProjectorList({TestProjector(u"Hall"_qs, hall->address()),
                              TestProjector(u"Locked"_qs, locked->address(), u"wrong"_qs),
                              TestProjector(u"Mute"_qs, silent->address()),
                              TestProjector(u"Nobody"_qs, nobody)});
    QTableWidget* table = dock->table();
    ASSERT_EQ(table->rowCount(), 4) << "the rows follow the list at once";
    EXPECT_EQ(table->item(0, CBoardDock::NameColumn)->text(), u"Hall");
    EXPECT_EQ(table->item(3, CBoardDock::AddressColumn)->text(), Ipv4::toText(nobody));
    EXPECT_EQ(table->item(1, CBoardDock::StateColumn)->text(), CatalogText(msg::BoardNotAsked));

    EXPECT_TRUE(dock->isHidden());
    ASSERT_TRUE(refreshAndSettle());
    EXPECT_FALSE(dock->isHidden()) << "F5 shows the board it refreshes";
    const QString hallState = cell(hall->address(), CBoardDock::StateColumn)->text();
    EXPECT_TRUE(hallState.startsWith(CatalogText(msg::BoardReachable, {u""_qs}))) << hallState.toStdString();
    EXPECT_EQ(store(hall->address(), 1)->text(),
              CatalogText(msg::BoardStoreHolds, {u"hall.qv1"_qs, u"1,234"_qs}));
    EXPECT_EQ(store(hall->address(), 2)->text(), CatalogText(msg::BoardStoreEmpty));
    // Refused, but it answered: that is when it was last seen.
    const QString lockedState = cell(locked->address(), CBoardDock::StateColumn)->text();
    EXPECT_TRUE(lockedState.startsWith(
        CatalogText(msg::BoardUnreachableSeen, {CatalogText(msg::BoardReasonRefused), u""_qs})))
        << lockedState.toStdString();
    EXPECT_EQ(cell(silent->address(), CBoardDock::StateColumn)->text(),
              CatalogText(msg::BoardUnreachableNever, {CatalogText(msg::BoardReasonTimeout)}));
    EXPECT_EQ(cell(nobody, CBoardDock::StateColumn)->text(),
              CatalogText(msg::BoardUnreachableNever, {CatalogText(msg::BoardReasonConnect)}));
    EXPECT_EQ(store(nobody, 1)->text(), CatalogText(msg::BoardStoreUnknown));
    EXPECT_TRUE(dock->findChild<QLabel*>(u"boardStatus"_qs)
                    ->text()
                    .startsWith(CatalogText(msg::BoardRefreshedAt, {u""_qs})));

    // Seen once, then gone: the reason comes with the time it was last seen.
    hall->stop();
    ASSERT_TRUE(refreshAndSettle());
    const QString gone = cell(hall->address(), CBoardDock::StateColumn)->text();
    EXPECT_TRUE(gone.startsWith(
        CatalogText(msg::BoardUnreachableSeen, {CatalogText(msg::BoardReasonConnect), u""_qs})))
        << gone.toStdString();
    EXPECT_EQ(store(hall->address(), 1)->text(),
              CatalogText(msg::BoardStoreHolds, {u"hall.qv1"_qs, u"1,234"_qs}))
        << "what it held stays as last seen";

    // An edit of the list: one goes, one comes, the others keep what they know.
    frame->SaveProjectorList(
        {TestProjector(u"Mute"_qs, silent->address()), TestProjector(u"Added"_qs, kLast)});
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(1, CBoardDock::NameColumn)->text(), u"Added");
    EXPECT_EQ(dock->rowOf(hall->address()), -1);
    EXPECT_EQ(cell(silent->address(), CBoardDock::StateColumn)->text(),
              CatalogText(msg::BoardUnreachableNever, {CatalogText(msg::BoardReasonTimeout)}));
    EXPECT_EQ(cell(kLast, CBoardDock::StateColumn)->text(), CatalogText(msg::BoardNotAsked));
}

TEST_F(BoardDockTest, NamesAndFileNamesFromOutsideAreShownAsWritten) {
    ProjectorList list;
    QStringList shown;
    QList<const HostileString*> files; // what a projector's stores will claim to hold
    quint32 host = 0x0A000500u;
    for (const HostileString& h : HostileStrings()) {
        if (h.text.contains(u'\r') || h.text.contains(u'\n')) {
            continue; // neither an INI line nor a reply line holds one
        }
        list << TestProjector(h.text, ++host);
        shown << h.shown;
        if (files.size() < 4 && (h.invisible || h.text.contains(u'<'))) {
            files << &h;
        }
    }
    frame->SaveProjectorList(list);
    QTableWidget* table = dock->table();
    ASSERT_EQ(table->rowCount(), list.size());
    for (int row = 0; row < list.size(); ++row) {
        EXPECT_EQ(table->item(row, CBoardDock::NameColumn)->text(), shown[row]);
    }

    ProjectorEmulator* e = m_emus.add();
    ASSERT_TRUE(e);
    ASSERT_EQ(files.size(), 4);
    for (int s = 1; s <= 4; ++s) {
        ASSERT_TRUE(e->stores().begin(s));
        ASSERT_FALSE(e->stores().finish(s, files[s - 1]->text.toUtf8(), QByteArray(10, 'x')));
    }
    frame->SaveProjectorList({TestProjector(u"Hall"_qs, e->address())});
    ASSERT_TRUE(refreshAndSettle());
    for (int s = 1; s <= 4; ++s) {
        EXPECT_EQ(store(e->address(), s)->text(),
                  CatalogText(msg::BoardStoreHolds, {files[s - 1]->shown, u"10"_qs}))
            << files[s - 1]->what;
    }
}

TEST_F(BoardDockTest, ThumbnailOnlyForTheUploadOnRecordAndANeutralMarkOtherwise) {
    ProjectorEmulator* e = m_emus.add();
    ProjectorEmulator* other = m_emus.add();
    ASSERT_TRUE(e && other);
    const std::array<std::pair<QByteArray, int>, 3> held{
        {{"demo.qv1", 100}, {"other.qv1", 50}, {"demo.qv1", 100}}};
    for (int s = 1; s <= 3; ++s) {
        ASSERT_TRUE(e->stores().begin(s));
        ASSERT_FALSE(e->stores().finish(s, held[s - 1].first, QByteArray(held[s - 1].second, 'x')));
    }
    upload(e->address(), 1, u"demo.qv1"_qs, 100, pngOf(Qt::red));          // the very upload
    upload(other->address(), 2, u"other.qv1"_qs, 50, pngOf(Qt::blue));     // another projector
    upload(e->address(), 3, u"demo.qv1"_qs, 101, pngOf(Qt::green));        // another length
    upload(e->address(), 3, u"demo.qv1"_qs, 100, pngOf(Qt::green), false); // failed
    upload(e->address(), 2, u"demo.qv1"_qs, 100, pngOf(Qt::green));        // another store's file

    frame->SaveProjectorList({TestProjector(u"Hall"_qs, e->address())});
    ASSERT_TRUE(refreshAndSettle());
    EXPECT_EQ(CBoardDock::pictureOf(store(e->address(), 1)), CBoardDock::Picture::Thumbnail);
    EXPECT_FALSE(store(e->address(), 1)->icon().isNull());
    EXPECT_EQ(CBoardDock::pictureOf(store(e->address(), 2)), CBoardDock::Picture::Neutral);
    EXPECT_EQ(store(e->address(), 2)->toolTip(), CatalogText(msg::BoardNoRecord));
    EXPECT_EQ(CBoardDock::pictureOf(store(e->address(), 3)), CBoardDock::Picture::Neutral);
    EXPECT_EQ(CBoardDock::pictureOf(store(e->address(), 4)), CBoardDock::Picture::None) << "an empty store";
    EXPECT_TRUE(store(e->address(), 4)->icon().isNull());

    // The store now holds another file: its old picture must not stay as a guess.
    ASSERT_TRUE(e->stores().begin(1));
    ASSERT_FALSE(e->stores().finish(1, "fresh.qv1", QByteArray(100, 'y')));
    ASSERT_TRUE(refreshAndSettle());
    EXPECT_EQ(store(e->address(), 1)->text(),
              CatalogText(msg::BoardStoreHolds, {u"fresh.qv1"_qs, u"100"_qs}));
    EXPECT_EQ(CBoardDock::pictureOf(store(e->address(), 1)), CBoardDock::Picture::Neutral);
    // And once it is on record, the thumbnail comes.
    upload(e->address(), 1, u"fresh.qv1"_qs, 100, pngOf(Qt::yellow));
    ASSERT_TRUE(refreshAndSettle());
    EXPECT_EQ(CBoardDock::pictureOf(store(e->address(), 1)), CBoardDock::Picture::Thumbnail);
}

TEST_F(BoardDockTest, ContextMenuCommandsReachTheFrameForTheRowsProjector) {
    const quint32 a = m_emus.unusedAddress();
    const quint32 b = m_emus.unusedAddress();
    frame->SaveProjectorList({TestProjector(u"A"_qs, a), TestProjector(u"B"_qs, b)});
    struct Ran {
        int id;
        quint32 current;
        std::optional<quint32> sendTarget;
    };
    std::vector<Ran> ran;
    for (int id : {Cmd::ImageInformation, Cmd::TransmissionState, Cmd::CancelTransmit, Cmd::Send}) {
        frame->setCommandHandler(
            id,
            [&, id] {
                ran.push_back({id, frame->state().projectors().currentProjector(), frame->takeSendTarget()});
            },
            [] { return true; });
    }
    QTableWidget* table = dock->table();
    dock->show();
    frame->show();
    const QRect second = table->visualItemRect(table->item(1, CBoardDock::NameColumn));
    Q_EMIT table->customContextMenuRequested(second.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock->contextMenu()->isVisible(); }, 30000));
    EXPECT_EQ(table->currentRow(), 1);
    const QList<QAction*> actions = dock->contextMenu()->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[3]->text(), CatalogText(msg::BoardSendHere));
    dock->contextMenu()->hide();
    // From the keyboard: the menu key opens it for the current row (keys reach the focus of
    // the active window only).
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get(), 30000));
    table->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == table; }, 30000));
    QTest::keyClick(table, Qt::Key_Menu);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dock->contextMenu()->isVisible(); }, 30000));
    dock->contextMenu()->hide();
    for (QAction* action : actions) {
        action->trigger();
    }
    ASSERT_EQ(ran.size(), 4u);
    EXPECT_EQ(ran[0].id, Cmd::ImageInformation);
    EXPECT_EQ(ran[1].id, Cmd::TransmissionState);
    EXPECT_EQ(ran[2].id, Cmd::CancelTransmit);
    EXPECT_EQ(ran[3].id, Cmd::Send);
    for (const Ran& r : ran) {
        EXPECT_EQ(r.current, b) << "the command runs for the row's projector";
    }
    EXPECT_EQ(ran[3].sendTarget, std::optional<quint32>(b)) << "Send checks that projector alone";
    EXPECT_FALSE(ran[0].sendTarget.has_value());
}

TEST_F(BoardDockTest, DoubleClickShowsTheFourStoresAsTheBoardSawThem) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(e->stores().begin(4));
    ASSERT_FALSE(e->stores().finish(4, "night.qv1", QByteArray(777, 'n')));
    frame->SaveProjectorList({TestProjector(u"Hall"_qs, e->address())});
    ASSERT_TRUE(refreshAndSettle());
    dock->show();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get(), 30000));
    ASSERT_TRUE(dock->table()->isVisible());
    QStringList seen;
    WhenModal<CStoreListDlg>([&](CStoreListDlg& info) {
        for (int row = 0; row < info.list()->rowCount(); ++row) {
            seen << info.list()->item(row, 1)->text() + u'|' + info.list()->item(row, 2)->text();
        }
        seen << info.windowTitle();
        info.accept();
    });
    QTableWidget* table = dock->table();
    const QRect r = table->visualItemRect(table->item(0, CBoardDock::StateColumn));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(seen.size(), 5);
    EXPECT_EQ(seen[0], CatalogText(msg::StoreEmpty) + u'|' + CatalogText(msg::StoreSizeNone));
    EXPECT_EQ(seen[3], u"night.qv1|"_qs + CatalogText(msg::StoreSizeText, {u"777"_qs}));
    EXPECT_EQ(seen[4], CatalogText(msg::StoreInfoDlgTitle, {u"Hall"_qs}));
}

TEST_F(BoardDockTest, AProjectorBeingUploadedToIsLeftAloneAndStopEndsARefresh) {
    ProjectorEmulator* busy = m_emus.add();
    ProjectorEmulator* idle = m_emus.add();
    ASSERT_TRUE(busy && idle);
    frame->SaveProjectorList(
        {TestProjector(u"Busy"_qs, busy->address()), TestProjector(u"Idle"_qs, idle->address())});
    Q_EMIT frame->state().projectorUploading(busy->address(), true);
    Q_EMIT frame->state().projectorUploading(busy->address(), true); // a send and the schedule at once
    Q_EMIT frame->state().projectorUploading(busy->address(), false);
    ASSERT_TRUE(refreshAndSettle());
    EXPECT_EQ(busy->connections(), 0) << "still one upload under way";
    EXPECT_EQ(idle->connections(), 4);
    EXPECT_EQ(cell(busy->address(), CBoardDock::StateColumn)->text(), CatalogText(msg::BoardNotAsked));
    Q_EMIT frame->state().projectorUploading(busy->address(), false);
    ASSERT_TRUE(refreshAndSettle());
    EXPECT_EQ(busy->connections(), 4);

    // A refresh that would wait long is stopped from the board.
    CommandContext patient = FastContext();
    patient.timeouts.infoReplyMs = 120000;
    dock->setCommandContext(patient);
    EmulatorFaults never;
    never.neverReply = true;
    busy->setFaults(never);
    idle->setFaults(never);
    auto* refresh = dock->findChild<QPushButton*>(u"boardRefresh"_qs);
    auto* stop = dock->findChild<QPushButton*>(u"boardStop"_qs);
    ASSERT_TRUE(refresh && stop);
    EXPECT_FALSE(stop->isEnabled());
    refresh->click();
    ASSERT_TRUE(dock->isRefreshing());
    EXPECT_TRUE(stop->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return busy->connections() > 4 && idle->connections() > 4; }, 30000));
    stop->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dock->isRefreshing(); }, 30000));
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_EQ(dock->findChild<QLabel*>(u"boardStatus"_qs)->text(), CatalogText(msg::BoardRefreshStopped));
    EXPECT_TRUE(cell(idle->address(), CBoardDock::StateColumn)
                    ->text()
                    .startsWith(CatalogText(msg::BoardReachable, {u""_qs})))
        << "a stopped round counts against no projector";
}

TEST_F(BoardDockTest, TimedRefreshIsOffByDefaultAndRemembered) {
    EXPECT_TRUE(dock->isHidden()) << "hidden until asked for";
    auto* timed = dock->findChild<QCheckBox*>(u"boardTimed"_qs);
    auto* minutes = dock->findChild<QSpinBox*>(u"boardMinutes"_qs);
    ASSERT_TRUE(timed && minutes);
    EXPECT_FALSE(timed->isChecked());
    EXPECT_FALSE(dock->timedRefreshOn());
    EXPECT_EQ(minutes->minimum(), 1);
    EXPECT_EQ(minutes->maximum(), 60);
    EXPECT_EQ(minutes->accessibleName(), CatalogText(msg::BoardMinutesName));
    EXPECT_EQ(timed->accessibleName(), CatalogText(msg::BoardAutoRefresh).remove(u'&'));
    timed->click();
    minutes->setValue(7);
    EXPECT_TRUE(dock->timedRefreshOn());
    frame->removeDockWidget(dock);
    frame->addDockWidget(Qt::LeftDockWidgetArea, dock);
    dock->show(); // taking it out hid it
    dock->saveLayout();

    // Another window of the same user finds the board as it was left.
    AppState againState(dir.filePath(u"other.INI"_qs));
    CMainFrame again(againState);
    auto* second = again.findChild<CBoardDock*>(u"boardDock"_qs);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->timedRefreshOn());
    EXPECT_EQ(second->timedRefreshMinutes(), 7);
    EXPECT_EQ(again.dockWidgetArea(second), Qt::LeftDockWidgetArea);
    second->setTimedRefresh(false, 7);
    QSettings settings;
    EXPECT_FALSE(settings.value(u"board/timedRefresh"_qs).toBool());

    // The View menu shows and hides it.
    QAction* toggle = again.findChild<QAction*>(u"boardAction"_qs);
    ASSERT_NE(toggle, nullptr);
    auto* view = again.menuBar()->findChild<QMenu*>(u"menuView"_qs);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->actions().contains(toggle));
    again.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->isVisible(); }, 30000));
    toggle->trigger();
    EXPECT_FALSE(second->isVisible());
    toggle->trigger();
    EXPECT_TRUE(second->isVisible());
}

TEST_F(BoardDockTest, TheScheduleAndSendTellWhichProjectorTheyUploadTo) {
    EmulatorConfig slow;
    slow.faults.storeDelayMs = 1500;
    ProjectorEmulator* target = m_emus.add(slow);
    ProjectorEmulator* quick = m_emus.add();
    ASSERT_TRUE(target && quick);
    frame->SaveProjectorList(
        {TestProjector(u"Target"_qs, target->address()), TestProjector(u"Quick"_qs, quick->address())});
    QList<std::pair<quint32, bool>> told;
    QObject::connect(&frame->state(), &AppState::projectorUploading, [&](quint32 a, bool uploading) {
        told.append({a, uploading});
    });

    const QString file = dir.filePath(u"a.qv1"_qs);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, 'a'));
    }
    ScheduleTable table;
    ASSERT_EQ(table.AddScheduleEntry(Ipv4::toText(target->address()), file, u"2"_qs, u"0"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    frame->state().schedule().setTable(table);
    frame->state().schedule().setCount(table.count);
    frame->state().schedule().setLoop(0);
    ASSERT_TRUE(frame->state().schedule().start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !told.isEmpty(); }, 30000));
    EXPECT_EQ(told.front(), std::make_pair(target->address(), true));
    // While the schedule uploads there, the board asks only the other one.
    dock->refresh();
    const bool stillUploading = told.size() == 1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dock->isRefreshing(); }, 30000));
    if (stillUploading) {
        EXPECT_EQ(cell(target->address(), CBoardDock::StateColumn)->text(), CatalogText(msg::BoardNotAsked));
    }
    EXPECT_EQ(quick->connections(), 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.size() >= 2; }, 30000));
    EXPECT_EQ(told[1], std::make_pair(target->address(), false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->state().schedule().isRunning(); }, 30000));
    ASSERT_TRUE(StopScheduleAndWait(frame->state().schedule()));
    EXPECT_EQ(frame->state().schedule().entryStatus(0), ScheduleEntry::Done);

    // The send dialog tells the same, per projector, as each upload ends.
    told.clear();
    CImageSendDlg send(0, nullptr);
    QObject::connect(&send, &CImageSendDlg::uploading, &frame->state(), &AppState::projectorUploading);
    for (ProjectorEmulator* e : {target, quick}) {
        send.DataAdd(u"P"_qs, e->address(), 0, "", "00-aa-00-00-00-01", -1, -1);
    }
    send.m_imagePath = file;
    send.setPictureSize(100, 80);
    send.setCommandContext(FastContext());
    send.show();
    auto* start = send.findChild<QPushButton*>(u"sendButton"_qs);
    ASSERT_NE(start, nullptr);
    start->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !send.isSending(); }, 30000));
    ASSERT_EQ(told.size(), 4);
    EXPECT_EQ(told[0], std::make_pair(target->address(), true));
    EXPECT_EQ(told[1], std::make_pair(quick->address(), true));
    EXPECT_EQ(told[2], std::make_pair(quick->address(), false)) << "the quick one is released first";
    EXPECT_EQ(told[3], std::make_pair(target->address(), false));
    dock->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dock->isRefreshing(); }, 30000));
    EXPECT_TRUE(cell(target->address(), CBoardDock::StateColumn)
                    ->text()
                    .startsWith(CatalogText(msg::BoardReachable, {u""_qs})))
        << "asked again once nothing uploads to it";
}
