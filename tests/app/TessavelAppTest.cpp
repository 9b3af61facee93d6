#include "app/TessavelApp.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "i18n/CatalogLookup.h"
#include "support/CatalogFixture.h"

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct BoxLog {
    QStringList texts;
    QList<CMessageBox::Icon> icons;
    BoxLog() {
        CMessageBox::setHandlerForTesting([this](QWidget*, const QString&, const QString& text,
                                                 CMessageBox::Icon icon, QMessageBox::StandardButtons) {
            texts << text;
            icons << icon;
            return QMessageBox::Ok;
        });
    }
    ~BoxLog() { CMessageBox::setHandlerForTesting(nullptr); }
};

// Start-up with the shipped default catalog found beside the test, as the program finds it.
struct StartUp {
    QTemporaryDir dir;
    StartUp() {
        QFile::copy(QStringLiteral(TESSAVEL_BUILD_DIR "/Pellatic.cat"),
                    dir.filePath(QStringLiteral("Pellatic.cat")));
        SetCatalogSearchPathForTesting({dir.path()});
        SetSystemLanguageIdForTesting(Catalog::kEnglish);
    }
    ~StartUp() {
        SetCatalogSearchPathForTesting({});
        SetSystemLanguageIdForTesting(0);
    }
    TessavelApp::Options options(LoginLoop::Outcome outcome, int* logins = nullptr,
                                 bool catalogThere = true) {
        TessavelApp::Options o;
        o.iniPath = dir.filePath(QStringLiteral("t.INI"));
        o.login = [outcome, logins, catalogThere] {
            if (logins != nullptr) {
                ++*logins;
            }
            // The catalog is loaded before the login is asked for.
            EXPECT_EQ(IsCatalogLoaded(), catalogThere);
            return outcome;
        };
        return o;
    }
};

} // namespace

TEST(TessavelAppTest, StartUpInOrder) {
    StartUp s;
    int logins = 0;
    TessavelApp app(s.options(LoginLoop::Outcome::LoggedIn, &logins));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(logins, 1);
    ASSERT_NE(app.mainFrame(), nullptr);
    EXPECT_TRUE(app.mainFrame()->isVisible());
    EXPECT_EQ(app.title(), CatalogText(9, 58));
    EXPECT_EQ(app.mainFrame()->windowTitle(), app.title());
    EXPECT_EQ(CMessageBox::caption(), app.title());
    EXPECT_EQ(app.mainFrame()->menuBar()->actions()[0]->text(), CatalogText(53, 1));
    EXPECT_EQ(app.imagingTexts().size(), 153);
    EXPECT_EQ(app.imagingTexts().text(0), CatalogText(9, 302));
    app.ExitInstance();
    EXPECT_FALSE(IsCatalogLoaded());
}

TEST(TessavelAppTest, RefusedOrCancelledLoginEndsTheProgramAndReleasesTheCatalog) {
    for (auto outcome : {LoginLoop::Outcome::Cancelled, LoginLoop::Outcome::Refused}) {
        StartUp s;
        TessavelApp app(s.options(outcome));
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.mainFrame(), nullptr);
        EXPECT_FALSE(IsCatalogLoaded());
        // Released once: a later ExitInstance must not unload a catalog someone loaded since.
        InstallCatalogForTesting(std::make_shared<const Catalog>(Catalog::fromData("[1033.9]\n58=x\n")));
        app.ExitInstance();
        EXPECT_TRUE(IsCatalogLoaded());
        InstallCatalogForTesting(nullptr);
    }
}

TEST(TessavelAppTest, WithoutCatalogTheTitleSaysSo) {
    StartUp s;
    SetCatalogSearchPathForTesting({s.dir.filePath(QStringLiteral("nowhere"))});
    TessavelApp app(s.options(LoginLoop::Outcome::LoggedIn, nullptr, false));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.title(), kNoMessageCatalog);
    EXPECT_EQ(app.mainFrame()->action(Cmd::ProjectorList)->text(), kNoMessageCatalog);
}

TEST(TessavelAppTest, CommandLineFileIsHandedToOpenOnce) {
    StartUp s;
    TessavelApp::Options o = s.options(LoginLoop::Outcome::LoggedIn);
    o.fileToOpen = QStringLiteral("/pictures/a.png");
    QStringList seen;
    o.attachWorkspace = [&seen](CMainFrame& frame) {
        frame.setCommandHandler(
            Cmd::FileOpen,
            [&seen] {
                seen << TessavelApp::instance()->pendingOpenPath;
                TessavelApp::instance()->pendingOpenPath.clear();
            },
            [] { return true; });
    };
    TessavelApp app(o);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(seen, QStringList{u"/pictures/a.png"_qs});
    app.mainFrame()->action(Cmd::FileOpen)->trigger();
    EXPECT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[1].isEmpty()) << "a later Open asks again";
}

TEST(TessavelAppTest, ImagingErrorBox) {
    BoxLog boxes;
    EXPECT_EQ(TessavelApp::ReportImagingError(0), 0);
    EXPECT_EQ(TessavelApp::ReportImagingError(101), 0);
    EXPECT_EQ(TessavelApp::ReportImagingError(20162), 0);
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(TessavelApp::ReportImagingError(3), 3);
    EXPECT_EQ(TessavelApp::ReportImagingError(-9), -9);
    EXPECT_EQ(boxes.texts,
              (QStringList{u"Imaging Error!!.\nCODE = 3"_qs, u"Imaging Error!!.\nCODE = -9"_qs}));
}
