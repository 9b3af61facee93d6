// Every window in English and in Simplified Chinese. Each dialog is one row of a table: how
// to build it, the title it must have and the catalog texts it must show. Any text a user can
// see (labels, buttons, check boxes, group boxes, titles, menu items, tooltips, status tips,
// column headers) must be a catalog text of the language shown: no "N;" placeholder is left,
// and the Chinese window shows no English. A new dialog is covered by one row in dialogRows().
#include "app/AppState.h"
#include "app/CAboutDlg.h"
#include "app/CLoginDialog.h"
#include "app/CMainFrame.h"
#include "app/CUserCfgDialog.h"
#include "board/CBoardDock.h"
#include "history/CHistoryDlg.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/ImagingTextTable.h"
#include "i18n/Placeholder.h"
#include "imaging/FitToProjector.h"
#include "protocol/CCancelDlg.h"
#include "protocol/CGetWaitDlg.h"
#include "protocol/CImageInfoDlg.h"
#include "protocol/CStoreListDlg.h"
#include "protocol/CTransStateDlg.h"
#include "registry/CDiscoveryDlg.h"
#include "registry/CProjectorEditDlg.h"
#include "registry/CProjectorListDlg.h"
#include "registry/CSelectProjectorDlg.h"
#include "registry/CSettingDlg.h"
#include "schedule/CScheduleDlg.h"
#include "schedule/CScheduleEntryDlg.h"
#include "support/CatalogFixture.h"
#include "support/TestPictures.h"
#include "users/UserStore.h"
#include "workspace/CColourResolutionDlg.h"
#include "workspace/CFitResultDlg.h"
#include "workspace/CImageSendDlg.h"
#include "workspace/CPictureView.h"
#include "workspace/CResizeDlg.h"
#include "workspace/CSaturationDlg.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace {

// What a dialog needs to be built: a frame, the imaging texts and a picture.
struct Scene {
    QTemporaryDir dir;
    std::unique_ptr<AppState> frameState; // outlives the frame
    std::unique_ptr<CMainFrame> frame;
    ImagingTextStore texts;
    Picture picture;
    FitToProjector::Result fit;
    std::unique_ptr<CScheduleDlg> scheduleOwner; // the entry dialog needs its schedule dialog
};

struct Text {
    CatalogId id;
    QStringList inserts;
};

struct DialogRow {
    const char* name;
    std::function<std::unique_ptr<QDialog>(Scene&)> make;
    std::optional<Text> title; // none: the dialog has no title bar
    QList<CatalogId> shows;    // besides the title, each of these stands somewhere in the dialog
    bool modal = true;         // false: shown without its own event loop
};

template <typename Dialog> std::function<std::unique_ptr<QDialog>(Scene&)> onStore() {
    return [](Scene& s) {
        return std::make_unique<Dialog>(s.frame->projectorStore(), s.frame->commandObserver(), s.frame.get());
    };
}

std::unique_ptr<QDialog> loginDialog(Scene& s, bool withUsers) {
    const QString path = s.dir.filePath(withUsers ? u"users.dat"_qs : u"none.dat"_qs);
    if (withUsers) {
        UserStore store(path, UserStore::HashCost::LowForTests); // a fresh folder for every test
        EXPECT_TRUE(store.add(u"root"_qs, UserStore::Role::Administrator, u"rootpass1"_qs).ok());
    }
    return std::make_unique<CLoginDialog>(path, UserStore::HashCost::LowForTests);
}

const QList<CatalogId> kStoreCommandTexts{msg::LabelStoreNo,     msg::ButtonStop,
                                          msg::ButtonClose,      msg::ColumnProjectorName,
                                          msg::ColumnMacAddress, msg::ColumnIpAddress};

