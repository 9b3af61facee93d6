#include "workspace/CPictureView.h"

#include "app/CFileDialogs.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "app/RecentFileList.h"
#include "app/TessavelApp.h"
#include "common/TextRules.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "imaging/PictureOps.h"
#include "imaging/SendableImage.h"
#include "registry/ProjectorStore.h"
#include "schedule/ScheduleControl.h"
#include "workspace/CColourResolutionDlg.h"
#include "workspace/CFitResultDlg.h"
#include "workspace/CImageSendDlg.h"
#include "workspace/CPictureCanvas.h"
#include "workspace/CPictureImage.h"
#include "workspace/CResizeDlg.h"
#include "workspace/CSaturationDlg.h"
#include "workspace/OpenFilterTable.h"
#include "workspace/ProjectorPictureSave.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <cstring>

CPictureView::CPictureView(CPictureHost& host, const Pieces& pieces, std::unique_ptr<RecentFileList> recent,
                           QWidget* parent)
    : QWidget(parent), m_host(host), m_pieces(pieces), m_document(pieces.document),
      m_recent(recent ? std::move(recent) : std::make_unique<RecentFileList>()) {
    setObjectName(QStringLiteral("pictureView"));
    m_canvas = new CPictureCanvas(this);
    m_canvas->setGeometry(rect());
    connect(m_canvas, &CPictureCanvas::regionChanged, this, [this] { m_host.updateCommandStates(); });
    setAcceptDrops(true);
    m_documentTitle = QStringLiteral("None");
    m_dialogs = defaultDialogs();
    connect(&m_document, &PictureDocument::pictureChanged, this, &CPictureView::showPicture);
    connect(&m_document, &PictureDocument::stateChanged, this, [this] { m_host.updateCommandStates(); });
    connect(&m_document, &PictureDocument::undoAvailabilityChanged, this,
            [this] { m_host.updateCommandStates(); });
    connect(&m_document, &PictureDocument::sizeKnown, this, &CPictureView::showSizeFigure);
    connect(&m_document, &PictureDocument::sizeUnknown, this, [this] {
        m_host.setSizePaneText({}, false);
        m_host.updateCommandStates(); // Send waits for the figure
    });
    connect(&m_document, &PictureDocument::busyChanged, this, &CPictureView::onBusyChanged);
    connect(&m_document, &PictureDocument::openFinished, this, &CPictureView::onOpenFinished);
    connect(&m_document, &PictureDocument::editFinished, this, &CPictureView::onEditFinished);
    connect(&m_document, &PictureDocument::fitFinished, this, &CPictureView::onFitFinished);
    connect(&m_document, &PictureDocument::saveFinished, this, &CPictureView::onSaveFinished);
    if (m_document.isLoaded()) {
        showPicture();
    }
}

CPictureView::~CPictureView() = default;

void CPictureView::attachCommands() {
    auto ready = [this] { return idleWithPicture(); };
    m_host.setCommandHandler(
        Cmd::FileOpen, [this] { OnFileOpen(); }, [this] { return !isBusy(); });
    m_host.setCommandHandler(
        Cmd::FileSave, [this] { OnFileSave(); }, ready);
    m_host.setCommandHandler(
        Cmd::FileSaveAs, [this] { OnFileSaveAs(); }, ready);
    m_host.setCommandHandler(
        Cmd::Convert, [this] { OnConvert(); }, ready);
    m_host.setCommandHandler(
        Cmd::Resize, [this] { OnResize(); }, ready);
    m_host.setCommandHandler(
        Cmd::ColourSaturation, [this] { OnColourSaturation(); }, ready);
    m_host.setCommandHandler(
        Cmd::ColourResolution, [this] { OnColourResolution(); }, ready);
    m_host.setCommandHandler(
        Cmd::Trimming, [this] { OnTrimming(); }, [this] { return canTrim(); });
    m_host.setCommandHandler(
        Cmd::Undo, [this] { OnUndo(); }, [this] { return m_document.canUndo(); });
    m_host.setCommandHandler(
        Cmd::Redo, [this] { OnRedo(); }, [this] { return m_document.canRedo(); });
    m_host.setCommandHandler(
        Cmd::FitToProjector, [this] { OnFitToProjector(); }, ready);
    m_host.setCommandHandler(
        Cmd::Send, [this] { OnSend(m_host.takeSendTarget()); }, [this] { return sendBlocker().isEmpty(); });
    m_host.setCommandBlocker(Cmd::Send, [this] { return sendBlocker(); });
    refreshRecentFiles();
}

