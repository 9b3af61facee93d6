#include "app/AppState.h"
#include "app/CFileDialogs.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CGetWaitDlg.h"
#include "protocol/CStoreListDlg.h"
#include "registry/CCsvImportDlg.h"
#include "registry/CIpAddressEdit.h"
#include "registry/CProjectorEditDlg.h"
#include "registry/CProjectorListDlg.h"
#include "registry/ProjectorStore.h"
#include "support/CatalogFixture.h"
#include "support/ColumnFit.h"
#include "support/HostileStrings.h"

#include "support/DialogDriver.h"
#include "support/Emulators.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Answers the file dialogs with the paths queued here.
class CsvFileAnswers final : public CFileDialogs {
public:
    QStringList* paths = nullptr;
    QString openFile(QWidget*, const Request&) override {
        return paths->isEmpty() ? QString() : paths->takeFirst();
    }
    QString saveFile(QWidget*, const Request&) override {
        return paths->isEmpty() ? QString() : paths->takeFirst();
    }
};

// Types text key by key into whichever field has the focus, as a user's keyboard would.
void TypeIp(CIpAddressEdit* ip, const QString& text) {
    ip->field(0)->setFocus();
    for (const QChar c : text) {
        QWidget* w = ip->window()->focusWidget();
        QTest::keyClicks(w != nullptr ? w : ip->field(0), QString(c));
    }
}

QWidget* Focused(QWidget& w) {
    return w.window()->focusWidget();
}

class ProjectorListDialogs : public ::testing::Test {
protected:
    // How the window hands the dialog its list keeping: through the frame, which tells the
    // user of a failed write.
    static CProjectorListDlg::SaveList saver(CMainFrame& frame) {
        return [&frame](const ProjectorList& list) { return frame.SaveProjectorList(list); };
    }
    // Waits until the dialog's queries are over, however they ended.
    static bool queriesEnd(CProjectorListDlg& dlg) {
        return QTest::qWaitFor([&dlg] { return !dlg.isQuerying(); }, 60000);
    }
    static void selectRows(QTableWidget* table, const QList<int>& rows) {
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
    // Fills the projector form as a user would and presses OK.
    static void fillForm(CProjectorEditDlg& d, const QString& name, const QStringList& mac,
                         const QString& address, bool auth, const QString& password) {
        Type(d, "nameEdit", name);
        const char* boxes[] = {"macEdit1", "macEdit2", "macEdit3", "macEdit4", "macEdit5", "macEdit6"};
        for (int k = 0; k < 6; ++k) {
            Type(d, boxes[k], mac.value(k));
        }
        auto* ip = Child<CIpAddressEdit>(d, "addressEdit");
        ip->clear();
        TypeIp(ip, address);
        Child<QCheckBox>(d, "authenticationCheck")->setChecked(auth);
        Type(d, "passwordEdit", password);
        Click(d, "okButton");
    }

    ShippedCatalog m_catalog;
    QTemporaryDir m_dir;
    QString m_ini = m_dir.filePath(u"Tessavel.INI"_qs);
    Emulators m_emus{kWindowTestsFirstHost, kWindowTestsLastHost};
};

} // namespace

TEST_F(ProjectorListDialogs, ListShowsRecordsInFourColumnsWithLocalisedMenus) {
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ProjectorRecord guarded = TestProjector(u"Hall"_qs, 0x0A000105u, u"pw"_qs);
    ProjectorRecord open = TestProjector(u"Foyer"_qs, 0xC0A80A14u);
    open.mac.clear();
    ASSERT_TRUE(frame.SaveProjectorList({guarded, open}));
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame));
    EXPECT_EQ(dlg.windowTitle(), CatalogText(9, 28));
    QTableWidget* t = dlg.list();
    ASSERT_EQ(t->columnCount(), 4);
    EXPECT_EQ(t->horizontalHeaderItem(3)->text(), CatalogText(msg::ColumnAuthentication));
    ASSERT_EQ(t->rowCount(), 2);
    EXPECT_EQ(t->item(0, 0)->text(), u"Hall");
    EXPECT_FALSE(t->item(0, 0)->icon().isNull());
    EXPECT_EQ(t->item(0, 1)->text(), u"00-1a-2b-3c-4d-5e");
    EXPECT_EQ(t->item(0, 2)->text(), u"10.0.1.5");
    EXPECT_EQ(t->item(0, 3)->text(), CatalogText(msg::AuthenticationOn));
    EXPECT_EQ(t->item(1, 1)->text(), QString());
    EXPECT_EQ(t->item(1, 3)->text(), CatalogText(msg::AuthenticationOff));

    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    // Name, MAC and address share what Authentication leaves, 6:5:5.
    const int w = (t->viewport()->width() - t->columnWidth(3)) / 16;
    EXPECT_EQ(t->columnWidth(0), w * 6);
    EXPECT_EQ(t->columnWidth(1), w * 5);
    // The menu bar's two popups and the hidden buttons carry catalog texts.
    const QList<QAction*> popups = dlg.menuBar()->actions();
    ASSERT_EQ(popups.size(), 2);
    EXPECT_EQ(popups[0]->text(), CatalogText(53, 10));
    EXPECT_EQ(popups[1]->text(), CatalogText(53, 39));
    EXPECT_EQ(dlg.menuBarAction(CProjectorListDlg::CmdGetStatus)->text(), CatalogText(53, 40));
    EXPECT_EQ(dlg.contextAction(CProjectorListDlg::CmdDelete)->text(), CatalogText(53, 36));
    EXPECT_EQ(dlg.menuBarAction(CProjectorListDlg::CmdImportCsv)->text(),
              CatalogText(msg::MenuListImportCsv));
    EXPECT_FALSE(Child<QPushButton>(dlg, "addButton")->isVisible());
    EXPECT_EQ(Child<QPushButton>(dlg, "discoveryButton")->text(), CatalogText(9, 32));
    EXPECT_EQ(dlg.contextAction(CProjectorListDlg::CmdClose), nullptr);
}

