#include "app/AppState.h"
#include "app/CMainFrame.h"
#include "app/CommandIds.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/ImageInfoQuery.h"
#include "registry/CDiscoveryDlg.h"
#include "registry/CPasswordPromptDlg.h"
#include "support/CatalogFixture.h"

#include "ProjectorEmulator.h"
#include "support/DialogDriver.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QNetworkInterface>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

// The Discovery dialog against emulators that answer real searches. Multicast goes out only
// inside the private network namespace that tests/scripts/discovery_netns.sh makes.
namespace {

bool insidePrivateNamespace() {
    if (qgetenv("TESSAVEL_NETNS") != "1") {
        return false;
    }
    const auto interfaces = QNetworkInterface::allInterfaces();
    return interfaces.size() == 1 && interfaces.first().name() == u"lo";
}

class DiscoveryDialogNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!insidePrivateNamespace()) {
            GTEST_SKIP() << "only inside the test's own network namespace";
        }
        const DiscoveryDatagram::Mac macs[] = {{0x00, 0x11, 0x22, 0x33, 0x44, 0x01},
                                               {0x00, 0x11, 0x22, 0x33, 0x44, 0x02},
                                               {0x00, 0x11, 0x22, 0x33, 0x44, 0x03}};
        for (int i = 0; i < 3; ++i) {
            EmulatorConfig c;
            c.address = 0x7F000002u + static_cast<quint32>(i);
            c.discovery = true;
            c.discoveryInterface = 0x7F000001u;
            c.name = "Room " + QByteArray::number(i + 1);
            c.mac = macs[i];
            // Room 1 demands a password; the others answer without one.
            c.authenticate = i == 0;
            c.password = i == 0 ? QByteArray("room-pw") : QByteArray();
            auto e = std::make_unique<ProjectorEmulator>(c);
            ASSERT_TRUE(e->start());
            m_emus.push_back(std::move(e));
        }
    }

    // Starts a search and waits until its rows are there.
    static void search(CDiscoveryDlg& d) {
        EXPECT_EQ(Child<QComboBox>(d, "localAddressList")->currentText(), u"127.0.0.1");
        Click(d, "startButton");
        EXPECT_TRUE(d.isSearching());
        EXPECT_EQ(Child<QLabel>(d, "statusLabel")->text(), CatalogText(msg::StatusSearching));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.isSearching(); }, 30000));
        EXPECT_EQ(Child<QLabel>(d, "statusLabel")->text(), CatalogText(msg::StatusSearchDone));
    }

    static int rowOf(QTableWidget* t, const QString& name) {
        for (int r = 0; r < t->rowCount(); ++r) {
            if (t->item(r, 0)->text() == name) {
                return r;
            }
        }
        return -1;
    }

    ProjectorList existing() const {
        ProjectorRecord old;
        old.name = u"Old"_qs;
        old.mac = u"aa-bb-cc-dd-ee-ff"_qs;
        old.address = Ipv4::toOctets(0x7F000003u); // Room 2's address
        old.authMark = u"0"_qs;
        old.password = u"kept?"_qs;
        ProjectorRecord known;
        known.name = u"Known"_qs;
        known.mac = u"00-11-22-33-44-03"_qs; // Room 3 under a record elsewhere
        known.address = Ipv4::toOctets(0x0A000009u);
        known.authMark = u"0"_qs;
        return {old, known};
    }

    void registerAll(QMessageBox::StandardButton answerForTakenAddress) {
        AppState frameState(m_dir.filePath(u"T.INI"_qs));
        CMainFrame frame(frameState);
        ASSERT_TRUE(frame.SaveProjectorList(existing()));
        MessageBoxRecorder boxes;
        boxes.answer(answerForTakenAddress);
        CDiscoveryDlg d(frame.projectorStore(),
                        [&frame](const ProjectorList& l) { return frame.SaveProjectorList(l); });
        QStringList asked; // the projectors the password prompt named
        const int result = ExecWith(d, [&] {
            search(d);
            QTableWidget* t = d.list();
            ASSERT_EQ(t->rowCount(), 3);
            const int r1 = rowOf(t, u"Room 1"_qs), r2 = rowOf(t, u"Room 2"_qs), r3 = rowOf(t, u"Room 3"_qs);
            ASSERT_TRUE(r1 >= 0 && r2 >= 0 && r3 >= 0);
            EXPECT_EQ(t->item(r2, 1)->text(), u"00-11-22-33-44-02");
            EXPECT_EQ(t->item(r2, 2)->text(), u"127.0.0.3");
            EXPECT_EQ(t->item(r1, 3)->text(), CatalogText(msg::DiscoveryRowNew));
            EXPECT_EQ(t->item(r2, 3)->text(), CatalogText(msg::DiscoveryRowAddressTaken, {u"Old"_qs}));
            EXPECT_EQ(t->item(r3, 3)->text(), CatalogText(msg::DiscoveryRowInList));
            EXPECT_FALSE(Child<QPushButton>(d, "registerButton")->isEnabled());
            t->selectAll();
            EXPECT_TRUE(Child<QPushButton>(d, "registerButton")->isEnabled());
            answerPasswordPrompt(u"room-pw"_qs, &asked);
            Click(d, "registerButton");
            EXPECT_TRUE(d.isProbing()) << "the projectors are asked off the interface thread";
            EXPECT_TRUE(Child<QPushButton>(d, "stopButton")->isVisible());
        });
        EXPECT_EQ(result, QDialog::Rejected) << "Register closes as Cancel does";
        // One prompt, for the one projector that sent a challenge.
        ASSERT_EQ(asked.size(), 1);
        EXPECT_TRUE(asked[0].contains(u"Room 1")) << asked[0].toStdString();
        EXPECT_FALSE(asked[0].contains(u"Room 2"));
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].text,
                  CatalogText(msg::AskOverwriteProjector, {u"127"_qs, u"0"_qs, u"0"_qs, u"3"_qs}));
        EXPECT_EQ(boxes.shown()[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);

        const ProjectorList list = frame.GetProjectorList();
        ASSERT_EQ(list.size(), 4);
        if (answerForTakenAddress == QMessageBox::Ok) {
            EXPECT_EQ(list[0].name, u"Room 2") << "the record keeps its place";
            EXPECT_EQ(list[0].mac, u"00-11-22-33-44-02");
            EXPECT_EQ(list[0].authMark, u"0") << "Room 2 sends no challenge";
            EXPECT_EQ(list[0].password, QString());
        } else {
            EXPECT_EQ(list[0], existing()[0]);
        }
        EXPECT_EQ(list[1], existing()[1]);
        QStringList appended{list[2].name, list[3].name};
        appended.sort();
        EXPECT_EQ(appended, (QStringList{u"Room 1"_qs, u"Room 3"_qs}));
        const ProjectorRecord& room1 = list[2].name == u"Room 1" ? list[2] : list[3];
        const ProjectorRecord& room3 = list[2].name == u"Room 1" ? list[3] : list[2];
        EXPECT_EQ(room1.authMark, u"1") << "Room 1 sent a challenge";
        EXPECT_EQ(room1.password, u"room-pw");
        EXPECT_EQ(room3.authMark, u"0") << "Room 3 sent none";
        EXPECT_EQ(room3.password, QString());
        // Each stored record works: a command to it gets through.
        CommandContext ctx;
        ctx.timeouts.infoReplyMs = 20000;
        for (const ProjectorRecord& r : {room1, room3}) {
            const RunReport info =
                QueryImageInfo(1, CommandTarget{r.hostAddress(), r.authMark.toInt(), r.password}, ctx);
            EXPECT_GE(info.result, 0) << r.name.toStdString() << ": " << info.message().toStdString();
        }
        // What the frame holds is what the file holds.
        ProjectorStore reread(frame.projectorStore().iniPath());
        ASSERT_TRUE(reread.load().ok());
        EXPECT_EQ(reread.projectors(), list);
    }

    // Answers the password prompt that Register shows, with password, noting what it asked.
    static void answerPasswordPrompt(const QString& password, QStringList* asked = nullptr) {
        WhenModal<CPasswordPromptDlg>([password, asked](CPasswordPromptDlg& p) {
            if (asked != nullptr) {
                *asked << Child<QLabel>(p, "promptText")->text();
            }
            Type(p, "passwordEdit", password);
            Click(p, "okButton");
        });
    }

    ShippedCatalog m_catalog;
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<ProjectorEmulator>> m_emus;
};

} // namespace

