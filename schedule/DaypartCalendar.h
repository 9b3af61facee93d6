#pragma once

#include "schedule/Daypart.h"

#include <QDateTime>
#include <QTimeZone>

#include <utility>
#include <vector>

// Turns dayparts into real time in one time zone. A window is a span between two instants,
// so clocks that jump do not repeat or drop it: in a repeated hour the wall times name
// their first occurrence, and a time the clocks skip means the moment they land (a window
// that lies wholly in the skipped hour opens then, for its own length).
// Keeps a cache of the zone's offsets: use one calendar per thread.
class DaypartCalendar final {
public:
    // Seconds since the epoch; open <= t < close is inside.
    struct Span {
        qint64 open = 0;
        qint64 close = 0;
        friend bool operator==(const Span&, const Span&) = default;
    };
    struct State {
        bool open = false;
        QDateTime opens;  // open: since when; closed: the next opening, or not valid for never
        QDateTime closes; // when that window closes; not valid while it stays open beyond a year
    };

    explicit DaypartCalendar(QTimeZone zone = QTimeZone::systemTimeZone());

    [[nodiscard]] const QTimeZone& zone() const { return m_zone; }

    // Whether the entry is inside a window at that moment, and when it next opens or closes.
    [[nodiscard]] State stateAt(const Daypart& daypart, const QDateTime& at) const;
    [[nodiscard]] bool isOpen(const Daypart& daypart, const QDateTime& at) const {
        return stateAt(daypart, at).open;
    }

    // The windows that start on the local dates first to last, in order, those that touch
    // or overlap joined into one.
    [[nodiscard]] std::vector<Span> spans(const Daypart& daypart, const QDate& first,
                                          const QDate& last) const;

    [[nodiscard]] QDateTime toDateTime(qint64 secs) const;
    [[nodiscard]] QDate localDate(qint64 secs) const;
    // The instant a local wall time names (minute 1440 is the next midnight).
    [[nodiscard]] qint64 instantOf(const QDate& date, int minute) const;

private:
    [[nodiscard]] int offsetAt(qint64 secs) const;
    void cover(qint64 secs) const;
    [[nodiscard]] qint64 transitionAfter(qint64 secs) const;

    QTimeZone m_zone;
    bool m_fixed = false;
    int m_fixedOffset = 0;
    // Offsets in force from each instant on, over [m_lo, m_hi).
    mutable std::vector<std::pair<qint64, int>> m_offsets;
    mutable qint64 m_lo = 0;
    mutable qint64 m_hi = 0;
};