// Two eighteenths of the width used to cut "Authentication" short.
TEST_F(ProjectorListDialogs, EveryColumnFitsItsHeaderAndItsWordsInBothLanguages) {
    for (const bool chinese : {false, true}) {
        ShippedCatalog language(chinese ? ShippedCatalog::Which::SimplifiedChinese
                                        : ShippedCatalog::Which::Default,
                                chinese ? Catalog::kSimplifiedChinese : Catalog::kEnglish);
        AppState frameState(m_ini);
        CMainFrame frame(frameState);
        ASSERT_TRUE(frame.SaveProjectorList(
            {TestProjector(u"Hall"_qs, 0x0A000105u, u"pw"_qs), TestProjector(u"Foyer"_qs, 0xC0A80A14u)}));
        CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame));
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        QTableWidget* t = dlg.list();
        // As it opens, and as large as a 1366x768 screen allows.
        for (const QSize size : {dlg.size(), QSize(1366, 740)}) {
            dlg.resize(size);
            ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.size() == size; }, 20000));
            const char* lang = chinese ? "zh" : "en";
            for (int c = 0; c < t->columnCount(); ++c) {
                EXPECT_GE(t->columnWidth(c), HeaderTextNeeds(t->horizontalHeader(), c))
                    << lang << " column " << c << " at " << size.width();
            }
            for (int row = 0; row < t->rowCount(); ++row) {
                EXPECT_GE(t->columnWidth(3), CellTextNeeds(t, t->item(row, 3)->text())) << lang;
            }
            int total = 0;
            for (int c = 0; c < t->columnCount(); ++c) {
                total += t->columnWidth(c);
            }
            EXPECT_LE(total, t->viewport()->width()) << lang << ": no column pushed out of sight";
        }
    }
}

TEST_F(ProjectorListDialogs, CommandsNeedingASelectionAreDisabledWithoutOneInBothMenus) {
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(
        frame.SaveProjectorList({TestProjector(u"A"_qs, 0x0A000001u), TestProjector(u"B"_qs, 0x0A000002u)}));
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame));
    auto states = [&dlg](int id) {
        dlg.updateCommandStates();
        return std::pair{dlg.menuBarAction(id)->isEnabled(), dlg.contextAction(id)
                                                                 ? dlg.contextAction(id)->isEnabled()
                                                                 : dlg.menuBarAction(id)->isEnabled()};
    };
    using L = CProjectorListDlg;
    dlg.list()->clearSelection();
    for (int id : {L::CmdEdit, L::CmdDelete, L::CmdGetStatus, L::CmdImageInfo}) {
        EXPECT_EQ(states(id), std::pair(false, false)) << id;
    }
    for (int id : {L::CmdAdd, L::CmdDiscovery}) {
        EXPECT_EQ(states(id), std::pair(true, true)) << id;
    }
    EXPECT_TRUE(dlg.menuBarAction(L::CmdClose)->isEnabled());
    selectRows(dlg.list(), {1});
    for (int id : {L::CmdEdit, L::CmdDelete, L::CmdGetStatus, L::CmdImageInfo}) {
        EXPECT_EQ(states(id), std::pair(true, true)) << id;
    }
    selectRows(dlg.list(), {0, 1});
    EXPECT_EQ(states(L::CmdEdit), std::pair(false, false)) << "Edit takes exactly one row";
    EXPECT_EQ(states(L::CmdDelete), std::pair(true, true));
    // Pressing a disabled command through its shortcut does nothing either.
    dlg.list()->clearSelection();
    dlg.menuBarAction(L::CmdEdit)->trigger();
    EXPECT_EQ(frame.GetProjectorList().size(), 2);
}

