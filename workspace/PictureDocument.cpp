#include "workspace/PictureDocument.h"

#include "imaging/PictureLoader.h"
#include "imaging/PictureSaver.h"
#include "imaging/Qv1Encoder.h"
#include "imaging/SendableImage.h"
#include "workspace/PictureEditCommand.h"
#include "workspace/ProjectorPictureSave.h"

#include <QCoreApplication>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

PictureDocument::PictureDocument(QObject* parent) : QObject(parent) {
    // One task at a time, and the size figure never waits behind one.
    m_taskPool.setMaxThreadCount(1);
    m_sizePool.setMaxThreadCount(1);
    connect(&m_taskWatcher, &QFutureWatcherBase::finished, this, &PictureDocument::taskEnded);
    connect(&m_sizeWatcher, &QFutureWatcherBase::finished, this, [this] {
        const SizeFigure figure = m_sizeWatcher.result();
        // A figure overtaken by a later change is dropped.
        if (figure.generation == m_sizeGeneration && figure.bytes >= 0) {
            m_sizeFigure = figure.bytes;
            Q_EMIT sizeKnown(figure.bytes);
        }
    });
    connect(&m_undo, &QUndoStack::canUndoChanged, this, &PictureDocument::undoAvailabilityChanged);
    connect(&m_undo, &QUndoStack::canRedoChanged, this, &PictureDocument::undoAvailabilityChanged);
}

PictureDocument::~PictureDocument() {
    m_stop = true; // a fit reads it through a pointer: wait before it goes
    m_taskWatcher.disconnect(this);
    m_sizeWatcher.disconnect(this);
    m_taskPool.waitForDone();
    m_sizePool.clear();
    m_sizePool.waitForDone();
}

bool PictureDocument::canSend() const {
    if (m_state == None) {
        return false;
    }
    int reason = 0;
    return IsSendableImage(m_path, width(), height(), reason);
}

bool PictureDocument::canUndo() const {
    return !isBusy() && m_undo.canUndo();
}

bool PictureDocument::canRedo() const {
    return !isBusy() && m_undo.canRedo();
}

void PictureDocument::undo() {
    if (canUndo()) {
        m_undo.undo();
    }
}

void PictureDocument::redo() {
    if (canRedo()) {
        m_undo.redo();
    }
}

void PictureDocument::stop() {
    if (isBusy()) {
        m_stop = true;
    }
}

void PictureDocument::start(Task task, std::function<Finish()> work) {
    m_stop = false;
    m_task = task;
    m_taskWatcher.setFuture(QtConcurrent::run(&m_taskPool, std::move(work)));
    Q_EMIT busyChanged(true);
    Q_EMIT undoAvailabilityChanged();
}

void PictureDocument::taskEnded() {
    const Finish finish = m_taskWatcher.result();
    m_task = Task::None;
    // Not busy any more before the outcome is told, so its handler may start the next task.
    Q_EMIT busyChanged(false);
    Q_EMIT undoAvailabilityChanged();
    finish();
}

PictureDocument::Snapshot PictureDocument::snapshot() const {
    return {m_picture, m_fitted, m_state};
}

void PictureDocument::push(const Snapshot& before, const Snapshot& after) {
    m_undo.push(new PictureEditCommand(*this, before, after)); // applies after
}

void PictureDocument::restore(const Snapshot& snapshot) {
    m_picture = snapshot.picture;
    m_fitted = snapshot.fitted;
    m_state = snapshot.state;
    measureSize();
    Q_EMIT pictureChanged();
    Q_EMIT stateChanged();
}

bool PictureDocument::open(const QString& path) {
    if (isBusy()) {
        return false;
    }
    start(Task::Open, [this, path]() -> Finish {
        Picture picture;
        const ImagingResult result = PictureLoader::load(path, picture);
        return [this, path, picture, result] { finishOpen(path, picture, result); };
    });
    return true;
}

void PictureDocument::finishOpen(const QString& path, const Picture& picture, const ImagingResult& result) {
    if (result.ok()) {
        // Another picture starts a history of its own.
        m_undo.clear();
        m_path = path;
        restore({picture, {}, Saved});
    }
    // A failed open leaves the picture on show whole, with its path, state and history.
    Q_EMIT openFinished(path, result);
}

bool PictureDocument::edit(Edit op) {
    if (isBusy() || !isLoaded() || !op) {
        return false;
    }
    const Snapshot before = snapshot();
    start(Task::Edit, [this, before, op = std::move(op)]() -> Finish {
        Picture edited = before.picture;
        const ImagingResult result = op(edited);
        return [this, before, edited, result] {
            if (result.ok()) {
                // Only a fit leaves an encoding that matches the picture.
                push(before, {edited, {}, Edited});
            }
            Q_EMIT editFinished(result);
        };
    });
    return true;
}