// Every dialog of the program. Add new dialogs here, one row each.
const QList<DialogRow>& dialogRows() {
    static const QList<DialogRow> rows = {
        {"CAboutDlg",
         [](Scene&) { return std::make_unique<CAboutDlg>(); },
         Text{msg::AboutDlgTitle, {}},
         {msg::AboutVersion, msg::AboutCopyright, msg::ButtonOk}},
        {"CLoginDialog",
         [](Scene& s) { return loginDialog(s, true); },
         Text{msg::LoginDlgTitle, {}},
         {msg::LabelUserName, msg::LabelUserPassword, msg::LoginHint, msg::ButtonUserAdministration,
          msg::ButtonOk, msg::ButtonFormCancel}},
        {"CLoginDialog first start",
         [](Scene& s) { return loginDialog(s, false); },
         Text{msg::FirstAdminDlgTitle, {}},
         {msg::LabelUserName, msg::LabelUserPassword, msg::LabelRepeatPassword, msg::FirstAdminHint,
          msg::ButtonOk, msg::ButtonFormCancel}},
        {"CUserCfgDialog",
         [](Scene& s) {
             return std::make_unique<CUserCfgDialog>(CUserCfgDialog::Options{
                 s.dir.filePath(u"users.dat"_qs), QString(), UserStore::HashCost::LowForTests});
         },
         Text{msg::UserCfgDlgTitle, {}},
         {msg::ButtonSignIn, msg::UserCfgSignInHint, msg::ButtonClose}},
        {"CImageInfoDlg", onStore<CImageInfoDlg>(), Text{msg::ImageInfoDlgTitle, {}},
         kStoreCommandTexts + QList<CatalogId>{msg::ButtonGet}},
        {"CTransStateDlg", onStore<CTransStateDlg>(), Text{msg::TransStateDlgTitle, {}},
         kStoreCommandTexts + QList<CatalogId>{msg::ButtonGet}},
        {"CCancelDlg", onStore<CCancelDlg>(), Text{msg::CancelDlgTitle, {}},
         kStoreCommandTexts + QList<CatalogId>{msg::ButtonExecute}},
        {"CScheduleDlg",
         [](Scene& s) {
             return std::make_unique<CScheduleDlg>(s.frameState->schedule(), s.frameState->projectors());
         },
         Text{msg::ScheduleDlgTitle, {}},
         {msg::ButtonInsert, msg::ButtonDelete, msg::ButtonLoadFile, msg::ButtonSaveFile, msg::ButtonExecute,
          msg::ButtonStop, msg::CheckLoop, msg::ScheduleVerifyUploads, msg::ButtonCancel,
          msg::ColumnEntryAddress, msg::ColumnEntryImageFile, msg::ColumnEntryStore, msg::ColumnEntryInterval,
          msg::ColumnStatus}},
        {"CSettingDlg",
         [](Scene& s) { return std::make_unique<CSettingDlg>(s.frameState->projectors().authSetting()); },
         Text{msg::SettingDlgTitle, {}},
         {msg::CheckAuthentication, msg::LabelPassword, msg::ButtonOk, msg::ButtonFormCancel}},
        {"CSelectProjectorDlg",
         [](Scene& s) {
             return std::make_unique<CSelectProjectorDlg>(s.frameState->projectors(), s.frame.get());
         },
         Text{msg::SelectProjectorDlgTitle, {}},
         {msg::ButtonOk, msg::ButtonFormCancel}},
        {"CScheduleEntryDlg",
         [](Scene& s) {
             s.scheduleOwner =
                 std::make_unique<CScheduleDlg>(s.frameState->schedule(), s.frameState->projectors());
             return std::make_unique<CScheduleEntryDlg>(s.frameState->projectors(), *s.scheduleOwner);
         },
         Text{msg::InsertDlgTitle, {}},
         {msg::LabelProjectorIpAddress, msg::LabelImageFileName, msg::LabelStoreNo, msg::LabelInterval,
          msg::ButtonSelect, msg::ButtonBrowse, msg::ButtonOk, msg::ButtonFormCancel}},
        {"CResizeDlg",
         [](Scene& s) { return std::make_unique<CResizeDlg>(s.picture, s.texts); },
         Text{msg::ImgResizeTitle, {}},
         {}},
        {"CSaturationDlg",
         [](Scene& s) { return std::make_unique<CSaturationDlg>(s.picture, s.texts); },
         Text{msg::ImgSaturationTitle, {}},
         {}},
        {"CColourResolutionDlg",
         [](Scene& s) { return std::make_unique<CColourResolutionDlg>(s.picture, s.texts, 8); },
         Text{msg::ImgColourResolutionTitle, {}},
         {}},
        {"CFitResultDlg",
         [](Scene& s) { return std::make_unique<CFitResultDlg>(s.fit); },
         Text{msg::FitDlgTitle, {}},
         {}},
        {"CProjectorListDlg",
         [](Scene& s) {
             CMainFrame* frame = s.frame.get();
             return std::make_unique<CProjectorListDlg>(
                 frame->projectorStore(), frame->commandObserver(),
                 [frame](const ProjectorList& l) { return frame->SaveProjectorList(l); }, frame);
         },
         Text{msg::ProjectorListDlgTitle, {}},
         {msg::ColumnProjectorName, msg::ColumnMacAddress, msg::ColumnIpAddress, msg::ColumnAuthentication,
          // The list's first menu has always carried the main window's Projector title.
          msg::MenuProjector, msg::MenuImage, msg::MenuListAdd, msg::MenuListEdit, msg::MenuListDelete,
          msg::MenuListDiscovery, msg::MenuListImportCsv, msg::MenuListExportCsv, msg::MenuListClose,
          msg::MenuListGetStatus, msg::MenuListImageInfo}},
        {"CProjectorEditDlg",
         [](Scene&) {
             return std::make_unique<CProjectorEditDlg>(CProjectorEditDlg::Mode::Add,
                                                        CProjectorEditDlg::Values{});
         },
         Text{msg::AddProjectorDlgTitle, {}},
         {msg::LabelProjectorName, msg::LabelMacAddress, msg::LabelIpAddress, msg::CheckAuthentication,
          msg::LabelPassword, msg::ButtonOk, msg::ButtonFormCancel}},
        {"CProjectorEditDlg edit",
         [](Scene&) {
             return std::make_unique<CProjectorEditDlg>(CProjectorEditDlg::Mode::Edit,
                                                        CProjectorEditDlg::Values{});
         },
         Text{msg::EditProjectorDlgTitle, {}},
         {msg::LabelProjectorName, msg::ButtonOk}},
        {"CGetWaitDlg",
         [](Scene&) { return std::make_unique<CGetWaitDlg>(CGetWaitDlg::Status); },
         std::nullopt,
         {msg::WaitExecuting, msg::ButtonStop}},
        {"CStoreListDlg information",
         [](Scene&) {
             auto d = std::make_unique<CStoreListDlg>(CStoreListDlg::Information, CommandContext{});
             d->setLabel(u"Hall"_qs);
             return d;
         },
         Text{msg::StoreInfoDlgTitle, {u"Hall"_qs}},
         {msg::LabelStoreNo, msg::ColumnFileName, msg::ColumnSize, msg::ButtonClose}},
        {"CStoreListDlg status",
         [](Scene&) {
             auto d = std::make_unique<CStoreListDlg>(CStoreListDlg::Status, CommandContext{});
             d->setLabel(u"Hall"_qs);
             return d;
         },
         Text{msg::StoreStateDlgTitle, {u"Hall"_qs}},
         {msg::LabelStoreNo, msg::ColumnStatus, msg::ButtonCancelTransmit, msg::ButtonStop,
          msg::ButtonClose}},
        {"CHistoryDlg",
         [](Scene& s) { return std::make_unique<CHistoryDlg>(s.dir.filePath(u"history.db"_qs)); },
         Text{msg::HistoryDlgTitle, {}},
         {}},
        // Shown without exec(), which would open the search sockets.
        {"CDiscoveryDlg",
         [](Scene& s) {
             CMainFrame* frame = s.frame.get();
             return std::make_unique<CDiscoveryDlg>(
                 frame->projectorStore(),
                 [frame](const ProjectorList& l) { return frame->SaveProjectorList(l); }, frame);
         },
         Text{msg::DiscoveryDlgTitle, {}},
         {msg::LabelLocalAddress, msg::ButtonStartSearch, msg::ButtonRegister, msg::ButtonCancel,
          msg::ColumnProjectorName, msg::ColumnMacAddress, msg::ColumnIpAddress, msg::ColumnInList},
         false},
        {"CImageSendDlg",
         [](Scene&) {
             auto d = std::make_unique<CImageSendDlg>();
             d->DataAdd(u"Hall"_qs, 0x7F000002u, 0, "", "02-00-00-00-00-02", -1, -1);
             return d;
         },
         Text{msg::SendDlgTitle, {}},
         {msg::LabelStoreNo, msg::SendVerify, msg::SendSelectAll, msg::SendSelectNone, msg::SendButtonSend,
          msg::SendRetryFailed, msg::SendStop, msg::ButtonClose, msg::ColumnProjectorName,
          msg::ColumnIpAddress, msg::SendColumnStatus}},
    };
    return rows;
}

