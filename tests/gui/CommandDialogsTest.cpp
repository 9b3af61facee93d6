#include "app/AppState.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CCancelDlg.h"
#include "protocol/CImageInfoDlg.h"
#include "protocol/CProjectorTable.h"
#include "protocol/CTransStateDlg.h"
#include "registry/CSettingDlg.h"
#include "support/CatalogFixture.h"

#include "ProjectorEmulator.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace {

struct Box {
    QString text;
    CMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QString statusAtBox; // the status line while the box is up
};

// Answers every message box and notes what it showed.
struct AnsweredBoxes {
    QList<Box> boxes;
    QLabel* status = nullptr;
    AnsweredBoxes() {
        CMessageBox::setHandlerForTesting([this](QWidget*, const QString&, const QString& text, CMessageBox::Icon icon,
                                                 QMessageBox::StandardButtons buttons) {
            boxes << Box{text, icon, buttons, status ? status->text() : QString()};
            return QMessageBox::Ok;
        });
    }
    ~AnsweredBoxes() { CMessageBox::setHandlerForTesting(nullptr); }
};

QStringList octets(quint32 host) {
    return {QString::number(host >> 24), QString::number((host >> 16) & 0xFF), QString::number((host >> 8) & 0xFF),
            QString::number(host & 0xFF)};
}

class CommandDialogs : public ::testing::Test {
protected:
    // An emulator on the first free loopback address from 127.0.0.150 on.
    ProjectorEmulator* emulator(EmulatorConfig config = {}) {
        for (quint32 last = m_nextOctet; last < 200; ++last) {
            config.address = 0x7F000000u | last;
            auto e = std::make_unique<ProjectorEmulator>(config);
            if (e->start()) {
                m_nextOctet = last + 1;
                m_emus.push_back(std::move(e));
                return m_emus.back().get();
            }
        }
        ADD_FAILURE() << "no free loopback address for an emulator";
        return nullptr;
    }
    static ProjectorRecord record(const QString& name, quint32 host, const QString& authMark = u"0"_qs,
                                  const QString& password = {}) {
        ProjectorRecord r;
        r.name = name;
        r.mac = u"00-1a-2b-3c-4d-5e"_qs;
        r.address = Ipv4::toOctets(host);
        r.authMark = authMark;
        r.password = password;
        return r;
    }
    static CommandContext fast() {
        // Quick to time out, yet long enough for an emulator on a loaded machine to answer.
        CommandContext c;
        c.timeouts.connectMs = 5000;
        c.timeouts.greetingMs = 2000;
        c.timeouts.infoReplyMs = 2000;
        c.timeouts.statReplyMs = 2000;
        c.timeouts.cancelReplyMs = 2000;
        c.timeouts.sendMs = 10000;
        return c;
    }
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
    QString iniText() const {
        QFile f(m_ini);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // The value of a key in section "Authentication", or nothing when absent.
    std::optional<QString> authValue(const QString& key) const {
        bool inSection = false;
        for (const QString& raw : iniText().split(u'\n')) {
            const QString line = raw.trimmed();
            if (line.startsWith(u'[')) {
                inSection = line == u"[Authentication]";
            } else if (inSection && line.startsWith(key + u'=')) {
                return line.mid(key.size() + 1);
            }
        }
        return std::nullopt;
    }

    ShippedCatalog m_catalog;
    QTemporaryDir m_dir;
    QString m_ini = m_dir.filePath(u"Tessavel.INI"_qs);
    std::vector<std::unique_ptr<ProjectorEmulator>> m_emus;
    quint32 m_nextOctet = 150;
};

} // namespace

TEST_F(CommandDialogs, ProjectorListShowsTheFramesRecordsInThreeColumns) {
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(u"Hall"_qs, 0x0A000105u), record(u"Foyer"_qs, 0xC0A80A14u)}));
    CImageInfoDlg dlg(frame);
    EXPECT_EQ(dlg.windowTitle(), CatalogText(9, 26));
    auto* table = child<CProjectorTable>(dlg, u"list1045"_qs);
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

    auto* status = child<QLabel>(dlg, u"status1060"_qs);
    status->setText(u"before"_qs);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(1, 0)).center());
    EXPECT_EQ(status->text(), QString(43, u' '));
    EXPECT_EQ(child<QLabel>(dlg, u"status1060"_qs)->text().size(), 43);

    auto* store = child<QComboBox>(dlg, u"store1003"_qs);
    ASSERT_EQ(store->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(store->itemText(i), QString::number(i + 1));
    }
    EXPECT_EQ(store->currentIndex(), 0);
    EXPECT_EQ(child<QPushButton>(dlg, u"get1011"_qs)->text(), CatalogText(9, 27));
    EXPECT_EQ(child<QPushButton>(dlg, u"button2"_qs)->text(), CatalogText(9, 18));
}

