#include "app/CMainFrame.h"

#include "app/CAboutDlg.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "app/MenuLayout.h"
#include "board/CBoardDock.h"
#include "history/CHistoryMenu.h"
#include "i18n/CLocalise.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "workspace/SendableImage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

// The icons live in the interface library's resources, which a static library must register.
static void initResources() { Q_INIT_RESOURCE(tessavel); }

namespace {

// Freedesktop icon names, so the user's icon theme draws what it draws for the same idea.
QString iconName(int id) {
    switch (id) {
    case Cmd::FileOpen:
        return QStringLiteral("document-open");
    case Cmd::FileSaveAs:
        return QStringLiteral("document-save-as");
    case Cmd::Undo:
        return QStringLiteral("edit-undo");
    case Cmd::Resize:
        return QStringLiteral("view-fullscreen");
    case Cmd::ColorSaturation:
        return QStringLiteral("preferences-desktop-theme");
    case Cmd::ColorResolution:
        return QStringLiteral("applications-graphics");
    case Cmd::Trimming:
        return QStringLiteral("edit-cut");
    case Cmd::ProjectorList:
        return QStringLiteral("network-workgroup");
    case Cmd::Send:
        return QStringLiteral("network-transmit");
    case Cmd::AppAbout:
        return QStringLiteral("help-about");
    default:
        return {};
    }
}

QIcon commandIcon(int id) {
    const QString name = iconName(id);
    if (name.isEmpty()) {
        return {};
    }
    if (id == Cmd::AppAbout) {
        return QIcon::fromTheme(name, QIcon::fromTheme(QStringLiteral("dialog-information"),
                                                       QIcon(QStringLiteral(":/icons/tessavel.svg"))));
    }
    return QIcon::fromTheme(name);
}

} // namespace

CMainFrame::CMainFrame(const QString& iniPath, QWidget* parent) : QMainWindow(parent), m_projectors(iniPath) {
    initResources();
    m_history = std::make_unique<HistoryLog>(HistoryStore::defaultPath());
    ScheduleRunner::Options runOptions;
    runOptions.context.store = &m_projectors;
    runOptions.context.observer = m_history.get();
    m_runner = std::make_unique<ScheduleRunner>(runOptions);
    // Told on the worker: the projector of an entry being uploaded is busy until its status moves on.
    m_runner->setStatusObserver([this](int index, int status) {
        const quint32 address = Ipv4::toHost(m_runner->runCopy().entries[static_cast<size_t>(index)].address);
        QMetaObject::invokeMethod(
            this, [this, address, busy = status == ScheduleEntry::Executing] { Q_EMIT ProjectorUploading(address, busy); },
            Qt::QueuedConnection);
    });
    // A projector list that cannot be read gives an empty list; the file is left as it is.
    m_projectors.load();
    m_history->setProjectors(m_projectors.projectors());
    setObjectName(QStringLiteral("MainFrame"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tessavel.svg")));
    createActions();
    createMenus();
    AddHistoryMenu(this);
    AddBoardDock(this);
    createToolBar();
    createStatusBar();
    resize(900, 640);

    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, &CMainFrame::updateCommandStates);
    connect(idle, &QTimer::timeout, this, &CMainFrame::showHistoryProblem);
    idle->start(250);
}

// The worker uses the projector store; stop it before anything else goes.
CMainFrame::~CMainFrame() { m_runner.reset(); }

bool CMainFrame::StartScheduleWorker() {
    return m_runner->start(m_schedule, m_schedule.count, m_scheduleLoop != 0, m_scheduleOptions);
}

void CMainFrame::StopScheduleWorker() {
    if (!m_runner->isRunning()) {
        m_runner->stop(); // collects a worker that ended by itself
        return;
    }
    m_runner->requestStop();
    // The worker abandons its upload and ends within a fraction of a second. Meanwhile the
    // window keeps painting; input waits, so nothing new can start half way through.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop waiting;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &waiting, [this, &waiting] {
        if (!m_runner->isRunning()) {
            waiting.quit();
        }
    });
    poll.start(kStopPollMs);
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    QApplication::restoreOverrideCursor();
    m_runner->stop();
}

