#include "app/AppState.h"
#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "app/QtTranslations.h"
#include "i18n/CatalogIds.h"
#include "protocol/CImageInfoDlg.h"
#include "protocol/CTransStateDlg.h"
#include "registry/CProjectorStoreWrites.h"
#include "registry/CProjectorTable.h"
#include "support/CatalogFixture.h"
#include "support/DialogDriver.h"
#include "support/Emulators.h"
#include "support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

class MainFrameTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("t.INI"));
};

} // namespace

// The texts are there as soon as the window is: nothing has to localise it afterwards.
TEST_F(MainFrameTest, MenusAreLocalisedAndKeepTheirCommands) {
    ShippedCatalog catalog;
    AppState frameState(ini);
    CMainFrame frame(frameState);
    const QList<QAction*> popups = frame.menuBar()->actions();
    ASSERT_EQ(popups.size(), 5);
    EXPECT_EQ(popups[0]->text(), CatalogText(53, 1));
    EXPECT_EQ(popups[3]->text(), CatalogText(msg::MenuView)) << "View stands before Help";
    ASSERT_NE(popups[0]->menu(), nullptr) << "the popup keeps its submenu";
    QAction* userEdit = frame.action(Cmd::UserEdit);
    EXPECT_EQ(userEdit->text(), CatalogText(53, 19));
    EXPECT_TRUE(popups[0]->menu()->actions().contains(userEdit));
    EXPECT_EQ(userEdit->data().toInt(), Cmd::UserEdit);
    EXPECT_EQ(frame.action(Cmd::ProjectorList)->text(), CatalogText(53, 11));
    EXPECT_EQ(frame.action(Cmd::ProjectorList)->statusTip(), CatalogText(53, 27));
    EXPECT_EQ(frame.action(Cmd::ProjectorList)->toolTip(), CatalogText(53, 27));
    // Every prompt is a catalog text, so a Chinese window shows no English prompts.
    EXPECT_EQ(frame.action(Cmd::Setting)->statusTip(), CatalogText(msg::PromptSetting));
    EXPECT_EQ(frame.action(Cmd::Convert)->statusTip(), CatalogText(msg::PromptConvert));
    EXPECT_EQ(frame.action(Cmd::AppExit)->statusTip(), CatalogText(msg::PromptExit));
    EXPECT_EQ(frame.action(Cmd::FileSave)->statusTip(), CatalogText(msg::PromptSave));
    EXPECT_EQ(frame.toolBar()->windowTitle(), CatalogText(msg::ToolbarStandard));
    for (QAction* p : popups) {
        for (QAction* a : p->menu()->actions()) {
            if (!a->isSeparator()) {
                EXPECT_NE(a->text(), kNoMessageCatalog);
                EXPECT_FALSE(a->text().contains(u';')) << a->text().toStdString();
            }
        }
    }
    EXPECT_EQ(frame.action(Cmd::FileOpen)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(frame.toolBar()->actions().size(), 13);
    EXPECT_TRUE(frame.sizePaneText().isEmpty());
}

TEST_F(MainFrameTest, WithoutCatalogNumberedItemsSayNoCatalog) {
    ShippedCatalog none(ShippedCatalog::Which::None);
    AppState frameState(ini);
    CMainFrame frame(frameState);
    EXPECT_EQ(frame.menuBar()->actions()[2]->text(), kNoMessageCatalog);
    EXPECT_EQ(frame.action(Cmd::Send)->text(), kNoMessageCatalog);
    EXPECT_EQ(frame.action(Cmd::AppExit)->statusTip(), kNoMessageCatalog);
}

TEST_F(MainFrameTest, MarkerFilesChooseTheLanguage) {
    ScopedCurrentDir cwd;
    ShippedCatalog sc(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    const QString chinese = CatalogText(53, 1);
    QFile(cwd.file(u"GETENG"_qs)).open(QIODevice::WriteOnly);
    const QString english = CatalogText(53, 1);
    EXPECT_NE(chinese, english);
    AppState frameState(ini);
    CMainFrame frame(frameState);
    EXPECT_EQ(frame.menuBar()->actions()[0]->text(), english);
    QFile(cwd.file(u"GETSCH"_qs)).open(QIODevice::WriteOnly);
    AppState againState(ini);
    CMainFrame again(againState);
    EXPECT_EQ(again.menuBar()->actions()[0]->text(), chinese) << "GETSCH wins over GETENG";
}

// A window that stays up follows a language chosen after it was made once it is told to.
TEST_F(MainFrameTest, LocaliseMainMenuFollowsALanguageChosenLater) {
    ShippedCatalog english;
    AppState frameState(ini);
    CMainFrame frame(frameState);
    const QString englishFile = frame.menuBar()->actions()[0]->text();
    UseShippedCatalog(Catalog::kSimplifiedChinese);
    frame.LocaliseMainMenu();
    EXPECT_NE(frame.menuBar()->actions()[0]->text(), englishFile);
    EXPECT_EQ(frame.menuBar()->actions()[0]->text(), CatalogText(msg::MenuFile));
    EXPECT_EQ(frame.action(Cmd::Send)->text(), CatalogText(msg::MenuSend));
    EXPECT_EQ(frame.action(Cmd::Send)->statusTip(), CatalogText(msg::PromptSend));
    EXPECT_EQ(frame.action(Cmd::UserEdit)->toolTip(), CatalogText(msg::MenuUserEdit))
        << "a command without a prompt shows its own text as its tip";
    EXPECT_EQ(frame.toolBar()->windowTitle(), CatalogText(msg::ToolbarStandard));
}

// View > Language: the menus change at once, the user is told about the rest, the choice is
// kept for the next start, and Qt's own texts follow.
TEST_F(MainFrameTest, TheLanguageMenuSwitchesTheMenusAndRemembersTheChoice) {
    ScopedCurrentDir cwd; // no marker files
    ShippedCatalog english;
    SetCatalogSearchPathForTesting({QStringLiteral(TESSAVEL_BUILD_DIR)});
    AppState frameState(ini);
    CMainFrame frame(frameState);
    auto* languages = frame.menuBar()->findChild<QMenu*>(u"menuLanguage"_qs);
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(languages->menuAction()->text(), CatalogText(msg::MenuLanguage));
    auto* chinese = languages->findChild<QAction*>(u"language_zh"_qs);
    auto* back = languages->findChild<QAction*>(u"language_en"_qs);
    ASSERT_TRUE(chinese != nullptr && back != nullptr);
    QMetaObject::invokeMethod(languages, "aboutToShow");
    EXPECT_TRUE(back->isChecked());

    MessageBoxRecorder boxes;
    chinese->trigger();
    EXPECT_EQ(frame.menuBar()->actions()[0]->text(), u"文件(&F)");
    EXPECT_EQ(languages->menuAction()->text(), u"语言(&L)");
    EXPECT_EQ(QSettings().value(u"language"_qs).toString(), u"zh");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, CatalogText(msg::LanguageChanged));
    // Qt's own buttons, where its translation is installed on this machine.
    if (QFileInfo::exists(QtTranslations::folder() + u"/qtbase_zh_CN.qm"_qs)) {
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"取消");
    }
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);

    back->trigger();
    EXPECT_EQ(frame.menuBar()->actions()[0]->text(), u"&File");
    EXPECT_EQ(QSettings().value(u"language"_qs).toString(), u"en");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Cancel");
    EXPECT_EQ(QLocale().language(), QLocale::English);

    QtTranslations::install(Catalog::kEnglish);
    SetChosenLanguageId(0);
    SetCatalogSearchPathForTesting({});
    QSettings().remove(u"language"_qs);
}