TEST_F(ProjectorListDialogs, AddStoresLowerCaseMacEditRestoresUpperCaseAndKeepsOldMacWhenEmptied) {
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame));
    WhenModal<CProjectorEditDlg>([](CProjectorEditDlg& d) {
        EXPECT_EQ(d.windowTitle(), CatalogText(9, 3));
        EXPECT_FALSE(Child<QCheckBox>(d, "authenticationCheck")->isChecked())
            << "add mode starts without authentication";
        fillForm(d, u"Hall"_qs, {u"0"_qs, u"1A"_qs, u"2b"_qs, u"3"_qs, u"4"_qs, u"5"_qs}, u"10.0.1.5"_qs,
                 true, u"secret"_qs);
    });
    dlg.menuBarAction(CProjectorListDlg::CmdAdd)->trigger();
    ASSERT_EQ(frame.GetProjectorList().size(), 1);
    ProjectorRecord r = frame.GetProjectorList().first();
    EXPECT_EQ(r.mac, u"00-1a-2b-03-04-05");
    EXPECT_EQ(r.name, u"Hall");
    EXPECT_EQ(r.hostAddress(), 0x0A000105u);
    EXPECT_EQ(r.authMark, u"1");
    EXPECT_EQ(r.password, u"secret");
    EXPECT_TRUE(iniText().contains(u"00-1a-2b-03-04-05"));
    EXPECT_EQ(dlg.list()->item(0, 1)->text(), u"00-1a-2b-03-04-05");

    // Edit without a change: the MAC text comes back upper case.
    selectRows(dlg.list(), {0});
    WhenModal<CProjectorEditDlg>([](CProjectorEditDlg& d) {
        EXPECT_EQ(d.windowTitle(), CatalogText(9, 95));
        EXPECT_EQ(Child<QLineEdit>(d, "macEdit2")->text(), u"1A");
        EXPECT_EQ(Child<QLineEdit>(d, "macEdit1")->text(), u"00");
        EXPECT_EQ(Child<CIpAddressEdit>(d, "addressEdit")->address(), 0x0A000105u);
        EXPECT_EQ(Child<QLineEdit>(d, "passwordEdit")->text(), u"secret");
        Click(d, "okButton");
    });
    dlg.contextAction(CProjectorListDlg::CmdEdit)->trigger();
    EXPECT_EQ(frame.GetProjectorList().first().mac, u"00-1A-2B-03-04-05");
    EXPECT_TRUE(iniText().contains(u"00-1A-2B-03-04-05"));

    // All boxes emptied: the old text stays. Authentication off empties the password.
    selectRows(dlg.list(), {0});
    WhenModal<CProjectorEditDlg>(
        [](CProjectorEditDlg& d) { fillForm(d, u"Hall 2"_qs, {}, u"10.0.1.6"_qs, false, u"ignored"_qs); });
    dlg.OnEdit();
    r = frame.GetProjectorList().first();
    EXPECT_EQ(r.mac, u"00-1A-2B-03-04-05");
    EXPECT_EQ(r.name, u"Hall 2");
    EXPECT_EQ(r.hostAddress(), 0x0A000106u);
    EXPECT_EQ(r.authMark, u"0");
    EXPECT_EQ(r.password, QString());

    // Cancel changes nothing.
    const QString before = iniText();
    selectRows(dlg.list(), {0});
    WhenModal<CProjectorEditDlg>([](CProjectorEditDlg& d) {
        Type(d, "nameEdit", u"Changed"_qs);
        Click(d, "cancelButton");
    });
    dlg.OnEdit();
    EXPECT_EQ(iniText(), before);
}

TEST_F(ProjectorListDialogs, FormStaysOpenForAZeroAddressOrABadMacBox) {
    MessageBoxRecorder boxes;
    CProjectorEditDlg d(CProjectorEditDlg::Add, {});
    const int result = ExecWith(d, [&d, &boxes] {
        Type(d, "nameEdit", QString());
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible()) << "blank address";
        TypeIp(Child<CIpAddressEdit>(d, "addressEdit"), u"0.0.0.0"_qs);
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible()) << "0.0.0.0";
        // Neither refusal is silent.
        EXPECT_EQ(boxes.texts(), QStringList(2, CatalogText(msg::FormAddressMissing)));
        Child<CIpAddressEdit>(d, "addressEdit")->clear();
        TypeIp(Child<CIpAddressEdit>(d, "addressEdit"), u"192.168"_qs);
        Type(d, "macEdit4", u"g1"_qs);
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible()) << "a MAC box that is not hexadecimal";
        Type(d, "macEdit4", u"f1"_qs);
        Click(d, "okButton");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(d.values().address, 0xC0A80000u) << "fields left empty count as 0";
    EXPECT_EQ(d.values().name, QString()) << "an empty name is accepted";
    EXPECT_EQ(d.values().mac, (MacText::Bytes{0, 0, 0, 0xF1, 0, 0}));

    // The password field stops at 255 characters.
    CProjectorEditDlg e(CProjectorEditDlg::Add, {});
    auto* password = Child<QLineEdit>(e, "passwordEdit");
    QTest::keyClicks(password, QString(300, u'k'));
    EXPECT_EQ(password->text().size(), 255);
}

