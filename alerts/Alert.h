#pragma once

#include <QDateTime>
#include <QString>

// Something an operator should hear about without looking at the board.
struct Alert final {
    enum class Kind {
        Offline,      // a projector stopped answering for longer than the alert time
        UploadFailed, // a scheduled upload, or its check, failed after its retries
        StoreChanged  // a store's content changed though this workstation did not send to it
    };

    qint64 id = 0; // from 1, in the order raised
    Kind kind = Kind::Offline;
    quint32 address = 0;
    QString projector; // its name in the list, or its address as text
    int store = 0;     // 1 to 4 where the kind concerns one store; 0 otherwise
    QString detail;    // plain text from the event: a reason, a file name; shown, never run
    QDateTime raised;
    QDateTime cleared; // not valid while the alert holds

    [[nodiscard]] bool isClear() const { return cleared.isValid(); }
    // "offline", "upload-failed", "store-changed": for hooks, the journal and the history.
    [[nodiscard]] static QString kindName(Kind kind);
};