// Tests and the accessibility tree find commands by these words.
TEST_F(MainFrameTest, EveryCommandHasItsActionNamedByItsWord) {
    AppState frameState(ini);
    CMainFrame frame(frameState);
    QSet<QString> names;
    for (const Cmd::Word& row : Cmd::kWords) {
        const QString name = Cmd::actionName(row.id);
        EXPECT_EQ(name, QString::fromLatin1(row.word) + u"Action"_qs);
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
        names.insert(name);
        QAction* a = frame.findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
        ASSERT_NE(a, nullptr) << name.toStdString();
        EXPECT_EQ(a, frame.action(row.id)) << name.toStdString();
        EXPECT_EQ(a->data().toInt(), row.id);
    }
    // A command added outside the table would get an action without a name.
    for (QAction* a : frame.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (a->data().isValid()) {
            EXPECT_TRUE(names.contains(a->objectName())) << a->data().toInt();
        }
    }
    EXPECT_TRUE(Cmd::actionName(0).isEmpty()) << "a separator is no command";
    EXPECT_TRUE(Cmd::actionName(Cmd::End).isEmpty());
}

TEST_F(MainFrameTest, CloseAsksFirst) {
    ShippedCatalog catalog;
    MessageBoxRecorder boxes;
    AppState frameState(ini);
    CMainFrame frame(frameState);
    frame.show();
    boxes.setDefaultAnswer(QMessageBox::Cancel);
    EXPECT_FALSE(frame.close());
    EXPECT_TRUE(frame.isVisible());
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts()[0], CatalogText(msg::ConfirmExit));
    boxes.setDefaultAnswer(QMessageBox::Ok);
    EXPECT_TRUE(frame.close());
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(MainFrameTest, UserEditNeedsTheToolBesideTheExecutable) {
    const QString tool = QDir(QCoreApplication::applicationDirPath()).filePath(CMainFrame::userToolName());
    QFile::remove(tool);
    AppState frameState(ini);
    CMainFrame frame(frameState);
    frame.updateCommandStates();
    EXPECT_FALSE(frame.action(Cmd::UserEdit)->isEnabled());
    {
        ScopedCurrentDir cwd; // the current folder does not count here
        QFile(cwd.file(CMainFrame::userToolName())).open(QIODevice::WriteOnly);
        frame.updateCommandStates();
        EXPECT_FALSE(frame.action(Cmd::UserEdit)->isEnabled());
        EXPECT_FALSE(CMainFrame::userToolPresent())
            << "the login's User Management looks where User Edit does";
    }
    ASSERT_TRUE(QFile(tool).open(QIODevice::WriteOnly));
    frame.updateCommandStates();
    EXPECT_TRUE(frame.action(Cmd::UserEdit)->isEnabled());
    EXPECT_TRUE(CMainFrame::userToolPresent());
    QFile::remove(tool);
}

