#pragma once

#include "schedule/DaypartCalendar.h"
#include "schedule/ScheduleOptions.h"
#include "schedule/ScheduleTable.h"

#include <QDateTime>

#include <vector>

// The uploads a run of a schedule will make from a given moment on, worked out without
// running it. It follows the runner: an upload takes no time here, each entry's interval
// follows its upload, and an entry uploads only inside its windows. Without loop the run
// waits for each entry's next window in turn (skipping one that never opens again); in
// loop mode a pass skips the entries that are closed, and when none was open it waits for
// the first window to open.
struct SchedulePlan final {
    static constexpr int kMaxDays = 3660;
    static constexpr int kMaxUploads = 200000;

    struct Upload {
        qint64 at = 0; // seconds since the epoch
        int entry = 0; // index into the table
        friend bool operator==(const Upload&, const Upload&) = default;
    };
    // Two entries with dayparts that write the same projector and store in windows that
    // overlap within the plan; from is the first moment both are open.
    struct Collision {
        int first = 0;
        int second = 0;
        qint64 from = 0;
        friend bool operator==(const Collision&, const Collision&) = default;
    };

    qint64 start = 0;
    qint64 end = 0; // the same local time, days later
    std::vector<Upload> uploads;
    std::vector<Collision> collisions;
    // Loop mode with nothing to wait between uploads: the pass from endlessFrom on repeats
    // at once, for ever.
    bool endless = false;
    qint64 endlessFrom = 0;
    bool truncated = false; // stopped at kMaxUploads

    // days is clamped to 1..kMaxDays.
    static SchedulePlan make(const ScheduleTable& table, const ScheduleOptions& options, bool loop,
                             const QDateTime& from, int days, const DaypartCalendar& calendar);
};
