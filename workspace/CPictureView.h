#pragma once

#include "app/RecentFileList.h"
#include "imaging/ColourResolution.h"
#include "imaging/FitToProjector.h"
#include "imaging/Picture.h"
#include "workspace/CPictureHost.h"
#include "workspace/CurrentImage.h"

#include <QByteArray>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class CImageSendDlg;
class CPictureCanvas;
class CommandObserver;
class ProjectorStore;
class ScheduleControl;

// The one window in which the user sees and works on a picture: it opens pictures, keeps
// the record of the current image the others see, shows the projector-file size in the status bar,
// runs the editing commands with their single undo level, and writes projector pictures.
class CPictureView final : public QWidget {
    Q_OBJECT

public:
    // What an editing dialog hands back; status 100 means confirmed.
    struct ResizeChoice {
        int status = 0;
        int width = 0;
        int height = 0;
        int flags = 0;
        int xDpi = 0;
        int yDpi = 0;
    };
    struct SaturationChoice {
        int status = 0;
        int value = 0;
    };
    struct ColourChoice {
        int status = 0;
        ColourResolution request;
    };
    // The dialogs the commands show; tests replace them.
    struct Dialogs {
        std::function<ResizeChoice(const Picture&)> resize;
        std::function<SaturationChoice(const Picture&)> saturation;
        std::function<ColourChoice(const Picture&)> colourResolution;
        std::function<int(const FitToProjector::Result&)> fitResult; // 100: use it
        std::function<void(CImageSendDlg&)> send;                    // shows it modally
    };
    static constexpr int kConfirmed = 100;

    // The program's state the view works on: the current picture as the others see it, and
    // what Send needs.
    struct Pieces {
        CurrentImage& image;
        ProjectorStore& projectors;
        CommandObserver* history = nullptr;
        ScheduleControl& schedule;
    };

    CPictureView(CPictureHost& host, const Pieces& pieces, std::unique_ptr<RecentFileList> recent = {},
                 QWidget* parent = nullptr);
    ~CPictureView() override;

    // Binds the view's commands in the host, with the rules that enable them.
    void attachCommands();
    void setDialogs(Dialogs dialogs) { m_dialogs = std::move(dialogs); }

    // The commands.
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    void OnConvert();
    void OnResize();
    void OnColorSaturation();
    void OnColorResolution();
    void OnTrimming();
    void OnUndo();
    void OnFitToProjector();
    // Send: every projector to the send dialog; with an address, that one alone checked.
    void OnSend(std::optional<quint32> onlyAddress = std::nullopt);
    // Opens a file as a dropped file or a chosen recent file does (after the question).
    void openDroppedFiles(const QStringList& paths);
    void openRecentFile(const QString& path);

    [[nodiscard]] bool imageLoaded() const { return m_loaded; }
    [[nodiscard]] bool undoAvailable() const { return m_undoAvailable; }
    [[nodiscard]] qint32 stateBeforeEdit() const { return m_stateBeforeEdit; }
    [[nodiscard]] const QString& documentTitle() const { return m_documentTitle; }
    [[nodiscard]] const Picture& picture() const { return m_picture; }
    [[nodiscard]] CPictureCanvas* lead() const { return m_lead; }
    [[nodiscard]] bool canTrim() const;
    // The size figure is worked out on a pool thread; tests wait for it.
    void waitForSizePane();

Q_SIGNALS:
    // A send began (true) or ended (false) an upload to the projector.
    void uploading(quint32 hostAddress, bool uploading);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Origin { Dialog, Drop };

    [[nodiscard]] qint32 imageState(QString& path) const;
    // No path: the picture keeps the one it has.
    void setImageState(const std::optional<QString>& path, qint32 state);
    void askToSaveChanges();
    bool loadAndShow(const QString& path, Origin origin);
    void commonOpeningSteps(const QString& path, const Picture& picture, const QImage& shown);
    void showPicture(const Picture& picture);
    void showPicture(const Picture& picture, const QImage& image);
    void updateSizePane();
    void showSizeFigure(qint64 bytes);
    void refreshPictureSize();
    void setDocumentPath(const QString& path);
    void updateCaption();
    void refreshRecentFiles();
    void saveProjectorPicture(bool convert);
    // The common frame of the editing commands: the undo copy, the state before the edit, and
    // what follows a confirmed change. op runs off the interface thread.
    void applyEdit(const std::function<ImagingResult(Picture&)>& op);
    void commitEdit(const Picture& before, qint32 stateBefore, const Picture& edited,
                    const QByteArray& fitted = {});
    Dialogs defaultDialogs();

    CPictureHost& m_host;
    Pieces m_pieces;
    std::unique_ptr<RecentFileList> m_recent;
    Dialogs m_dialogs;
    CPictureCanvas* m_lead = nullptr;
    Picture m_picture;
    Picture m_undo; // the hidden second picture: the one undo level
    bool m_loaded = false;
    bool m_undoAvailable = false;
    qint32 m_stateBeforeEdit = 0;
    QString m_documentTitle;
    QByteArray m_fitBytes; // the fitted file, while the picture is what the fit made
    quint64 m_sizeGeneration = 0;
    QThreadPool m_sizePool;
};
