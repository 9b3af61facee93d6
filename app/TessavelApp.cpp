#include "app/TessavelApp.h"

#include "app/AppState.h"
#include "app/CLoginDialog.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "app/CUserCfgDialog.h"
#include "app/CommandIds.h"
#include "app/QtTranslations.h"
#include "app/RecentFileList.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/ImagingTextTable.h"
#include "workspace/OpenFilterTable.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QThreadPool>

namespace {
TessavelApp* g_app = nullptr;
constexpr int kMaxTitle = 127; // the application name lives in a 128-byte buffer
} // namespace

TessavelApp::TessavelApp(Options options) : m_options(std::move(options)) {
    g_app = this;
}

TessavelApp::~TessavelApp() {
    ExitInstance();
    if (g_app == this) {
        g_app = nullptr;
    }
}

TessavelApp* TessavelApp::instance() {
    return g_app;
}

bool TessavelApp::InitInstance() {
    LoadCatalog(); // without a catalog every text reads "No Message Catalog"
    QtTranslations::install(CatalogLanguageId());
    m_title = CatalogText(msg::AppTitle).left(kMaxTitle);
    CMessageBox::setCaption(m_title);

    const LoginLoop::Outcome login = m_options.login ? m_options.login() : runLoginDialogs();
    if (login != LoginLoop::Outcome::LoggedIn) {
        ExitInstance();
        return false;
    }

    m_state = std::make_unique<AppState>(m_options.iniPath.isEmpty() ? ProjectorStore::defaultIniPath()
                                                                     : m_options.iniPath);
    m_state->history().setUser(m_user);
    m_frame = std::make_unique<CMainFrame>(*m_state);
    m_frame->userEditHandler = [this] { showUserConfiguration(); };
    if (m_options.attachWorkspace) {
        m_options.attachWorkspace(*m_frame);
    } else {
        m_frame->attachPictureView(std::make_unique<RecentFileList>());
        // The Open dialog's types are found by opening a small picture of each; done now, on
        // a pool thread, the first Open does not wait for them.
        QThreadPool::globalInstance()->start([] { (void)OpenFilterTable::readableRows(); });
    }
    m_frame->setWindowTitle(m_title);
    m_frame->show();

    FillImagingDialogTexts(m_imagingTexts);

    if (!m_options.fileToOpen.isEmpty()) {
        pendingOpenPath = m_options.fileToOpen;
        if (QAction* open = m_frame->action(Cmd::FileOpen)) {
            m_frame->updateCommandStates();
            open->trigger();
        }
    }
    return true;
}

LoginLoop::Outcome TessavelApp::runLoginDialogs() {
    LoginLoop loop(
        {[this] {
             CLoginDialog dialog;
             dialog.setFailureLimit(4);
             const int result = dialog.exec();
             if (result == CLoginDialog::LoggedIn) {
                 m_user = dialog.userName();
             }
             if (result == CLoginDialog::LoggedIn && dialog.isAdministrator()) {
                 m_administrator = dialog.userName();
             }
             return result;
         },
         [] {
             CUserCfgDialog dialog;
             dialog.exec();
         },
         [] { return CMainFrame::userToolPresent(); },
         [](CatalogId id) { CMessageBox::show(nullptr, CatalogText(id), CMessageBox::Icon::Stop); }});
    return loop.run();
}

void TessavelApp::showUserConfiguration() {
    CUserCfgDialog::Options options;
    options.administrator = m_administrator;
    CUserCfgDialog dialog(options, m_frame.get());
    dialog.exec();
}

int TessavelApp::ExitInstance() {
    if (!m_catalogReleased) {
        m_catalogReleased = true;
        UnloadCatalog();
    }
    return 0;
}

int TessavelApp::ReportImagingError(int code) {
    if (code == 0 || code == 101 || code == 20162) {
        return 0;
    }
    QWidget* owner = g_app != nullptr ? g_app->mainFrame() : nullptr;
    CMessageBox::show(owner, QStringLiteral("Imaging Error!!.\nCODE = %1").arg(code),
                      CMessageBox::Icon::None);
    return code;
}
