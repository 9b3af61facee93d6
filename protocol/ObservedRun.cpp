#include "protocol/ObservedRun.h"

ObservedRun::ObservedRun(const CommandContext& context, CommandEvent event) : m_observer(context.observer) {
    if (m_observer == nullptr) {
        return;
    }
    m_event = std::move(event);
    m_event.started = QDateTime::currentDateTimeUtc();
    m_took.start();
}