void CMainFrame::createActions() {
    QList<int> ids;
    for (const auto& popup : MenuLayout::mainMenu()) {
        for (const auto& item : popup.items) {
            if (item.id != 0) {
                ids << item.id;
            }
        }
    }
    ids << Cmd::FileSave << Cmd::EditCopy << Cmd::ImageInformation << Cmd::TransmissionState << Cmd::CancelTransmit
        << Cmd::Schedule << Cmd::Setting << Cmd::Convert;
    for (int id : ids) {
        auto* a = new QAction(this);
        a->setObjectName(QStringLiteral("cmd%1").arg(id));
        a->setData(id);
        a->setIcon(commandIcon(id));
        a->setEnabled(false);
        addAction(a); // shortcuts work without a menu item too
        m_actions.insert(id, a);
    }
    for (const auto& acc : MenuLayout::accelerators()) {
        if (QAction* a = m_actions.value(acc.id)) {
            a->setShortcut(QKeySequence(acc.keys));
        }
    }
    setCommandHandler(Cmd::AppAbout, [this] { showAbout(); }, [] { return true; });
    setCommandHandler(Cmd::AppExit, [this] { close(); }, [] { return true; });
    setCommandHandler(
        Cmd::UserEdit,
        [this] {
            if (userEditHandler) {
                userEditHandler();
            }
        },
        [] { return QFileInfo::exists(QDir(QCoreApplication::applicationDirPath()).filePath(userToolName())); });
}

void CMainFrame::createMenus() {
    for (const auto& popup : MenuLayout::mainMenu()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(popup.text));
        if (m_fileMenu == nullptr) {
            m_fileMenu = menu;
        }
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
        for (const auto& item : popup.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* a = m_actions.value(item.id);
            a->setText(QString::fromUtf8(item.text));
            menu->addAction(a);
        }
    }
}

void CMainFrame::createToolBar() {
    m_toolBar = addToolBar(CatalogText(msg::ToolbarStandard));
    m_toolBar->setObjectName(QStringLiteral("toolbar59392"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(true);
    for (int id : MenuLayout::toolbar()) {
        if (id == 0) {
            m_toolBar->addSeparator();
        } else {
            m_toolBar->addAction(m_actions.value(id));
        }
    }
}

void CMainFrame::createStatusBar() {
    statusBar()->setObjectName(QStringLiteral("statusbar59393"));
    m_sizePane = new QLabel(this);
    m_sizePane->setObjectName(QStringLiteral("sizePane"));
    // The laid-out indicator text only sizes the pane.
    m_sizePane->setMinimumWidth(m_sizePane->fontMetrics().horizontalAdvance(QStringLiteral("qv1= 0000000000 bytes")) +
                                12);
    m_sizePane->setText(QString());
    statusBar()->addPermanentWidget(m_sizePane);
}

void CMainFrame::LocaliseMainMenu() {
    LocaliseMenu(53, menuBar());
    m_toolBar->setWindowTitle(CatalogText(msg::ToolbarStandard));
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        const MenuLayout::Prompt p = MenuLayout::promptFor(it.key());
        it.value()->setStatusTip(p.statusTip);
        it.value()->setToolTip(p.toolTip.isEmpty() ? it.value()->text() : p.toolTip);
    }
    menuBar()->update();
}

void CMainFrame::setCommandHandler(int id, std::function<void()> run, std::function<bool()> enabled) {
    QAction* a = m_actions.value(id);
    if (a == nullptr) {
        return;
    }
    disconnect(a, &QAction::triggered, nullptr, nullptr);
    if (run) {
        connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    }
    m_enabledWhen.insert(id, std::move(enabled));
    updateCommandStates();
}

void CMainFrame::updateCommandStates() {
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        const auto& enabled = m_enabledWhen.value(it.key());
        it.value()->setEnabled(enabled ? enabled() : false);
    }
}

void CMainFrame::setRecentFiles(const QStringList& files, const std::function<void(const QString&)>& open) {
    for (QAction* a : m_recentActions) {
        m_fileMenu->removeAction(a);
        a->deleteLater();
    }
    m_recentActions.clear();
    QAction* exit = m_actions.value(Cmd::AppExit);
    const QList<QAction*> items = m_fileMenu->actions();
    const qsizetype exitAt = items.indexOf(exit);
    QAction* before = exitAt > 0 ? items.at(exitAt - 1) : exit; // the separator above Exit
    if (!files.isEmpty()) {
        m_recentActions << m_fileMenu->insertSeparator(before);
    }
    int n = 0;
    for (const QString& f : files) {
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(++n).arg(QFileInfo(f).fileName()), this);
        a->setObjectName(QStringLiteral("recent%1").arg(n));
        a->setStatusTip(f);
        connect(a, &QAction::triggered, this, [open, f] { open(f); });
        m_fileMenu->insertAction(before, a);
        m_recentActions << a;
    }
}