TEST_F(ProjectorListDialogs, FormRefusesAuthenticationWithAnEmptyPasswordAndSaysWhy) {
    MessageBoxRecorder boxes;
    CProjectorEditDlg d(CProjectorEditDlg::Add, {});
    const int result = ExecWith(d, [&d, &boxes] {
        TypeIp(Child<CIpAddressEdit>(d, "addressEdit"), u"10.0.0.5"_qs);
        Child<QCheckBox>(d, "authenticationCheck")->setChecked(true);
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(boxes.texts(), QStringList{CatalogText(msg::FormAuthNeedsPassword)});
        Type(d, "passwordEdit", u"pw"_qs);
        Click(d, "okButton");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(d.values().authMark, u"1");
    EXPECT_EQ(d.values().password, u"pw");
}

// A whole MAC address pasted into any box fills all six; typing moves on after two digits.
TEST_F(ProjectorListDialogs, MacBoxesTakeAPastedAddressAndMoveOnAfterTwoDigits) {
    CProjectorEditDlg d(CProjectorEditDlg::Add, {});
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d, 20000));
    const char* boxes[] = {"macEdit1", "macEdit2", "macEdit3", "macEdit4", "macEdit5", "macEdit6"};
    auto shown = [&] {
        QStringList texts;
        for (const char* b : boxes) {
            texts << Child<QLineEdit>(d, b)->text();
        }
        return texts;
    };
    const QStringList expected{u"00"_qs, u"1A"_qs, u"2B"_qs, u"3C"_qs, u"4D"_qs, u"5E"_qs};
    int into = 0;
    for (const QString& pasted :
         {u"00:1A:2B:3C:4D:5E"_qs, u"00-1a-2b-3c-4d-5e"_qs, u"001A.2B3C.4D5E"_qs, u"001A2B3C4D5E"_qs}) {
        for (const char* b : boxes) {
            Child<QLineEdit>(d, b)->clear();
        }
        QGuiApplication::clipboard()->setText(pasted);
        auto* box = Child<QLineEdit>(d, boxes[into]);
        box->setFocus();
        box->paste();
        EXPECT_EQ(shown(), expected) << pasted.toStdString() << " into box " << into + 1;
        into = (into + 2) % 6;
    }

    // Typed digit by digit into whichever box has the focus.
    for (const char* b : boxes) {
        Child<QLineEdit>(d, b)->clear();
    }
    Child<QLineEdit>(d, "macEdit1")->setFocus();
    for (const QChar c : u"001a2b3c4d5e"_qs) {
        QWidget* focus = d.focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, c.toLatin1());
    }
    EXPECT_EQ(shown(), (QStringList{u"00"_qs, u"1a"_qs, u"2b"_qs, u"3c"_qs, u"4d"_qs, u"5e"_qs}));
    EXPECT_EQ(d.focusWidget(), Child<QLineEdit>(d, "macEdit6"));

    // Something that is not an address leaves one byte's worth in the box, not the rest lost
    // into a wider box.
    auto* third = Child<QLineEdit>(d, "macEdit3");
    third->clear();
    third->setFocus();
    QGuiApplication::clipboard()->setText(u"ab:cd"_qs);
    third->paste();
    EXPECT_EQ(third->text(), u"ab");
}

// Add and Edit name another record with the same address or MAC; the user may go on.
TEST_F(ProjectorListDialogs, AddAndEditNameADuplicateAndGoOnOnlyOnYes) {
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList(
        {TestProjector(u"Hall"_qs, 0x0A000105u), TestProjector(u"Lab"_qs, 0x0A000106u)}));
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame));
    MessageBoxRecorder boxes;
    boxes.answer(QMessageBox::No);
    boxes.answer(QMessageBox::Yes);
    WhenModal<CProjectorEditDlg>([&boxes](CProjectorEditDlg& d) {
        fillForm(d, u"Twin"_qs, {}, u"10.0.1.5"_qs, false, {});
        EXPECT_TRUE(d.isVisible()) << "No keeps the form open";
        ASSERT_EQ(boxes.shown().size(), 1u);
        const QString clash = CatalogText(msg::DuplicateAddress, {u"Hall"_qs, u"10.0.1.5"_qs});
        EXPECT_EQ(boxes.shown()[0].text, CatalogText(msg::DuplicateAskSave, {clash}));
        EXPECT_EQ(boxes.shown()[0].buttons, QMessageBox::Yes | QMessageBox::No);
        Click(d, "okButton"); // Yes
    });
    dlg.menuBarAction(CProjectorListDlg::CmdAdd)->trigger();
    ASSERT_EQ(frame.GetProjectorList().size(), 3);
    EXPECT_EQ(frame.GetProjectorList()[2].name, u"Twin");

    // Edit: the record itself is no clash; another's MAC is.
    boxes.clear();
    boxes.answer(QMessageBox::No);
    selectRows(dlg.list(), {1});
    WhenModal<CProjectorEditDlg>([&boxes](CProjectorEditDlg& d) {
        Type(d, "nameEdit", u"Lab 2"_qs);
        Click(d, "okButton");
        EXPECT_TRUE(d.isVisible());
        ASSERT_EQ(boxes.shown().size(), 1u) << "Lab shares its MAC with Hall";
        EXPECT_EQ(boxes.shown()[0].text,
                  CatalogText(msg::DuplicateAskSave,
                              {CatalogText(msg::DuplicateMac, {u"Hall"_qs, u"00-1A-2B-3C-4D-5E"_qs})}));
        Click(d, "cancelButton");
    });
    dlg.OnEdit();
    EXPECT_EQ(frame.GetProjectorList()[1].name, u"Lab");
}

TEST_F(ProjectorListDialogs, DeletingRowsTwoAndFourOfFiveLeavesOneThreeFive) {
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ProjectorList five;
    for (int i = 1; i <= 5; ++i) {
        five << TestProjector(u"P%1"_qs.arg(i), 0x0A000000u | static_cast<quint32>(i));
    }
    ASSERT_TRUE(frame.SaveProjectorList(five));
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame));
    MessageBoxRecorder boxes;
    selectRows(dlg.list(), {3, 1});
    boxes.answer(QMessageBox::No);
    dlg.menuBarAction(CProjectorListDlg::CmdDelete)->trigger();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, CatalogText(9, 246));
    EXPECT_EQ(boxes.shown()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(frame.GetProjectorList().size(), 5) << "No deletes nothing";

    boxes.answer(QMessageBox::Yes);
    dlg.contextAction(CProjectorListDlg::CmdDelete)->trigger();
    const ProjectorList left = frame.GetProjectorList();
    ASSERT_EQ(left.size(), 3);
    EXPECT_EQ(left[0].name, u"P1");
    EXPECT_EQ(left[1].name, u"P3");
    EXPECT_EQ(left[2].name, u"P5");
    EXPECT_TRUE(iniText().contains(u"COUNT=3"));
    ASSERT_EQ(dlg.list()->rowCount(), 3);
    EXPECT_EQ(dlg.list()->item(1, 0)->text(), u"P3");
}

