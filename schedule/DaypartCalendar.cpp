#include "schedule/DaypartCalendar.h"

#include <algorithm>

namespace {

constexpr qint64 kDay = 24 * 60 * 60;
constexpr qint64 kUnixEpochJulianDay = 2440588;
constexpr qint64 kCacheMargin = 400 * kDay;
// How far ahead a search for the next window or the end of the current one goes.
constexpr int kReachDays = 400;
constexpr int kChunkDays = 14;

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

} // namespace

DaypartCalendar::DaypartCalendar(QTimeZone zone) : m_zone(std::move(zone)) {
    if (!m_zone.isValid()) {
        m_zone = QTimeZone::utc();
    }
    m_fixed = !m_zone.hasTransitions();
    m_fixedOffset = m_zone.offsetFromUtc(QDateTime::currentDateTimeUtc());
}

void DaypartCalendar::cover(qint64 secs) const {
    if (secs >= m_lo && secs < m_hi && !m_offsets.empty()) {
        return;
    }
    const qint64 lo = m_offsets.empty() ? secs - kCacheMargin : std::min(m_lo, secs - kCacheMargin);
    const qint64 hi = m_offsets.empty() ? secs + kCacheMargin : std::max(m_hi, secs + kCacheMargin);
    const QDateTime from = QDateTime::fromSecsSinceEpoch(lo, QTimeZone::utc());
    m_offsets.clear();
    m_offsets.emplace_back(lo, m_zone.offsetFromUtc(from));
    const auto list = m_zone.transitions(from, QDateTime::fromSecsSinceEpoch(hi, QTimeZone::utc()));
    for (const QTimeZone::OffsetData& t : list) {
        const qint64 at = t.atUtc.toSecsSinceEpoch();
        if (at > m_offsets.back().first) {
            m_offsets.emplace_back(at, t.offsetFromUtc);
        }
    }
    m_lo = lo;
    m_hi = hi;
}

int DaypartCalendar::offsetAt(qint64 secs) const {
    if (m_fixed) {
        return m_fixedOffset;
    }
    cover(secs);
    auto it = std::upper_bound(m_offsets.begin(), m_offsets.end(), secs,
                               [](qint64 s, const std::pair<qint64, int>& e) { return s < e.first; });
    return it == m_offsets.begin() ? m_offsets.front().second : std::prev(it)->second;
}

qint64 DaypartCalendar::transitionAfter(qint64 secs) const {
    cover(secs);
    auto it = std::upper_bound(m_offsets.begin(), m_offsets.end(), secs,
                               [](qint64 s, const std::pair<qint64, int>& e) { return s < e.first; });
    return it == m_offsets.end() ? secs : it->first;
}

QDateTime DaypartCalendar::toDateTime(qint64 secs) const {
    return QDateTime::fromSecsSinceEpoch(secs, m_zone);
}

QDate DaypartCalendar::localDate(qint64 secs) const {
    return QDate::fromJulianDay(floorDiv(secs + offsetAt(secs), kDay) + kUnixEpochJulianDay);
}

qint64 DaypartCalendar::instantOf(const QDate& date, int minute) const {
    const qint64 wall = (date.toJulianDay() - kUnixEpochJulianDay) * kDay + qint64{minute} * 60;
    if (m_fixed) {
        return wall - m_fixedOffset;
    }
    // No zone changes its offset twice within four days, so the offsets two days either
    // side are the only ones this wall time can mean.
    const int before = offsetAt(wall - 2 * kDay);
    const int after = offsetAt(wall + 2 * kDay);
    const qint64 early = wall - std::max(before, after);
    const qint64 late = wall - std::min(before, after);
    const bool earlyFits = offsetAt(early) == std::max(before, after);
    const bool lateFits = offsetAt(late) == std::min(before, after);
    if (earlyFits) {
        return early; // also the first of a repeated time
    }
    if (lateFits) {
        return late;
    }
    // Skipped by the clocks: the moment they jump.
    return transitionAfter(early);
}

std::vector<DaypartCalendar::Span> DaypartCalendar::spans(const Daypart& daypart, const QDate& first,
                                                          const QDate& last) const {
    std::vector<Span> raw;
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        if (!daypart.startsOn(d)) {
            continue;
        }
        if (daypart.windows.isEmpty()) {
            raw.push_back({instantOf(d, 0), instantOf(d.addDays(1), 0)});
            continue;
        }
        for (const DaypartWindow& w : daypart.windows) {
            const qint64 open = instantOf(d, w.startMinute);
            qint64 close = instantOf(w.crossesMidnight() ? d.addDays(1) : d, w.endMinute);
            if (close <= open) {
                // Both ends fell in the hour the clocks skipped: it still runs, for its length.
                const int length = (w.endMinute - w.startMinute + 24 * 60) % (24 * 60);
                close = open + qint64{length} * 60;
            }
            raw.push_back({open, close});
        }
    }
    std::sort(raw.begin(), raw.end(), [](const Span& a, const Span& b) { return a.open < b.open; });
    std::vector<Span> merged;
    for (const Span& s : raw) {
        if (!merged.empty() && s.open <= merged.back().close) {
            merged.back().close = std::max(merged.back().close, s.close);
        } else {
            merged.push_back(s);
        }
    }
    return merged;
}

DaypartCalendar::State DaypartCalendar::stateAt(const Daypart& daypart, const QDateTime& at) const {
    State state;
    if (daypart.isAlwaysOpen()) {
        state.open = true;
        return state;
    }
    const qint64 now = at.toSecsSinceEpoch();
    // Yesterday's window may cross midnight into today.
    QDate day = localDate(now).addDays(-1);
    if (daypart.first.isValid() && daypart.first > day) {
        day = daypart.first;
    }
    const QDate reach = day.addDays(kReachDays);
    const QDate stop = daypart.last.isValid() ? std::min(daypart.last, reach) : reach;
    bool found = false;
    Span current;
    for (QDate chunk = day; chunk <= stop; chunk = chunk.addDays(kChunkDays)) {
        const QDate chunkEnd = std::min(chunk.addDays(kChunkDays - 1), stop);
        for (const Span& s : spans(daypart, chunk, chunkEnd)) {
            if (found) {
                if (s.open > current.close) {
                    state.open = current.open <= now;
                    state.opens = toDateTime(current.open);
                    state.closes = toDateTime(current.close);
                    return state;
                }
                current.close = std::max(current.close, s.close);
            } else if (s.close > now) {
                current = s;
                found = true;
            }
        }
    }
    if (!found) {
        return state; // never again
    }
    state.open = current.open <= now;
    state.opens = toDateTime(current.open);
    // Windows that ran on up to the search's end keep it open beyond a year.
    if (stop < reach || current.close <= instantOf(stop, 0)) {
        state.closes = toDateTime(current.close);
    }
    return state;
}
