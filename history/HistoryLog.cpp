#include "history/HistoryLog.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/Ipv4.h"

#include <pwd.h>
#include <unistd.h>

#include <utility>

HistoryLog::HistoryLog(const QString& path, QString user)
    : m_store(path), m_user(user.isEmpty() ? shellUser() : std::move(user)) {}

QString HistoryLog::shellUser() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_name != nullptr) {
        return QString::fromLocal8Bit(pw->pw_name);
    }
    return qEnvironmentVariable("USER");
}

void HistoryLog::setUser(const QString& user) {
    std::lock_guard lock(m_mutex);
    m_user = user.isEmpty() ? shellUser() : user;
}

void HistoryLog::setProjectors(const ProjectorList& list) {
    std::lock_guard lock(m_mutex);
    m_list = list;
}

void HistoryLog::setRecordObserver(std::function<void(const CommandEvent&)> observer) {
    std::lock_guard lock(m_mutex);
    m_recordObserver = std::move(observer);
}

void HistoryLog::commandFinished(const CommandEvent& event) {
    HistoryRecord r;
    r.time = event.started;
    r.address = Ipv4::toText(event.address);
    {
        std::lock_guard lock(m_mutex);
        r.user = m_user;
        for (const ProjectorRecord& p : m_list) {
            if (p.hostAddress() == event.address) {
                r.projectorName = p.name;
                r.mac = p.mac;
                break;
            }
        }
    }
    r.command = event.command;
    r.store = event.storeNumber;
    if (!event.uploadPath.isEmpty()) {
        r.describeUpload(event.uploadPath);
    } else if (event.command == u"PUT" && !event.uploadContent.isEmpty()) {
        r.describeUploadData(event.uploadName, event.uploadContent);
    }
    r.result = event.result;
    r.ok = event.ok;
    r.resultText = event.text;
    r.tookMs = event.tookMs;
    m_store.append(std::move(r));
    std::lock_guard lock(m_mutex);
    if (m_recordObserver) {
        m_recordObserver(event);
    }
}

void HistoryLog::note(HistoryRecord record) {
    {
        std::lock_guard lock(m_mutex);
        if (record.user.isEmpty()) {
            record.user = m_user;
        }
        for (const ProjectorRecord& p : m_list) {
            if (Ipv4::toText(p.hostAddress()) == record.address) {
                if (record.projectorName.isEmpty()) {
                    record.projectorName = p.name;
                }
                if (record.mac.isEmpty()) {
                    record.mac = p.mac;
                }
                break;
            }
        }
    }
    m_store.append(std::move(record));
}

QString HistoryLog::takeProblemText() {
    switch (m_store.takeProblem()) {
    case HistoryProblem::None:
        break;
    case HistoryProblem::Damaged:
        return CatalogText(msg::HistoryDamaged, {m_store.setAsidePath()});
    case HistoryProblem::Locked:
        return CatalogText(msg::HistoryLocked);
    case HistoryProblem::Unwritable:
        return CatalogText(msg::HistoryWriteFailed);
    }
    return {};
}
