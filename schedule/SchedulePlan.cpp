#include "schedule/SchedulePlan.h"

#include "schedule/RunSequence.h"

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kNever = std::numeric_limits<qint64>::max();

// One entry's windows over the plan and how far the run has got through them; the run's
// time only moves forward, so each cursor does too.
class EntryWindows final {
public:
    EntryWindows(std::vector<DaypartCalendar::Span> spans, bool opensLater)
        : m_spans(std::move(spans)), m_opensLater(opensLater) {}

    // The window holding t or the next one after it; nullptr when none lies in the plan.
    const DaypartCalendar::Span* at(qint64 t) {
        while (m_next < m_spans.size() && m_spans[m_next].close <= t) {
            ++m_next;
        }
        return m_next < m_spans.size() ? &m_spans[m_next] : nullptr;
    }
    // Whether a window opens after the plan's end.
    [[nodiscard]] bool opensLater() const { return m_opensLater; }
    [[nodiscard]] const std::vector<DaypartCalendar::Span>& spans() const { return m_spans; }

private:
    std::vector<DaypartCalendar::Span> m_spans;
    size_t m_next = 0;
    bool m_opensLater = false;
};

qint64 firstOverlap(const std::vector<DaypartCalendar::Span>& a, const std::vector<DaypartCalendar::Span>& b,
                    qint64 start, qint64 end) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const qint64 from = std::max({a[i].open, b[j].open, start});
        const qint64 until = std::min({a[i].close, b[j].close, end});
        if (from < until) {
            return from;
        }
        (a[i].close < b[j].close ? i : j) += 1;
    }
    return kNever;
}

} // namespace

SchedulePlan SchedulePlan::make(const ScheduleTable& table, const ScheduleOptions& options, bool loop,
                                const QDateTime& from, int days, const DaypartCalendar& calendar) {
    SchedulePlan plan;
    const QDateTime local = from.toTimeZone(calendar.zone());
    days = std::clamp(days, 1, kMaxDays);
    plan.start = from.toSecsSinceEpoch();
    const QDate lastDay = local.date().addDays(days);
    plan.end =
        calendar.instantOf(lastDay, local.time().hour() * 60 + local.time().minute()) + local.time().second();
    const int count = std::clamp(table.count, 0, ScheduleTable::kSlots);

    std::vector<EntryWindows> windows;
    windows.reserve(static_cast<size_t>(count));
    const QDate firstDay = calendar.localDate(plan.start).addDays(-1);
    for (int i = 0; i < count; ++i) {
        const Daypart& d = options.dayparts[static_cast<size_t>(i)];
        if (d.isAlwaysOpen()) {
            windows.emplace_back(std::vector<DaypartCalendar::Span>{{plan.start, kNever}}, false);
            continue;
        }
        auto spans = calendar.spans(d, firstDay, lastDay.addDays(1));
        const bool later = calendar.stateAt(d, calendar.toDateTime(plan.end)).opens.isValid();
        windows.emplace_back(std::move(spans), later);
    }

    auto add = [&plan](qint64 at, int entry) {
        if (plan.uploads.size() >= static_cast<size_t>(kMaxUploads)) {
            plan.truncated = true;
            return false;
        }
        plan.uploads.push_back({at, entry});
        return true;
    };
    auto interval = [&table](int i) {
        return qint64{std::max(0, table.entries[static_cast<size_t>(i)].interval)} * 60;
    };

    // The plan's own windows stand in for the calendar's: one that opens beyond the plan
    // opens "after the end", and the run stops there.
    constexpr qint64 beyond = RunSequence::kNever - 1;
    auto windowAt = [&windows](int i, qint64 t) {
        EntryWindows& w = windows[static_cast<size_t>(i)];
        if (const DaypartCalendar::Span* span = w.at(t)) {
            return span->open;
        }
        return w.opensLater() ? beyond : RunSequence::kNever;
    };
    RunSequence sequence(count, loop, windowAt);
    qint64 t = plan.start;
    using Kind = RunSequence::Step::Kind;
    while (t < plan.end) {
        const RunSequence::Step step = sequence.next(t);
        if (sequence.repeatsAtOnce()) {
            plan.endless = true;
            plan.endlessFrom = sequence.repeatsFrom();
            break;
        }
        if (step.kind == Kind::End) {
            break;
        }
        if (step.kind == Kind::Wait || step.kind == Kind::Idle) {
            t = step.at;
            continue;
        }
        if (step.kind == Kind::Upload) {
            if (!add(t, step.entry)) {
                break;
            }
            sequence.uploaded();
            t += interval(step.entry);
        }
    }

    // Rotating pictures through one store is what schedules are for; only entries meant to
    // take turns by their windows can clash.
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            const ScheduleEntry& a = table.entries[static_cast<size_t>(i)];
            const ScheduleEntry& b = table.entries[static_cast<size_t>(j)];
            if (a.address != b.address || a.saveId != b.saveId ||
                options.dayparts[static_cast<size_t>(i)].isAlwaysOpen() ||
                options.dayparts[static_cast<size_t>(j)].isAlwaysOpen()) {
                continue;
            }
            const qint64 at = firstOverlap(windows[static_cast<size_t>(i)].spans(),
                                           windows[static_cast<size_t>(j)].spans(), plan.start, plan.end);
            if (at != kNever) {
                plan.collisions.push_back({i, j, at});
            }
        }
    }
    return plan;
}