TEST_F(CommandDialogs, GetShowsOneBoxPerSelectedRowInOrder) {
    ProjectorEmulator* open = emulator();
    EmulatorConfig locked;
    locked.authenticate = true;
    locked.password = "pw";
    ProjectorEmulator* guarded = emulator(locked);
    ProjectorEmulator* unselected = emulator();
    ASSERT_TRUE(open && guarded && unselected);
    const QByteArray image(1234, 'x');
    ASSERT_TRUE(guarded->stores().begin(2));
    guarded->stores().finish(2, "pic.qv1", image);

    AppState frameState(m_ini);

    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(u"Open"_qs, open->address()),
                                         record(u"Guarded"_qs, guarded->address(), u"1"_qs, u"pw"_qs),
                                         record(u"Other"_qs, unselected->address())}));
    CImageInfoDlg dlg(frame, nullptr, fast());
    AnsweredBoxes answered;
    answered.status = child<QLabel>(dlg, u"status1060"_qs);
    child<QComboBox>(dlg, u"store1003"_qs)->setCurrentIndex(1);
    selectRows(dlg.projectorTable(), {1, 0});
    QTest::mouseClick(child<QPushButton>(dlg, u"get1011"_qs), Qt::LeftButton);

    ASSERT_EQ(answered.boxes.size(), 2);
    EXPECT_EQ(answered.boxes[0].text, CatalogText(msg::StoreEmpty));
    EXPECT_EQ(answered.boxes[0].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(answered.boxes[0].statusAtBox, CatalogText(msg::StatusInfoRunning, octets(open->address())));
    EXPECT_EQ(answered.boxes[1].text, u"File-Name:pic.qv1\r\nFile-Length:1234"_qs + CatalogText(msg::LengthUnit));
    EXPECT_EQ(answered.boxes[1].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(answered.boxes[1].statusAtBox, CatalogText(msg::StatusInfoRunning, octets(guarded->address())));
    EXPECT_EQ(answered.status->text(), CatalogText(msg::StatusInfoDone, octets(guarded->address())));
    EXPECT_EQ(frame.state().projectors().currentProjector(), guarded->address());
    EXPECT_TRUE(dlg.isEnabled());

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
    ProjectorEmulator* e = emulator();
    ASSERT_NE(e, nullptr);
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(u"One"_qs, e->address())}));
    frame.SetCurrentProjector(0x01020304u);
    AnsweredBoxes answered;
    CImageInfoDlg info(frame, nullptr, fast());
    CTransStateDlg state(frame, nullptr, fast());
    CCancelDlg cancel(frame, nullptr, fast());
    QTest::mouseClick(child<QPushButton>(info, u"get1011"_qs), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(state, u"get1001"_qs), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(cancel, u"execute1012"_qs), Qt::LeftButton);
    EXPECT_TRUE(answered.boxes.isEmpty());
    EXPECT_EQ(e->connections(), 0);
    EXPECT_EQ(frame.state().projectors().currentProjector(), 0x01020304u);
    EXPECT_TRUE(child<QLabel>(info, u"status1060"_qs)->text().isEmpty());
}

