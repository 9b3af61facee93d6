#include "app/AppState.h"
#include "app/CFileDialogs.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "i18n/CatalogIds.h"
#include "protocol/ImageUpload.h"
#include "registry/CProjectorListDlg.h"
#include "registry/ProjectorStore.h"
#include "support/CatalogFixture.h"
#include "support/DialogDriver.h"
#include "support/HostileStrings.h"
#include "support/TestPictures.h"
#include "workspace/CImageSendDlg.h"
#include "workspace/CPictureView.h"

#include "support/Emulators.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Stage = SendEngine::Stage;

class ScriptedFiles final : public CFileDialogs {
public:
    QStringList openAnswers;
    QStringList saveAnswers;
    QString openFile(QWidget*, const Request&) override {
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFile(QWidget*, const Request&) override {
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
};

class SendTest : public ::testing::Test {
protected:
    void SetUp() override {
        CMessageBox::setHandlerForTesting([this](QWidget*, const QString&, const QString& text,
                                                 CMessageBox::Icon, QMessageBox::StandardButtons) {
            boxes << text;
            return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
        });
    }
    void TearDown() override { CMessageBox::setHandlerForTesting(nullptr); }

    QString pictureFile(const QString& name = u"slide.qv1"_qs, int bytes = 30000) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray b(bytes, '\0');
        for (int i = 0; i < bytes; ++i) {
            b[i] = static_cast<char>(i * 31);
        }
        f.write(b);
        return path;
    }
    static CommandContext FastContext() {
        CommandContext c;
        c.timeouts.connectMs = 1000;
        c.timeouts.greetingMs = 500;
        c.timeouts.infoReplyMs = 2000;
        c.timeouts.putReplyWaits = 8;
        c.timeouts.putWaitStepMs = 1000;
        c.timeouts.sendMs = 4000;
        return c;
    }
    // A dialog handed the given emulators, as the command would hand them.
    std::unique_ptr<CImageSendDlg> dialog(const QList<ProjectorEmulator*>& emus, const QString& path,
                                          const char* password = "") {
        auto d = std::make_unique<CImageSendDlg>(0, nullptr);
        int n = 0;
        for (ProjectorEmulator* e : emus) {
            const QByteArray mac = "00-aa-00-00-00-" + QByteArray::number(m_macSeed + n++);
            d->DataAdd(u"P"_qs + QString::number(n), e->address(), e->config().authenticate ? 1 : 0, password,
                       mac.constData(), -1, -1);
        }
        d->m_imagePath = path;
        d->setPictureSize(100, 80);
        d->setCommandContext(FastContext());
        return d;
    }
    template <typename T> static T* child(QWidget& w, const char* name) {
        T* c = w.findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    static void click(QWidget& w, const char* name) {
        auto* b = child<QPushButton>(w, name);
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
    }
    // Both marks of a failed row: the icon, and a colour of its own.
    static bool failedMark(CImageSendDlg& d, int row) {
        const QTreeWidgetItem* item = child<QTreeWidget>(d, "projectorTable")->topLevelItem(row);
        if (item == nullptr) {
            return false;
        }
        const bool icon = !item->icon(2).isNull();
        const bool colour = item->data(2, Qt::ForegroundRole).isValid();
        EXPECT_EQ(icon, colour) << "row " << row << ": the icon and the colour go together";
        return icon && colour;
    }
    static int inStage(const CImageSendDlg& d, int rows, Stage stage) {
        int n = 0;
        for (int i = 0; i < rows; ++i) {
            const auto s = d.rowState(i);
            n += s && s->stage == stage ? 1 : 0;
        }
        return n;
    }

    ShippedCatalog m_catalog;
    QTemporaryDir m_dir;
    QStringList boxes;
    QList<QMessageBox::StandardButton> answers;
    Emulators m_emus{kWindowTestsFirstHost, kWindowTestsLastHost};
    int m_macSeed = 10;
};

} // namespace

TEST_F(SendTest, SendsInParallelWithRowProgressVerifiesAndRetriesOnlyTheFailedRows) {
    EmulatorConfig slow;
    slow.faults.storeDelayMs = 5000;
    EmulatorConfig busy;
    busy.faults.replyOverride = "PUT 3\r\n";
    ProjectorEmulator* quick = m_emus.add();
    ProjectorEmulator* slowOne = m_emus.add(slow);
    ProjectorEmulator* busyOne = m_emus.add(busy);
    const QString path = pictureFile();
    auto d = dialog({quick, slowOne, busyOne}, path);
    d->show();
    child<QComboBox>(*d, "storeList")->setCurrentIndex(2);
    EXPECT_TRUE(child<QCheckBox>(*d, "verifyCheck")->isChecked());
    click(*d, "sendButton");
    // The slow projector's row counts the seconds while the quick one is already done.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return d->rowState(1) && d->rowState(1)->stage == Stage::Verdict &&
                   d->rowState(1)->waitedMs >= 1000;
        },
        20000));
    EXPECT_EQ(d->rowText(1),
              CatalogText(msg::SendRowVerdict, {QString::number(d->rowState(1)->waitedMs / 1000), u"8"_qs}));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return d->rowState(0) && d->rowState(0)->stage == Stage::Verified; }, 20000));
    EXPECT_TRUE(d->isSending());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d->isSending(); }, 30000));
    EXPECT_EQ(d->rowText(0), CatalogText(msg::SendRowVerified));
    EXPECT_EQ(d->rowText(1), CatalogText(msg::SendRowVerified));
    EXPECT_EQ(d->rowText(2), CatalogText(msg::SendRowBusy));
    EXPECT_TRUE(failedMark(*d, 2));
    EXPECT_FALSE(failedMark(*d, 0));
    EXPECT_EQ(d->summaryText(), CatalogText(msg::SendSummary, {u"2"_qs, u"3"_qs, u"1"_qs, u"0"_qs}));
    EXPECT_TRUE(quick->stores().image(3).has_value());
    EXPECT_EQ(busyOne->connections(), 1) << "a refused upload is not checked";

    busyOne->setFaults({});
    const int quickConnections = quick->connections();
    click(*d, "retryFailedButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d->isSending(); }, 30000));
    EXPECT_EQ(d->rowText(2), CatalogText(msg::SendRowVerified));
    EXPECT_FALSE(failedMark(*d, 2)) << "a row that succeeded on retry is no longer marked";
    EXPECT_EQ(quick->connections(), quickConnections) << "a delivered row is not sent again";
    EXPECT_EQ(busyOne->stores().image(3)->name, "slide.qv1");
    EXPECT_EQ(d->summaryText(), CatalogText(msg::SendSummary, {u"3"_qs, u"3"_qs, u"0"_qs, u"0"_qs}));
    EXPECT_FALSE(child<QPushButton>(*d, "retryFailedButton")->isEnabled());
    EXPECT_TRUE(boxes.isEmpty());
}

