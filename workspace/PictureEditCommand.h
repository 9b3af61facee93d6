#pragma once

#include "workspace/PictureDocument.h"

#include <QUndoCommand>

// One confirmed edit of the picture document: the picture as it was before and after, each
// with its fitted encoding and its state, so Undo and Redo put back exactly what was there.
class PictureEditCommand final : public QUndoCommand {
public:
    PictureEditCommand(PictureDocument& document, PictureDocument::Snapshot before,
                       PictureDocument::Snapshot after);

    void undo() override;
    void redo() override;

private:
    PictureDocument& m_document;
    PictureDocument::Snapshot m_before;
    PictureDocument::Snapshot m_after;
};
