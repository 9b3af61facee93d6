#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One finished exchange with a projector, as the command run saw it.
struct CommandEvent final {
    QString command; // "PUT", "INFO", "STAT", "CANCEL"
    int storeNumber = 0;
    quint32 address = 0; // host order
    QDateTime started;   // UTC
    qint64 tookMs = 0;
    int result = 0;        // the run's own result code
    bool ok = false;       // as the run judges its result
    QString text;          // what the user is told of the outcome
    bool answered = false; // the projector replied, whatever the reply said
    // INFO that was answered: 2 the store holds fileName of length, 1 it is empty; else -1.
    int storeHolds = -1;
    QString storeFileName;
    QString storeLength;
    // Uploads: the file sent when the run read it from disk, else its name and bytes.
    QString uploadPath;
    QByteArray uploadName;
    QByteArray uploadContent;
};

// Hears of every command run whose context names it, on the thread that ran the command:
// implementations must be thread-safe and must not block.
class CommandObserver {
public:
    virtual ~CommandObserver() = default;
    virtual void commandFinished(const CommandEvent& event) = 0;

protected:
    CommandObserver() = default;
    CommandObserver(const CommandObserver&) = default;
    CommandObserver& operator=(const CommandObserver&) = default;
};