TEST_F(MainFrameTest, FailedListSaveIsShown) {
    ShippedCatalog catalog;
    MessageBoxRecorder boxes;
    AppState frameState(dir.filePath(QStringLiteral("missing/dir/t.INI")));
    CMainFrame frame(frameState);
    ProjectorRecord r;
    r.name = QStringLiteral("p");
    EXPECT_FALSE(frame.SaveProjectorList({r}));
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].contains(u"missing/dir/t.INI"));
    EXPECT_EQ(frame.GetProjectorList().size(), 1);
}

// Discovery's menu runs a command for its row: the dialog opens with that projector chosen,
// also one the list does not hold yet; opened from the main menu, nothing is chosen for the user.
TEST_F(MainFrameTest, ACommandFromAProjectorsRowOpensWithThatProjectorChosen) {
    ShippedCatalog catalog;
    AppState frameState(ini);
    CMainFrame frame(frameState);
    ASSERT_TRUE(frame.SaveProjectorList(
        {TestProjector(u"Hall"_qs, 0x0A000105u), TestProjector(u"Foyer"_qs, 0xC0A80A14u, u"pw"_qs)}));
    QList<QStringList> chosen; // per opening: "name address" of each selected row
    int rows = 0;
    auto note = [&chosen, &rows](CStoreCommandDlg& d) {
        QStringList names;
        for (const int row : d.projectorTable()->selectedRowsTopDown()) {
            names << d.projectorTable()->item(row, 0)->text() + u' ' +
                         d.projectorTable()->item(row, 2)->text();
        }
        chosen << names;
        rows = d.projectorTable()->rowCount();
        d.reject();
    };
    WhenModal<CImageInfoDlg>(note);
    frame.RunProjectorCommand(Cmd::ImageInformation, 0xC0A80A14u);
    EXPECT_EQ(rows, 2);
    WhenModal<CTransStateDlg>(note);
    frame.RunProjectorCommand(Cmd::TransmissionState, 0x7F000309u); // found, not listed
    EXPECT_EQ(rows, 3);
    WhenModal<CTransStateDlg>(note);
    frame.action(Cmd::TransmissionState)->trigger();
    EXPECT_EQ(rows, 2) << "the found projector was the one dialog's own, not the list's";
    EXPECT_EQ(chosen, (QList<QStringList>{{u"Foyer 192.168.10.20"_qs}, {u"127.0.3.9 127.0.3.9"_qs}, {}}));
    EXPECT_EQ(frame.GetProjectorList().size(), 2);
}