QString CPictureView::sendBlocker() const {
    using namespace SendableImage;
    if (!m_document.isLoaded() || m_document.state() == PictureDocument::None) {
        return CatalogText(msg::SendOffNoPicture);
    }
    if (isBusy()) {
        return CatalogText(msg::SendOffBusy);
    }
    if (m_pieces.projectors.count() == 0) {
        return CatalogText(msg::SendOffNoProjectors);
    }
    const QString path = m_document.path();
    const quint32 width = m_document.width();
    const quint32 height = m_document.height();
    int reason = Sendable;
    if (IsSendableImage(path, width, height, reason)) {
        return {};
    }
    auto number = [](qint64 n) { return CatalogNumber::format(n); };
    if (reason == CannotOpen) {
        return CatalogText(msg::SendOffUnreadable, {VisibleText::shown(QFileInfo(path).fileName())});
    }
    if (reason == BadPictureSize) {
        if (width < kMinWidth || height < kMinHeight) {
            return CatalogText(msg::SendOffTooFewPixels,
                               {number(width), number(height), number(kMinWidth), number(kMinHeight)});
        }
        return CatalogText(msg::SendOffTooManyPixels,
                           {number(width), number(height), number(kMaxWidth), number(kMaxHeight)});
    }
    if (ProjectorPictureSave::hasQv1Extension(path)) {
        // A projector file of its own that is too long (or empty): its length is what counts.
        const qint64 length = QFileInfo(path).size();
        if (length > kMaxFileSize) {
            return CatalogText(msg::SendOffTooManyBytes, {number(length), number(kMaxFileSize)});
        }
        return CatalogText(msg::SendOffUnreadable, {VisibleText::shown(QFileInfo(path).fileName())});
    }
    // Another kind of file: what counts is the projector file the picture would make.
    const qint64 figure = m_document.sizeFigure();
    if (figure < 0) {
        return CatalogText(msg::SendOffMeasuring);
    }
    if (figure > kMaxFileSize) {
        return CatalogText(msg::SendOffTooManyBytes, {number(figure), number(kMaxFileSize)});
    }
    return CatalogText(msg::SendOffNotQv1);
}

bool CPictureView::idleWithPicture() const {
    return !isBusy() && m_document.isLoaded();
}

void CPictureView::OnSend(std::optional<quint32> onlyAddress) {
    CImageSendDlg dialog(0, nullptr);
    CommandContext context;
    context.observer = m_pieces.history;
    dialog.setCommandContext(context);
    dialog.setProjectorStore(&m_pieces.projectors);
    if (m_pieces.groups != nullptr) {
        dialog.setGroups(m_pieces.groups->groups());
    }
    dialog.setProjectorListOpener([this] { m_host.runCommand(Cmd::ProjectorList); });
    // A schedule that has been asked to stop no longer holds Send back.
    if (m_pieces.schedule.isRunning() && !m_pieces.schedule.isStopping()) {
        CMessageBox::show(this, CatalogText(msg::SendScheduleRunning), CMessageBox::Icon::Stop);
        return;
    }
    const QString path = m_document.path();
    const PictureDocument::State state = m_document.state();
    if (state == PictureDocument::None) {
        CMessageBox::show(this, CatalogText(msg::SendNoImage), CMessageBox::Icon::Stop);
        return;
    }
    if (state == PictureDocument::Edited) {
        CMessageBox::show(this, CatalogText(msg::SendUnsavedImage), CMessageBox::Icon::Stop);
        return;
    }
    const ProjectorList list = m_pieces.projectors.projectors();
    // One password buffer and one MAC buffer, refilled for every record.
    char password[256];
    char mac[32];
    for (const ProjectorRecord& r : list) {
        const QByteArray pw = r.password.toUtf8().left(255);
        const QByteArray m = r.mac.toLatin1().left(31);
        std::memset(password, 0, sizeof password);
        std::memset(mac, 0, sizeof mac);
        std::memcpy(password, pw.constData(), static_cast<size_t>(pw.size()));
        std::memcpy(mac, m.constData(), static_cast<size_t>(m.size()));
        dialog.DataAdd(r.name, r.hostAddress(), TextRules::toInt(r.authMark), password, mac, -1, -1);
    }
    dialog.m_imagePath = path;
    dialog.m_closeWhenDone = false;
    dialog.setPictureSize(m_document.width(), m_document.height());
    if (onlyAddress) {
        dialog.checkOnly(*onlyAddress);
    }
    connect(&dialog, &CImageSendDlg::uploading, this, &CPictureView::uploading);
    if (m_dialogs.send) {
        m_dialogs.send(dialog);
    }
}

