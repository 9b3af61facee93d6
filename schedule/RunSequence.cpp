#include "schedule/RunSequence.h"

#include <algorithm>

RunSequence::RunSequence(int count, bool loop, WindowAt windowAt)
    : m_count(std::clamp(count, 0, ScheduleTable::kSlots)), m_loop(loop), m_windowAt(std::move(windowAt)) {}

RunSequence::WindowAt RunSequence::fromDayparts(const std::array<Daypart, ScheduleTable::kSlots>& dayparts,
                                                const DaypartCalendar& calendar) {
    return [&dayparts, &calendar](int entry, qint64 t) {
        const Daypart& d = dayparts[static_cast<size_t>(entry)];
        if (d.isAlwaysOpen()) {
            return kAlways;
        }
        const DaypartCalendar::State state =
            d.isValid() ? calendar.stateAt(d, calendar.toDateTime(t)) : DaypartCalendar::State{};
        return state.opens.isValid() ? state.opens.toSecsSinceEpoch() : kNever;
    };
}

RunSequence::Step RunSequence::next(qint64 now, const Resting& resting) {
    if (m_loop) {
        return nextInLoop(now, resting);
    }
    while (m_pos < m_count) {
        const int i = m_pos;
        const qint64 opens = m_windowAt(i, now);
        if (opens == kNever) {
            ++m_pos;
            return {Step::Kind::Skip, i, 0};
        }
        if (opens <= now) {
            return {Step::Kind::Upload, i, now};
        }
        return {Step::Kind::Wait, i, opens};
    }
    return {};
}

void RunSequence::uploaded() {
    ++m_pos;
    m_tookAny = true;
}

RunSequence::Step RunSequence::nextInLoop(qint64 now, const Resting& resting) {
    for (;;) {
        if (!m_passBegun) {
            m_passBegun = true;
            m_passStart = now;
            m_tookAny = false;
        }
        while (m_pos < m_count) {
            const int i = m_pos;
            const qint64 opens = m_windowAt(i, now);
            if (opens == kNever) {
                ++m_pos;
                if (!m_gone[static_cast<size_t>(i)]) {
                    m_gone[static_cast<size_t>(i)] = true;
                    return {Step::Kind::Skip, i, 0};
                }
                continue;
            }
            if (opens <= now && !(resting && resting(i))) {
                return {Step::Kind::Upload, i, now};
            }
            ++m_pos;
        }
        m_pos = 0;
        m_passBegun = false;
        if (m_tookAny) {
            m_repeats = m_repeats || now == m_passStart;
            continue;
        }
        Step idle{Step::Kind::Idle, -1, kNever};
        bool anyLeft = false;
        for (int i = 0; i < m_count; ++i) {
            const qint64 opens = m_windowAt(i, now);
            if (opens == kNever) {
                continue;
            }
            anyLeft = true;
            if (opens > now && opens < idle.at) {
                idle.entry = i;
                idle.at = opens;
            }
        }
        if (!anyLeft) {
            return {};
        }
        if (idle.entry < 0) {
            idle.entry = 0; // only resting projectors hold the run: the runner knows for how long
        }
        return idle;
    }
}
