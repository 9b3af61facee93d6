#include "app/CMessageBox.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CCancelDlg.h"
#include "protocol/CGetWaitDlg.h"
#include "protocol/CImageInfoDlg.h"
#include "protocol/CStoreListDlg.h"
#include "protocol/CTransStateDlg.h"
#include "protocol/CommandObserver.h"
#include "registry/CProjectorTable.h"
#include "registry/CSettingDlg.h"
#include "registry/ProjectorStore.h"
#include "support/CatalogFixture.h"
#include "support/HostileStrings.h"
#include "support/RecordingObserver.h"

#include "support/DialogDriver.h"
#include "support/Emulators.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace {

// Far beyond what a stop takes on a loaded machine, far below the waits it cuts short.
constexpr int kEndLimitMs = 20000;

QStringList octets(quint32 host) {
    return {QString::number(host >> 24), QString::number((host >> 16) & 0xFF),
            QString::number((host >> 8) & 0xFF), QString::number(host & 0xFF)};
}

class CommandDialogs : public ::testing::Test {
protected:
    // The protocol's own waits: a projector that never answers holds each command 30 s.
    static CommandContext protocolWaits() { return CommandContext{}; }
    // Starts a run the way given and waits until the dialog says it is over.
    static bool runToEnd(CStoreCommandDlg& dlg, const std::function<void()>& start) {
        bool ended = false;
        const auto c = QObject::connect(&dlg, &CStoreCommandDlg::runFinished, [&ended] { ended = true; });
        start();
        const bool ok = QTest::qWaitFor([&ended] { return ended; }, 30000);
        QObject::disconnect(c);
        return ok;
    }
    static bool getToEnd(CStoreCommandDlg& dlg, const char* button) {
        return runToEnd(dlg, [&dlg, button] {
            QTest::mouseClick(dlg.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
        });
    }
    bool saveList(const ProjectorList& list) { return m_store.saveProjectors(list).ok(); }
    template <typename T> static T* child(QWidget& dlg, const QString& name) {
        T* w = dlg.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    static void selectRows(CProjectorTable* table, const QList<int>& rows) {
        table->clearSelection();
        for (int r : rows) {
            table->selectionModel()->select(table->model()->index(r, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    ShippedCatalog m_catalog;
    QTemporaryDir m_dir;
    QString m_ini = m_dir.filePath(u"Tessavel.INI"_qs);
    // No main window anywhere here: the dialogs take the store and the observer alone.
    ProjectorStore m_store{m_ini};
    Emulators m_emus{kWindowTestsFirstHost, kWindowTestsLastHost};
};

} // namespace

TEST_F(CommandDialogs, ProjectorListShowsTheStoresRecordsInThreeColumns) {
    ASSERT_TRUE(saveList({TestProjector(u"Hall"_qs, 0x0A000105u), TestProjector(u"Foyer"_qs, 0xC0A80A14u)}));
    CImageInfoDlg dlg(m_store, nullptr);
    auto* table = child<CProjectorTable>(dlg, u"projectorTable"_qs);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columnCount(), 3);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), CatalogText(11, 41));
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), CatalogText(9, 300));
    EXPECT_EQ(table->horizontalHeaderItem(2)->text(), CatalogText(11, 34));
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 0)->text(), u"Hall");
    EXPECT_EQ(table->item(0, 1)->text(), u"00-1a-2b-3c-4d-5e");
    EXPECT_EQ(table->item(0, 2)->text(), u"10.0.1.5");
    EXPECT_EQ(table->item(1, 0)->text(), u"Foyer");
    EXPECT_EQ(table->item(1, 2)->text(), u"192.168.10.20");
    EXPECT_EQ(table->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(table->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(table->showGrid());

    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const int w = table->viewport()->width();
    EXPECT_EQ(table->columnWidth(0), w / 16 * 7);
    EXPECT_EQ(table->columnWidth(1), w / 16 * 5);
    EXPECT_EQ(table->columnWidth(2), w / 16 * 4);

    auto* status = child<QLabel>(dlg, u"statusLabel"_qs);
    status->setText(u"before"_qs);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(1, 0)).center());
    EXPECT_EQ(status->text(), QString(43, u' '));
    EXPECT_EQ(child<QLabel>(dlg, u"statusLabel"_qs)->text().size(), 43);

    auto* store = child<QComboBox>(dlg, u"storeList"_qs);
    ASSERT_EQ(store->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(store->itemText(i), QString::number(i + 1));
    }
    EXPECT_EQ(store->currentIndex(), 0);
    EXPECT_FALSE(child<QPushButton>(dlg, u"stopButton"_qs)->isEnabled()) << "nothing to stop yet";
}