bool CPictureView::canTrim() const {
    return m_canvas != nullptr && m_canvas->hasPicture() && m_canvas->hasRegion() && idleWithPicture();
}

CPictureView::Settled CPictureView::settleChanges(CatalogId question, std::function<void()> afterSave) {
    if (!hasUnsavedChanges()) {
        return Settled::Go;
    }
    const QString name = VisibleText::shown(QFileInfo(m_document.path()).fileName());
    const auto answer =
        CMessageBox::show(m_host.hostWindow(), CatalogText(question, {name}), CMessageBox::Icon::Question,
                          QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                          {{QMessageBox::Save, CatalogText(msg::ButtonSaveChanges)},
                           {QMessageBox::Discard, CatalogText(msg::ButtonDiscardChanges)},
                           {QMessageBox::Cancel, CatalogText(msg::ButtonCancelChanges)}});
    if (answer == QMessageBox::Discard) {
        return Settled::Go;
    }
    if (answer != QMessageBox::Save) {
        return Settled::Stay; // Cancel, or Escape
    }
    // A picture without a file of its own gets one through Save As; no name chosen, no save.
    const bool started = m_document.path().isEmpty() ? saveProjectorPicture(false) : startSave();
    if (!started) {
        return Settled::Stay;
    }
    m_afterSave = std::move(afterSave);
    return Settled::Waiting;
}

void CPictureView::settleChangesThen(std::function<void()> next) {
    if (settleChanges(msg::AskSaveBeforeOther, next) == Settled::Go) {
        next();
    }
}

void CPictureView::OnFileOpen() {
    if (isBusy()) {
        return;
    }
    settleChangesThen([this] { chooseAndOpen(); });
}

void CPictureView::chooseAndOpen() {
    TessavelApp* app = TessavelApp::instance();
    QString path;
    if (app != nullptr && !app->pendingOpenPath.isEmpty()) {
        path = app->pendingOpenPath;
        app->pendingOpenPath.clear(); // used once, whether the open works or not
    } else {
        CFileDialogs::Request request;
        request.title = CatalogText(msg::OpenImageDlgTitle);
        request.filter = OpenFilterTable::forFileDialog();
        path = CFileDialogs::instance().openFile(m_host.hostWindow(), request);
        if (path.isEmpty()) {
            return;
        }
    }
    startOpen(path, Origin::Dialog);
}

void CPictureView::openRecentFile(const QString& path) {
    if (isBusy()) {
        return;
    }
    settleChangesThen([this, path] { startOpen(path, Origin::Recent); });
}

void CPictureView::openDroppedFiles(const QStringList& paths) {
    if (isBusy()) {
        return;
    }
    if (paths.size() > 1) {
        CMessageBox::show(m_host.hostWindow(), CatalogText(msg::DropOneFileOnly), CMessageBox::Icon::Stop);
        return;
    }
    if (paths.isEmpty()) {
        return;
    }
    const QString path = paths.first();
    settleChangesThen([this, path] { startOpen(path, Origin::Drop); });
}

void CPictureView::startOpen(const QString& path, Origin origin) {
    if (m_document.open(path)) {
        m_openOrigin = origin;
        m_host.showBusy(CatalogText(msg::OpenInProgress, {VisibleText::shown(QFileInfo(path).fileName())}),
                        {});
    }
}

void CPictureView::onOpenFinished(const QString& path, const ImagingResult& result) {
    if (!result.ok()) {
        // The document keeps the picture on show whole, with its path, state, size and undo
        // history: a half-cleared document would fail the sendable check and trap the save
        // question.
        CMessageBox::show(m_host.hostWindow(),
                          CatalogText(msg::OpenFileFailed, {VisibleText::shown(QFileInfo(path).fileName()),
                                                            CatalogText(result.messageId())}),
                          CMessageBox::Icon::Stop);
        if (m_openOrigin == Origin::Recent) {
            m_recent->remove(path);
            refreshRecentFiles();
        }
        m_host.updateCommandStates();
        return;
    }
    m_canvas->show();
    m_canvas->setGeometry(rect());
    setDocumentPath(path);
    m_recent->add(path);
    refreshRecentFiles();
    updateCaption();
    m_host.updateCommandStates();
}