// Texts that may stay as they are in every language.
bool isAllowedException(const QString& text) {
    static const QList<QRegularExpression> allowed = {
        // No letters at all: numbers, sizes, addresses, punctuation.
        QRegularExpression(u"^[^A-Za-z]*$"_qs),
        // Numbers with a unit that reads the same in every language.
        QRegularExpression(u"^[-\\d.,\\s]+(dB|dpi)$"_qs),
        // The projector picture extension and file-name patterns of file filters.
        QRegularExpression(u"^qv1$"_qs),
        QRegularExpression(u"\\(\\*\\.[A-Za-z0-9]+[^)]*\\)"_qs),
        // The document title of a window without a picture is the fixed literal "None".
        QRegularExpression(u"^None - "_qs),
    };
    for (const QRegularExpression& re : allowed) {
        if (re.match(text).hasMatch()) {
            return true;
        }
    }
    return false;
}

// Menu letters, trailing ellipses and the shortcut after a tab do not change a text.
QString normalised(QString text) {
    text.remove(u'&');
    const qsizetype tab = text.indexOf(u'\t');
    if (tab >= 0) {
        text.truncate(tab);
    }
    text.remove(u"..."_qs);
    text.remove(u"……"_qs);
    return text.trimmed();
}

// Every catalog text of a language as a pattern: inserts match anything. Only the texts the
// catalog holds in that very language count, so an English text behind a Chinese one does not.
QList<QRegularExpression> catalogPatterns(quint32 language) {
    QList<QRegularExpression> patterns;
    const auto catalog = Catalog::fromFile(language == Catalog::kSimplifiedChinese
                                               ? QStringLiteral(TESSAVEL_BUILD_DIR "/Pellaticsc.cat")
                                               : QStringLiteral(TESSAVEL_BUILD_DIR "/Pellatic.cat"));
    if (!catalog) {
        return patterns;
    }
    for (const quint32 group : {7u, 9u, 11u, 53u, 2201u}) {
        for (quint32 number = 0; number < 2000; ++number) {
            std::optional<QString> stored = catalog->stored(language, group, number);
            if (!stored) {
                continue;
            }
            QString text = stored->chopped(2);
            text.replace(u"%t"_qs, u"\t"_qs);
            text = normalised(text);
            QString re;
            for (qsizetype i = 0; i < text.size(); ++i) {
                if (text.at(i) == u'%' && i + 1 < text.size()) {
                    const QChar next = text.at(i + 1);
                    ++i;
                    if (next.isDigit()) {
                        re += u"(.*)"_qs;
                    } else if (next == u'n') {
                        re += u"\\n"_qs;
                    } else {
                        re += QRegularExpression::escape(QString(next));
                    }
                    continue;
                }
                re += QRegularExpression::escape(QString(text.at(i)));
            }
            patterns << QRegularExpression(u"^"_qs + re + u"$"_qs,
                                           QRegularExpression::DotMatchesEverythingOption);
        }
    }
    return patterns;
}