namespace {

// Hands the text of every wait box that shows to a callback, as it shows.
class WaitBoxShows final : public QObject {
public:
    explicit WaitBoxShows(std::function<void(const QString&)> noted) : m_noted(std::move(noted)) {
        QApplication::instance()->installEventFilter(this);
    }
    ~WaitBoxShows() override { QApplication::instance()->removeEventFilter(this); }
    WaitBoxShows(const WaitBoxShows&) = delete;
    WaitBoxShows& operator=(const WaitBoxShows&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* wait = qobject_cast<CGetWaitDlg*>(watched)) {
                m_noted(wait->text());
            }
        }
        return false;
    }

private:
    std::function<void(const QString&)> m_noted;
};

} // namespace

TEST_F(ProjectorListDialogs, GetStatusShowsWaitBoxAndStatusDialogPerRowInOrderAndCancelFillsThirdColumn) {
    ProjectorEmulator* first = m_emus.add();
    EmulatorConfig locked;
    locked.authenticate = true;
    locked.password = "pw";
    ProjectorEmulator* second = m_emus.add(locked);
    ASSERT_TRUE(first && second);
    first->stores().setState(1, EmulatorStores::Receiving);
    second->stores().setState(3, EmulatorStores::Completed);
    ASSERT_TRUE(second->stores().begin(2)); // a transmission CANCEL can stop

    AppState frameState(m_ini);

    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({TestProjector(u"First"_qs, first->address()),
                                         TestProjector(u"Other"_qs, 0x0A0000FEu),
                                         TestProjector(u"Second"_qs, second->address(), u"pw"_qs)}));
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame), nullptr,
                          FastContext());
    selectRows(dlg.list(), {2, 0});

    QStringList seen; // wait texts and dialog titles, in the order they showed
    QList<QStringList> columns;
    QStringList cancelColumn;
    auto* watch = new QTimer(&dlg);
    watch->setInterval(5);
    bool handling = false; // Cancel Transmit runs its own event loop, in which this fires again
    // The wait box is noted as it shows: the queries may end before any timer could see it.
    WaitBoxShows waitShows([&](const QString& text) { seen << text; });
    QObject::connect(watch, &QTimer::timeout, [&] {
        if (handling) {
            return;
        }
        auto* info = qobject_cast<CStoreListDlg*>(QApplication::activeModalWidget());
        if (info == nullptr || !info->isVisible()) {
            return;
        }
        handling = true;
        seen << info->windowTitle();
        QStringList texts;
        for (int row = 0; row < 4; ++row) {
            texts << info->list()->item(row, 1)->text();
        }
        columns << texts;
        EXPECT_EQ(info->list()->columnCount(), 2);
        auto* cancel = Child<QPushButton>(*info, "cancelTransmitButton");
        EXPECT_TRUE(cancel->isVisible());
        if (seen.size() == 4) { // the second projector: press Cancel Transmit twice
            for (int press = 0; press < 2; ++press) {
                Click(*info, "cancelTransmitButton");
                EXPECT_TRUE(QTest::qWaitFor([info] { return !info->isCancelling(); }, 30000));
            }
            EXPECT_EQ(info->list()->columnCount(), 3);
            EXPECT_EQ(info->list()->horizontalHeaderItem(2)->text(), CatalogText(msg::ColumnCancelResult));
            for (int row = 0; row < 4; ++row) {
                cancelColumn << info->list()->item(row, 2)->text();
            }
        }
        Click(*info, "closeButton");
        handling = false;
    });
    watch->start();
    dlg.menuBarAction(CProjectorListDlg::CmdGetStatus)->trigger();
    EXPECT_FALSE(dlg.menuBar()->isEnabled()) << "no second query while this one runs";
    ASSERT_TRUE(queriesEnd(dlg));
    watch->stop();

    const QStringList want{CatalogText(msg::WaitTransState, {u"First"_qs}),
                           CatalogText(msg::StoreStateDlgTitle, {u"First"_qs}),
                           CatalogText(msg::WaitTransState, {u"Second"_qs}),
                           CatalogText(msg::StoreStateDlgTitle, {u"Second"_qs})};
    EXPECT_EQ(seen, want);
    ASSERT_EQ(columns.size(), 2);
    EXPECT_EQ(columns[0],
              (QStringList{CatalogText(9, 84), CatalogText(9, 82), CatalogText(9, 82), CatalogText(9, 82)}));
    EXPECT_EQ(columns[1],
              (QStringList{CatalogText(9, 82), CatalogText(9, 84), CatalogText(9, 86), CatalogText(9, 82)}))
        << "store 2 is receiving, store 3 completed";
    // Only store 2 has a transmission to cancel; the others are told so without a CANCEL.
    EXPECT_EQ(cancelColumn,
              (QStringList{CatalogText(msg::NothingToCancel), CatalogText(9, 68),
                           CatalogText(msg::NothingToCancel), CatalogText(msg::NothingToCancel)}));
    ASSERT_TRUE(second->waitForServed(14, 20000));
    QList<QByteArray> commands;
    for (const EmulatorRequest& r : second->requests()) {
        commands << r.command;
        EXPECT_TRUE(r.prefixOk) << r.command.constData();
    }
    EXPECT_EQ(commands,
              (QList<QByteArray>{"STAT 1", "STAT 2", "STAT 3", "STAT 4", "STAT 1", "STAT 2", "CANCEL 2",
                                 "STAT 3", "STAT 4", "STAT 1", "STAT 2", "CANCEL 2", "STAT 3", "STAT 4"}));
    EXPECT_TRUE(dlg.list()->isEnabled());
}