TEST_F(CommandDialogs, GetShowsOneBoxPerSelectedRowInOrder) {
    ProjectorEmulator* open = m_emus.add();
    EmulatorConfig locked;
    locked.authenticate = true;
    locked.password = "pw";
    ProjectorEmulator* guarded = m_emus.add(locked);
    ProjectorEmulator* unselected = m_emus.add();
    ASSERT_TRUE(open && guarded && unselected);
    const QByteArray image(1234, 'x');
    ASSERT_TRUE(guarded->stores().begin(2));
    guarded->stores().finish(2, "pic.qv1", image);

    ASSERT_TRUE(saveList({TestProjector(u"Open"_qs, open->address()),
                          TestProjector(u"Guarded"_qs, guarded->address(), u"pw"_qs),
                          TestProjector(u"Other"_qs, unselected->address())}));
    RecordingObserver history;
    CImageInfoDlg dlg(m_store, &history, nullptr, FastContext());
    MessageBoxRecorder answered;
    answered.noteStatusOf(child<QLabel>(dlg, u"statusLabel"_qs));
    child<QComboBox>(dlg, u"storeList"_qs)->setCurrentIndex(1);
    selectRows(dlg.projectorTable(), {1, 0});
    ASSERT_TRUE(getToEnd(dlg, "getButton"));

    ASSERT_EQ(answered.texts().size(), 2);
    EXPECT_EQ(answered.shown()[0].text, CatalogText(msg::StoreEmpty));
    EXPECT_EQ(answered.shown()[0].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(answered.shown()[0].statusAtBox, CatalogText(msg::StatusInfoRunning, octets(open->address())));
    EXPECT_EQ(answered.shown()[1].text,
              u"File-Name:pic.qv1\r\nFile-Length:1234"_qs + CatalogText(msg::LengthUnit));
    EXPECT_EQ(answered.shown()[1].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(answered.shown()[1].statusAtBox,
              CatalogText(msg::StatusInfoRunning, octets(guarded->address())));
    EXPECT_EQ(answered.statusLabel()->text(), CatalogText(msg::StatusInfoDone, octets(guarded->address())));
    EXPECT_EQ(m_store.currentProjector(), guarded->address());
    EXPECT_TRUE(child<QPushButton>(dlg, u"getButton"_qs)->isEnabled());
    // Each command reaches the observer the dialog was given, in the order they ran.
    const QList<CommandEvent> events = history.events();
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].address, open->address());
    EXPECT_EQ(events[1].address, guarded->address());
    for (const CommandEvent& ev : events) {
        EXPECT_EQ(ev.command, u"INFO");
        EXPECT_EQ(ev.storeNumber, 2);
        EXPECT_TRUE(ev.ok);
    }

    // A session is noted once the emulator has ended it, which may be after the client.
    ASSERT_TRUE(guarded->waitForServed(1, 20000));
    ASSERT_TRUE(open->waitForServed(1, 20000));
    const QList<EmulatorRequest> got = guarded->requests();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].command, "INFO 2");
    EXPECT_TRUE(got[0].prefixOk) << "the record's password answers the challenge";
    ASSERT_EQ(open->requests().size(), 1);
    EXPECT_EQ(open->requests()[0].command, "INFO 2");
    EXPECT_EQ(unselected->connections(), 0);
}

TEST_F(CommandDialogs, WithoutSelectionNothingHappens) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(saveList({TestProjector(u"One"_qs, e->address())}));
    m_store.setCurrentProjector(0x01020304u);
    MessageBoxRecorder answered;
    CImageInfoDlg info(m_store, nullptr, nullptr, FastContext());
    CTransStateDlg state(m_store, nullptr, nullptr, FastContext());
    CCancelDlg cancel(m_store, nullptr, nullptr, FastContext());
    QTest::mouseClick(child<QPushButton>(info, u"getButton"_qs), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(state, u"getButton"_qs), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(cancel, u"executeButton"_qs), Qt::LeftButton);
    EXPECT_FALSE(info.isRunning() || state.isRunning() || cancel.isRunning());
    EXPECT_TRUE(answered.texts().isEmpty());
    EXPECT_EQ(e->connections(), 0);
    EXPECT_EQ(m_store.currentProjector(), 0x01020304u);
    EXPECT_TRUE(child<QLabel>(info, u"statusLabel"_qs)->text().isEmpty());
}

