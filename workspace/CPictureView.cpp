#include "workspace/CPictureView.h"

#include "app/CFileDialogs.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "app/RecentFileList.h"
#include "app/TessavelApp.h"
#include "common/OffThread.h"
#include "common/TextRules.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureOps.h"
#include "imaging/PictureSaver.h"
#include "imaging/Qv1Encoder.h"
#include "imaging/SendableImage.h"
#include "registry/ProjectorStore.h"
#include "schedule/ScheduleControl.h"
#include "workspace/CColorResolutionDlg.h"
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
#include <QStatusBar>
#include <QUrl>

#include <cstring>

namespace {

// Slow work runs off the interface thread with the wait cursor; the window keeps painting.
template <typename Work> auto busy(Work&& work) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto result = RunOffThread(std::forward<Work>(work));
    QApplication::restoreOverrideCursor();
    return result;
}

struct Loaded {
    ImagingResult result;
    Picture picture;
    QImage image;
};

Loaded loadPicture(const QString& path) {
    Loaded l;
    l.result = PictureLoader::load(path, l.picture);
    if (l.result.ok()) {
        l.image = CPictureImage::toQImage(l.picture);
    }
    return l;
}

} // namespace

CPictureView::CPictureView(CPictureHost& host, const Pieces& pieces, std::unique_ptr<RecentFileList> recent,
                           QWidget* parent)
    : QWidget(parent), m_host(host), m_pieces(pieces),
      m_recent(recent ? std::move(recent) : std::make_unique<RecentFileList>()) {
    setObjectName(QStringLiteral("view101"));
    m_sizePool.setMaxThreadCount(1);
    m_lead = new CPictureCanvas(this);
    m_lead->setGeometry(rect());
    connect(m_lead, &CPictureCanvas::regionChanged, this, [this] { m_host.updateCommandStates(); });
    setAcceptDrops(true);
    m_documentTitle = QStringLiteral("None");
    m_dialogs = defaultDialogs();
}

CPictureView::~CPictureView() {
    m_sizePool.clear();
    m_sizePool.waitForDone();
}

void CPictureView::attachCommands() {
    auto loaded = [this] { return m_loaded; };
    m_host.setCommandHandler(
        Cmd::FileOpen, [this] { OnFileOpen(); }, [] { return true; });
    m_host.setCommandHandler(
        Cmd::FileSave, [this] { OnFileSave(); }, loaded);
    m_host.setCommandHandler(
        Cmd::FileSaveAs, [this] { OnFileSaveAs(); }, loaded);
    m_host.setCommandHandler(
        Cmd::Convert, [this] { OnConvert(); }, loaded);
    m_host.setCommandHandler(
        Cmd::Resize, [this] { OnResize(); }, loaded);
    m_host.setCommandHandler(
        Cmd::ColorSaturation, [this] { OnColorSaturation(); }, loaded);
    m_host.setCommandHandler(
        Cmd::ColorResolution, [this] { OnColorResolution(); }, loaded);
    m_host.setCommandHandler(
        Cmd::Trimming, [this] { OnTrimming(); }, [this] { return canTrim(); });
    m_host.setCommandHandler(
        Cmd::Undo, [this] { OnUndo(); }, [this] { return m_undoAvailable; });
    m_host.setCommandHandler(
        Cmd::FitToProjector, [this] { OnFitToProjector(); }, loaded);
    m_host.setCommandHandler(
        Cmd::Send, [this] { OnSend(m_host.takeSendTarget()); },
        [this] { return m_loaded && m_pieces.image.canSend(); });
    refreshRecentFiles();
}