void CPictureView::onBusyChanged(bool busy) {
    if (busy) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
        m_host.showBusy({}, {});
    }
    m_host.updateCommandStates();
}

void CPictureView::showPicture() {
    // Any new picture makes the region meaningless.
    m_canvas->clearRegion();
    m_canvas->setImage(CPictureImage::toQImage(m_document.picture()));
    m_host.updateCommandStates();
}

void CPictureView::setDocumentPath(const QString& path) {
    // The window title names the file: a name that reverses text must not hide its type.
    m_documentTitle = VisibleText::shown(QFileInfo(path).fileName());
}

void CPictureView::updateCaption() {
    const QString title =
        TessavelApp::instance() != nullptr ? TessavelApp::instance()->title() : CatalogText(msg::AppTitle);
    m_host.setDocumentTitle(QStringLiteral("%1 - %2").arg(m_documentTitle, title));
}

void CPictureView::refreshRecentFiles() {
    m_host.setRecentFiles(m_recent->files(), [this](const QString& f) { openRecentFile(f); });
}

void CPictureView::waitForSizePane() {
    m_document.waitForSize();
}

void CPictureView::showSizeFigure(qint64 bytes) {
    m_host.setSizePaneText(CatalogText(msg::SizePaneText, {CatalogNumber::format(bytes)}),
                           bytes > SendableImage::kMaxFileSize);
    m_host.updateCommandStates();
}

void CPictureView::OnFileSave() {
    startSave();
}

bool CPictureView::startSave() {
    const QString path = m_document.path();
    if (!m_document.save()) {
        return false;
    }
    m_host.showBusy(CatalogText(msg::SaveInProgress, {VisibleText::shown(QFileInfo(path).fileName())}), {});
    return true;
}

void CPictureView::OnFileSaveAs() {
    saveProjectorPicture(false);
}

void CPictureView::OnConvert() {
    saveProjectorPicture(true);
}

bool CPictureView::saveProjectorPicture(bool convert) {
    if (isBusy() || m_document.state() == PictureDocument::None) {
        return false;
    }
    CFileDialogs::Request request;
    request.title = CatalogText(convert ? msg::ConvertDlgTitle : msg::SaveAsDlgTitle);
    request.filter = QStringLiteral("Projector GIF (*.qv1)");
    request.defaultSuffix = QStringLiteral("qv1");
    const QString path = CFileDialogs::instance().saveFile(m_host.hostWindow(), request);
    if (path.isEmpty()) {
        return false;
    }
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.isEmpty() || !ProjectorPictureSave::hasQv1Extension(path)) {
        return false; // another kind of name ends the command without a word
    }
    if (!m_document.saveProjectorPicture(path, convert)) {
        return false;
    }
    m_host.showBusy(CatalogText(msg::SaveInProgress, {VisibleText::shown(QFileInfo(path).fileName())}), {});
    return true;
}

void CPictureView::onSaveFinished(PictureDocument::Task task, const QString& path,
                                  const ImagingResult& result) {
    if (!result.ok()) {
        // Not saying so would let the user believe the picture is safe.
        CMessageBox::show(m_host.hostWindow(),
                          CatalogText(msg::ImageSaveFailed, {path, CatalogText(result.messageId())}),
                          CMessageBox::Icon::Stop);
    } else {
        setDocumentPath(path);
        if (task != PictureDocument::Task::Save) {
            m_recent->add(path);
            refreshRecentFiles();
        }
        if (task == PictureDocument::Task::SaveAs) {
            updateCaption();
        }
    }
    m_host.updateCommandStates();
    if (m_afterSave) {
        // What waited for this save goes on only when the edits are safe in a file.
        const std::function<void()> next = std::exchange(m_afterSave, {});
        if (result.ok() && !hasUnsavedChanges()) {
            next();
        }
    }
}

void CPictureView::applyEdit(PictureDocument::Edit op) {
    if (m_document.edit(std::move(op))) {
        m_host.showBusy(CatalogText(msg::EditInProgress), {});
    }
}

void CPictureView::onEditFinished(const ImagingResult& result) {
    if (!result.ok()) {
        CMessageBox::show(
            m_host.hostWindow(),
            CatalogText(msg::EditFailed, {QString::number(result.number()), CatalogText(result.messageId())}),
            CMessageBox::Icon::Stop);
        return;
    }
    m_documentTitle = CatalogText(msg::EditedDocumentTitle);
}