TEST_F(ProjectorListDialogs, ImageInfoShowsNameAndSizeOfEachStore) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_TRUE(e);
    ASSERT_TRUE(e->stores().begin(3));
    e->stores().finish(3, "pic.qv1", QByteArray(1000, 'x'));
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList({TestProjector(u"Lobby"_qs, e->address())}));
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame), nullptr,
                          FastContext());
    selectRows(dlg.list(), {0});
    QString waitText;
    WaitBoxShows waitShows([&](const QString& text) { waitText = text; });
    bool shown = false;
    WhenModal<CStoreListDlg>([&](CStoreListDlg& info) {
        shown = true;
        EXPECT_EQ(info.windowTitle(), CatalogText(msg::StoreInfoDlgTitle, {u"Lobby"_qs}));
        EXPECT_FALSE(Child<QPushButton>(info, "cancelTransmitButton")->isVisible());
        QTableWidget* t = info.list();
        EXPECT_EQ(t->columnCount(), 3);
        EXPECT_EQ(t->horizontalHeaderItem(1)->text(), CatalogText(msg::ColumnFileName));
        // The original widths at least; wider where a text or header needs it, the last
        // column taking the room that is left.
        EXPECT_GE(t->columnWidth(0), 80);
        EXPECT_GE(t->columnWidth(1), 120);
        EXPECT_GE(t->columnWidth(2), 100);
        for (int row = 0; row < 4; ++row) {
            EXPECT_GE(t->columnWidth(1), CellTextNeeds(t, t->item(row, 1)->text())) << row;
        }
        EXPECT_EQ(t->item(2, 0)->text(), u"3");
        EXPECT_EQ(t->item(2, 1)->text(), u"pic.qv1");
        EXPECT_EQ(t->item(2, 2)->text(), CatalogText(msg::StoreSizeText, {u"1,000"_qs}));
        EXPECT_EQ(t->item(0, 1)->text(), CatalogText(msg::StoreEmpty));
        EXPECT_EQ(t->item(0, 2)->text(), CatalogText(msg::StoreSizeNone));
        Click(info, "closeButton");
    });
    dlg.contextAction(CProjectorListDlg::CmdImageInfo)->trigger();
    ASSERT_TRUE(queriesEnd(dlg));
    EXPECT_TRUE(shown);
    EXPECT_TRUE(dlg.statusLine()->isHidden()) << "nothing was stopped";
    EXPECT_EQ(waitText, CatalogText(msg::WaitImageInfo, {u"Lobby"_qs}));
}

TEST_F(ProjectorListDialogs, NamesAndStoreContentsFromOutsideAreShownAsWritten) {
    // Stores that claim files named with markup and characters that hide or reverse text.
    ProjectorEmulator* e = m_emus.add();
    ASSERT_TRUE(e);
    QList<const HostileString*> files;
    ProjectorList list;
    QStringList shown;
    quint32 host = 0x0A000700u;
    for (const HostileString& h : HostileStrings()) {
        if (h.text.contains(u'\r') || h.text.contains(u'\n')) {
            continue; // neither an INI line nor a reply line holds one
        }
        list << TestProjector(h.text, list.isEmpty() ? e->address() : ++host);
        shown << h.shown;
        if (files.size() < 4 && (h.invisible || h.text.contains(u'<'))) {
            files << &h;
        }
    }
    for (int s = 1; s <= 4; ++s) {
        ASSERT_TRUE(e->stores().begin(s));
        e->stores().finish(s, files[s - 1]->text.toUtf8(), QByteArray(10, 'x'));
    }
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList(list));
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame), nullptr,
                          FastContext());
    QTableWidget* t = dlg.list();
    ASSERT_EQ(t->rowCount(), list.size());
    for (int row = 0; row < list.size(); ++row) {
        EXPECT_EQ(t->item(row, 0)->text(), shown[row]);
    }

    selectRows(dlg.list(), {0});
    QString waitText;
    WaitBoxShows waitShows([&](const QString& text) { waitText = text; });
    bool seen = false;
    WhenModal<CStoreListDlg>([&](CStoreListDlg& info) {
        seen = true;
        EXPECT_EQ(info.windowTitle(), CatalogText(msg::StoreInfoDlgTitle, {shown[0]}));
        for (int s = 1; s <= 4; ++s) {
            EXPECT_EQ(info.list()->item(s - 1, 1)->text(), files[s - 1]->shown) << files[s - 1]->what;
        }
        Click(info, "closeButton");
    });
    dlg.contextAction(CProjectorListDlg::CmdImageInfo)->trigger();
    ASSERT_TRUE(queriesEnd(dlg));
    EXPECT_TRUE(seen);
    EXPECT_EQ(waitText, CatalogText(msg::WaitImageInfo, {shown[0]}));
}