void CPictureView::OnSend(std::optional<quint32> onlyAddress) {
    CImageSendDlg dialog(0, nullptr);
    CommandContext context;
    context.observer = m_pieces.history;
    dialog.setCommandContext(context);
    // A schedule that has been asked to stop no longer holds Send back.
    if (m_pieces.schedule.isRunning() && !m_pieces.schedule.isStopping()) {
        CMessageBox::show(this, CatalogText(msg::SendScheduleRunning), CMessageBox::Icon::Stop);
        return;
    }
    const QString path = m_pieces.image.path;
    const qint32 state = m_pieces.image.state;
    if (state == CurrentImage::None) {
        CMessageBox::show(this, CatalogText(msg::SendNoImage), CMessageBox::Icon::Stop);
        return;
    }
    if (state == CurrentImage::Edited) {
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
    dialog.setPictureSize(m_pieces.image.width, m_pieces.image.height);
    if (onlyAddress) {
        dialog.checkOnly(*onlyAddress);
    }
    connect(&dialog, &CImageSendDlg::uploading, this, &CPictureView::uploading);
    if (m_dialogs.send) {
        m_dialogs.send(dialog);
    }
}

qint32 CPictureView::imageState(QString& path) const {
    path = m_pieces.image.path;
    return m_pieces.image.state;
}

void CPictureView::setImageState(const std::optional<QString>& path, qint32 state) {
    m_pieces.image.state = state;
    if (path) {
        m_pieces.image.path = *path;
    }
}

bool CPictureView::canTrim() const {
    return m_lead != nullptr && m_lead->hasPicture() && m_lead->hasRegion() && m_loaded;
}

void CPictureView::askToSaveChanges() {
    QString path;
    while (imageState(path) == CurrentImage::Edited) {
        const auto answer =
            CMessageBox::show(m_host.hostWindow(), CatalogText(msg::AskSaveBeforeOpen),
                              CMessageBox::Icon::Question, QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            return; // the open that follows discards the changes
        }
        OnFileSaveAs();
    }
}

void CPictureView::OnFileOpen() {
    askToSaveChanges();
    TessavelApp* app = TessavelApp::instance();
    QString path;
    if (app != nullptr && !app->pendingOpenPath.isEmpty()) {
        path = app->pendingOpenPath;
    } else {
        CFileDialogs::Request request;
        request.title = CatalogText(msg::OpenImageDlgTitle);
        request.filter = OpenFilterTable::forFileDialog();
        path = CFileDialogs::instance().openFile(m_host.hostWindow(), request);
        if (path.isEmpty()) {
            return;
        }
    }
    loadAndShow(path, Origin::Dialog);
    if (app != nullptr) {
        app->pendingOpenPath.clear(); // used once, whether the open worked or not
    }
}

void CPictureView::openRecentFile(const QString& path) {
    askToSaveChanges();
    if (!loadAndShow(path, Origin::Dialog)) {
        m_recent->remove(path);
        refreshRecentFiles();
    }
}

void CPictureView::openDroppedFiles(const QStringList& paths) {
    if (paths.size() > 1) {
        CMessageBox::show(m_host.hostWindow(), CatalogText(msg::DropOneFileOnly), CMessageBox::Icon::Stop);
        return;
    }
    if (paths.isEmpty()) {
        return;
    }
    askToSaveChanges();
    loadAndShow(paths.first(), Origin::Drop);
}

bool CPictureView::loadAndShow(const QString& path, Origin origin) {
    const Loaded l = busy([path] { return loadPicture(path); });
    if (!l.result.ok()) {
        // The picture on show stays whole, with its path, state, size and undo level: a
        // half-cleared document would fail the sendable check and trap the save question.
        const QString reason = CatalogText(l.result.messageId());
        const QString code = QString::number(l.result.number());
        if (origin == Origin::Drop) {
            CMessageBox::show(m_host.hostWindow(), CatalogText(msg::DropOpenFailed, {reason, code}),
                              CMessageBox::Icon::Stop);
        } else {
            CMessageBox::show(m_host.hostWindow(), CatalogText(msg::OpenImageFailed, {code, reason}),
                              CMessageBox::Icon::None);
        }
        m_host.updateCommandStates();
        return false;
    }
    commonOpeningSteps(path, l.picture, l.image);
    return true;
}

void CPictureView::commonOpeningSteps(const QString& path, const Picture& picture, const QImage& shown) {
    m_loaded = true;
    m_undoAvailable = false;
    m_undo = Picture();
    m_fitBytes.clear();
    m_lead->show();
    setImageState(path, CurrentImage::Saved);
    m_stateBeforeEdit = CurrentImage::Saved;
    m_lead->clearRegion();
    showPicture(picture, shown);
    m_lead->setGeometry(rect());
    setDocumentPath(path);
    m_recent->add(path);
    refreshRecentFiles();
    updateCaption();
    updateSizePane();
    refreshPictureSize();
    m_host.updateCommandStates();
}

void CPictureView::showPicture(const Picture& picture) {
    showPicture(picture, CPictureImage::toQImage(picture));
}

void CPictureView::showPicture(const Picture& picture, const QImage& image) {
    m_picture = picture;
    m_lead->setImage(image);
}

void CPictureView::setDocumentPath(const QString& path) {
    m_documentTitle = QFileInfo(path).fileName();
}

void CPictureView::updateCaption() {
    const QString title =
        TessavelApp::instance() != nullptr ? TessavelApp::instance()->title() : CatalogText(msg::AppTitle);
    m_host.setDocumentTitle(QStringLiteral("%1 - %2").arg(m_documentTitle, title));
}

void CPictureView::refreshRecentFiles() {
    m_host.setRecentFiles(m_recent->files(), [this](const QString& f) { openRecentFile(f); });
}

void CPictureView::refreshPictureSize() {
    m_pieces.image.width = static_cast<quint32>(m_picture.width());
    m_pieces.image.height = static_cast<quint32>(m_picture.height());
}

void CPictureView::updateSizePane() {
    const quint64 generation = ++m_sizeGeneration;
    if (!m_fitBytes.isEmpty()) {
        showSizeFigure(m_fitBytes.size());
        return;
    }
    if (m_picture.isNull()) {
        return;
    }
    const Picture picture = m_picture;
    // The encoding of a large picture takes a while: the figure follows when it is ready, and
    // a figure overtaken by a later edit is dropped.
    m_sizePool.start([this, picture, generation] {
        qint64 bytes = 0;
        const bool ok = Qv1Encoder::encodedSize(picture, bytes).ok();
        QMetaObject::invokeMethod(
            this,
            [this, ok, bytes, generation] {
                if (ok && generation == m_sizeGeneration) {
                    showSizeFigure(bytes);
                }
            },
            Qt::QueuedConnection);
    });
}

void CPictureView::waitForSizePane() {
    m_sizePool.waitForDone();
    QCoreApplication::sendPostedEvents(this);
}

void CPictureView::showSizeFigure(qint64 bytes) {
    m_host.setSizePaneText(CatalogText(msg::SizePaneText, {QString::number(bytes)}),
                           bytes > SendableImage::kMaxFileSize);
}

void CPictureView::OnFileSave() {
    QString path;
    if (imageState(path) == CurrentImage::None) {
        return;
    }
    const Picture picture = m_picture;
    // A fitted picture saved to a projector or GIF file is written as the very encoding that
    // was measured against the limit, not encoded afresh.
    const bool writeFitted = !m_fitBytes.isEmpty() && (ProjectorPictureSave::hasQv1Extension(path) ||
                                                       picture.loadedFormat() == PictureFormat::Gif);
    const QByteArray fitted = writeFitted ? m_fitBytes : QByteArray();
    const ImagingResult r = busy([picture, path, fitted] {
        return fitted.isEmpty() ? PictureSaver::saveAsLoaded(picture, path)
                                : PictureSaver::writeFile(path, fitted);
    });
    if (r.ok()) {
        setImageState(path, CurrentImage::Saved);
        setDocumentPath(path);
    } else {
        // Not saying so would let the user believe the picture is safe.
        CMessageBox::show(m_host.hostWindow(),
                          CatalogText(msg::ImageSaveFailed, {path, CatalogText(r.messageId())}),
                          CMessageBox::Icon::Stop);
    }
    refreshPictureSize();
}

void CPictureView::OnFileSaveAs() {
    saveProjectorPicture(false);
}

void CPictureView::OnConvert() {
    saveProjectorPicture(true);
}

void CPictureView::saveProjectorPicture(bool convert) {
    QString current;
    if (imageState(current) == CurrentImage::None) {
        return;
    }
    CFileDialogs::Request request;
    request.title = CatalogText(convert ? msg::ConvertDlgTitle : msg::SaveAsDlgTitle);
    request.filter = QStringLiteral("Projector GIF (*.qv1)");
    request.defaultSuffix = QStringLiteral("qv1");
    const QString path = CFileDialogs::instance().saveFile(m_host.hostWindow(), request);
    if (path.isEmpty()) {
        return;
    }
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.isEmpty() || !ProjectorPictureSave::hasQv1Extension(path)) {
        return; // another kind of name ends the command without a word
    }
    const Picture picture = m_picture;
    const QByteArray fitted = m_fitBytes;
    const ProjectorPictureSave::Outcome outcome = busy([picture, fitted, path] {
        if (fitted.isEmpty()) {
            return ProjectorPictureSave::save(picture, path);
        }
        // The fitted encoding is the one that was measured against the limit: write it as is.
        ProjectorPictureSave::Outcome o;
        o.result = PictureSaver::writeFile(path, fitted);
        o.shown = picture;
        o.bytes = fitted.size();
        return o;
    });
    if (!outcome.result.ok()) {
        CMessageBox::show(m_host.hostWindow(),
                          CatalogText(msg::ImageSaveFailed, {path, CatalogText(outcome.result.messageId())}),
                          CMessageBox::Icon::Stop);
        refreshPictureSize();
        return;
    }
    showPicture(outcome.shown);
    m_lead->clearRegion();
    setImageState(path, CurrentImage::Saved);
    setDocumentPath(path);
    m_recent->add(path);
    refreshRecentFiles();
    if (!convert) {
        updateCaption();
        showSizeFigure(outcome.bytes);
        m_undoAvailable = false;
    }
    refreshPictureSize();
    m_host.updateCommandStates();
}