TEST_F(DiscoveryDialogNetns, RegisterOverwritesTheRecordAtTheSameAddressOnOk) {
    registerAll(QMessageBox::Ok);
}

TEST_F(DiscoveryDialogNetns, RegisterSkipsTheDeviceAtATakenAddressOnCancel) {
    registerAll(QMessageBox::Cancel);
}

TEST_F(DiscoveryDialogNetns, ClosingDuringASearchEndsItAndFreesTheAnswerPort) {
    AppState frameState(m_dir.filePath(u"T.INI"_qs));
    CMainFrame frame(frameState);
    CDiscoveryDlg d(frame.projectorStore(),
                    [&frame](const ProjectorList& l) { return frame.SaveProjectorList(l); });
    QElapsedTimer closing;
    ExecWith(d, [&] {
        Click(d, "startButton");
        EXPECT_TRUE(d.isSearching());
        closing.start();
        Click(d, "cancelButton");
    });
    EXPECT_FALSE(d.isSearching());
    // A whole search takes five seconds at least; the figure is for the report, not a bound.
    std::printf("closing during a search took %lld ms\n", static_cast<long long>(closing.elapsed()));
    QUdpSocket answers;
    EXPECT_TRUE(answers.bind(QHostAddress::AnyIPv4, 4001)) << "the answer socket is closed";
}