class TextCollector final {
public:
    QStringList offenders;
    QStringList seen; // every text checked, as shown

    explicit TextCollector(QList<QRegularExpression> patterns) : m_patterns(std::move(patterns)) {}

    void check(const QString& where, const QString& text) {
        seen << text;
        // Checked first: a placeholder in front of a Chinese text has no Latin letter at all.
        if (Placeholder::number(text)) {
            offenders << where + u": placeholder \""_qs + text + u"\""_qs;
            return;
        }
        const QString n = normalised(text);
        if (n.isEmpty() || isAllowedException(n)) {
            return;
        }
        // A number in front of a catalog text is a value with its unit: "120 Pixels".
        static const QRegularExpression leadingNumber(u"^[-\\d.,]+\\s+"_qs);
        const QString unit = QString(n).remove(leadingNumber);
        for (const QRegularExpression& re : m_patterns) {
            if (re.match(n).hasMatch() || re.match(unit).hasMatch()) {
                return;
            }
        }
        offenders << where + u": \""_qs + text + u"\""_qs;
    }

    void checkActions(const QString& where, const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            if (a->isSeparator()) {
                continue;
            }
            const QString at = where + u"/action "_qs + a->objectName();
            check(at, a->text());
            check(at + u" tooltip"_qs, a->toolTip());
            check(at + u" status tip"_qs, a->statusTip());
            if (a->menu() != nullptr) {
                check(at + u" menu title"_qs, a->menu()->title());
                checkActions(at, a->menu()->actions());
            }
        }
    }

    void checkWindow(QWidget& top) {
        check(QString::fromLatin1(top.metaObject()->className()) + u" title"_qs, top.windowTitle());
        QList<QWidget*> widgets = top.findChildren<QWidget*>();
        widgets.prepend(&top);
        for (QWidget* w : widgets) {
            if (w != &top && !w->isVisibleTo(&top)) {
                continue;
            }
            const QString at = QString::fromLatin1(w->metaObject()->className()) + u" "_qs + w->objectName();
            check(at + u" tooltip"_qs, w->toolTip());
            check(at + u" status tip"_qs, w->statusTip());
            check(at + u" what's this"_qs, w->whatsThis());
            checkActions(at, w->actions());
            if (auto* l = qobject_cast<QLabel*>(w)) {
                check(at, l->text());
            } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                check(at, b->text());
            } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
                check(at, g->title());
            } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
                check(at + u" placeholder"_qs, e->placeholderText());
            } else if (auto* c = qobject_cast<QComboBox*>(w)) {
                for (int i = 0; i < c->count(); ++i) {
                    check(at + u" item"_qs, c->itemText(i));
                }
            } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
                check(at + u" prefix"_qs, s->prefix());
                check(at + u" suffix"_qs, s->suffix());
                check(at + u" special"_qs, s->specialValueText());
            } else if (auto* t = qobject_cast<QTabBar*>(w)) {
                for (int i = 0; i < t->count(); ++i) {
                    check(at + u" tab"_qs, t->tabText(i));
                    check(at + u" tab tooltip"_qs, t->tabToolTip(i));
                }
            } else if (auto* h = qobject_cast<QHeaderView*>(w); h != nullptr && h->model() != nullptr) {
                const int n = h->orientation() == Qt::Horizontal ? h->model()->columnCount() : 0;
                for (int i = 0; i < n; ++i) {
                    if (!h->isSectionHidden(i)) {
                        check(at + u" header"_qs, h->model()->headerData(i, h->orientation()).toString());
                    }
                }
            } else if (auto* tb = qobject_cast<QToolBar*>(w)) {
                check(at + u" title"_qs, tb->windowTitle());
            }
        }
    }

