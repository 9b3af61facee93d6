#include "CtlHistory.h"

#include "alerts/AlertText.h"
#include "history/HistoryLog.h"

CtlHistory::CtlHistory(const ProjectorList& list, const HistoryLimits& limits)
    : m_log(HistoryStore::defaultPath()) {
    m_log.setProjectors(list);
    m_log.store().setLimits(limits);
}

QString CtlHistory::shellUser() {
    return HistoryLog::shellUser();
}

void CtlHistory::record(const QString& command, int store, quint32 address, int result, bool ok,
                        const QString& text, const QDateTime& started, qint64 tookMs,
                        const QString& uploadPath) {
    CommandEvent e;
    e.command = command.toUpper();
    e.storeNumber = store;
    e.address = address;
    e.started = started;
    e.tookMs = tookMs;
    e.result = result;
    e.ok = ok;
    e.text = text;
    e.uploadPath = uploadPath;
    m_log.commandFinished(e);
}

void CtlHistory::alert(const Alert& alert, bool raised) {
    m_log.note(AlertText::historyRecord(alert, raised));
}

void CtlHistory::finish(QTextStream& err) {
    m_log.store().flush();
    if (const QString text = m_log.takeProblemText(); !text.isEmpty()) {
        err << text << '\n';
    }
}