bool PictureDocument::fit() {
    if (isBusy() || !isLoaded()) {
        return false;
    }
    const Picture source = m_picture;
    start(Task::Fit, [this, source]() -> Finish {
        FitToProjector::Options options;
        options.stop = &m_stop;
        const FitToProjector::Result fit = FitToProjector::fit(source, options);
        return [this, fit] { Q_EMIT fitFinished(fit); };
    });
    return true;
}

bool PictureDocument::applyFit(const FitToProjector::Result& fit) {
    if (isBusy() || !isLoaded() || !fit.result.ok() || fit.bytes.isEmpty()) {
        return false;
    }
    // Save writes the picture in the format its file was loaded in; the fit changes pixels only.
    Picture shown = fit.shown;
    shown.setLoadedFormat(m_picture.loadedFormat(), m_picture.loadedFormatName(), m_picture.loadedBitDepth());
    push(snapshot(), {shown, fit.bytes, Edited});
    return true;
}

bool PictureDocument::save() {
    if (isBusy() || m_state == None) {
        return false;
    }
    const QString path = m_path;
    const Picture picture = m_picture;
    // A fitted picture saved to a projector or GIF file is written as the very encoding that
    // was measured against the limit, not encoded afresh.
    const bool writeFitted = !m_fitted.isEmpty() && (ProjectorPictureSave::hasQv1Extension(path) ||
                                                     picture.loadedFormat() == PictureFormat::Gif);
    const QByteArray fitted = writeFitted ? m_fitted : QByteArray();
    start(Task::Save, [this, path, picture, fitted]() -> Finish {
        const ImagingResult result = fitted.isEmpty() ? PictureSaver::saveAsLoaded(picture, path)
                                                      : PictureSaver::writeFile(path, fitted);
        return [this, path, result] { finishSave(Task::Save, path, result, {}, 0); };
    });
    return true;
}

bool PictureDocument::saveProjectorPicture(const QString& path, bool convert) {
    if (isBusy() || m_state == None) {
        return false;
    }
    const Picture picture = m_picture;
    const QByteArray fitted = m_fitted;
    const Task task = convert ? Task::Convert : Task::SaveAs;
    start(task, [this, task, path, picture, fitted]() -> Finish {
        ProjectorPictureSave::Outcome outcome;
        if (fitted.isEmpty()) {
            outcome = ProjectorPictureSave::save(picture, path);
        } else {
            // The fitted encoding is the one that was measured against the limit: write it as is.
            outcome.result = PictureSaver::writeFile(path, fitted);
            outcome.shown = picture;
            outcome.bytes = fitted.size();
        }
        return [this, task, path, outcome] {
            finishSave(task, path, outcome.result, outcome.shown, outcome.bytes);
        };
    });
    return true;
}

void PictureDocument::finishSave(Task task, const QString& path, const ImagingResult& result,
                                 const Picture& shown, qint64 bytes) {
    if (result.ok()) {
        m_path = path;
        m_state = Saved;
        if (task != Task::Save) {
            // What the projector file holds is the colour-reduced picture: that one is shown.
            m_picture = shown;
            Q_EMIT pictureChanged();
        }
        if (task == Task::SaveAs) {
            m_undo.clear();
            // The figure is the file just written.
            ++m_sizeGeneration;
            m_sizeFigure = bytes;
            Q_EMIT sizeKnown(bytes);
        }
        Q_EMIT stateChanged();
    }
    Q_EMIT saveFinished(task, path, result);
}

void PictureDocument::measureSize() {
    const quint64 generation = ++m_sizeGeneration;
    if (!m_fitted.isEmpty()) {
        m_sizeFigure = m_fitted.size();
        Q_EMIT sizeKnown(m_fitted.size());
        return;
    }
    m_sizeFigure = -1;
    Q_EMIT sizeUnknown();
    if (m_picture.isNull()) {
        return;
    }
    const Picture picture = m_picture;
    // The encoding of a large picture takes a while: the figure follows when it is ready.
    m_sizeWatcher.setFuture(QtConcurrent::run(&m_sizePool, [picture, generation] {
        qint64 bytes = 0;
        return SizeFigure{generation, Qv1Encoder::encodedSize(picture, bytes).ok() ? bytes : -1};
    }));
}

void PictureDocument::waitForSize() {
    m_sizePool.waitForDone();
    QCoreApplication::sendPostedEvents(&m_sizeWatcher);
}