TEST_F(MainFrameTest, ClosingStopsARunningScheduleFirst) {
    ShippedCatalog catalog;
    MessageBoxRecorder boxes;
    AppState frameState(ini);
    CMainFrame frame(frameState);
    frame.show();
    ScheduleTable table;
    // Nobody listens on this loopback address, so every upload fails at once; the loop
    // keeps the run going until it is stopped.
    const QString file = dir.filePath(QStringLiteral("a.qv1"));
    QFile(file).open(QIODevice::WriteOnly);
    ASSERT_EQ(table.AddScheduleEntry(u"127.0.0.253"_qs, file, u"1"_qs, u"0"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    frame.state().schedule().setTable(table);
    frame.state().schedule().setCount(table.count);
    frame.state().schedule().setLoop(1);
    ASSERT_TRUE(frame.state().schedule().start());
    EXPECT_TRUE(frame.state().schedule().isRunning());
    EXPECT_FALSE(frame.state().schedule().start()) << "one run at a time";
    // Once an upload has failed, a stop at any moment leaves the entry failed or executing: an
    // upload abandoned by the stop gives back the status it had before it began.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return frame.state().schedule().entryStatus(0) == ScheduleEntry::Failed; }, 30000));

    boxes.setDefaultAnswer(QMessageBox::Cancel);
    EXPECT_FALSE(frame.close());
    EXPECT_TRUE(frame.state().schedule().isRunning()) << "cancelling the close leaves the run alone";
    boxes.setDefaultAnswer(QMessageBox::Ok);
    frame.show();
    EXPECT_FALSE(frame.close()) << "the close waits for the worker to end";
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.isHidden(); }, 20000)) << "then the window goes";
    EXPECT_FALSE(frame.state().schedule().isRunning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(frame.state().schedule().entryStatus(0) == ScheduleEntry::Failed ||
                  frame.state().schedule().entryStatus(0) == ScheduleEntry::Executing,
              true);
}

TEST_F(MainFrameTest, LegacyIniFollowsTheCatalogLanguageAndAMoveToUtf8IsToldOnce) {
    ShippedCatalog sc(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    MessageBoxRecorder boxes;
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Projector List]\nCOUNT=1\nNAME-1=\xCD\xB6\xD3\xB0\xBB\xFA\n");
    }
    AppState frameState(ini);
    CMainFrame frame(frameState);
    ProjectorList list = frame.GetProjectorList();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].name, QStringLiteral(u"投影机"));
    auto fileBytes = [this] {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };

    ProjectorRecord r;
    r.name = QStringLiteral(u"礼堂");
    list.append(r);
    ASSERT_TRUE(frame.SaveProjectorList(list));
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_TRUE(fileBytes().contains("NAME-2=\xC0\xF1\xCC\xC3\n"));

    r.name = QStringLiteral(u"Zoë");
    list.append(r);
    ASSERT_TRUE(frame.SaveProjectorList(list));
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts()[0], CatalogText(msg::IniSavedAsUtf8, {ini, u"GBK"_qs}));
    EXPECT_TRUE(boxes.texts()[0].contains(u"UTF-8"));
    EXPECT_TRUE(fileBytes().contains("NAME-1=\xE6\x8A\x95\xE5\xBD\xB1\xE6\x9C\xBA\n"));
    ASSERT_TRUE(
        CProjectorStoreWrites::saveAuthSetting(&frame, frame.projectorStore(), QStringLiteral(u"Zoë"), 0));
    ASSERT_TRUE(frame.SaveProjectorList(list));
    EXPECT_EQ(boxes.texts().size(), 1) << "told once";
}
