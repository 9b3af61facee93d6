#pragma once

#include "alerts/Alert.h"
#include "history/HistoryLog.h"
#include "protocol/CommandConnection.h"
#include "registry/ProjectorRecord.h"

#include <QElapsedTimer>
#include <QTextStream>

// What tessavelctl's projector commands write into the command history, as the shell user.
class CtlHistory final {
public:
    explicit CtlHistory(const ProjectorList& list, const HistoryLimits& limits = {});

    // One finished exchange; uploadPath is the file sent, for PUT.
    void record(const QString& command, int store, quint32 address, int result, bool ok, const QString& text,
                const QDateTime& started, qint64 tookMs, const QString& uploadPath = {});
    // An alert raised or cleared, as the command "ALERT".
    void alert(const Alert& alert, bool raised);
    // Waits for the writes and tells the user once when the history could not take them.
    void finish(QTextStream& err);

    [[nodiscard]] static QString shellUser();

private:
    HistoryLog m_log; // the shell user; names and MAC texts from the list
};
