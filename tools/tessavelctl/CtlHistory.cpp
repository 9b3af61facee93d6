#include "CtlHistory.h"

#include "history/HistoryLog.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

CtlHistory::CtlHistory(const ProjectorList& list) : m_log(HistoryStore::defaultPath()) { m_log.setProjectors(list); }

QString CtlHistory::shellUser() { return HistoryLog::shellUser(); }

void CtlHistory::record(const QString& command, int store, quint32 address, int result, bool ok, const QString& text,
                        const QDateTime& started, qint64 tookMs, const QString& uploadPath) {
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

void CtlHistory::finish(QTextStream& err) {
    HistoryStore& store = m_log.store();
    store.flush();
    switch (store.takeProblem()) {
    case HistoryProblem::None:
        break;
    case HistoryProblem::Damaged:
        err << CatalogText(msg::HistoryDamaged, {store.setAsidePath()}) << '\n';
        break;
    case HistoryProblem::Locked:
        err << CatalogText(msg::HistoryLocked) << '\n';
        break;
    case HistoryProblem::Unwritable:
        err << CatalogText(msg::HistoryWriteFailed) << '\n';
        break;
    }
}