void CMainFrame::setSizePaneText(const QString& text, bool overLimit) {
    m_sizePane->setText(text);
    m_sizePane->setStyleSheet(overLimit ? QStringLiteral("color: #c00000; font-weight: bold;") : QString());
    m_sizePane->setProperty("overLimit", overLimit);
}

QString CMainFrame::sizePaneText() const { return m_sizePane->text(); }

QString CMainFrame::userToolName() {
#ifdef Q_OS_WIN
    return QStringLiteral("Fennick.exe");
#else
    return QStringLiteral("Fennick");
#endif
}

bool CMainFrame::SaveProjectorList(const ProjectorList& list) {
    const IoResult r = m_projectors.saveProjectors(list);
    if (!r.ok()) {
        CMessageBox::show(this, CatalogText(msg::ProjectorListSaveFailed, {m_projectors.iniPath(), r.detail}),
                          CMessageBox::Icon::Stop);
    }
    showEncodingNotice();
    m_history->setProjectors(m_projectors.projectors());
    Q_EMIT ProjectorListChanged();
    return r.ok();
}

// A history that cannot be written never stops a command; the user hears of it once.
void CMainFrame::showHistoryProblem() {
    if (const QString text = m_history->takeProblemText(); !text.isEmpty()) {
        CMessageBox::show(this, text, CMessageBox::Icon::Warning);
    }
}

void CMainFrame::RunProjectorCommand(int commandId, quint32 hostAddress) {
    SetCurrentProjector(hostAddress);
    updateCommandStates();
    if (QAction* a = m_actions.value(commandId); a != nullptr && a->isEnabled()) {
        // Send from a projector's row checks that projector alone.
        if (commandId == Cmd::Send) {
            m_sendTarget = hostAddress;
        }
        a->trigger();
    }
    m_sendTarget.reset();
}

bool CMainFrame::SetAuthSetting(const QString& password, int authOff) {
    const IoResult r = m_projectors.setAuthSetting(password, authOff);
    if (!r.ok()) {
        CMessageBox::show(this, CatalogText(msg::AuthSettingSaveFailed, {m_projectors.iniPath(), r.detail}),
                          CMessageBox::Icon::Stop);
    }
    showEncodingNotice();
    return r.ok();
}

// The store hands the text out once, the first time a write leaves the file's code page.
void CMainFrame::showEncodingNotice() {
    const QString notice = m_projectors.takeEncodingNotice();
    if (!notice.isEmpty()) {
        CMessageBox::show(this, notice, CMessageBox::Icon::Warning);
    }
}

qint32 CMainFrame::GetCurrentImage(QString& path) const {
    path = m_image.path;
    return m_image.state;
}

void CMainFrame::SetCurrentImage(const std::optional<QString>& path, qint32 state) {
    m_image.state = state;
    if (path) {
        m_image.path = *path;
    }
}

void CMainFrame::SetPictureSize(quint32 width, quint32 height) {
    m_image.width = width;
    m_image.height = height;
}

bool CMainFrame::CanSendCurrentImage() const {
    if (m_image.state == CurrentImage::None) {
        return false;
    }
    int reason = 0;
    return IsSendableImage(m_image.path, m_image.width, m_image.height, reason);
}

void CMainFrame::SetScheduleTable(const ScheduleTable& table) {
    const qint32 count = m_schedule.count; // the count travels on its own
    m_schedule = table;
    m_schedule.count = count;
}

void CMainFrame::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    const auto answer = CMessageBox::show(this, CatalogText(msg::ConfirmExit), CMessageBox::Icon::Question,
                                          QMessageBox::Ok | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) {
        event->ignore();
        return;
    }
    // A running schedule ends before the frame and its state go away.
    StopScheduleWorker();
    event->accept();
}
