#include "workspace/PictureEditCommand.h"

PictureEditCommand::PictureEditCommand(PictureDocument& document, PictureDocument::Snapshot before,
                                       PictureDocument::Snapshot after)
    : m_document(document), m_before(std::move(before)), m_after(std::move(after)) {}

void PictureEditCommand::undo() {
    m_document.restore(m_before);
}

void PictureEditCommand::redo() {
    m_document.restore(m_after);
}