// A password mended in the Projector List after a failed send is the one Retry uses.
TEST_F(SendTest, RetryTakesThePasswordFromTheListAsItIsNow) {
    EmulatorConfig locked;
    locked.authenticate = true;
    locked.password = "right-pw";
    ProjectorEmulator* e = m_emus.add(locked);
    ASSERT_NE(e, nullptr);
    ProjectorStore store(m_dir.filePath(u"T.INI"_qs));
    ProjectorRecord r;
    r.name = u"P1"_qs;
    r.address = Ipv4::toOctets(e->address());
    r.authMark = u"1"_qs;
    r.password = u"wrong-pw"_qs;
    ASSERT_TRUE(store.saveProjectors({r}).ok());
    auto d = dialog({e}, pictureFile(), "wrong-pw");
    d->setProjectorStore(&store);
    d->show();
    click(*d, "sendButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d->isSending(); }, 30000));
    ASSERT_TRUE(d->rowState(0).has_value());
    EXPECT_EQ(d->rowState(0)->stage, Stage::Failed);
    EXPECT_EQ(d->rowText(0), CatalogText(msg::SendRowWrongPassword));
    // The row's tooltip says what to check.
    const QTreeWidgetItem* row = child<QTreeWidget>(*d, "projectorTable")->topLevelItem(0);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->toolTip(2).contains(CatalogText(msg::ExplainWrongPassword, {u"-13"_qs})))
        << row->toolTip(2).toStdString();

    r.password = u"right-pw"_qs;
    ASSERT_TRUE(store.saveProjectors({r}).ok());
    click(*d, "retryFailedButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d->isSending(); }, 30000));
    EXPECT_EQ(d->rowText(0), CatalogText(msg::SendRowVerified));
    EXPECT_TRUE(e->stores().image(1).has_value());
}

// A projector nothing answers for: the row says what to check in words, in either language,
// and keeps the code for the tooltip.
TEST_F(SendTest, AFailedRowReadsAsWhatToCheckAndIsMarkedByIconAndColour) {
    ProjectorEmulator* gone = m_emus.add();
    ASSERT_NE(gone, nullptr);
    gone->stop();
    for (const bool chinese : {false, true}) {
        ShippedCatalog language(chinese ? ShippedCatalog::Which::SimplifiedChinese
                                        : ShippedCatalog::Which::Default,
                                chinese ? Catalog::kSimplifiedChinese : Catalog::kEnglish);
        auto d = dialog({gone}, pictureFile());
        d->show();
        click(*d, "sendButton");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d->isSending(); }, 30000));
        ASSERT_TRUE(d->rowState(0).has_value());
        ASSERT_EQ(d->rowState(0)->stage, Stage::Failed);
        EXPECT_EQ(d->rowText(0), CatalogText(msg::SendRowRefused));
        EXPECT_FALSE(d->rowText(0).contains(u"-102")) << d->rowText(0).toStdString();
        EXPECT_TRUE(failedMark(*d, 0));
        const QTreeWidgetItem* row = child<QTreeWidget>(*d, "projectorTable")->topLevelItem(0);
        EXPECT_TRUE(row->toolTip(2).contains(u"-102")) << row->toolTip(2).toStdString();
    }
}

