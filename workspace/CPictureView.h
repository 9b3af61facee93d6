#pragma once

#include "app/RecentFileList.h"
#include "i18n/CatalogId.h"
#include "imaging/ColourResolution.h"
#include "imaging/FitToProjector.h"
#include "imaging/Picture.h"
#include "workspace/CPictureHost.h"
#include "workspace/PictureDocument.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class CImageSendDlg;
class CPictureCanvas;
class CommandObserver;
class ProjectorGroups;
class ProjectorStore;
class ScheduleControl;

// The one window in which the user sees and works on a picture: it draws the picture
// document, takes dropped files, and wires the commands to the document, whose long work runs
// off the interface thread while the status bar shows it and the commands wait.
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

    // The program's state the view works on: the picture document, and what Send needs.
    struct Pieces {
        PictureDocument& document;
        ProjectorStore& projectors;
        CommandObserver* history = nullptr;
        ScheduleControl& schedule;
        const ProjectorGroups* groups = nullptr; // Send ticks a group's members at once
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
    void OnColourSaturation();
    void OnColourResolution();
    void OnTrimming();
    void OnUndo();
    void OnRedo();
    void OnFitToProjector();
    // Send: every projector to the send dialog; with an address, that one alone checked.
    void OnSend(std::optional<quint32> onlyAddress = std::nullopt);
    // Opens a file as a dropped file or a chosen recent file does (after the question).
    void openDroppedFiles(const QStringList& paths);
    void openRecentFile(const QString& path);

    // How a question about unsaved edits was settled: go on now, go on once the save that
    // was started has worked, or stay (cancelled, or nothing could be saved).
    enum class Settled { Go, Waiting, Stay };
    // The one place that asks Save, Discard or Cancel about an edited picture. afterSave runs
    // when Save was chosen and the save has worked; a failed save is told and nothing follows.
    Settled settleChanges(CatalogId question, std::function<void()> afterSave);
    [[nodiscard]] bool hasUnsavedChanges() const { return m_document.state() == PictureDocument::Edited; }
    // What keeps Send from running now, or empty when it can run.
    [[nodiscard]] QString sendBlocker() const;

    [[nodiscard]] PictureDocument& document() const { return m_document; }
    [[nodiscard]] bool imageLoaded() const { return m_document.isLoaded(); }
    [[nodiscard]] bool undoAvailable() const { return m_document.canUndo(); }
    [[nodiscard]] bool redoAvailable() const { return m_document.canRedo(); }
    // A command's work runs (or a save the open waits for): the commands wait too.
    [[nodiscard]] bool isBusy() const { return m_document.isBusy(); }
    [[nodiscard]] const QString& documentTitle() const { return m_documentTitle; }
    [[nodiscard]] const Picture& picture() const { return m_document.picture(); }
    [[nodiscard]] CPictureCanvas* canvas() const { return m_canvas; }
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
    enum class Origin { Dialog, Drop, Recent };

    [[nodiscard]] bool idleWithPicture() const;
    // Runs next once the unsaved-changes question lets the open go on.
    void settleChangesThen(std::function<void()> next);
    // false: no save was started.
    bool startSave();
    void chooseAndOpen();
    void startOpen(const QString& path, Origin origin);
    void onOpenFinished(const QString& path, const ImagingResult& result);
    void onEditFinished(const ImagingResult& result);
    void onFitFinished(const FitToProjector::Result& fit);
    void onSaveFinished(PictureDocument::Task task, const QString& path, const ImagingResult& result);
    void onBusyChanged(bool busy);
    void showPicture();
    void showSizeFigure(qint64 bytes);
    void setDocumentPath(const QString& path);
    void updateCaption();
    void refreshRecentFiles();
    // false: nothing was started (no name chosen, or not a .qv1 name).
    bool saveProjectorPicture(bool convert);
    void applyEdit(PictureDocument::Edit op);
    Dialogs defaultDialogs();

    CPictureHost& m_host;
    Pieces m_pieces;
    PictureDocument& m_document;
    std::unique_ptr<RecentFileList> m_recent;
    Dialogs m_dialogs;
    CPictureCanvas* m_canvas = nullptr;
    QString m_documentTitle;
    Origin m_openOrigin = Origin::Dialog;
    std::function<void()> m_afterSave; // what waits for the save the unsaved-changes question started
};
