#pragma once

#include "imaging/FitToProjector.h"
#include "imaging/ImagingResult.h"
#include "imaging/Picture.h"

#include <QByteArray>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QUndoStack>

#include <atomic>
#include <functional>

// The picture the user works on, as every subsystem sees it: the picture, the file it came
// from or was last saved to, whether that file holds it, the encoding a fit made, and every
// edit since it was opened on an undo stack. Opening, editing, fitting and saving run off the
// interface thread, one at a time, and each ends with its own signal on the document's
// thread. Nothing here shows anything.
class PictureDocument final : public QObject {
    Q_OBJECT

public:
    enum State : qint32 { None = 0, Saved = 1, Edited = 2 };
    enum class Task { None, Open, Edit, Fit, Save, SaveAs, Convert };
    Q_ENUM(Task)
    using Edit = std::function<ImagingResult(Picture&)>;

    // What an edit changes, and so what Undo and Redo put back.
    struct Snapshot {
        Picture picture;
        QByteArray fitted;
        State state = None;
    };

    explicit PictureDocument(QObject* parent = nullptr);
    // Stops the task in flight where it can and waits for it.
    ~PictureDocument() override;
    PictureDocument(const PictureDocument&) = delete;
    PictureDocument& operator=(const PictureDocument&) = delete;

    [[nodiscard]] const Picture& picture() const { return m_picture; }
    [[nodiscard]] bool isLoaded() const { return !m_picture.isNull(); }
    // The file it was opened from or last saved to.
    [[nodiscard]] const QString& path() const { return m_path; }
    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] quint32 width() const { return static_cast<quint32>(m_picture.width()); }
    [[nodiscard]] quint32 height() const { return static_cast<quint32>(m_picture.height()); }
    // A saved projector picture that a projector accepts.
    [[nodiscard]] bool canSend() const;
    // The file a fit made, while the picture is what that fit made; empty otherwise.
    [[nodiscard]] const QByteArray& fittedEncoding() const { return m_fitted; }

    [[nodiscard]] const QUndoStack& undoStack() const { return m_undo; }
    // Both false while a task runs.
    [[nodiscard]] bool canUndo() const;
    [[nodiscard]] bool canRedo() const;
    void undo();
    void redo();

    [[nodiscard]] Task task() const { return m_task; }
    [[nodiscard]] bool isBusy() const { return m_task != Task::None; }
    // Only a fit can end part way; the other tasks run to their end.
    [[nodiscard]] bool canStop() const { return m_task == Task::Fit; }
    void stop();

    // Each starts its task and returns true, or starts nothing and returns false while
    // another task runs or there is no picture to work on.
    bool open(const QString& path);
    // op works on a copy of the picture, off the interface thread.
    bool edit(Edit op);
    // Ends with fitFinished; nothing changes until applyFit.
    bool fit();
    // Save: to the file's own path, in the format it was loaded in.
    bool save();
    // Save As and Convert: a .qv1 file at path.
    bool saveProjectorPicture(const QString& path, bool convert);
    // A fit the user accepted: an edit like any other.
    bool applyFit(const FitToProjector::Result& fit);

    // The .qv1 size of the picture on show, as sizeKnown last told it; -1 while it is being
    // measured or there is no picture.
    [[nodiscard]] qint64 sizeFigure() const { return m_sizeFigure; }

    // The .qv1 size figure is worked out off the interface thread; this waits for it and
    // delivers sizeKnown (for tests).
    void waitForSize();

Q_SIGNALS:
    // The picture was replaced: opened, edited, undone, redone, or saved as the reduced copy.
    void pictureChanged();
    // The path or the state changed.
    void stateChanged();
    void busyChanged(bool busy);
    void undoAvailabilityChanged();
    // The .qv1 size of the picture on show, once known; sizeUnknown when the picture changed
    // and its size is being measured, so that the figure of the last picture is not shown.
    void sizeKnown(qint64 bytes);
    void sizeUnknown();
    void openFinished(const QString& path, const ImagingResult& result);
    void editFinished(const ImagingResult& result);
    void fitFinished(const FitToProjector::Result& fit);
    void saveFinished(PictureDocument::Task task, const QString& path, const ImagingResult& result);

private:
    friend class PictureEditCommand;
    // What a task hands back to the document's thread to apply its outcome.
    using Finish = std::function<void()>;
    struct SizeFigure {
        quint64 generation = 0;
        qint64 bytes = -1;
    };

    void start(Task task, std::function<Finish()> work);
    void taskEnded();
    [[nodiscard]] Snapshot snapshot() const;
    void push(const Snapshot& before, const Snapshot& after);
    // Undo and Redo land here, as does the first application of an edit.
    void restore(const Snapshot& snapshot);
    void measureSize();
    void finishOpen(const QString& path, const Picture& picture, const ImagingResult& result);
    void finishSave(Task task, const QString& path, const ImagingResult& result, const Picture& shown,
                    qint64 bytes);

    Picture m_picture;
    QString m_path;
    State m_state = None;
    QByteArray m_fitted;
    QUndoStack m_undo;
    Task m_task = Task::None;
    std::atomic<bool> m_stop{false};
    QThreadPool m_taskPool;
    QFutureWatcher<Finish> m_taskWatcher;
    quint64 m_sizeGeneration = 0;
    qint64 m_sizeFigure = -1;
    QThreadPool m_sizePool;
    QFutureWatcher<SizeFigure> m_sizeWatcher;
};
