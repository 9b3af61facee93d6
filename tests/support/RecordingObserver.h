#pragma once

#include "protocol/CommandObserver.h"

#include <QList>
#include <QMutex>

// The command history stand-in: hears of every command, from whichever thread ran it.
class RecordingObserver final : public CommandObserver {
public:
    void commandFinished(const CommandEvent& event) override {
        QMutexLocker lock(&m_mutex);
        m_events << event;
    }
    QList<CommandEvent> events() const {
        QMutexLocker lock(&m_mutex);
        return m_events;
    }

private:
    mutable QMutex m_mutex;
    QList<CommandEvent> m_events;
};
