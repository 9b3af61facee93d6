#pragma once

#include "history/HistoryStore.h"
#include "protocol/CommandObserver.h"
#include "registry/ProjectorRecord.h"

#include <functional>
#include <mutex>

// Puts every command a run reports into the history, with the projector's name and MAC from
// the list and the user who made it. Runs report from their own threads; this only queues.
class HistoryLog final : public CommandObserver {
public:
    explicit HistoryLog(const QString& path, QString user = {});

    void commandFinished(const CommandEvent& event) override;

    // The user the records name; the shell user until someone logs in.
    void setUser(const QString& user);
    // Where names and MAC texts come from; the list the window holds now.
    void setProjectors(const ProjectorList& list);

    // Told of every event once its record is queued, on the thread that ran the command.
    void setRecordObserver(std::function<void(const CommandEvent&)> observer);

    // A record that no command made (an alert): the user and, by its address, the
    // projector's name and MAC are filled in where it has none. No observer hears of it.
    void note(HistoryRecord record);

    HistoryStore& store() { return m_store; }

    // The catalog text for a problem the store has met since last asked, once; empty when
    // there was none.
    [[nodiscard]] QString takeProblemText();

    // The user running this process, for records made before a login or from the shell.
    [[nodiscard]] static QString shellUser();

private:
    HistoryStore m_store;
    std::mutex m_mutex; // the user and the list: set on the interface thread, read by runs
    QString m_user;
    ProjectorList m_list;
    std::function<void(const CommandEvent&)> m_recordObserver; // guarded by m_mutex
};