TEST_F(ProjectorListDialogs, TheWaitBoxsStopAbandonsTheProjectorBeingAsked) {
    EmulatorConfig mute;
    mute.faults.neverReply = true; // accepts, reads the command, never answers
    ProjectorEmulator* slow = m_emus.add(mute);
    ProjectorEmulator* next = m_emus.add();
    ASSERT_TRUE(slow && next);
    AppState frameState(m_ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList(
        {TestProjector(u"Slow"_qs, slow->address()), TestProjector(u"Next"_qs, next->address())}));
    // The protocol's own waits: the silent projector's four stores would take two minutes.
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame));
    dlg.show();
    selectRows(dlg.list(), {0, 1});
    int infoShown = 0;
    auto* watch = new QTimer(&dlg);
    watch->setInterval(5);
    QObject::connect(watch, &QTimer::timeout, [&] {
        if (auto* info = qobject_cast<CStoreListDlg*>(QApplication::activeModalWidget())) {
            ++infoShown;
            info->accept();
        }
    });
    watch->start();
    dlg.OnImageInfo();
    auto* wait = dlg.findChild<CGetWaitDlg*>();
    ASSERT_NE(wait, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return wait->isVisible() && slow->connections() == 1; }, 20000));
    QElapsedTimer took;
    took.start();
    Click(*wait, "stopButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.isQuerying(); }, 20000))
        << "the stop waited for the projector";
    EXPECT_LT(took.elapsed(), 20000);
    watch->stop();
    EXPECT_FALSE(wait->isVisible());
    EXPECT_EQ(infoShown, 0);
    EXPECT_TRUE(slow->waitForServed(1, 20000)) << "its connection was closed from our side";
    EXPECT_EQ(slow->connections(), 1) << "its other stores were not asked";
    EXPECT_EQ(next->connections(), 0) << "nor was the projector after it";
    EXPECT_FALSE(dlg.statusLine()->isHidden());
    EXPECT_EQ(dlg.statusLine()->text(), CatalogText(msg::WaitQueriesStopped, {u"Slow"_qs}));
    EXPECT_TRUE(dlg.menuBar()->isEnabled());
    EXPECT_TRUE(dlg.list()->isEnabled());
    EXPECT_TRUE(dlg.menuBarAction(CProjectorListDlg::CmdImageInfo)->isEnabled());
}

TEST_F(ProjectorListDialogs, TheListDialogNeedsOnlyTheStoreAnObserverAndAWayToSave) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    ProjectorStore store(m_ini);
    ASSERT_TRUE(store
                    .saveProjectors(
                        {TestProjector(u"Lobby"_qs, e->address()), TestProjector(u"Gone"_qs, 0x0A0000FEu)})
                    .ok());
    QList<ProjectorList> saved;
    struct Counting final : CommandObserver {
        std::atomic<int> heard{0};
        void commandFinished(const CommandEvent&) override { ++heard; }
    } observer;
    CProjectorListDlg dlg(
        store, &observer,
        [&](const ProjectorList& list) {
            saved << list;
            return store.saveProjectors(list).ok();
        },
        nullptr, FastContext());
    ASSERT_EQ(dlg.list()->rowCount(), 2);

    selectRows(dlg.list(), {0});
    WhenModal<CStoreListDlg>([](CStoreListDlg& info) { info.accept(); });
    dlg.OnImageInfo();
    ASSERT_TRUE(queriesEnd(dlg));
    EXPECT_EQ(observer.heard.load(), 4) << "one INFO per store, each heard by the observer";

    MessageBoxRecorder boxes; // answers Yes
    selectRows(dlg.list(), {1});
    dlg.menuBarAction(CProjectorListDlg::CmdDelete)->trigger();
    ASSERT_EQ(saved.size(), 1);
    ASSERT_EQ(saved[0].size(), 1);
    EXPECT_EQ(saved[0][0].name, u"Lobby");
    EXPECT_EQ(store.projectors(), saved[0]);
    ASSERT_EQ(dlg.list()->rowCount(), 1);
    EXPECT_TRUE(iniText().contains(u"COUNT=1"));
}

TEST(IpAddressEdit, TypingDotsAndThreeDigitsMoveOnAndValuesOver255AreRefused) {
    ShippedCatalog catalog;
    CIpAddressEdit ip;
    ip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ip));
    TypeIp(&ip, u"192.168.1.20"_qs);
    EXPECT_EQ(ip.address(), 0xC0A80114u);
    EXPECT_EQ(ip.text(), u"192.168.1.20");

    ip.clear();
    TypeIp(&ip, u"10."_qs);
    EXPECT_EQ(Focused(ip), ip.field(1));
    QTest::keyClicks(ip.field(1), u"255"_qs); // three digits move on by themselves
    EXPECT_EQ(Focused(ip), ip.field(2));
    QTest::keyClicks(ip.field(2), u"300"_qs);
    EXPECT_EQ(ip.field(2)->text(), u"30") << "the 0 that would make 300 is refused";
    QTest::keyClicks(ip.field(3), u"7x"_qs);
    EXPECT_EQ(ip.field(3)->text(), u"7");
    EXPECT_EQ(ip.address(), 0x0AFF1E07u);

    // Backspace in an empty field goes back to the one before.
    ip.field(3)->clear();
    ip.field(3)->setFocus();
    QTest::keyClick(ip.field(3), Qt::Key_Backspace);
    EXPECT_EQ(Focused(ip), ip.field(2));
    QTest::keyClick(ip.field(2), Qt::Key_Backspace);
    EXPECT_EQ(ip.field(2)->text(), u"3");

    // Empty fields count as 0; a dot in an empty field stays there.
    ip.clear();
    TypeIp(&ip, u"192.168"_qs);
    EXPECT_EQ(ip.address(), 0xC0A80000u);
    EXPECT_FALSE(ip.isBlank());
    ip.clear();
    EXPECT_TRUE(ip.isBlank());
    EXPECT_EQ(ip.address(), 0u);
    ip.field(1)->setFocus();
    QTest::keyClicks(ip.field(1), u"."_qs);
    EXPECT_EQ(Focused(ip), ip.field(1));
    EXPECT_TRUE(ip.field(1)->text().isEmpty());

    // Pasting a dotted address fills all four fields; anything else is refused whole.
    QApplication::clipboard()->setText(u"10.1.2.3"_qs);
    ip.field(1)->setFocus();
    QTest::keySequence(ip.field(1), QKeySequence::Paste);
    EXPECT_EQ(ip.address(), 0x0A010203u);
    EXPECT_FALSE(ip.setText(u"1.2.3"_qs));
    EXPECT_FALSE(ip.setText(u"1.2.3.256"_qs));
    EXPECT_EQ(ip.address(), 0x0A010203u);
    EXPECT_TRUE(ip.setText(u" 172.16.0.9 "_qs));
    EXPECT_EQ(ip.address(), 0xAC100009u);
    ip.setAddress(0xFFFFFFFFu);
    EXPECT_EQ(ip.text(), u"255.255.255.255");

    ip.setLabelText(u"&IP Address"_qs);
    EXPECT_EQ(ip.accessibleName(), u"IP Address");
    EXPECT_EQ(ip.field(2)->accessibleName(), CatalogText(msg::IpFieldName, {u"IP Address"_qs, u"3"_qs}));
}