TEST_F(CommandDialogs, ProjectorThatDoesNotAnswerGivesItsTimeOutText) {
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    ProjectorEmulator* e = m_emus.add(mute);
    ASSERT_TRUE(e);
    // Outside the range the tests take emulator addresses from, so nothing listens there
    // even while other tests run at the same time.
    const quint32 goneAddress = 0x7F0000FBu; // 127.0.0.251
    ASSERT_TRUE(saveList({TestProjector(u"Mute"_qs, e->address()), TestProjector(u"Gone"_qs, goneAddress)}));
    MessageBoxRecorder answered;

    CImageInfoDlg info(m_store, nullptr, nullptr, FastContext());
    selectRows(info.projectorTable(), {0});
    ASSERT_TRUE(runToEnd(info, [&info] { info.runSelected(); }));
    ASSERT_EQ(answered.texts().size(), 1);
    EXPECT_EQ(answered.shown()[0].text, CatalogText(msg::ReplyTimeout));
    EXPECT_EQ(answered.shown()[0].icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(child<QLabel>(info, u"statusLabel"_qs)->text(),
              CatalogText(msg::StatusInfoFailed, octets(e->address())));

    CTransStateDlg state(m_store, nullptr, nullptr, FastContext());
    selectRows(state.projectorTable(), {0, 1});
    ASSERT_TRUE(runToEnd(state, [&state] { state.runSelected(); }));
    ASSERT_EQ(answered.texts().size(), 3);
    EXPECT_EQ(answered.shown()[1].text, CatalogText(msg::StateReplyTimeout));
    EXPECT_EQ(answered.shown()[1].icon, CMessageBox::Icon::Stop);
    // Nobody listens there: the send failure of STAT has no icon and an OK button.
    EXPECT_EQ(answered.shown()[2].text, CatalogText(msg::ExplainRefused, {u"-102"_qs}));
    EXPECT_EQ(answered.shown()[2].icon, CMessageBox::Icon::None);
    EXPECT_EQ(answered.shown()[2].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(child<QLabel>(state, u"statusLabel"_qs)->text(),
              CatalogText(msg::StatusStateFailed, octets(goneAddress)));
    EXPECT_EQ(m_store.currentProjector(), goneAddress);
}

TEST_F(CommandDialogs, TransStateShowsTheReplyAndTheStateText) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(saveList({TestProjector(u"One"_qs, e->address())}));
    MessageBoxRecorder answered;
    CTransStateDlg dlg(m_store, nullptr, nullptr, FastContext());
    auto* store = child<QComboBox>(dlg, u"storeList"_qs);
    ASSERT_EQ(store->count(), 4);
    EXPECT_EQ(store->itemText(3), u"4");
    EXPECT_EQ(dlg.storeNumber(), 1);

    selectRows(dlg.projectorTable(), {0});
    ASSERT_TRUE(getToEnd(dlg, "getButton"));
    ASSERT_EQ(answered.texts().size(), 1);
    EXPECT_TRUE(answered.shown()[0].text.startsWith(u"Save-ID:1\r\nStatus:0"))
        << answered.shown()[0].text.toStdString();
    EXPECT_TRUE(answered.shown()[0].text.endsWith(CatalogText(msg::TransStateIdle)));
    EXPECT_EQ(answered.shown()[0].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(child<QLabel>(dlg, u"statusLabel"_qs)->text(),
              CatalogText(msg::StatusStateDone, octets(e->address())));
    ASSERT_TRUE(e->waitForServed(1, 20000));
    ASSERT_EQ(e->requests().size(), 1);
    EXPECT_EQ(e->requests()[0].command, "STAT 1");
}

TEST_F(CommandDialogs, HiddenTemporaryChoiceGivesStoresFiveToEight) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(e->stores().begin(7)); // so that Cancel has something to cancel there
    ASSERT_TRUE(saveList({TestProjector(u"One"_qs, e->address())}));
    MessageBoxRecorder answered;
    CTransStateDlg state(m_store, nullptr, nullptr, FastContext());
    CCancelDlg cancel(m_store, nullptr, nullptr, FastContext());
    state.show();
    cancel.show();
    for (CStoreCommandDlg* dlg :
         {static_cast<CStoreCommandDlg*>(&state), static_cast<CStoreCommandDlg*>(&cancel)}) {
        auto* s = child<QRadioButton>(*dlg, u"storeRadio"_qs);
        auto* t = child<QRadioButton>(*dlg, u"temporaryRadio"_qs);
        auto* list = child<QComboBox>(*dlg, u"temporaryList"_qs);
        ASSERT_TRUE(s && t && list);
        EXPECT_TRUE(s->isChecked());
        EXPECT_FALSE(s->isVisible());
        EXPECT_FALSE(t->isVisible());
        EXPECT_FALSE(list->isVisible());
        EXPECT_EQ(list->count(), 4);
        EXPECT_EQ(list->currentIndex(), 0);
        t->setChecked(true);
        EXPECT_EQ(dlg->storeNumber(), 5);
        list->setCurrentIndex(2);
        EXPECT_EQ(dlg->storeNumber(), 7);
        selectRows(dlg->projectorTable(), {0});
        ASSERT_TRUE(runToEnd(*dlg, [d = dlg] { d->runSelected(); }));
    }
    ASSERT_TRUE(e->waitForServed(3, 20000));
    const QList<EmulatorRequest> got = e->requests();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0].command, "STAT 7");
    EXPECT_EQ(got[1].command, "STAT 7");
    EXPECT_EQ(got[2].command, "CANCEL 7");
}

