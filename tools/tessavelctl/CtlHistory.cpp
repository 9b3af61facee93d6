#include "CtlHistory.h"

#include "history/HistoryLog.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/Ipv4.h"

CtlHistory::CtlHistory(const ProjectorList& list) : m_list(list), m_store(HistoryStore::defaultPath()) {}

QString CtlHistory::shellUser() { return HistoryLog::shellUser(); }

void CtlHistory::record(const QString& command, int store, quint32 address, int result, bool ok, const QString& text,
                        const QDateTime& started, qint64 tookMs, const QString& uploadPath) {
    HistoryRecord r;
    r.time = started;
    r.user = shellUser();
    r.address = Ipv4::toText(address);
    for (const ProjectorRecord& p : m_list) {
        if (p.hostAddress() == address) {
            r.projectorName = p.name;
            r.mac = p.mac;
            break;
        }
    }
    r.command = command.toUpper();
    r.store = store;
    if (!uploadPath.isEmpty()) {
        r.describeUpload(uploadPath);
    }
    r.result = result;
    r.ok = ok;
    r.resultText = text;
    r.tookMs = tookMs;
    m_store.append(std::move(r));
}

void CtlHistory::finish(QTextStream& err) {
    m_store.flush();
    switch (m_store.takeProblem()) {
    case HistoryProblem::None:
        break;
    case HistoryProblem::Damaged:
        err << CatalogText(msg::HistoryDamaged, {m_store.setAsidePath()}) << '\n';
        break;
    case HistoryProblem::Locked:
        err << CatalogText(msg::HistoryLocked) << '\n';
        break;
    case HistoryProblem::Unwritable:
        err << CatalogText(msg::HistoryWriteFailed) << '\n';
        break;
    }
}