void CPictureView::OnResize() {
    if (!idleWithPicture() || !m_dialogs.resize) {
        return;
    }
    const ResizeChoice c = m_dialogs.resize(m_document.picture());
    if (c.status != kConfirmed) {
        return; // a cancelled dialog changes nothing, the undo history included
    }
    applyEdit([c](Picture& p) {
        ImagingResult r = PictureOps::resize(p, c.width, c.height, c.flags);
        if (r.ok() && c.xDpi > 0 && c.yDpi > 0) {
            p.setResolution(c.xDpi, c.yDpi);
        }
        return r;
    });
}

void CPictureView::OnColourSaturation() {
    if (!idleWithPicture() || !m_dialogs.saturation) {
        return;
    }
    const SaturationChoice c = m_dialogs.saturation(m_document.picture());
    if (c.status != kConfirmed) {
        return;
    }
    applyEdit([c](Picture& p) { return PictureOps::saturation(p, c.value); });
}

void CPictureView::OnColourResolution() {
    if (!idleWithPicture() || !m_dialogs.colourResolution) {
        return;
    }
    const ColourChoice c = m_dialogs.colourResolution(m_document.picture());
    if (c.status != kConfirmed) {
        return;
    }
    applyEdit([c](Picture& p) { return PictureOps::colourResolution(p, c.request); });
}

void CPictureView::OnTrimming() {
    if (!canTrim()) {
        return;
    }
    const QRect region = m_canvas->region();
    applyEdit([region](Picture& p) { return PictureOps::trim(p, region); });
}

void CPictureView::OnUndo() {
    if (!m_document.canUndo()) {
        return;
    }
    m_document.undo(); // the document title keeps the edit text
    m_canvas->repaint();
}

void CPictureView::OnRedo() {
    if (!m_document.canRedo()) {
        return;
    }
    m_document.redo();
    m_documentTitle = CatalogText(msg::EditedDocumentTitle);
    m_canvas->repaint();
}

void CPictureView::OnFitToProjector() {
    if (!idleWithPicture() || !m_dialogs.fitResult) {
        return;
    }
    if (m_document.fit()) {
        m_host.showBusy(CatalogText(msg::FitInProgress), [this] { m_document.stop(); });
    }
}

void CPictureView::onFitFinished(const FitToProjector::Result& fit) {
    if (!fit.result.ok()) {
        if (fit.result.code != ImagingResult::Code::Stopped) { // the user knows why
            CMessageBox::show(m_host.hostWindow(),
                              CatalogText(msg::FitFailed, {QString::number(fit.result.number()),
                                                           CatalogText(fit.result.messageId())}),
                              CMessageBox::Icon::Stop);
        }
        return;
    }
    if (m_dialogs.fitResult(fit) != kConfirmed) {
        return;
    }
    if (m_document.applyFit(fit)) {
        m_documentTitle = CatalogText(msg::EditedDocumentTitle);
    }
}

void CPictureView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !isBusy()) {
        event->acceptProposedAction();
    }
}

void CPictureView::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
    event->acceptProposedAction();
    openDroppedFiles(paths);
}

void CPictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_canvas != nullptr) {
        m_canvas->setGeometry(rect());
    }
}

namespace {
// The imaging dialog texts that start-up filled, or none before start-up ran.
const ImagingTextStore& dialogTexts() {
    static const ImagingTextStore empty;
    return TessavelApp::instance() != nullptr ? TessavelApp::instance()->imagingTexts() : empty;
}
} // namespace

CPictureView::Dialogs CPictureView::defaultDialogs() {
    Dialogs d;
    d.send = [](CImageSendDlg& dialog) { dialog.exec(); };
    d.resize = [this](const Picture& p) {
        CResizeDlg dialog(p, dialogTexts(), this);
        dialog.exec();
        return ResizeChoice{dialog.resultStatus(), dialog.width(),       dialog.height(),
                            dialog.flags(),        dialog.xResolution(), dialog.yResolution()};
    };
    d.saturation = [this](const Picture& p) {
        CSaturationDlg dialog(p, dialogTexts(), this);
        dialog.exec();
        return SaturationChoice{dialog.resultStatus(), dialog.value()};
    };
    d.colourResolution = [this](const Picture& p) {
        CColourResolutionDlg dialog(p, dialogTexts(), 8, this);
        dialog.exec();
        return ColourChoice{dialog.resultStatus(), dialog.request()};
    };
    d.fitResult = [this](const FitToProjector::Result& fit) {
        CFitResultDlg dialog(fit, this);
        dialog.exec();
        return dialog.resultStatus();
    };
    return d;
}