TEST_F(SendTest, StopEndsTheSendWithinASecondAndStartsNothingMore) {
    // Two projectors take the file and never give their verdict; the others never greet, so
    // two of them hold both transfers and two wait their turn.
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    EmulatorConfig silentGreeter;
    silentGreeter.authenticate = true;
    silentGreeter.faults.neverGreet = true;
    QList<ProjectorEmulator*> emus;
    for (int i = 0; i < 6; ++i) {
        emus << m_emus.add(i < 2 ? mute : silentGreeter);
    }
    auto d = dialog(emus, pictureFile());
    CommandContext longWaits = FastContext();
    longWaits.timeouts.putReplyWaits = 300;
    longWaits.timeouts.putWaitStepMs = 1000;
    longWaits.timeouts.greetingMs = 300000;
    d->setCommandContext(longWaits);
    d->setMaxParallel(2);
    d->show();
    click(*d, "sendButton");
    auto connections = [&] {
        int n = 0;
        for (ProjectorEmulator* e : emus) {
            n += e->connections();
        }
        return n;
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return inStage(*d, 6, Stage::Verdict) == 2 && inStage(*d, 6, Stage::Connecting) == 2 &&
                   connections() == 4;
        },
        20000));
    QElapsedTimer clock;
    clock.start();
    click(*d, "stopButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d->isSending(); }, 20000));
    // One second is the goal; the bound here leaves room for a loaded machine.
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(inStage(*d, 6, Stage::Stopped), 6);
    EXPECT_EQ(d->rowText(5), CatalogText(msg::SendRowStopped));
    EXPECT_EQ(d->summaryText(), CatalogText(msg::SendSummary, {u"0"_qs, u"6"_qs, u"0"_qs, u"6"_qs}));
    EXPECT_EQ(connections(), 4);
}

TEST_F(SendTest, ClosingDuringASendAsksFirstThenStops) {
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    ProjectorEmulator* e = m_emus.add(mute);
    auto d = dialog({e}, pictureFile());
    CommandContext longWaits = FastContext();
    longWaits.timeouts.putReplyWaits = 300;
    longWaits.timeouts.putWaitStepMs = 1000;
    d->setCommandContext(longWaits);
    d->show();
    click(*d, "sendButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return inStage(*d, 1, Stage::Verdict) == 1; }, 20000));
    answers << QMessageBox::No;
    d->reject();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], CatalogText(msg::SendAskStopAndClose));
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(d->isSending());
    answers << QMessageBox::Yes;
    d->reject();
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(d->isSending());
    EXPECT_EQ(d->rowState(0)->stage, Stage::Stopped);
}