TEST_F(CommandDialogs, ProjectorThatDoesNotAnswerGivesItsTimeOutText) {
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    ProjectorEmulator* e = emulator(mute);
    ASSERT_TRUE(e);
    // Outside the range the tests take emulator addresses from, so nothing listens there
    // even while other tests run at the same time.
    const quint32 goneAddress = 0x7F0000FBu; // 127.0.0.251
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(u"Mute"_qs, e->address()), record(u"Gone"_qs, goneAddress)}));
    AnsweredBoxes answered;

    CImageInfoDlg info(frame, nullptr, fast());
    selectRows(info.projectorTable(), {0});
    info.runSelected();
    ASSERT_EQ(answered.boxes.size(), 1);
    EXPECT_EQ(answered.boxes[0].text, CatalogText(msg::ReplyTimeout));
    EXPECT_EQ(answered.boxes[0].icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(child<QLabel>(info, u"status1060"_qs)->text(), CatalogText(msg::StatusInfoFailed, octets(e->address())));

    CTransStateDlg state(frame, nullptr, fast());
    selectRows(state.projectorTable(), {0, 1});
    state.runSelected();
    ASSERT_EQ(answered.boxes.size(), 3);
    EXPECT_EQ(answered.boxes[1].text, CatalogText(msg::StateReplyTimeout));
    EXPECT_EQ(answered.boxes[1].icon, CMessageBox::Icon::Stop);
    // Nobody listens there: the send failure of STAT has no icon and an OK button.
    EXPECT_EQ(answered.boxes[2].text, CatalogText(msg::SendFailed));
    EXPECT_EQ(answered.boxes[2].icon, CMessageBox::Icon::None);
    EXPECT_EQ(answered.boxes[2].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(child<QLabel>(state, u"status1061"_qs)->text(), CatalogText(msg::StatusStateFailed, octets(goneAddress)));
    EXPECT_EQ(frame.state().projectors().currentProjector(), goneAddress);
}

TEST_F(CommandDialogs, TransStateShowsTheReplyAndTheStateText) {
    ProjectorEmulator* e = emulator();
    ASSERT_NE(e, nullptr);
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(u"One"_qs, e->address())}));
    AnsweredBoxes answered;
    CTransStateDlg dlg(frame, nullptr, fast());
    EXPECT_EQ(dlg.windowTitle(), CatalogText(9, 46));
    auto* store = child<QComboBox>(dlg, u"store1047"_qs);
    ASSERT_EQ(store->count(), 4);
    EXPECT_EQ(store->itemText(3), u"4");
    EXPECT_EQ(dlg.storeNumber(), 1);

    selectRows(dlg.projectorTable(), {0});
    QTest::mouseClick(child<QPushButton>(dlg, u"get1001"_qs), Qt::LeftButton);
    ASSERT_EQ(answered.boxes.size(), 1);
    EXPECT_TRUE(answered.boxes[0].text.startsWith(u"Save-ID:1\r\nStatus:0")) << answered.boxes[0].text.toStdString();
    EXPECT_TRUE(answered.boxes[0].text.endsWith(CatalogText(msg::TransStateIdle)));
    EXPECT_EQ(answered.boxes[0].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(child<QLabel>(dlg, u"status1061"_qs)->text(), CatalogText(msg::StatusStateDone, octets(e->address())));
    ASSERT_TRUE(e->waitForServed(1, 20000));
    ASSERT_EQ(e->requests().size(), 1);
    EXPECT_EQ(e->requests()[0].command, "STAT 1");
}

TEST_F(CommandDialogs, HiddenTemporaryChoiceGivesStoresFiveToEight) {
    ProjectorEmulator* e = emulator();
    ASSERT_NE(e, nullptr);
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(u"One"_qs, e->address())}));
    AnsweredBoxes answered;
    CTransStateDlg state(frame, nullptr, fast());
    CCancelDlg cancel(frame, nullptr, fast());
    state.show();
    cancel.show();
    for (auto [dlg, storeRadio, tempRadio, tempList] :
         {std::tuple<CStoreCommandDlg*, const char*, const char*, const char*>{&state, "radio1046", "radio1048",
                                                                               "temporary1050"},
          {&cancel, "radio1050", "radio1052", "temporary1054"}}) {
        auto* s = child<QRadioButton>(*dlg, QString::fromLatin1(storeRadio));
        auto* t = child<QRadioButton>(*dlg, QString::fromLatin1(tempRadio));
        auto* list = child<QComboBox>(*dlg, QString::fromLatin1(tempList));
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
        dlg->runSelected();
    }
    ASSERT_TRUE(e->waitForServed(2, 20000));
    const QList<EmulatorRequest> got = e->requests();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].command, "STAT 7");
    EXPECT_EQ(got[1].command, "CANCEL 7");
}

TEST_F(CommandDialogs, CancelReportsEachOutcome) {
    ProjectorEmulator* e = emulator();
    ASSERT_NE(e, nullptr);
    ASSERT_TRUE(e->stores().begin(3));
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(u"One"_qs, e->address())}));
    AnsweredBoxes answered;
    CCancelDlg dlg(frame, nullptr, fast());
    EXPECT_EQ(dlg.windowTitle(), CatalogText(9, 19));
    EXPECT_EQ(child<QPushButton>(dlg, u"execute1012"_qs)->text(), CatalogText(9, 17));
    answered.status = child<QLabel>(dlg, u"status1062"_qs);
    child<QComboBox>(dlg, u"store1051"_qs)->setCurrentIndex(2);
    selectRows(dlg.projectorTable(), {0});
    QTest::mouseClick(child<QPushButton>(dlg, u"execute1012"_qs), Qt::LeftButton);
    ASSERT_EQ(answered.boxes.size(), 1);
    EXPECT_EQ(answered.boxes[0].text, CatalogText(msg::CancelSucceeded));
    EXPECT_EQ(answered.boxes[0].icon, CMessageBox::Icon::Information);
    EXPECT_EQ(answered.boxes[0].statusAtBox, CatalogText(msg::StatusCancelRunning, octets(e->address())));
    EXPECT_EQ(answered.status->text(), CatalogText(msg::StatusCancelDone, octets(e->address())));
    EXPECT_TRUE(e->stores().cancelRequested(3));

    // Nothing runs into store 1, so the projector refuses.
    child<QComboBox>(dlg, u"store1051"_qs)->setCurrentIndex(0);
    QTest::mouseClick(child<QPushButton>(dlg, u"execute1012"_qs), Qt::LeftButton);
    ASSERT_EQ(answered.boxes.size(), 2);
    EXPECT_EQ(answered.boxes[1].text, CatalogText(msg::CancelRefused));
    EXPECT_EQ(answered.boxes[1].icon, CMessageBox::Icon::Stop);
    EXPECT_EQ(answered.status->text(), CatalogText(msg::StatusCancelFailed, octets(e->address())));
}

