// Opens the main window and every dialog with the Chinese catalog and fails on any text a
// user can see (labels, buttons, titles, menu items, tooltips, status tips, list headers)
// that is not a Chinese catalog text. A new dialog is covered by one line in dialogFactories().
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
#include "imaging/FitToProjector.h"
#include "protocol/CCancelDlg.h"
#include "protocol/CGetWaitDlg.h"
#include "protocol/CImageInfoDlg.h"
#include "protocol/CStoreListDlg.h"
#include "protocol/CTransStateDlg.h"
#include "registry/CProjectorEditDlg.h"
#include "registry/CProjectorListDlg.h"
#include "registry/CSelectProjectorDlg.h"
#include "registry/CSettingDlg.h"
#include "schedule/CScheduleDlg.h"
#include "schedule/CScheduleEntryDlg.h"
#include "support/CatalogFixture.h"
#include "support/TestPictures.h"
#include "workspace/CColorResolutionDlg.h"
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

struct DialogFactory {
    const char* name;
    std::function<std::unique_ptr<QDialog>(Scene&)> make;
};

template <typename Dialog> DialogFactory onStore(const char* name) {
    return {name, [](Scene& s) {
                return std::make_unique<Dialog>(s.frame->projectorStore(), s.frame->commandObserver(),
                                                s.frame.get());
            }};
}

// Every dialog of the program. Add new dialogs here, one line each.
const QList<DialogFactory>& dialogFactories() {
    static const QList<DialogFactory> list = {
        {"CAboutDlg", [](Scene&) { return std::make_unique<CAboutDlg>(); }},
        {"CLoginDialog",
         [](Scene& s) {
             return std::make_unique<CLoginDialog>(s.dir.filePath(u"users.dat"_qs),
                                                   UserStore::HashCost::LowForTests);
         }},
        {"CUserCfgDialog",
         [](Scene& s) {
             return std::make_unique<CUserCfgDialog>(CUserCfgDialog::Options{
                 s.dir.filePath(u"users.dat"_qs), QString(), UserStore::HashCost::LowForTests});
         }},
        onStore<CImageInfoDlg>("CImageInfoDlg"),
        onStore<CTransStateDlg>("CTransStateDlg"),
        onStore<CCancelDlg>("CCancelDlg"),
        {"CScheduleDlg",
         [](Scene& s) {
             return std::make_unique<CScheduleDlg>(s.frameState->schedule(), s.frameState->projectors());
         }},
        {"CSettingDlg",
         [](Scene& s) { return std::make_unique<CSettingDlg>(s.frameState->projectors().authSetting()); }},
        {"CSelectProjectorDlg",
         [](Scene& s) {
             return std::make_unique<CSelectProjectorDlg>(s.frameState->projectors(), s.frame.get());
         }},
        {"CScheduleEntryDlg",
         [](Scene& s) {
             s.scheduleOwner =
                 std::make_unique<CScheduleDlg>(s.frameState->schedule(), s.frameState->projectors());
             return std::make_unique<CScheduleEntryDlg>(s.frameState->projectors(), *s.scheduleOwner);
         }},
        {"CResizeDlg", [](Scene& s) { return std::make_unique<CResizeDlg>(s.picture, s.texts); }},
        {"CSaturationDlg", [](Scene& s) { return std::make_unique<CSaturationDlg>(s.picture, s.texts); }},
        {"CColorResolutionDlg",
         [](Scene& s) { return std::make_unique<CColorResolutionDlg>(s.picture, s.texts, 8); }},
        {"CFitResultDlg", [](Scene& s) { return std::make_unique<CFitResultDlg>(s.fit); }},
        {"CProjectorListDlg",
         [](Scene& s) {
             CMainFrame* frame = s.frame.get();
             return std::make_unique<CProjectorListDlg>(
                 frame->projectorStore(), frame->commandObserver(),
                 [frame](const ProjectorList& l) { return frame->SaveProjectorList(l); }, frame);
         }},
        {"CProjectorEditDlg",
         [](Scene&) {
             return std::make_unique<CProjectorEditDlg>(CProjectorEditDlg::Mode::Add,
                                                        CProjectorEditDlg::Values{});
         }},
        {"CGetWaitDlg", [](Scene&) { return std::make_unique<CGetWaitDlg>(CGetWaitDlg::Status); }},
        {"CStoreListDlg information",
         [](Scene&) {
             return std::make_unique<CStoreListDlg>(CStoreListDlg::Information, CommandContext{});
         }},
        {"CStoreListDlg status",
         [](Scene&) { return std::make_unique<CStoreListDlg>(CStoreListDlg::Status, CommandContext{}); }},
        {"CHistoryDlg",
         [](Scene& s) { return std::make_unique<CHistoryDlg>(s.dir.filePath(u"history.db"_qs)); }},
        // The Discovery dialog opens its search sockets; it is checked inside the namespace test.
        {"CImageSendDlg",
         [](Scene&) {
             auto d = std::make_unique<CImageSendDlg>();
             d->DataAdd(u"Hall"_qs, 0x7F000002u, 0, "", "02-00-00-00-00-02", -1, -1);
             return d;
         }},
    };
    return list;
}