TEST_F(DiscoveryDialogNetns, RegisterIntoAFullListNamesHowManyWereLeftOut) {
    AppState frameState(m_dir.filePath(u"T.INI"_qs));
    CMainFrame frame(frameState);
    ProjectorList full;
    for (int i = 0; i < kMaxProjectors; ++i) {
        ProjectorRecord r;
        r.name = u"P%1"_qs.arg(i);
        r.address = Ipv4::toOctets(0x0A010000u + static_cast<quint32>(i) + 1);
        r.authMark = u"0"_qs;
        full << r;
    }
    ASSERT_TRUE(frame.SaveProjectorList(full));
    MessageBoxRecorder boxes;
    CDiscoveryDlg d(frame.projectorStore(),
                    [&frame](const ProjectorList& l) { return frame.SaveProjectorList(l); });
    ExecWith(d, [&] {
        search(d);
        ASSERT_EQ(d.list()->rowCount(), 3);
        d.list()->selectAll();
        answerPasswordPrompt(u"room-pw"_qs);
        Click(d, "registerButton");
    });
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, CatalogText(msg::RegisterListFull, {u"3"_qs}));
    EXPECT_EQ(frame.GetProjectorList(), full);
}

TEST_F(DiscoveryDialogNetns, RightClickCommandsGoToTheMainWindowWithTheRowAsCurrentProjector) {
    AppState frameState(m_dir.filePath(u"T.INI"_qs));
    CMainFrame frame(frameState);
    QList<std::pair<int, quint32>> ran; // command and the current projector when it ran
    for (int id : {Cmd::Send, Cmd::ImageInformation, Cmd::TransmissionState}) {
        frame.setCommandHandler(
            id, [&ran, &frame, id] { ran << std::pair(id, frame.state().projectors().currentProjector()); },
            [] { return true; });
    }
    CDiscoveryDlg d(frame.projectorStore(),
                    [&frame](const ProjectorList& l) { return frame.SaveProjectorList(l); });
    QObject::connect(&d, &CDiscoveryDlg::projectorCommandRequested, &frame, &CMainFrame::RunProjectorCommand);
    ExecWith(d, [&] {
        search(d);
        const int room2 = rowOf(d.list(), u"Room 2"_qs);
        const int room3 = rowOf(d.list(), u"Room 3"_qs);
        ASSERT_TRUE(room2 >= 0 && room3 >= 0);
        d.list()->setCurrentCell(room2, 0);
        d.contextMenu()->findChild<QAction*>(Cmd::actionName(Cmd::ImageInformation))->trigger();
        d.list()->setCurrentCell(room3, 0);
        d.contextMenu()->findChild<QAction*>(Cmd::actionName(Cmd::TransmissionState))->trigger();
        d.contextMenu()->findChild<QAction*>(Cmd::actionName(Cmd::Send))->trigger();
        Click(d, "cancelButton");
    });
    EXPECT_EQ(ran, (QList<std::pair<int, quint32>>{{Cmd::ImageInformation, 0x7F000003u},
                                                   {Cmd::TransmissionState, 0x7F000004u},
                                                   {Cmd::Send, 0x7F000004u}}));
}

