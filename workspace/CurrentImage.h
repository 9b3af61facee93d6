#pragma once

#include <QString>

// The picture the workspace shows, as every subsystem sees it.
struct CurrentImage final {
    enum State : qint32 { None = 0, Saved = 1, Edited = 2 };

    QString path; // the file it was opened from or last saved to
    qint32 state = None;
    quint32 width = 0; // the shown picture's size in pixels
    quint32 height = 0;

    // A saved projector picture that a projector accepts.
    [[nodiscard]] bool canSend() const;
};