TEST_F(SendTest, AFileDeletedOrChangedAfterTheCheckIsNotSent) {
    ProjectorEmulator* e = m_emus.add();
    const QString path = pictureFile();
    auto d = dialog({e}, path);
    d->show();
    ASSERT_TRUE(QFile::remove(path));
    click(*d, "sendButton");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], CatalogText(msg::SendFileNotSendable, {u"1"_qs}));
    pictureFile(u"slide.qv1"_qs, 29000);
    click(*d, "sendButton");
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[1], CatalogText(msg::SendFileChanged));
    EXPECT_FALSE(d->isSending());
    EXPECT_EQ(e->connections(), 0);
}

TEST_F(SendTest, RemembersTheLastChoiceByMacAndAddressAndCanCheckOneAlone) {
    ProjectorEmulator* a = m_emus.add();
    ProjectorEmulator* b = m_emus.add();
    m_macSeed = 40;
    const QString path = pictureFile();
    {
        auto d = dialog({a, b}, path);
        d->show();
        auto* list = child<QTreeWidget>(*d, "projectorTable");
        EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Checked);
        EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Checked);
        click(*d, "selectNoneButton");
        EXPECT_FALSE(child<QPushButton>(*d, "sendButton")->isEnabled());
        click(*d, "selectAllButton");
        list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        d->reject();
    }
    {
        auto d = dialog({a, b}, path);
        d->show();
        auto* list = child<QTreeWidget>(*d, "projectorTable");
        EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
        EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Checked);
        EXPECT_EQ(list->topLevelItem(0)->text(1), Ipv4::toText(a->address()));
    }
    {
        auto d = dialog({a, b}, path);
        d->checkOnly(a->address());
        d->show();
        auto* list = child<QTreeWidget>(*d, "projectorTable");
        EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Checked);
        EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
    }
}

TEST_F(SendTest, RowsNameEachProjectorWithItsHiddenCharactersSpelledOut) {
    CImageSendDlg d(0, nullptr);
    quint32 host = 0x0A000600u;
    for (const HostileString& h : HostileStrings()) {
        d.DataAdd(h.text, ++host, 0, "", "", -1, -1);
    }
    d.m_imagePath = pictureFile();
    d.show();
    auto* list = child<QTreeWidget>(d, "projectorTable");
    ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(HostileStrings().size()));
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        const HostileString& h = HostileStrings()[static_cast<size_t>(row)];
        EXPECT_EQ(list->topLevelItem(row)->text(0), h.shown) << h.what;
    }
}

TEST_F(SendTest, DataAddCopiesWhatTheCallerRefills) {
    CImageSendDlg d(0, nullptr);
    char password[256] = "first";
    char mac[32] = "00-11-22-33-44-55";
    d.DataAdd(u"A"_qs, 0xC0A8000Au, 1, password, mac, -1, -1);
    std::strcpy(password, "second");
    std::strcpy(mac, "");
    d.DataAdd(u"B"_qs, 0x0A000001u, 0, password, mac, -1, -1);
    ASSERT_EQ(d.records().size(), 2);
    EXPECT_EQ(d.records()[0].password, "first");
    EXPECT_EQ(d.records()[0].mac, "00-11-22-33-44-55");
    EXPECT_EQ(d.records()[1].password, "second");
    EXPECT_EQ(d.records()[1].mac, "");
}