void CPictureView::applyEdit(const std::function<ImagingResult(Picture&)>& op) {
    const Picture before = m_picture;
    QString path;
    const qint32 stateBefore = imageState(path);
    Picture edited = m_picture;
    const ImagingResult r = busy([&edited, &op] { return op(edited); });
    if (!r.ok()) {
        CMessageBox::show(
            m_host.hostWindow(),
            CatalogText(msg::EditFailed, {QString::number(r.number()), CatalogText(r.messageId())}),
            CMessageBox::Icon::Stop);
        refreshPictureSize();
        return;
    }
    commitEdit(before, stateBefore, edited);
}

void CPictureView::commitEdit(const Picture& before, qint32 stateBefore, const Picture& edited,
                              const QByteArray& fitted) {
    m_undo = before;
    // Only a fit leaves an encoding that matches the picture; any other edit makes it stale.
    m_fitBytes = fitted;
    m_stateBeforeEdit = stateBefore;
    m_lead->clearRegion();
    showPicture(edited);
    setImageState(std::nullopt, CurrentImage::Edited);
    m_documentTitle = CatalogText(msg::EditedDocumentTitle);
    updateSizePane();
    m_undoAvailable = true;
    refreshPictureSize();
    m_host.updateCommandStates();
}

void CPictureView::OnResize() {
    if (!m_loaded || m_picture.isNull() || !m_dialogs.resize) {
        return;
    }
    const ResizeChoice c = m_dialogs.resize(m_picture);
    if (c.status != kConfirmed) {
        return; // a cancelled dialog changes nothing, the undo level included
    }
    applyEdit([c](Picture& p) {
        ImagingResult r = PictureOps::resize(p, c.width, c.height, c.flags);
        if (r.ok() && c.xDpi > 0 && c.yDpi > 0) {
            p.setResolution(c.xDpi, c.yDpi);
        }
        return r;
    });
}