TEST_F(ProjectorListDialogs, CsvExportWarnsAndImportWritesOnlyWhatThePreviewConfirmed) {
    QStringList paths;
    auto answers = std::make_unique<CsvFileAnswers>();
    answers->paths = &paths;
    CFileDialogs::setInstanceForTesting(std::move(answers));
    struct Restore {
        ~Restore() { CFileDialogs::setInstanceForTesting(nullptr); }
    } restore;

    AppState frameState(m_ini);

    CMainFrame frame(frameState);
    const ProjectorList original{TestProjector(u"Hall, east"_qs, 0x0A000105u, u"p\"w"_qs),
                                 TestProjector(u"Foyer"_qs, 0x0A000106u)};
    ASSERT_TRUE(frame.SaveProjectorList(original));
    CProjectorListDlg dlg(frame.projectorStore(), frame.commandObserver(), saver(frame));
    MessageBoxRecorder boxes;

    // Export: the warning first; No writes nothing.
    const QString csv = m_dir.filePath(u"list.csv"_qs);
    boxes.answer(QMessageBox::No);
    dlg.menuBarAction(CProjectorListDlg::CmdExportCsv)->trigger();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, CatalogText(msg::CsvExportPasswordWarning));
    EXPECT_FALSE(QFile::exists(csv));
    paths << csv;
    dlg.menuBarAction(CProjectorListDlg::CmdExportCsv)->trigger();
    ASSERT_TRUE(QFile::exists(csv));
    EXPECT_EQ(QFile::permissions(csv) &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions{});

    // Import into a list that has one of the addresses: the preview says what happens, and
    // Cancel writes nothing.
    ASSERT_TRUE(frame.SaveProjectorList({TestProjector(u"Other"_qs, 0x0A000106u)}));
    const QString before = iniText();
    CProjectorListDlg second(frame.projectorStore(), frame.commandObserver(), saver(frame));
    paths << csv;
    QStringList lines;
    WhenModal<CCsvImportDlg>([&lines](CCsvImportDlg& d) {
        for (int i = 0; i < d.lines()->count(); ++i) {
            lines << d.lines()->item(i)->text();
        }
        Click(d, "cancelButton");
    });
    second.OnImportCsv();
    // The records all share one MAC: each line names the other record, as the form would.
    const QString mac = u"00-1A-2B-3C-4D-5E"_qs;
    EXPECT_EQ(lines, (QStringList{CatalogText(msg::CsvRowNew, {u"2"_qs, u"Hall, east"_qs, u"10.0.1.5"_qs}) +
                                      u' ' + CatalogText(msg::DuplicateMac, {u"Other"_qs, mac}),
                                  CatalogText(msg::CsvRowReplaces, {u"3"_qs, u"Foyer"_qs, u"10.0.1.6"_qs}) +
                                      u' ' + CatalogText(msg::DuplicateMac, {u"Hall, east"_qs, mac})}));
    EXPECT_EQ(iniText(), before);

    paths << csv;
    WhenModal<CCsvImportDlg>([](CCsvImportDlg& d) { Click(d, "importButton"); });
    second.menuBarAction(CProjectorListDlg::CmdImportCsv)->trigger();
    const ProjectorList now = frame.GetProjectorList();
    ASSERT_EQ(now.size(), 2);
    EXPECT_EQ(now[0], original[1]) << "the record at the same address was replaced in its place";
    EXPECT_EQ(now[1], original[0]);
    EXPECT_EQ(second.list()->rowCount(), 2);

    // A binary file is refused with a message and changes nothing.
    const QString junk = m_dir.filePath(u"junk.csv"_qs);
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\x00\xff\xfe\x01", 4).repeated(100));
    f.close();
    const QString saved = iniText();
    boxes.clear();
    paths << junk;
    second.OnImportCsv();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, CatalogText(msg::CsvNotAList));
    EXPECT_EQ(iniText(), saved);
}