// The Send command in the main window.
class SendCommandTest : public SendTest {
protected:
    void SetUp() override {
        SendTest::SetUp();
        auto scripted = std::make_unique<ScriptedFiles>();
        files = scripted.get();
        CFileDialogs::setInstanceForTesting(std::move(scripted));
        frameState = std::make_unique<AppState>(m_dir.filePath(u"t.INI"_qs));
        frame = std::make_unique<CMainFrame>(*frameState);
        auto recent = std::make_unique<RecentFileList>(
            std::make_unique<QSettings>(m_dir.filePath(u"recent.ini"_qs), QSettings::IniFormat));
        view = frame->attachPictureView(std::move(recent));
        CPictureView::Dialogs dialogs;
        dialogs.resize = [this](const Picture&) { return nextResize; };
        dialogs.send = [this](CImageSendDlg& d) {
            handed = d.records();
            handedOnly = d.onlyAddress();
            handedPath = d.m_imagePath;
            handedFlag = d.m_closeWhenDone;
            ++shown;
        };
        view->setDialogs(dialogs);
        frame->show();
    }
    void TearDown() override {
        frame.reset();
        CFileDialogs::setInstanceForTesting(nullptr);
        SendTest::TearDown();
    }
    bool sendEnabled() {
        frame->updateCommandStates();
        return frame->action(Cmd::Send)->isEnabled();
    }
    // Runs a picture command and waits until its work off the interface thread has ended.
    void run(int id) {
        frame->action(id)->trigger();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->state().document().isBusy(); }, 20000));
    }
    // A picture opened and saved as a projector picture.
    QString openSavedQv1() {
        const QString png = m_dir.filePath(u"a.png"_qs);
        TestPictures::writePng(TestPictures::gradient(80, 60), png);
        files->openAnswers << png;
        run(Cmd::FileOpen);
        const QString qv1 = m_dir.filePath(u"a.qv1"_qs);
        files->saveAnswers << qv1;
        run(Cmd::FileSaveAs);
        return qv1;
    }
    static ProjectorRecord TestProjector(const QString& name, Ipv4::Octets address, const QString& mark,
                                         const QString& password, const QString& mac) {
        ProjectorRecord r;
        r.name = name;
        r.address = address;
        r.authMark = mark;
        r.password = password;
        r.mac = mac;
        return r;
    }

    ScriptedFiles* files = nullptr;
    std::unique_ptr<AppState> frameState; // outlives the frame
    std::unique_ptr<CMainFrame> frame;
    CPictureView* view = nullptr;
    CPictureView::ResizeChoice nextResize{CPictureView::kConfirmed, 40, 30, 0, 0, 0};
    QList<CImageSendDlg::Record> handed;
    QString handedPath;
    bool handedFlag = true;
    std::optional<quint32> handedOnly;
    int shown = 0;
};

TEST_F(SendCommandTest, HandsEveryRecordOverInListOrderWhateverItsMark) {
    ASSERT_TRUE(frame->SaveProjectorList(
        {TestProjector(u"Hall"_qs, {192, 168, 0, 10}, u"1"_qs, u"pw"_qs, u"00-1a-2b-3c-4d-5e"_qs),
         TestProjector(u"Foyer"_qs, {10, 0, 0, 7}, u"0"_qs, {}, {}),
         TestProjector(u"Stage"_qs, {172, 16, 1, 2}, {}, u"x"_qs, u"AA-BB-CC-DD-EE-FF"_qs)}));
    EXPECT_FALSE(sendEnabled()) << "no picture";
    const QString qv1 = openSavedQv1();
    ASSERT_TRUE(sendEnabled());
    frame->action(Cmd::Send)->trigger();
    ASSERT_EQ(shown, 1);
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(handedPath, qv1);
    EXPECT_FALSE(handedFlag);
    ASSERT_EQ(handed.size(), 3);
    EXPECT_EQ(handed[0].name, u"Hall");
    EXPECT_EQ(handed[0].address, 0xC0A8000Au) << "192 in the most significant byte, 10 in the least";
    EXPECT_EQ(handed[0].authenticate, 1);
    EXPECT_EQ(handed[0].password, "pw");
    EXPECT_EQ(handed[0].mac, "00-1a-2b-3c-4d-5e");
    EXPECT_EQ(handed[1].name, u"Foyer");
    EXPECT_EQ(handed[1].authenticate, 0);
    EXPECT_EQ(handed[1].password, "");
    EXPECT_EQ(handed[1].mac, "");
    EXPECT_EQ(handed[2].authenticate, 0);
    EXPECT_EQ(handed[2].password, "x");
    for (const auto& r : handed) {
        EXPECT_EQ(r.first, -1);
        EXPECT_EQ(r.second, -1);
    }
}

TEST_F(SendCommandTest, UnsavedEditsAreRefusedAndTooWideEditsDisableSend) {
    ASSERT_TRUE(frame->SaveProjectorList({TestProjector(u"Hall"_qs, {10, 0, 0, 7}, u"0"_qs, {}, {})}));
    openSavedQv1();
    ASSERT_TRUE(sendEnabled());
    run(Cmd::Resize); // 40 x 30: inside the limits, but unsaved
    ASSERT_TRUE(sendEnabled());
    frame->action(Cmd::Send)->trigger();
    EXPECT_EQ(shown, 0);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], CatalogText(msg::SendUnsavedImage));
    nextResize = {CPictureView::kConfirmed, 1100, 60, 0, 0, 0};
    run(Cmd::Resize);
    EXPECT_EQ(frame->state().document().width(), 1100u);
    EXPECT_FALSE(sendEnabled()) << "the shown picture is wider than 1024 pixels";
}

