#include "app/CMainFrame.h"

#include "alerts/CAlertsMenu.h"
#include "app/AppState.h"
#include "app/CAboutDlg.h"
#include "app/CLanguageMenu.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "app/MenuLayout.h"
#include "app/RecentFileList.h"
#include "board/CBoardDock.h"
#include "history/CHistoryMenu.h"
#include "i18n/CLocalise.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CCancelDlg.h"
#include "protocol/CImageInfoDlg.h"
#include "protocol/CTransStateDlg.h"
#include "registry/CProjectorListDlg.h"
#include "registry/CProjectorStoreWrites.h"
#include "registry/CSettingDlg.h"
#include "schedule/CScheduleDlg.h"
#include "workspace/CPictureView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

// The icons live in the interface library's resources, which a static library must register.
static void initResources() {
    Q_INIT_RESOURCE(tessavel);
}

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
    case Cmd::Redo:
        return QStringLiteral("edit-redo");
    case Cmd::Resize:
        return QStringLiteral("view-fullscreen");
    case Cmd::ColourSaturation:
        return QStringLiteral("preferences-desktop-theme");
    case Cmd::ColourResolution:
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

CMainFrame::CMainFrame(AppState& state, QWidget* parent) : QMainWindow(parent), m_state(state) {
    initResources();
    setObjectName(QStringLiteral("MainFrame"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tessavel.svg")));
    createActions();
    createMenus();
    AddHistoryMenu(this);
    AddLanguageMenu(this, [this] { LocaliseMainMenu(); });
    CBoardDock* board = AddBoardDock(this, m_state.projectors(), m_state.commandObserver(),
                                     [this](int id, quint32 address) { RunProjectorCommand(id, address); });
    connect(&m_state, &AppState::projectorListChanged, board, &CBoardDock::followList);
    board->setGroups(&m_state.groups());
    connect(&m_state, &AppState::groupsChanged, board, &CBoardDock::followGroups);
    connect(&m_state, &AppState::projectorListChanged, this, &CMainFrame::updateCommandStates);
    connect(&m_state, &AppState::projectorUploading, board, &CBoardDock::noteUploading);
    connect(&m_state, &AppState::commandRecorded, board, &CBoardDock::noteCommand);
    board->followHistory(m_state.history());
    AddAlerts(this, m_state.alerts(), board);
    createToolBar();
    createStatusBar();
    attachProjectorCommands();
    resize(900, 640);

    // A close waits for the schedule's worker; its end brings the close back.
    connect(&m_state.schedule(), &ScheduleControl::runEnded, this, [this] {
        if (m_closeWhenStopped) {
            QApplication::restoreOverrideCursor();
            m_cursorHeld = false;
            close();
        }
    });

    // A history that cannot be written is told once, when it first fails; a failure met
    // before this window existed is told as soon as it shows.
    connect(&m_state, &AppState::historyProblem, this, &CMainFrame::showHistoryProblem);
    QTimer::singleShot(0, this, &CMainFrame::showHistoryProblem);
    // A group file that names projectors no longer listed, or cannot be read, is told once.
    if (const ProjectorGroups::LoadOutcome& groups = m_state.groupsLoad(); !groups.ok()) {
        QTimer::singleShot(0, this, [this, text = groups.text] { showStatusMessage(text); });
    }
}

CMainFrame::~CMainFrame() {
    if (m_cursorHeld) {
        QApplication::restoreOverrideCursor(); // gone before the worker it waited for
    }
}

// The projector dialogs work on the state's pieces; nothing comes back through the frame.
void CMainFrame::attachProjectorCommands() {
    auto always = [] { return true; };
    setCommandHandler(
        Cmd::ProjectorList,
        [this] {
            CProjectorListDlg dialog(
                m_state.projectors(), m_state.commandObserver(),
                [this](const ProjectorList& list) { return SaveProjectorList(list); }, this);
            dialog.setGroups(&m_state.groups());
            connect(&dialog, &CProjectorListDlg::projectorCommandRequested, this,
                    &CMainFrame::RunProjectorCommand);
            dialog.exec();
        },
        always);
    auto showCommand = [this]<typename Dialog>() {
        Dialog dialog(m_state.projectors(), m_state.commandObserver(), this);
        // Opened from a projector's row: that projector comes selected, listed or not.
        if (const std::optional<quint32> row = std::exchange(m_rowTarget, std::nullopt)) {
            ProjectorRecord record;
            record.name = Ipv4::toText(*row);
            record.address = Ipv4::toOctets(*row);
            for (const ProjectorRecord& r : m_state.projectors().projectors()) {
                if (r.hostAddress() == *row) {
                    record = r;
                    break;
                }
            }
            dialog.selectProjector(record);
        }
        dialog.exec();
    };
    setCommandHandler(
        Cmd::ImageInformation, [showCommand] { showCommand.template operator()<CImageInfoDlg>(); }, always);
    setCommandHandler(
        Cmd::TransmissionState, [showCommand] { showCommand.template operator()<CTransStateDlg>(); }, always);
    setCommandHandler(
        Cmd::CancelTransmit, [showCommand] { showCommand.template operator()<CCancelDlg>(); }, always);
    setCommandHandler(
        Cmd::Schedule,
        [this] {
            CScheduleDlg dialog(m_state.schedule(), m_state.projectors(), this);
            dialog.exec();
        },
        always);
    setCommandHandler(
        Cmd::Setting,
        [this] {
            CSettingDlg dialog(m_state.projectors().authSetting(), this);
            if (dialog.exec() == QDialog::Accepted) {
                const ProjectorStore::AuthSetting chosen = dialog.setting();
                CProjectorStoreWrites::saveAuthSetting(this, m_state.projectors(), chosen.password,
                                                       chosen.authOff);
            }
        },
        always);
}

CPictureView* CMainFrame::attachPictureView(std::unique_ptr<RecentFileList> recent) {
    const CPictureView::Pieces pieces{m_state.document(), m_state.projectors(), m_state.commandObserver(),
                                      m_state.schedule(), &m_state.groups()};
    auto* view = new CPictureView(*this, pieces, std::move(recent));
    setCentralWidget(view);
    m_view = view;
    connect(view, &CPictureView::uploading, &m_state, &AppState::projectorUploading);
    view->attachCommands();
    return view;
}

ProjectorList CMainFrame::GetProjectorList() const {
    return m_state.projectors().projectors();
}

bool CMainFrame::SaveProjectorList(const ProjectorList& list) {
    return CProjectorStoreWrites::saveProjectorList(this, m_state.projectors(), list);
}

void CMainFrame::SetCurrentProjector(quint32 hostAddress) {
    m_state.projectors().setCurrentProjector(hostAddress);
}

void CMainFrame::showStatusMessage(const QString& text) {
    if (text.isEmpty()) {
        statusBar()->clearMessage();
    } else {
        statusBar()->showMessage(text);
    }
}

void CMainFrame::showBusy(const QString& text, const std::function<void()>& stop) {
    showStatusMessage(text);
    m_stop = stop;
    m_busyBar->setVisible(!text.isEmpty());
    m_stopButton->setVisible(!text.isEmpty() && stop);
    m_stopButton->setEnabled(true);
}

ProjectorStore& CMainFrame::projectorStore() {
    return m_state.projectors();
}

HistoryLog& CMainFrame::history() {
    return m_state.history();
}

CommandObserver* CMainFrame::commandObserver() {
    return m_state.commandObserver();
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
    ids << Cmd::FileSave << Cmd::EditCopy << Cmd::ImageInformation << Cmd::TransmissionState
        << Cmd::CancelTransmit << Cmd::Schedule << Cmd::Setting << Cmd::Convert;
    for (int id : ids) {
        if (m_actions.contains(id)) {
            continue; // one action per command, whether or not a menu shows it
        }
        auto* a = new QAction(this);
        a->setObjectName(Cmd::actionName(id));
        a->setData(id);
        a->setIcon(commandIcon(id));
        a->setEnabled(false);
        addAction(a); // shortcuts work without a menu item too
        m_actions.insert(id, a);
    }
    // A command may have more than one key (Redo: Ctrl+Y and Ctrl+Shift+Z).
    for (const auto& acc : MenuLayout::accelerators()) {
        if (QAction* a = m_actions.value(acc.id)) {
            a->setShortcuts(a->shortcuts() << QKeySequence(acc.keys));
        }
    }
    setCommandHandler(
        Cmd::AppAbout, [this] { showAbout(); }, [] { return true; });
    setCommandHandler(
        Cmd::AppExit, [this] { close(); }, [] { return true; });
    setCommandHandler(
        Cmd::UserEdit,
        [this] {
            if (userEditHandler) {
                userEditHandler();
            }
        },
        [] { return userToolPresent(); });
}

void CMainFrame::createMenus() {
    for (const auto& popup : MenuLayout::mainMenu()) {
        QMenu* menu = menuBar()->addMenu(QString());
        SetCatalogText(menu->menuAction(), popup.title);
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
            SetCatalogText(a, item.text);
            menu->addAction(a);
        }
    }
    setPrompts();
}

// Tool tips fall back on the action's text, so they follow the menus.
void CMainFrame::setPrompts() {
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        const MenuLayout::Prompt p = MenuLayout::promptFor(it.key());
        it.value()->setStatusTip(p.statusTip);
        it.value()->setToolTip(p.toolTip.isEmpty() ? it.value()->text() : p.toolTip);
    }
}

