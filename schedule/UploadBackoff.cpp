#include "schedule/UploadBackoff.h"

#include "i18n/CatalogIds.h"
#include "protocol/CommandConnection.h"
#include "protocol/ImageUpload.h"

#include <algorithm>
#include <chrono>

UploadBackoff::UploadBackoff(Clock clock, qint64 firstMs, qint64 longestMs)
    : m_clock(std::move(clock)), m_firstMs(std::max<qint64>(0, firstMs)),
      m_longestMs(std::max(m_firstMs, longestMs)) {
    if (!m_clock) {
        m_clock = [] {
            return static_cast<qint64>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now().time_since_epoch())
                                           .count());
        };
    }
}

qint64 UploadBackoff::delayAfter(int failures, qint64 firstMs, qint64 longestMs) {
    if (failures < 1 || firstMs <= 0) {
        return 0;
    }
    qint64 delay = firstMs;
    // Doubling stops at the ceiling, so no count of failures can overflow it.
    for (int i = 1; i < failures && delay < longestMs; ++i) {
        delay *= 2;
    }
    return std::min(delay, longestMs);
}

qint64 UploadBackoff::failed(quint32 address) {
    State& s = m_states[address];
    if (s.failures < 1000) {
        ++s.failures;
    }
    const qint64 delay = delayAfter(s.failures, m_firstMs, m_longestMs);
    s.nextTry = m_clock() + delay;
    return delay;
}

void UploadBackoff::succeeded(quint32 address) {
    m_states.erase(address);
}

qint64 UploadBackoff::waitFor(quint32 address) const {
    const auto it = m_states.find(address);
    if (it == m_states.end()) {
        return 0;
    }
    return std::max<qint64>(0, it->second.nextTry - m_clock());
}

int UploadBackoff::failures(quint32 address) const {
    const auto it = m_states.find(address);
    return it == m_states.end() ? 0 : it->second.failures;
}

CatalogId UploadBackoff::reasonFor(int uploadResult) {
    switch (uploadResult) {
    case ConnectResult::SocketFailed:
    case ConnectResult::ConnectFailed:
    case ConnectResult::NoGreeting:
    case ConnectResult::WaitFailed:
        return msg::BackoffCouldNotConnect;
    case UploadResult::NoReply:
    case UploadResult::WaitFailed:
    case UploadResult::ReadFailed:
        return msg::BackoffNoAnswer;
    case UploadResult::Reply3:
        return msg::BackoffBusy;
    default:
        return msg::BackoffFailed;
    }
}