// The list is refilled when the search ends and emptied when another starts, also while the
// right-click menu is open: its command still goes to the device it was opened on, and the
// rows the user chose stay chosen.
TEST_F(DiscoveryDialogNetns, TheMenuActsOnItsOwnDeviceAndTheChosenRowsSurviveARefill) {
    AppState frameState(m_dir.filePath(u"T.INI"_qs));
    CMainFrame frame(frameState);
    QList<std::pair<int, quint32>> ran; // command and the current projector when it ran
    for (int id : {Cmd::ImageInformation, Cmd::TransmissionState}) {
        frame.setCommandHandler(
            id, [&ran, &frame, id] { ran << std::pair(id, frame.state().projectors().currentProjector()); },
            [] { return true; });
    }
    CDiscoveryDlg d(frame.projectorStore(),
                    [&frame](const ProjectorList& l) { return frame.SaveProjectorList(l); });
    QObject::connect(&d, &CDiscoveryDlg::projectorCommandRequested, &frame, &CMainFrame::RunProjectorCommand);
    auto rightClick = [&d](int row) {
        const QPoint at = d.list()->visualItemRect(d.list()->item(row, 0)).center();
        Q_EMIT d.list()->customContextMenuRequested(at);
        ASSERT_TRUE(QTest::qWaitFor([&d] { return d.contextMenu()->isVisible(); }, 20000));
    };
    ExecWith(d, [&] {
        Click(d, "startButton");
        // The answers come at once; the search goes on for its quiet waits, then refills.
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.list()->rowCount() == 3 && d.isSearching(); }, 30000));
        d.list()->selectRow(rowOf(d.list(), u"Room 3"_qs));
        rightClick(rowOf(d.list(), u"Room 2"_qs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.isSearching(); }, 30000));
        const QModelIndexList chosen = d.list()->selectionModel()->selectedRows();
        ASSERT_EQ(chosen.size(), 1);
        EXPECT_EQ(chosen[0].row(), rowOf(d.list(), u"Room 3"_qs));
        d.contextMenu()->findChild<QAction*>(Cmd::actionName(Cmd::ImageInformation))->trigger();
        d.contextMenu()->close();

        // A new search empties the list under the open menu.
        rightClick(rowOf(d.list(), u"Room 3"_qs));
        Click(d, "startButton");
        d.contextMenu()->findChild<QAction*>(Cmd::actionName(Cmd::TransmissionState))->trigger();
        d.contextMenu()->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.isSearching(); }, 30000));
        Click(d, "cancelButton");
    });
    EXPECT_EQ(ran, (QList<std::pair<int, quint32>>{{Cmd::ImageInformation, 0x7F000003u},
                                                   {Cmd::TransmissionState, 0x7F000004u}}));
}

TEST_F(DiscoveryDialogNetns, RowsAppearAsAnswersArriveAndTheQuietWaitsAreCounted) {
    AppState frameState(m_dir.filePath(u"T.INI"_qs));
    CMainFrame frame(frameState);
    CDiscoveryDlg d(frame.projectorStore(),
                    [&frame](const ProjectorList& l) { return frame.SaveProjectorList(l); });
    ExecWith(d, [&] {
        auto* progress = Child<QProgressBar>(d, "progressBar");
        Click(d, "startButton");
        // The answers come at once; the search itself goes on for five quiet seconds.
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.list()->rowCount() == 3 && d.isSearching(); }, 30000));
        EXPECT_EQ(progress->maximum(), 5);
        ASSERT_TRUE(QTest::qWaitFor([&] { return progress->value() >= 1 && d.isSearching(); }, 30000));
        EXPECT_EQ(Child<QLabel>(d, "statusLabel")->text().isEmpty(), false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.isSearching(); }, 30000));
        EXPECT_EQ(progress->value(), progress->maximum());
        EXPECT_EQ(d.list()->rowCount(), 3);
        EXPECT_EQ(Child<QLabel>(d, "statusLabel")->text(), CatalogText(msg::StatusSearchDone));
        d.reject();
    });
}