// Texts that may stay as they are in a Chinese window.
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

// Every Chinese catalog text as a pattern: inserts match anything.
QList<QRegularExpression> chineseCatalogPatterns() {
    QList<QRegularExpression> patterns;
    const auto catalog = Catalog::fromFile(QStringLiteral(TESSAVEL_BUILD_DIR "/Pellaticsc.cat"));
    if (!catalog) {
        return patterns;
    }
    for (const quint32 group : {7u, 9u, 11u, 53u, 2201u}) {
        for (quint32 number = 0; number < 2000; ++number) {
            std::optional<QString> stored = catalog->stored(Catalog::kSimplifiedChinese, group, number);
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

    explicit TextCollector(QList<QRegularExpression> patterns) : m_patterns(std::move(patterns)) {}

    void check(const QString& where, const QString& text) {
        const QString n = normalised(text);
        if (n.isEmpty() || isAllowedException(n)) {
            return;
        }
        for (const QRegularExpression& re : m_patterns) {
            if (re.match(n).hasMatch()) {
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

class ChineseWindowTest : public ::testing::Test {
protected:
    ShippedCatalog catalog{ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese};
    Scene scene;
    std::unique_ptr<TextCollector> collector;

    void SetUp() override {
        ASSERT_NE(CatalogText(msg::AppTitle), kNoMessageCatalog) << "the Chinese catalog is not built";
        const QList<QRegularExpression> patterns = chineseCatalogPatterns();
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

} // namespace

TEST_F(ChineseWindowTest, MainWindowShowsOnlyChineseCatalogTexts) {
    auto recent = std::make_unique<RecentFileList>(
        std::make_unique<QSettings>(scene.dir.filePath(u"recent.ini"_qs), QSettings::IniFormat));
    scene.frame->attachPictureView(std::move(recent));
    scene.frame->LocaliseMainMenu();
    scene.frame->show();
    QCoreApplication::processEvents();
    collector->checkWindow(*scene.frame);
    EXPECT_TRUE(collector->offenders.isEmpty()) << report(collector->offenders).toStdString();
}

// The board with a row filled in: a projector where nothing listens (127.0.0.214) gives a
// reason, store texts and the refresh's status.
TEST_F(ChineseWindowTest, ProjectorBoardShowsOnlyChineseCatalogTexts) {
    auto* dock = scene.frame->findChild<CBoardDock*>(u"boardDock"_qs);
    ASSERT_NE(dock, nullptr);
    ProjectorRecord r;
    r.name = u"大厅"_qs;
    r.address = Ipv4::toOctets(0x7F0000D6u);
    r.authMark = u"0"_qs;
    scene.frame->SaveProjectorList({r});
    dock->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dock->isRefreshing(); }, 30000));
    scene.frame->LocaliseMainMenu();
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

// Each dialog is shown as the program shows it, modally (some localise only then), and
// checked while it is up.
TEST_F(ChineseWindowTest, EveryDialogShowsOnlyChineseCatalogTexts) {
    for (const DialogFactory& factory : dialogFactories()) {
        SCOPED_TRACE(factory.name);
        std::unique_ptr<QDialog> dialog = factory.make(scene);
        ASSERT_NE(dialog, nullptr);
        bool checked = false;
        QTimer whileShown; // owned here, so it cannot fire after this dialog is gone
        whileShown.setSingleShot(true);
        QObject::connect(&whileShown, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() == dialog.get()) {
                collector->checkWindow(*dialog);
                checked = true;
            }
            dialog->reject();
        });
        whileShown.start(0);
        dialog->exec();
        EXPECT_TRUE(checked) << factory.name << " did not open";
    }
    EXPECT_TRUE(collector->offenders.isEmpty()) << report(collector->offenders).toStdString();
}

// The checker itself: English text is caught, catalog texts with inserts and the listed
// exceptions are not.
TEST_F(ChineseWindowTest, CheckerCatchesEnglishAndAcceptsCatalogTexts) {
    QWidget w;
    auto* english = new QLabel(u"Favour black lines"_qs, &w);
    english->setObjectName(u"english"_qs);
    auto* inserted = new QLabel(CatalogText(msg::SizePaneText, {u"1234"_qs}), &w);
    auto* numbers = new QLabel(u"1024 × 768"_qs, &w);
    auto* tip = new QLabel(&w);
    tip->setToolTip(u"Convert the active Image"_qs);
    tip->setObjectName(u"tip"_qs);
    Q_UNUSED(inserted);
    Q_UNUSED(numbers);
    collector->checkWindow(w);
    ASSERT_EQ(collector->offenders.size(), 2) << report(collector->offenders).toStdString();
    EXPECT_TRUE(collector->offenders[0].contains(u"english"));
    EXPECT_TRUE(collector->offenders[1].contains(u"tip tooltip"));
}
