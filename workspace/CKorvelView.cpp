#include "workspace/CKorvelView.h"

#include "app/CFileDialogs.h"
#include "app/CKorvelApp.h"
#include "app/CMainFrame.h"
#include "app/CMessageBox.h"
#include "app/CommandIds.h"
#include "app/RecentFileList.h"
#include "common/OffThread.h"
#include "common/TextRules.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CCancelDlg.h"
#include "protocol/CImageInfoDlg.h"
#include "protocol/CTransStateDlg.h"
#include "registry/CProjectorListDlg.h"
#include "registry/CSettingDlg.h"
#include "schedule/CScheduleDlg.h"
#include "workspace/CColorResolutionDlg.h"
#include "workspace/CFitResultDlg.h"
#include "workspace/CLead.h"
#include "workspace/CImageSendDlg.h"
#include "workspace/CResizeDlg.h"
#include "workspace/CSaturationDlg.h"
#include "workspace/CPictureImage.h"
#include "workspace/OpenFilterTable.h"
#include "workspace/PictureLoader.h"
#include "workspace/PictureOps.h"
#include "workspace/PictureSaver.h"
#include "workspace/ProjectorPictureSave.h"
#include "workspace/Qv1Encoder.h"
#include "workspace/SendableImage.h"

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

CKorvelView::CKorvelView(CMainFrame& frame, std::unique_ptr<RecentFileList> recent, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_recent(recent ? std::move(recent) : std::make_unique<RecentFileList>()) {
    setObjectName(QStringLiteral("view101"));
    m_sizePool.setMaxThreadCount(1);
    m_lead = new CLead(this);
    m_lead->setGeometry(rect());
    connect(m_lead, &CLead::regionChanged, &m_frame, &CMainFrame::updateCommandStates);
    setAcceptDrops(true);
    m_documentTitle = QStringLiteral("None");
    m_dialogs = defaultDialogs();
}

CKorvelView::~CKorvelView() {
    m_sizePool.clear();
    m_sizePool.waitForDone();
}

void CKorvelView::attachCommands() {
    auto loaded = [this] { return m_loaded; };
    m_frame.setCommandHandler(Cmd::FileOpen, [this] { OnFileOpen(); }, [] { return true; });
    m_frame.setCommandHandler(Cmd::FileSave, [this] { OnFileSave(); }, loaded);
    m_frame.setCommandHandler(Cmd::FileSaveAs, [this] { OnFileSaveAs(); }, loaded);
    m_frame.setCommandHandler(Cmd::Convert, [this] { OnConvert(); }, loaded);
    m_frame.setCommandHandler(Cmd::Resize, [this] { OnResize(); }, loaded);
    m_frame.setCommandHandler(Cmd::ColorSaturation, [this] { OnColorSaturation(); }, loaded);
    m_frame.setCommandHandler(Cmd::ColorResolution, [this] { OnColorResolution(); }, loaded);
    m_frame.setCommandHandler(Cmd::Trimming, [this] { OnTrimming(); }, [this] { return canTrim(); });
    m_frame.setCommandHandler(Cmd::Undo, [this] { OnUndo(); }, [this] { return m_undoAvailable; });
    m_frame.setCommandHandler(Cmd::FitToProjector, [this] { OnFitToProjector(); }, loaded);
    m_frame.setCommandHandler(Cmd::Send, [this] { OnSend(m_frame.TakeSendTarget()); },
                              [this] { return m_loaded && m_frame.CanSendCurrentImage(); });
    // The projector dialogs work on copies of the frame's state; their results are not used.
    auto always = [] { return true; };
    auto show = [this]<typename Dialog>() {
        Dialog dialog(m_frame, &m_frame);
        dialog.exec();
    };
    auto showCommand = [this]<typename Dialog>() {
        Dialog dialog(m_frame.projectorStore(), m_frame.commandObserver(), &m_frame);
        dialog.exec();
    };
    m_frame.setCommandHandler(
        Cmd::ProjectorList,
        [this] {
            CProjectorListDlg dialog(
                m_frame.projectorStore(), m_frame.commandObserver(),
                [this](const ProjectorList& list) { return m_frame.SaveProjectorList(list); }, &m_frame);
            connect(&dialog, &CProjectorListDlg::projectorCommandRequested, &m_frame,
                    &CMainFrame::RunProjectorCommand);
            dialog.exec();
        },
        always);
    m_frame.setCommandHandler(
        Cmd::ImageInformation, [showCommand] { showCommand.template operator()<CImageInfoDlg>(); }, always);
    m_frame.setCommandHandler(
        Cmd::TransmissionState, [showCommand] { showCommand.template operator()<CTransStateDlg>(); }, always);
    m_frame.setCommandHandler(
        Cmd::CancelTransmit, [showCommand] { showCommand.template operator()<CCancelDlg>(); }, always);
    m_frame.setCommandHandler(Cmd::Schedule, [show] { show.template operator()<CScheduleDlg>(); }, always);
    m_frame.setCommandHandler(
        Cmd::Setting,
        [this] {
            CSettingDlg dialog(m_frame.GetAuthSetting(), &m_frame);
            if (dialog.exec() == QDialog::Accepted) {
                // The frame tells the user of a failed write itself.
                m_frame.SetAuthSetting(dialog.setting().password, dialog.setting().authOff);
            }
        },
        always);
    refreshRecentFiles();
}

void CKorvelView::OnSend(std::optional<quint32> onlyAddress) {
    CImageSendDlg dialog(0, nullptr);
    CommandContext context;
    context.observer = m_frame.commandObserver();
    dialog.setCommandContext(context);
    // A schedule that has been asked to stop no longer holds Send back.
    if (m_frame.IsScheduleRunning() &&
        m_frame.scheduleRunner().stopRequest() != ScheduleRunner::StopRequested) {
        CMessageBox::show(this, CatalogText(msg::SendScheduleRunning), CMessageBox::Icon::Stop);
        return;
    }
    QString path;
    const qint32 state = m_frame.GetCurrentImage(path);
    if (state == CurrentImage::None) {
        CMessageBox::show(this, CatalogText(msg::SendNoImage), CMessageBox::Icon::Stop);
        return;
    }
    if (state == CurrentImage::Edited) {
        CMessageBox::show(this, CatalogText(msg::SendUnsavedImage), CMessageBox::Icon::Stop);
        return;
    }
    const ProjectorList list = m_frame.GetProjectorList();
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
    dialog.setPictureSize(m_frame.currentImage().width, m_frame.currentImage().height);
    if (onlyAddress) {
        dialog.checkOnly(*onlyAddress);
    }
    connect(&dialog, &CImageSendDlg::uploading, &m_frame, &CMainFrame::ProjectorUploading);
    if (m_dialogs.send) {
        m_dialogs.send(dialog);
    }
}

bool CKorvelView::canTrim() const {
    return m_lead != nullptr && m_lead->hasPicture() && m_lead->hasRegion() && m_loaded;
}

void CKorvelView::askToSaveChanges() {
    QString path;
    while (m_frame.GetCurrentImage(path) == CurrentImage::Edited) {
        const auto answer = CMessageBox::show(&m_frame, CatalogText(msg::AskSaveBeforeOpen),
                                              CMessageBox::Icon::Question, QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            return; // the open that follows discards the changes
        }
        OnFileSaveAs();
    }
}

void CKorvelView::OnFileOpen() {
    askToSaveChanges();
    CKorvelApp* app = CKorvelApp::instance();
    QString path;
    if (app != nullptr && !app->pendingOpenPath.isEmpty()) {
        path = app->pendingOpenPath;
    } else {
        CFileDialogs::Request request;
        request.title = CatalogText(msg::OpenImageDlgTitle);
        request.filter = OpenFilterTable::forFileDialog();
        path = CFileDialogs::instance().openFile(&m_frame, request);
        if (path.isEmpty()) {
            return;
        }
    }
    loadAndShow(path, Origin::Dialog);
    if (app != nullptr) {
        app->pendingOpenPath.clear(); // used once, whether the open worked or not
    }
}

void CKorvelView::openRecentFile(const QString& path) {
    askToSaveChanges();
    if (!loadAndShow(path, Origin::Dialog)) {
        m_recent->remove(path);
        refreshRecentFiles();
    }
}

void CKorvelView::openDroppedFiles(const QStringList& paths) {
    if (paths.size() > 1) {
        CMessageBox::show(&m_frame, CatalogText(msg::DropOneFileOnly), CMessageBox::Icon::Stop);
        return;
    }
    if (paths.isEmpty()) {
        return;
    }
    askToSaveChanges();
    loadAndShow(paths.first(), Origin::Drop);
}

bool CKorvelView::loadAndShow(const QString& path, Origin origin) {
    const Loaded l = busy([path] { return loadPicture(path); });
    if (!l.result.ok()) {
        // The picture on show stays whole, with its path, state, size and undo level: a
        // half-cleared document would fail the sendable check and trap the save question.
        const QString reason = CatalogText(l.result.messageId());
        const QString code = QString::number(l.result.number());
        if (origin == Origin::Drop) {
            CMessageBox::show(&m_frame, CatalogText(msg::DropOpenFailed, {reason, code}), CMessageBox::Icon::Stop);
        } else {
            CMessageBox::show(&m_frame, CatalogText(msg::OpenImageFailed, {code, reason}), CMessageBox::Icon::None);
        }
        m_frame.updateCommandStates();
        return false;
    }
    commonOpeningSteps(path, l.picture, l.image);
    return true;
}

void CKorvelView::commonOpeningSteps(const QString& path, const Picture& picture, const QImage& shown) {
    m_loaded = true;
    m_undoAvailable = false;
    m_undo = Picture();
    m_fitBytes.clear();
    m_lead->show();
    m_frame.SetCurrentImage(path, CurrentImage::Saved);
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
    m_frame.updateCommandStates();
}

void CKorvelView::showPicture(const Picture& picture) { showPicture(picture, CPictureImage::toQImage(picture)); }

void CKorvelView::showPicture(const Picture& picture, const QImage& image) {
    m_picture = picture;
    m_lead->setImage(image);
}

void CKorvelView::setDocumentPath(const QString& path) { m_documentTitle = QFileInfo(path).fileName(); }

void CKorvelView::updateCaption() {
    const QString title = CKorvelApp::instance() != nullptr ? CKorvelApp::instance()->title() : CatalogText(msg::AppTitle);
    m_frame.setWindowTitle(QStringLiteral("%1 - %2").arg(m_documentTitle, title));
}

void CKorvelView::refreshRecentFiles() {
    m_frame.setRecentFiles(m_recent->files(), [this](const QString& f) { openRecentFile(f); });
}

void CKorvelView::refreshPictureSize() {
    m_frame.SetPictureSize(static_cast<quint32>(m_picture.width()), static_cast<quint32>(m_picture.height()));
}

void CKorvelView::updateSizePane() {
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

void CKorvelView::waitForSizePane() {
    m_sizePool.waitForDone();
    QCoreApplication::sendPostedEvents(this);
}

void CKorvelView::showSizeFigure(qint64 bytes) {
    m_frame.setSizePaneText(CatalogText(msg::SizePaneText, {QString::number(bytes)}),
                            bytes > SendableImage::kMaxFileSize);
}

void CKorvelView::OnFileSave() {
    QString path;
    if (m_frame.GetCurrentImage(path) == CurrentImage::None) {
        return;
    }
    const Picture picture = m_picture;
    // A fitted picture saved to a projector or GIF file is written as the very encoding that
    // was measured against the limit, not encoded afresh.
    const bool writeFitted = !m_fitBytes.isEmpty() && (ProjectorPictureSave::hasQv1Extension(path) ||
                                                       picture.loadedFormat() == PictureFormat::Gif);
    const QByteArray fitted = writeFitted ? m_fitBytes : QByteArray();
    const ImagingResult r = busy([picture, path, fitted] {
        return fitted.isEmpty() ? PictureSaver::saveAsLoaded(picture, path) : PictureSaver::writeFile(path, fitted);
    });
    if (r.ok()) {
        m_frame.SetCurrentImage(path, CurrentImage::Saved);
        setDocumentPath(path);
    } else {
        // Not saying so would let the user believe the picture is safe.
        CMessageBox::show(&m_frame, CatalogText(msg::ImageSaveFailed, {path, CatalogText(r.messageId())}),
                          CMessageBox::Icon::Stop);
    }
    refreshPictureSize();
}

void CKorvelView::OnFileSaveAs() { saveProjectorPicture(false); }

void CKorvelView::OnConvert() { saveProjectorPicture(true); }

void CKorvelView::saveProjectorPicture(bool convert) {
    QString current;
    if (m_frame.GetCurrentImage(current) == CurrentImage::None) {
        return;
    }
    CFileDialogs::Request request;
    request.title = CatalogText(convert ? msg::ConvertDlgTitle : msg::SaveAsDlgTitle);
    request.filter = QStringLiteral("Projector GIF (*.qv1)");
    request.defaultSuffix = QStringLiteral("qv1");
    const QString path = CFileDialogs::instance().saveFile(&m_frame, request);
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
        CMessageBox::show(&m_frame,
                          CatalogText(msg::ImageSaveFailed, {path, CatalogText(outcome.result.messageId())}),
                          CMessageBox::Icon::Stop);
        refreshPictureSize();
        return;
    }
    showPicture(outcome.shown);
    m_lead->clearRegion();
    m_frame.SetCurrentImage(path, CurrentImage::Saved);
    setDocumentPath(path);
    m_recent->add(path);
    refreshRecentFiles();
    if (!convert) {
        updateCaption();
        showSizeFigure(outcome.bytes);
        m_undoAvailable = false;
    }
    refreshPictureSize();
    m_frame.updateCommandStates();
}

void CKorvelView::applyEdit(const std::function<ImagingResult(Picture&)>& op) {
    const Picture before = m_picture;
    QString path;
    const qint32 stateBefore = m_frame.GetCurrentImage(path);
    Picture edited = m_picture;
    const ImagingResult r = busy([&edited, &op] { return op(edited); });
    if (!r.ok()) {
        CMessageBox::show(&m_frame,
                          CatalogText(msg::EditFailed, {QString::number(r.number()), CatalogText(r.messageId())}),
                          CMessageBox::Icon::Stop);
        refreshPictureSize();
        return;
    }
    commitEdit(before, stateBefore, edited);
}

void CKorvelView::commitEdit(const Picture& before, qint32 stateBefore, const Picture& edited,
                             const QByteArray& fitted) {
    m_undo = before;
    // Only a fit leaves an encoding that matches the picture; any other edit makes it stale.
    m_fitBytes = fitted;
    m_stateBeforeEdit = stateBefore;
    m_lead->clearRegion();
    showPicture(edited);
    m_frame.SetCurrentImage(std::nullopt, CurrentImage::Edited);
    m_documentTitle = CatalogText(msg::EditedDocumentTitle);
    updateSizePane();
    m_undoAvailable = true;
    refreshPictureSize();
    m_frame.updateCommandStates();
}

void CKorvelView::OnResize() {
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

void CKorvelView::OnColorSaturation() {
    if (!m_loaded || m_picture.isNull() || !m_dialogs.saturation) {
        return;
    }
    const SaturationChoice c = m_dialogs.saturation(m_picture);
    if (c.status != kConfirmed) {
        return;
    }
    applyEdit([c](Picture& p) { return PictureOps::saturation(p, c.value); });
}

void CKorvelView::OnColorResolution() {
    if (!m_loaded || m_picture.isNull() || !m_dialogs.colourResolution) {
        return;
    }
    const ColourChoice c = m_dialogs.colourResolution(m_picture);
    if (c.status != kConfirmed) {
        return;
    }
    applyEdit([c](Picture& p) { return PictureOps::colourResolution(p, c.request); });
}

void CKorvelView::OnTrimming() {
    if (!canTrim() || m_picture.isNull()) {
        return;
    }
    const QRect region = m_lead->region();
    applyEdit([region](Picture& p) { return PictureOps::trim(p, region); });
}

void CKorvelView::OnUndo() {
    if (!m_undoAvailable) {
        return;
    }
    m_lead->clearRegion();
    showPicture(m_undo);
    m_fitBytes.clear();
    updateSizePane();
    m_frame.SetCurrentImage(std::nullopt, m_stateBeforeEdit);
    m_undoAvailable = false;
    refreshPictureSize();
    m_lead->repaint();
    m_frame.updateCommandStates();
}

void CKorvelView::OnFitToProjector() {
    if (!m_loaded || m_picture.isNull() || !m_dialogs.fitResult) {
        return;
    }
    m_frame.statusBar()->showMessage(CatalogText(msg::FitInProgress));
    const Picture source = m_picture;
    const FitToProjector::Result fit = busy([source] { return FitToProjector::fit(source); });
    m_frame.statusBar()->clearMessage();
    if (!fit.result.ok()) {
        CMessageBox::show(
            &m_frame,
            CatalogText(msg::FitFailed, {QString::number(fit.result.number()), CatalogText(fit.result.messageId())}),
            CMessageBox::Icon::Stop);
        return;
    }
    if (m_dialogs.fitResult(fit) != kConfirmed) {
        return;
    }
    QString path;
    const qint32 stateBefore = m_frame.GetCurrentImage(path);
    // Save writes the picture in the format its file was loaded in; the fit changes pixels only.
    Picture shown = fit.shown;
    shown.setLoadedFormat(source.loadedFormat(), source.loadedFormatName(), source.loadedBitDepth());
    commitEdit(source, stateBefore, shown, fit.bytes);
}

void CKorvelView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CKorvelView::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
    event->acceptProposedAction();
    openDroppedFiles(paths);
}

void CKorvelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_lead != nullptr) {
        m_lead->setGeometry(rect());
    }
}

namespace {
// The imaging dialog texts that start-up filled, or none before start-up ran.
const ImagingTextStore& dialogTexts() {
    static const ImagingTextStore empty;
    return CKorvelApp::instance() != nullptr ? CKorvelApp::instance()->imagingTexts() : empty;
}
} // namespace

CKorvelView::Dialogs CKorvelView::defaultDialogs() {
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