private:
    QList<QRegularExpression> m_patterns;
};

std::string languageName(const ::testing::TestParamInfo<quint32>& info) {
    return info.param == Catalog::kSimplifiedChinese ? "Chinese" : "English";
}

// Each test runs once in English and once in Simplified Chinese.
class WindowTextsTest : public ::testing::TestWithParam<quint32> {
protected:
    std::unique_ptr<ShippedCatalog> catalog;
    Scene scene;
    std::unique_ptr<TextCollector> collector;

    void SetUp() override {
        const quint32 language = GetParam();
        catalog = std::make_unique<ShippedCatalog>(language == Catalog::kSimplifiedChinese
                                                       ? ShippedCatalog::Which::SimplifiedChinese
                                                       : ShippedCatalog::Which::Default,
                                                   language);
        ASSERT_NE(CatalogText(msg::AppTitle), kNoMessageCatalog) << "the catalog is not built";
        const QList<QRegularExpression> patterns = catalogPatterns(language);
        ASSERT_GT(patterns.size(), 300);
        collector = std::make_unique<TextCollector>(patterns);
        scene.frameState = std::make_unique<AppState>(scene.dir.filePath(u"t.INI"_qs));
        scene.frame = std::make_unique<CMainFrame>(*scene.frameState);
        FillImagingDialogTexts(scene.texts);
        scene.picture = TestPictures::picture(TestPictures::gradient(120, 90));
        scene.fit = FitToProjector::fit(scene.picture);
    }

    static QString report(const QStringList& offenders) { return offenders.join(u'\n'); }
};

class ChineseWindowTest : public WindowTextsTest {};

} // namespace

INSTANTIATE_TEST_SUITE_P(BothLanguages, WindowTextsTest,
                         ::testing::Values(Catalog::kEnglish, Catalog::kSimplifiedChinese), languageName);
INSTANTIATE_TEST_SUITE_P(Chinese, ChineseWindowTest, ::testing::Values(Catalog::kSimplifiedChinese),
                         languageName);

TEST_P(WindowTextsTest, MainWindowShowsOnlyCatalogTexts) {
    auto recent = std::make_unique<RecentFileList>(
        std::make_unique<QSettings>(scene.dir.filePath(u"recent.ini"_qs), QSettings::IniFormat));
    scene.frame->attachPictureView(std::move(recent));
    scene.frame->show();
    QCoreApplication::processEvents();
    collector->checkWindow(*scene.frame);
    EXPECT_TRUE(collector->offenders.isEmpty()) << report(collector->offenders).toStdString();
    for (const CatalogId id : {msg::MenuFile, msg::MenuOpen, msg::MenuProjectorList, msg::PromptProjectorList,
                               msg::MenuAbout, msg::ToolbarStandard}) {
        EXPECT_TRUE(collector->seen.contains(CatalogText(id))) << CatalogText(id).toStdString();
    }
}

