#pragma once

#include "schedule/DaypartCalendar.h"
#include "schedule/ScheduleOptions.h"

#include <QtGlobal>

#include <array>
#include <functional>
#include <limits>

// Which entry a run takes next, and when, by the entries' windows: the rules the runner
// follows and a plan foretells. Without loop the entries go in turn, each waiting for its
// next window; one whose windows never open again is passed over. In loop mode a pass takes
// the entries that are open and passes the others over; a pass that took none waits for the
// first window to open, and the run ends when no window opens again.
// Times are seconds since the epoch.
class RunSequence final {
public:
    static constexpr qint64 kAlways = std::numeric_limits<qint64>::min();
    static constexpr qint64 kNever = std::numeric_limits<qint64>::max();

    // When the entry's window that holds t opened (at most t), or when its next one opens
    // (after t); kAlways for an entry without windows, kNever when none opens again.
    using WindowAt = std::function<qint64(int entry, qint64 t)>;
    // Whether the run passes an open entry over for reasons of its own (a projector resting).
    using Resting = std::function<bool(int entry)>;

    struct Step {
        enum class Kind {
            Upload, // entry now
            Wait,   // for entry's window, which opens at at
            Skip,   // entry's windows never open again; told once
            Idle,   // the pass took nobody: the first closed entry to open is entry, at at
                    // (kNever when every entry that has windows left is open but resting)
            End,
        };
        Kind kind = Kind::End;
        int entry = -1;
        qint64 at = 0;
    };

    RunSequence(int count, bool loop, WindowAt windowAt);

    // What the run does at now. Each Upload is followed by uploaded() before the next call.
    Step next(qint64 now, const Resting& resting = {});
    void uploaded();

    // Loop mode: a pass took uploads and ended at the moment it began, so a plan, whose
    // uploads take no time, would repeat it for ever from repeatsFrom().
    [[nodiscard]] bool repeatsAtOnce() const { return m_repeats; }
    [[nodiscard]] qint64 repeatsFrom() const { return m_passStart; }

    // Windows read from dayparts through a calendar; keep both alive as long as the result.
    static WindowAt fromDayparts(const std::array<Daypart, ScheduleTable::kSlots>& dayparts,
                                 const DaypartCalendar& calendar);

private:
    Step nextInLoop(qint64 now, const Resting& resting);

    int m_count = 0;
    bool m_loop = false;
    WindowAt m_windowAt;
    int m_pos = 0;
    bool m_passBegun = false;
    bool m_tookAny = false;
    qint64 m_passStart = 0;
    bool m_repeats = false;
    std::array<bool, ScheduleTable::kSlots> m_gone{};
};