TEST_F(CommandDialogs, SettingRightAfterStartIsOnWithEmptyPassword) {
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    CSettingDlg dlg(frame.projectorStore());
    EXPECT_EQ(dlg.windowTitle(), CatalogText(9, 45));
    auto* box = child<QCheckBox>(dlg, u"auth1002"_qs);
    auto* password = child<QLineEdit>(dlg, u"password1003"_qs);
    ASSERT_TRUE(box && password);
    EXPECT_EQ(box->text(), CatalogText(9, 7));
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(password->maxLength(), 255);
    // Cancel leaves the file alone.
    QTest::mouseClick(child<QPushButton>(dlg, u"button2"_qs), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(authValue(u"FLAG"_qs).has_value());
}

TEST_F(CommandDialogs, SettingOkWritesTheSwitchAndPassword) {
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    AnsweredBoxes answered;
    {
        CSettingDlg dlg(frame.projectorStore());
        child<QCheckBox>(dlg, u"auth1002"_qs)->setChecked(false);
        QTest::mouseClick(child<QPushButton>(dlg, u"button1"_qs), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(authValue(u"FLAG"_qs), u"1"_qs);
    EXPECT_EQ(authValue(u"PASSWORD"_qs), QString());
    EXPECT_EQ(frame.state().projectors().authSetting().authOff, 1);
    {
        CSettingDlg dlg(frame.projectorStore());
        EXPECT_FALSE(child<QCheckBox>(dlg, u"auth1002"_qs)->isChecked());
        child<QCheckBox>(dlg, u"auth1002"_qs)->setChecked(true);
        QTest::keyClicks(child<QLineEdit>(dlg, u"password1003"_qs), u"s3cret"_qs);
        QTest::mouseClick(child<QPushButton>(dlg, u"button1"_qs), Qt::LeftButton);
    }
    EXPECT_EQ(authValue(u"FLAG"_qs), u"0"_qs);
    EXPECT_EQ(authValue(u"PASSWORD"_qs), u"s3cret"_qs);
    {
        CSettingDlg dlg(frame.projectorStore());
        EXPECT_TRUE(child<QCheckBox>(dlg, u"auth1002"_qs)->isChecked());
        EXPECT_EQ(child<QLineEdit>(dlg, u"password1003"_qs)->text(), u"s3cret");
    }
    EXPECT_TRUE(answered.boxes.isEmpty());
}

TEST_F(CommandDialogs, DialogIsDisabledAndEventsFlowWhileARunWaits) {
    EmulatorConfig slow;
    // Slow, and still well inside the reply time-out on a loaded machine.
    slow.faults.verdictDelayMs = fast().timeouts.infoReplyMs / 2;
    ProjectorEmulator* e = emulator(slow);
    ASSERT_NE(e, nullptr);
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({record(u"Slow"_qs, e->address())}));
    AnsweredBoxes answered;
    CImageInfoDlg dlg(frame, nullptr, fast());
    selectRows(dlg.projectorTable(), {0});
    std::optional<bool> enabledDuringRun;
    std::optional<Qt::CursorShape> cursorDuringRun;
    // Fires only when the run leaves the interface thread's events flowing.
    QTimer::singleShot(100, &dlg, [&] {
        enabledDuringRun = dlg.isEnabled();
        if (const QCursor* c = QApplication::overrideCursor()) {
            cursorDuringRun = c->shape();
        }
    });
    dlg.runSelected();
    ASSERT_TRUE(enabledDuringRun.has_value()) << "the run blocked the interface thread";
    EXPECT_FALSE(*enabledDuringRun);
    EXPECT_EQ(cursorDuringRun, Qt::WaitCursor);
    EXPECT_TRUE(dlg.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(answered.boxes.size(), 1);
    EXPECT_EQ(answered.boxes[0].text, CatalogText(msg::StoreEmpty));
}