// The board with a row filled in: a projector where nothing listens (127.0.0.214) gives a
// reason, store texts and the refresh's status.
TEST_P(ChineseWindowTest, ProjectorBoardShowsOnlyChineseCatalogTexts) {
    auto* dock = scene.frame->findChild<CBoardDock*>(u"boardDock"_qs);
    ASSERT_NE(dock, nullptr);
    ProjectorRecord r;
    r.name = u"大厅"_qs;
    r.address = Ipv4::toOctets(0x7F0000D6u);
    r.authMark = u"0"_qs;
    scene.frame->SaveProjectorList({r});
    dock->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dock->isRefreshing(); }, 30000));
    dock->show();
    scene.frame->show();
    QCoreApplication::processEvents();
    collector->checkWindow(*dock);
    QTableWidget* table = dock->table();
    ASSERT_EQ(table->rowCount(), 1);
    for (int c = 0; c < table->columnCount(); ++c) {
        collector->check(u"board cell"_qs, table->item(0, c)->text());
        collector->check(u"board cell tooltip"_qs, table->item(0, c)->toolTip());
    }
    collector->checkActions(u"board menu"_qs, dock->contextMenu()->actions());
    EXPECT_TRUE(collector->offenders.isEmpty()) << report(collector->offenders).toStdString();
}

// Each dialog is shown as the program shows it, modally (some fill their texts only then),
// and checked while it is up.
TEST_P(WindowTextsTest, EveryDialogShowsItsCatalogTexts) {
    for (const DialogRow& row : dialogRows()) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<QDialog> dialog = row.make(scene);
        ASSERT_NE(dialog, nullptr);
        TextCollector rowTexts = *collector;
        bool checked = false;
        QTimer whileShown; // owned here, so it cannot fire after this dialog is gone
        whileShown.setSingleShot(true);
        QObject::connect(&whileShown, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() == dialog.get()) {
                rowTexts.checkWindow(*dialog);
                checked = true;
            }
            dialog->reject();
        });
        if (row.modal) {
            whileShown.start(0);
            dialog->exec();
        } else {
            dialog->show();
            QCoreApplication::processEvents();
            rowTexts.checkWindow(*dialog);
            checked = dialog->isVisible();
            dialog->close();
        }
        ASSERT_TRUE(checked) << row.name << " did not open";
        EXPECT_TRUE(rowTexts.offenders.isEmpty()) << report(rowTexts.offenders).toStdString();
        if (row.title) {
            EXPECT_EQ(dialog->windowTitle(), CatalogText(row.title->id, row.title->inserts));
        } else {
            EXPECT_TRUE(dialog->windowTitle().isEmpty());
        }
        for (const CatalogId id : row.shows) {
            EXPECT_TRUE(rowTexts.seen.contains(CatalogText(id)))
                << "(" << id.group << ", " << id.number << ") " << CatalogText(id).toStdString();
        }
    }
}

// The checker itself: English text and placeholders are caught, catalog texts with inserts
// and the listed exceptions are not.
TEST_P(ChineseWindowTest, CheckerCatchesEnglishAndPlaceholdersAndAcceptsCatalogTexts) {
    QWidget w;
    auto* english = new QLabel(u"Favour black lines"_qs, &w);
    english->setObjectName(u"english"_qs);
    auto* inserted = new QLabel(CatalogText(msg::SizePaneText, {u"1234"_qs}), &w);
    auto* numbers = new QLabel(u"1024 × 768"_qs, &w);
    auto* tip = new QLabel(&w);
    tip->setToolTip(u"Convert the active Image"_qs);
    tip->setObjectName(u"tip"_qs);
    auto* placeholder = new QPushButton(u"302;"_qs + CatalogText(msg::ButtonOk), &w);
    placeholder->setObjectName(u"placeholder"_qs);
    Q_UNUSED(inserted);
    Q_UNUSED(numbers);
    collector->checkWindow(w);
    ASSERT_EQ(collector->offenders.size(), 3) << report(collector->offenders).toStdString();
    EXPECT_TRUE(collector->offenders[0].contains(u"english"));
    EXPECT_TRUE(collector->offenders[1].contains(u"tip tooltip"));
    EXPECT_TRUE(collector->offenders[2].contains(u"placeholder"));
}