void CPictureView::OnColorSaturation() {
    if (!m_loaded || m_picture.isNull() || !m_dialogs.saturation) {
        return;
    }
    const SaturationChoice c = m_dialogs.saturation(m_picture);
    if (c.status != kConfirmed) {
        return;
    }
    applyEdit([c](Picture& p) { return PictureOps::saturation(p, c.value); });
}

void CPictureView::OnColorResolution() {
    if (!m_loaded || m_picture.isNull() || !m_dialogs.colourResolution) {
        return;
    }
    const ColourChoice c = m_dialogs.colourResolution(m_picture);
    if (c.status != kConfirmed) {
        return;
    }
    applyEdit([c](Picture& p) { return PictureOps::colourResolution(p, c.request); });
}

void CPictureView::OnTrimming() {
    if (!canTrim() || m_picture.isNull()) {
        return;
    }
    const QRect region = m_lead->region();
    applyEdit([region](Picture& p) { return PictureOps::trim(p, region); });
}

void CPictureView::OnUndo() {
    if (!m_undoAvailable) {
        return;
    }
    m_lead->clearRegion();
    showPicture(m_undo);
    m_fitBytes.clear();
    updateSizePane();
    setImageState(std::nullopt, m_stateBeforeEdit);
    m_undoAvailable = false;
    refreshPictureSize();
    m_lead->repaint();
    m_host.updateCommandStates();
}

void CPictureView::OnFitToProjector() {
    if (!m_loaded || m_picture.isNull() || !m_dialogs.fitResult) {
        return;
    }
    m_host.showStatusMessage(CatalogText(msg::FitInProgress));
    const Picture source = m_picture;
    const FitToProjector::Result fit = busy([source] { return FitToProjector::fit(source); });
    m_host.showStatusMessage({});
    if (!fit.result.ok()) {
        CMessageBox::show(m_host.hostWindow(),
                          CatalogText(msg::FitFailed, {QString::number(fit.result.number()),
                                                       CatalogText(fit.result.messageId())}),
                          CMessageBox::Icon::Stop);
        return;
    }
    if (m_dialogs.fitResult(fit) != kConfirmed) {
        return;
    }
    QString path;
    const qint32 stateBefore = imageState(path);
    // Save writes the picture in the format its file was loaded in; the fit changes pixels only.
    Picture shown = fit.shown;
    shown.setLoadedFormat(source.loadedFormat(), source.loadedFormatName(), source.loadedBitDepth());
    commitEdit(source, stateBefore, shown, fit.bytes);
}

void CPictureView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
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
    if (m_lead != nullptr) {
        m_lead->setGeometry(rect());
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
        CColorResolutionDlg dialog(p, dialogTexts(), 8, this);
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