TEST_F(CommandDialogs, CancelReportsEachOutcome) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(e->stores().begin(3));
    ASSERT_TRUE(saveList({TestProjector(u"One"_qs, e->address())}));
    MessageBoxRecorder answered;
    CCancelDlg dlg(m_store, nullptr, nullptr, FastContext());
    answered.noteStatusOf(child<QLabel>(dlg, u"statusLabel"_qs));
    child<QComboBox>(dlg, u"storeList"_qs)->setCurrentIndex(2);
    selectRows(dlg.projectorTable(), {0});
    ASSERT_TRUE(getToEnd(dlg, "executeButton"));
    ASSERT_EQ(answered.texts().size(), 1);
    // Each box says which projector and which store it is about.
    EXPECT_EQ(answered.shown()[0].text,
              CatalogText(msg::CancelNamedOutcome, {u"One"_qs, u"3"_qs, CatalogText(msg::CancelSucceeded)}));
    EXPECT_EQ(answered.shown()[0].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(answered.shown()[0].statusAtBox, CatalogText(msg::StatusCancelRunning, octets(e->address())));
    EXPECT_EQ(answered.statusLabel()->text(), CatalogText(msg::StatusCancelDone, octets(e->address())));
    EXPECT_TRUE(e->stores().cancelRequested(3));

    // Nothing runs into store 1: the box says so and no CANCEL goes out to be refused.
    child<QComboBox>(dlg, u"storeList"_qs)->setCurrentIndex(0);
    ASSERT_TRUE(getToEnd(dlg, "executeButton"));
    ASSERT_EQ(answered.texts().size(), 2);
    EXPECT_EQ(answered.shown()[1].text,
              CatalogText(msg::CancelNamedOutcome,
                          {u"One"_qs, u"1"_qs,
                           CatalogText(msg::NothingToCancelState, {CatalogText(msg::TransStateIdle)})}));
    EXPECT_EQ(answered.shown()[1].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(answered.statusLabel()->text(), CatalogText(msg::StatusCancelNothing, octets(e->address())));
    ASSERT_TRUE(e->waitForServed(3, kEndLimitMs));
    QList<QByteArray> commands;
    for (const EmulatorRequest& r : e->requests()) {
        commands << r.command;
    }
    EXPECT_EQ(commands, (QList<QByteArray>{"STAT 3", "CANCEL 3", "STAT 1"}));

    // A failure is named too, with an unnamed projector by its address.
    EmulatorConfig busy;
    busy.faults.replyOverride = "CANCEL 3\r\n";
    ProjectorEmulator* b = m_emus.add(busy);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(saveList({TestProjector(QString(), b->address())}));
    CCancelDlg second(m_store, nullptr, nullptr, FastContext());
    answered.clear();
    answered.noteStatusOf(child<QLabel>(second, u"statusLabel"_qs));
    child<QComboBox>(second, u"storeList"_qs)->setCurrentIndex(1);
    selectRows(second.projectorTable(), {0});
    ASSERT_TRUE(getToEnd(second, "executeButton"));
    ASSERT_EQ(answered.texts().size(), 1);
    EXPECT_EQ(answered.shown()[0].text,
              CatalogText(msg::CancelNamedOutcome,
                          {Ipv4::toText(b->address()), u"2"_qs, CatalogText(msg::ProjectorBusy)}));
    EXPECT_EQ(answered.shown()[0].icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(answered.statusLabel()->text(), CatalogText(msg::StatusCancelFailed, octets(b->address())));
}

TEST_F(CommandDialogs, SettingShowsTheSettingItIsGivenAndGivesBackWhatTheUserChose) {
    // Right after start the setting is on, with no password.
    {
        CSettingDlg dlg(ProjectorStore::AuthSetting{});
        auto* box = child<QCheckBox>(dlg, u"authenticationCheck"_qs);
        auto* password = child<QLineEdit>(dlg, u"passwordEdit"_qs);
        ASSERT_TRUE(box && password);
        EXPECT_TRUE(box->isChecked());
        EXPECT_TRUE(password->text().isEmpty());
        EXPECT_EQ(password->echoMode(), QLineEdit::Password) << "a password is never shown in clear";
        EXPECT_EQ(password->maxLength(), 255);
        EXPECT_TRUE(password->isEnabled());
        // It says what the values apply to.
        EXPECT_EQ(child<QLabel>(dlg, u"appliesToLabel"_qs)->text(), CatalogText(msg::SettingAppliesTo));
        box->setChecked(false);
        EXPECT_FALSE(password->isEnabled()) << "no password without authentication";
        box->setChecked(true);
        EXPECT_TRUE(password->isEnabled());
        QTest::mouseClick(child<QPushButton>(dlg, u"cancelButton"_qs), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    {
        CSettingDlg dlg(ProjectorStore::AuthSetting{u"old"_qs, 0});
        EXPECT_EQ(child<QLineEdit>(dlg, u"passwordEdit"_qs)->text(), u"old");
        child<QCheckBox>(dlg, u"authenticationCheck"_qs)->setChecked(false);
        QTest::mouseClick(child<QPushButton>(dlg, u"okButton"_qs), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(dlg.setting().authOff, 1);
        EXPECT_TRUE(dlg.setting().password.isEmpty()) << "off forgets the password";
    }
    {
        CSettingDlg dlg(ProjectorStore::AuthSetting{u"kept"_qs, 1});
        EXPECT_FALSE(child<QCheckBox>(dlg, u"authenticationCheck"_qs)->isChecked());
        EXPECT_TRUE(child<QLineEdit>(dlg, u"passwordEdit"_qs)->text().isEmpty());
        EXPECT_FALSE(child<QLineEdit>(dlg, u"passwordEdit"_qs)->isEnabled());
        child<QCheckBox>(dlg, u"authenticationCheck"_qs)->setChecked(true);
        QTest::keyClicks(child<QLineEdit>(dlg, u"passwordEdit"_qs), u"s3cret"_qs);
        QTest::mouseClick(child<QPushButton>(dlg, u"okButton"_qs), Qt::LeftButton);
        EXPECT_EQ(dlg.setting().authOff, 0);
        EXPECT_EQ(dlg.setting().password, u"s3cret");
    }
}

TEST_F(CommandDialogs, WhileARunWaitsOnlyStopAndCloseAreLiveAndASecondRunDoesNotStart) {
    EmulatorConfig slow;
    // Slow, and still well inside the reply time-out on a loaded machine.
    slow.faults.verdictDelayMs = FastContext().timeouts.infoReplyMs / 2;
    ProjectorEmulator* e = m_emus.add(slow);
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(saveList({TestProjector(u"Slow"_qs, e->address())}));
    MessageBoxRecorder answered;
    CImageInfoDlg dlg(m_store, nullptr, nullptr, FastContext());
    selectRows(dlg.projectorTable(), {0});
    bool ended = false;
    QObject::connect(&dlg, &CStoreCommandDlg::runFinished, [&ended](bool stopped) {
        EXPECT_FALSE(stopped);
        ended = true;
    });
    QTest::mouseClick(child<QPushButton>(dlg, u"getButton"_qs), Qt::LeftButton);
    // The click came back while the projector is still thinking.
    EXPECT_TRUE(dlg.isRunning());
    EXPECT_TRUE(dlg.isEnabled());
    EXPECT_FALSE(child<QPushButton>(dlg, u"getButton"_qs)->isEnabled());
    EXPECT_FALSE(child<QComboBox>(dlg, u"storeList"_qs)->isEnabled());
    EXPECT_FALSE(dlg.projectorTable()->isEnabled());
    EXPECT_TRUE(child<QPushButton>(dlg, u"stopButton"_qs)->isEnabled());
    EXPECT_TRUE(child<QPushButton>(dlg, u"closeButton"_qs)->isEnabled());
    dlg.runSelected(); // a second run while one is under way is refused
    ASSERT_TRUE(QTest::qWaitFor([&ended] { return ended; }, 30000));
    EXPECT_FALSE(dlg.isRunning());
    EXPECT_TRUE(child<QPushButton>(dlg, u"getButton"_qs)->isEnabled());
    EXPECT_TRUE(dlg.projectorTable()->isEnabled());
    EXPECT_FALSE(child<QPushButton>(dlg, u"stopButton"_qs)->isEnabled());
    ASSERT_EQ(answered.texts().size(), 1);
    EXPECT_EQ(answered.shown()[0].text, CatalogText(msg::StoreEmpty));
    ASSERT_TRUE(e->waitForServed(1, 20000));
    EXPECT_EQ(e->connections(), 1);
}

TEST_F(CommandDialogs, StopEndsImageInformationOverTenSilentProjectorsPromptly) {
    EmulatorConfig mute;
    mute.faults.neverReply = true; // accepts, reads the command, never answers
    ProjectorList list;
    std::vector<ProjectorEmulator*> silent;
    for (int i = 0; i < 10; ++i) {
        ProjectorEmulator* e = m_emus.add(mute);
        ASSERT_NE(e, nullptr);
        silent.push_back(e);
        list << TestProjector(u"Mute %1"_qs.arg(i), e->address());
    }
    ASSERT_TRUE(saveList(list));
    MessageBoxRecorder answered;
    RecordingObserver history;
    // The protocol's own waits: ten silent projectors would hold the run for five minutes.
    CImageInfoDlg dlg(m_store, &history, nullptr, protocolWaits());
    answered.noteStatusOf(child<QLabel>(dlg, u"statusLabel"_qs));
    dlg.show();
    dlg.projectorTable()->selectAll();
    std::optional<bool> stoppedRun;
    QObject::connect(&dlg, &CStoreCommandDlg::runFinished,
                     [&stoppedRun](bool stopped) { stoppedRun = stopped; });
    QTest::mouseClick(child<QPushButton>(dlg, u"getButton"_qs), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent[0]->connections() == 1; }, kEndLimitMs));
    EXPECT_EQ(answered.statusLabel()->text(),
              CatalogText(msg::StatusInfoRunning, octets(silent[0]->address())));

    QElapsedTimer took;
    took.start();
    QTest::mouseClick(child<QPushButton>(dlg, u"stopButton"_qs), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return stoppedRun.has_value(); }, kEndLimitMs))
        << "still running after the stop";
    RecordProperty("stopToEndMs", static_cast<int>(took.elapsed()));
    EXPECT_LT(took.elapsed(), kEndLimitMs);
    EXPECT_TRUE(*stoppedRun);
    EXPECT_FALSE(dlg.isRunning());
    EXPECT_TRUE(child<QPushButton>(dlg, u"getButton"_qs)->isEnabled()) << "usable again";
    EXPECT_TRUE(answered.texts().isEmpty()) << "a stopped command is no failure of the projector";
    EXPECT_EQ(answered.statusLabel()->text(),
              CatalogText(msg::StatusCommandStopped, octets(silent[0]->address())));
    // The socket closed from our side, and nobody after the first was asked.
    EXPECT_TRUE(silent[0]->waitForServed(1, kEndLimitMs));
    for (size_t i = 1; i < silent.size(); ++i) {
        EXPECT_EQ(silent[i]->connections(), 0) << i;
    }
    // The history hears that the command was stopped, not that the projector failed.
    const QList<CommandEvent> events = history.events();
    ASSERT_EQ(events.size(), 1);
    EXPECT_FALSE(events[0].ok);
    EXPECT_EQ(events[0].text, CatalogText(msg::CommandStopped));

    // Close during a run stops it as well, and the dialog goes once the run has ended.
    std::optional<bool> secondRun;
    QObject::connect(&dlg, &CStoreCommandDlg::runFinished,
                     [&secondRun](bool stopped) { secondRun = stopped; });
    QTest::mouseClick(child<QPushButton>(dlg, u"getButton"_qs), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent[0]->connections() == 2; }, kEndLimitMs));
    QTest::mouseClick(child<QPushButton>(dlg, u"closeButton"_qs), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isVisible(); }, kEndLimitMs));
    EXPECT_EQ(secondRun, std::optional<bool>(true));
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(silent[1]->connections(), 0);
}