void CMainFrame::createToolBar() {
    m_toolBar = addToolBar(CatalogText(msg::ToolbarStandard));
    m_toolBar->setObjectName(QStringLiteral("standardToolBar"));
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
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    m_sizePane = new QLabel(this);
    m_sizePane->setObjectName(QStringLiteral("sizePane"));
    // The laid-out indicator text only sizes the pane.
    m_sizePane->setMinimumWidth(
        m_sizePane->fontMetrics().horizontalAdvance(QStringLiteral("qv1= 0000000000 bytes")) + 12);
    m_sizePane->setText(QString());
    // A long picture operation shows that it runs, and a fit can be stopped.
    m_busyBar = new QProgressBar(this);
    m_busyBar->setObjectName(QStringLiteral("busyIndicator"));
    m_busyBar->setRange(0, 0);
    m_busyBar->setMaximumWidth(120);
    m_busyBar->setTextVisible(false);
    m_busyBar->hide();
    m_stopButton = new QPushButton(CatalogText(msg::ButtonStop), this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->hide();
    connect(m_stopButton, &QPushButton::clicked, this, [this] {
        m_stopButton->setEnabled(false); // once is enough
        if (m_stop) {
            m_stop();
        }
    });
    // Why Send is disabled, where the user looks when its button is grey.
    m_sendStatePane = new QLabel(this);
    m_sendStatePane->setObjectName(QStringLiteral("sendStatePane"));
    m_sendStatePane->hide();
    statusBar()->addPermanentWidget(m_sendStatePane);
    statusBar()->addPermanentWidget(m_busyBar);
    statusBar()->addPermanentWidget(m_stopButton);
    statusBar()->addPermanentWidget(m_sizePane);
}

void CMainFrame::LocaliseMainMenu() {
    RelocaliseMenuBar(menuBar());
    m_toolBar->setWindowTitle(CatalogText(msg::ToolbarStandard));
    setPrompts();
    updateCommandStates(); // a disabled command's reason in the new language
    menuBar()->update();
}

void CMainFrame::runCommand(int id) {
    if (QAction* a = m_actions.value(id); a != nullptr && a->isEnabled()) {
        a->trigger();
    }
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

void CMainFrame::setCommandBlocker(int id, std::function<QString()> why) {
    m_blockers.insert(id, std::move(why));
    updateCommandStates();
}

void CMainFrame::updateCommandStates() {
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        const auto& enabled = m_enabledWhen.value(it.key());
        it.value()->setEnabled(enabled ? enabled() : false);
    }
    for (auto it = m_blockers.cbegin(); it != m_blockers.cend(); ++it) {
        QAction* a = m_actions.value(it.key());
        if (a == nullptr) {
            continue;
        }
        const QString why = a->isEnabled() || !it.value() ? QString() : it.value()();
        if (why.isEmpty()) {
            const MenuLayout::Prompt p = MenuLayout::promptFor(it.key());
            a->setStatusTip(p.statusTip);
            a->setToolTip(p.toolTip.isEmpty() ? a->text() : p.toolTip);
        } else {
            a->setStatusTip(why);
            a->setToolTip(why);
        }
        if (it.key() == Cmd::Send && m_sendStatePane != nullptr) {
            m_sendStatePane->setText(why);
            m_sendStatePane->setAccessibleName(why);
            m_sendStatePane->setVisible(!why.isEmpty());
        }
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

QString CMainFrame::sizePaneText() const {
    return m_sizePane->text();
}

QString CMainFrame::sendStateText() const {
    return m_sendStatePane->text();
}

QString CMainFrame::userToolName() {
#ifdef Q_OS_WIN
    return QStringLiteral("Fennick.exe");
#else
    return QStringLiteral("Fennick");
#endif
}

bool CMainFrame::userToolPresent() {
    return QFileInfo::exists(QDir(QCoreApplication::applicationDirPath()).filePath(userToolName()));
}

// A history that cannot be written never stops a command; the user hears of it once.
void CMainFrame::showHistoryProblem() {
    if (const QString text = m_state.history().takeProblemText(); !text.isEmpty()) {
        CMessageBox::show(this, text, CMessageBox::Icon::Warning);
    }
}

void CMainFrame::RunProjectorCommand(int commandId, quint32 hostAddress) {
    m_state.projectors().setCurrentProjector(hostAddress);
    updateCommandStates();
    if (QAction* a = m_actions.value(commandId); a != nullptr && a->isEnabled()) {
        // Send from a projector's row checks that projector alone.
        if (commandId == Cmd::Send) {
            m_sendTarget = hostAddress;
        }
        m_rowTarget = hostAddress;
        a->trigger();
    }
    m_sendTarget.reset();
    m_rowTarget.reset();
}

void CMainFrame::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    ScheduleControl& schedule = m_state.schedule();
    if (!m_closeWhenStopped && !m_changesSettled && m_view != nullptr && m_view->hasUnsavedChanges()) {
        // Edits are never dropped without a word; this question stands in for the plain one.
        const CPictureView::Settled settled = m_view->settleChanges(msg::AskSaveBeforeExit, [this] {
            m_changesSettled = true;
            close();
        });
        if (settled != CPictureView::Settled::Go) {
            event->ignore(); // stays, or comes back here once the save has worked
            return;
        }
        m_changesSettled = true;
    }
    if (!m_closeWhenStopped && !m_changesSettled) {
        const auto answer =
            CMessageBox::show(this, CatalogText(msg::ConfirmExit), CMessageBox::Icon::Question,
                              QMessageBox::Ok | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
    }
    // A running schedule ends before the frame and its state go away: its worker abandons
    // the upload in flight, and the close comes back when it has ended.
    if (schedule.isRunning()) {
        if (!m_closeWhenStopped) {
            m_closeWhenStopped = true;
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_cursorHeld = true;
            setEnabled(false);
            schedule.requestStop();
        }
        event->ignore();
        return;
    }
    event->accept();
}