TEST_F(DiscoveryDialogNetns, ANameThatHidesTextIsShownAndRegisteredOnlyWithoutItsTricks) {
    EmulatorConfig c;
    c.address = 0x7F000005u;
    c.discovery = true;
    c.discoveryInterface = 0x7F000001u;
    c.name = QStringLiteral("<i>Hall</i>\u202Egnp.exe").toUtf8();
    c.mac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x05};
    auto trick = std::make_unique<ProjectorEmulator>(c);
    ASSERT_TRUE(trick->start());
    const QString shown = u"<i>Hall</i>\\u202Egnp.exe"_qs;
    const QString cleaned = u"<i>Hall</i>gnp.exe"_qs;

    AppState frameState(m_dir.filePath(u"T.INI"_qs));
    CMainFrame frame(frameState);
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        MessageBoxRecorder boxes;
        boxes.answer(answer);
        CDiscoveryDlg d(frame.projectorStore(),
                        [&frame](const ProjectorList& l) { return frame.SaveProjectorList(l); });
        ExecWith(d, [&] {
            search(d);
            const int row = rowOf(d.list(), shown);
            ASSERT_GE(row, 0) << "the row spells out the override";
            d.list()->selectRow(row);
            Click(d, "registerButton");
        });
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].text,
                  CatalogText(msg::AskRegisterCleanedName, {u"127.0.0.5"_qs, shown, cleaned}));
        EXPECT_EQ(boxes.shown()[0].buttons, QMessageBox::Yes | QMessageBox::No);
        const ProjectorList list = frame.GetProjectorList();
        if (answer == QMessageBox::No) {
            EXPECT_TRUE(list.isEmpty());
        } else {
            ASSERT_EQ(list.size(), 1);
            EXPECT_EQ(list[0].name, cleaned);
            EXPECT_EQ(list[0].address, (Ipv4::Octets{127, 0, 0, 5}));
        }
    }
}

TEST_F(DiscoveryDialogNetns, StopEndsTheQuestionToTheProjectorsAndRegistersNothing) {
    // A projector that neither greets nor gives up on a silent connection.
    EmulatorConfig patient;
    patient.address = 0x7F000005u;
    patient.discovery = true;
    patient.discoveryInterface = 0x7F000001u;
    patient.name = "Room 4";
    patient.mac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x04};
    patient.commandReadTimeoutMs = 600000;
    m_emus.push_back(std::make_unique<ProjectorEmulator>(patient));
    ASSERT_TRUE(m_emus.back()->start());
    AppState frameState(m_dir.filePath(u"T.INI"_qs));
    CMainFrame frame(frameState);
    CDiscoveryDlg d(frame.projectorStore(),
                    [&frame](const ProjectorList& l) { return frame.SaveProjectorList(l); });
    // A greeting wait far longer than the test: only Stop ends it.
    CommandTimeouts slow;
    slow.greetingMs = 600000;
    d.setProbeTimeouts(slow);
    ExecWith(d, [&] {
        search(d);
        const int room4 = rowOf(d.list(), u"Room 4"_qs);
        ASSERT_GE(room4, 0);
        d.list()->selectRow(room4);
        Click(d, "registerButton");
        ASSERT_TRUE(d.isProbing());
        auto* progress = Child<QProgressBar>(d, "progressBar");
        EXPECT_EQ(progress->maximum(), 1);
        EXPECT_EQ(Child<QLabel>(d, "statusLabel")->text(),
                  CatalogText(msg::RegisterProbing, {u"0"_qs, u"1"_qs}));
        Click(d, "stopButton");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.isProbing(); }, 20000));
        EXPECT_EQ(Child<QLabel>(d, "statusLabel")->text(), CatalogText(msg::RegisterStopped));
        EXPECT_TRUE(d.isVisible()) << "the dialog stays for another try";
        EXPECT_TRUE(Child<QPushButton>(d, "registerButton")->isEnabled());
        d.reject();
    });
    EXPECT_TRUE(frame.GetProjectorList().isEmpty());
}