TEST_F(CommandDialogs, CancelTransmitFillsItsColumnAsAnswersComeAndStopEndsIt) {
    ProjectorEmulator* answering = m_emus.add();
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    ProjectorEmulator* silent = m_emus.add(mute);
    ASSERT_TRUE(answering && silent);
    ASSERT_TRUE(answering->stores().begin(2));
    RecordingObserver history;
    CommandContext context = protocolWaits();
    context.observer = &history;
    CStoreListDlg info(CStoreListDlg::Status, context);
    info.setTarget(CommandTarget{answering->address(), 0, {}});
    info.show();
    ASSERT_TRUE(child<QPushButton>(info, u"stopButton"_qs)->isVisible());
    EXPECT_FALSE(child<QPushButton>(info, u"stopButton"_qs)->isEnabled());
    std::optional<bool> stopped;
    QObject::connect(&info, &CStoreListDlg::cancelFinished, [&stopped](bool s) { stopped = s; });
    QTest::mouseClick(child<QPushButton>(info, u"cancelTransmitButton"_qs), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.has_value(); }, kEndLimitMs));
    EXPECT_FALSE(*stopped);
    ASSERT_EQ(info.list()->columnCount(), 3);
    QStringList column;
    for (int row = 0; row < 4; ++row) {
        column << info.list()->item(row, 2)->text();
    }
    // Only store 2 has a transmission to cancel; the others are not sent a CANCEL to refuse.
    EXPECT_EQ(column, (QStringList{CatalogText(msg::NothingToCancel), CatalogText(msg::CancelSucceeded),
                                   CatalogText(msg::NothingToCancel), CatalogText(msg::NothingToCancel)}));
    EXPECT_TRUE(answering->stores().cancelRequested(2));
    // The state column shows what was just asked, not what the form opened with.
    EXPECT_EQ(info.list()->item(0, 1)->text(), CatalogText(msg::TransStateIdle));
    EXPECT_EQ(info.list()->item(1, 1)->text(), CatalogText(msg::TransStateReceiving));
    ASSERT_TRUE(answering->waitForServed(5, kEndLimitMs));
    int cancels = 0;
    for (const EmulatorRequest& r : answering->requests()) {
        cancels += r.command.startsWith("CANCEL") ? 1 : 0;
    }
    EXPECT_EQ(cancels, 1);

    // A projector that never answers: Stop ends the wait long before CANCEL's 30 s would.
    info.setTarget(CommandTarget{silent->address(), 0, {}});
    stopped.reset();
    QTest::mouseClick(child<QPushButton>(info, u"cancelTransmitButton"_qs), Qt::LeftButton);
    EXPECT_FALSE(child<QPushButton>(info, u"cancelTransmitButton"_qs)->isEnabled());
    EXPECT_TRUE(child<QPushButton>(info, u"stopButton"_qs)->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent->connections() == 1; }, kEndLimitMs));
    QElapsedTimer took;
    took.start();
    QTest::mouseClick(child<QPushButton>(info, u"stopButton"_qs), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.has_value(); }, kEndLimitMs));
    EXPECT_LT(took.elapsed(), kEndLimitMs);
    EXPECT_TRUE(*stopped);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(info.list()->item(row, 2)->text(), CatalogText(msg::StoreCommandStopped)) << row;
    }
    EXPECT_TRUE(child<QPushButton>(info, u"cancelTransmitButton"_qs)->isEnabled());
    EXPECT_TRUE(silent->waitForServed(1, kEndLimitMs));
    EXPECT_EQ(silent->connections(), 1) << "stores 2 to 4 were never asked";
    const QList<CommandEvent> events = history.events();
    ASSERT_EQ(events.size(), 6); // four STAT and one CANCEL, then the stopped STAT
    EXPECT_EQ(events.last().command, u"STAT");
    EXPECT_EQ(events.last().text, CatalogText(msg::CommandStopped));

    // Close while it waits stops it too; the dialog closes once it has.
    stopped.reset();
    QTest::mouseClick(child<QPushButton>(info, u"cancelTransmitButton"_qs), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent->connections() == 2; }, kEndLimitMs));
    QTest::mouseClick(child<QPushButton>(info, u"closeButton"_qs), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !info.isVisible(); }, kEndLimitMs));
    EXPECT_EQ(stopped, std::optional<bool>(true));
    EXPECT_EQ(info.result(), QDialog::Accepted);
}

