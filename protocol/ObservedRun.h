#pragma once

#include "protocol/CommandConnection.h"
#include "protocol/CommandObserver.h"

#include <QElapsedTimer>

// The record of one command run for the context's observer, for runs that do not block
// while they go on (RunObserved is the blocking form): begun when the run begins, told
// when it ends. Nothing is recorded when the context names no observer.
class ObservedRun final {
public:
    ObservedRun() = default;
    ObservedRun(const CommandContext& context, CommandEvent event);

    // Whether the projector replied; the run itself saw the exchange.
    void setAnswered(bool answered) { m_event.answered = answered; }

    // describe(result, event) fills the outcome fields; the observer hears of it once.
    template <typename Result, typename Describe> void finish(const Result& result, Describe&& describe) {
        if (m_observer == nullptr) {
            return;
        }
        m_event.tookMs = m_took.elapsed();
        describe(result, m_event);
        CommandObserver* observer = m_observer;
        m_observer = nullptr;
        observer->commandFinished(m_event);
    }

private:
    CommandObserver* m_observer = nullptr;
    CommandEvent m_event;
    QElapsedTimer m_took;
};