TEST_F(SendCommandTest, ARunningScheduleRefusesButOneThatIsStoppingDoesNot) {
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    ProjectorEmulator* e = m_emus.add(mute);
    ASSERT_TRUE(frame->SaveProjectorList({TestProjector(u"Hall"_qs, {10, 0, 0, 7}, u"0"_qs, {}, {})}));
    const QString qv1 = openSavedQv1();
    ScheduleTable table;
    table.entries[0].address = Ipv4::toOctets(e->address());
    ScheduleEntry::setField(table.entries[0].imageFile, qv1.toUtf8());
    table.entries[0].saveId = 1;
    table.entries[0].interval = 1;
    frame->state().schedule().setTable(table);
    frame->state().schedule().setCount(1);
    ASSERT_TRUE(frame->state().schedule().start());
    // The worker sits in its upload: the projector never gives its verdict.
    ASSERT_TRUE(QTest::qWaitFor([&] { return e->connections() == 1; }, 20000));
    frame->action(Cmd::Send)->trigger();
    EXPECT_EQ(shown, 0);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], CatalogText(msg::SendScheduleRunning));

    std::thread stopper([this] { frame->state().schedule().runner().stop(); });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return frame->state().schedule().runner().stopRequest() == ScheduleRunner::StopRequested ||
                   !frame->state().schedule().isRunning();
        },
        20000));
    frame->action(Cmd::Send)->trigger();
    EXPECT_EQ(shown, 1) << "a stopping schedule does not hold Send back";
    EXPECT_EQ(boxes.size(), 1);
    e->stop(); // ends the upload, so the worker ends
    stopper.join();
    EXPECT_FALSE(frame->state().schedule().isRunning());
}

TEST_F(SendCommandTest, SendFromAProjectorsRowChecksThatProjectorAlone) {
    ASSERT_TRUE(frame->SaveProjectorList({TestProjector(u"Hall"_qs, {10, 0, 0, 7}, u"0"_qs, {}, {}),
                                          TestProjector(u"Foyer"_qs, {10, 0, 0, 8}, u"0"_qs, {}, {})}));
    openSavedQv1();
    frame->RunProjectorCommand(Cmd::Send, 0x0A000008u);
    ASSERT_EQ(shown, 1);
    EXPECT_EQ(handed.size(), 2) << "every record is still handed over";
    EXPECT_EQ(handedOnly, std::optional<quint32>(0x0A000008u));
    EXPECT_EQ(frame->state().projectors().currentProjector(), 0x0A000008u);
    // The plain command afterwards checks as before.
    frame->action(Cmd::Send)->trigger();
    ASSERT_EQ(shown, 2);
    EXPECT_FALSE(handedOnly.has_value());
}

// A failed row points at the Projector List, which Send would otherwise keep out of reach.
TEST_F(SendCommandTest, SendOpensTheProjectorListItsFailedRowsPointTo) {
    ASSERT_TRUE(frame->SaveProjectorList({TestProjector(u"Hall"_qs, {127, 0, 0, 9}, u"0"_qs, {}, {})}));
    openSavedQv1();
    bool listShown = false;
    CPictureView::Dialogs dialogs;
    dialogs.send = [&listShown](CImageSendDlg& d) {
        auto* open = d.findChild<QPushButton*>(u"projectorListButton"_qs);
        ASSERT_NE(open, nullptr);
        EXPECT_TRUE(open->isVisibleTo(&d));
        EXPECT_EQ(open->accessibleName(), CatalogText(msg::MenuProjectorList).remove(u'&'));
        WhenModal<CProjectorListDlg>([&listShown](CProjectorListDlg& list) {
            listShown = true;
            list.reject();
        });
        open->click();
    };
    view->setDialogs(dialogs);
    frame->action(Cmd::Send)->trigger();
    EXPECT_TRUE(listShown);

    CImageSendDlg alone; // without a window to open it in, there is no button
    EXPECT_FALSE(alone.findChild<QPushButton*>(u"projectorListButton"_qs)->isVisibleTo(&alone));
}