TEST_F(CommandDialogs, OutsideTextIsShownAsWrittenNeverAsMarkup) {
    // A picture on disk that the markup of a reply would load if it were taken as rich text.
    const QString picture = m_dir.filePath(u"p.png"_qs);
    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(picture));
    const QString fileName = u"<b>bold</b><img src=\"file://"_qs + picture + u"\">\u202Egnp.qv1"_qs;
    EmulatorConfig hostile;
    hostile.faults.infoReplyOverride = "INFO 0\r\nFile-Name:" + fileName.toUtf8() + "\r\nFile-Length:12\r\n";
    ProjectorEmulator* e = m_emus.add(hostile);
    ASSERT_TRUE(e);

    ProjectorList list{TestProjector(u"<i>Hall</i>\u202Egnp.exe"_qs, e->address())};
    QStringList shown{u"<i>Hall</i>\\u202Egnp.exe"_qs};
    quint32 host = 0x0A000400u;
    for (const HostileString& h : HostileStrings()) {
        if (!h.text.contains(u'\r') && !h.text.contains(u'\n')) { // an INI line holds no line break
            list << TestProjector(h.text, ++host);
            shown << h.shown;
        }
    }
    ASSERT_TRUE(saveList(list));
    CImageInfoDlg dlg(m_store, nullptr, nullptr, FastContext());
    CProjectorTable* table = dlg.projectorTable();
    ASSERT_EQ(table->rowCount(), list.size());
    for (int row = 0; row < list.size(); ++row) {
        EXPECT_EQ(table->item(row, 0)->text(), shown[row]) << row;
    }
    EXPECT_EQ(child<QLabel>(dlg, u"statusLabel"_qs)->textFormat(), Qt::PlainText);

    // The real message box, not a recorder: what it is told to show and how it shows it.
    struct Seen {
        bool shown = false;
        Qt::TextFormat format = Qt::AutoText;
        Qt::TextFormat labelFormat = Qt::AutoText;
        QString text;
        QString labelText;
    } seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        seen.shown = true;
        seen.format = box->textFormat();
        seen.text = box->text();
        if (auto* label = box->findChild<QLabel*>(u"qt_msgbox_label"_qs)) {
            seen.labelFormat = label->textFormat();
            seen.labelText = label->text();
        }
        box->done(QMessageBox::Ok);
    });
    watch.start(20);
    selectRows(table, {0});
    ASSERT_TRUE(runToEnd(dlg, [&dlg] { dlg.runSelected(); }));
    watch.stop();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.labelFormat, Qt::PlainText);
    const QString want = u"File-Name:<b>bold</b><img src=\"file://"_qs + picture +
                         u"\">\\u202Egnp.qv1\r\nFile-Length:12"_qs + CatalogText(msg::LengthUnit);
    EXPECT_EQ(seen.text, want);
    EXPECT_EQ(seen.labelText, want);
}

TEST_F(CommandDialogs, TheWaitBoxNamesAProjectorAsWritten) {
    for (const HostileString& h : HostileStrings()) {
        CGetWaitDlg wait(CGetWaitDlg::Information);
        wait.setLabel(h.text);
        auto* label = child<QLabel>(wait, u"messageLabel"_qs);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), CatalogText(msg::WaitImageInfo, {h.shown})) << h.what;
    }
}
