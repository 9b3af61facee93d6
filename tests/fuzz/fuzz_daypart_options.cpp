// Feeds arbitrary bytes to the schedule options reader with its dayparts: a refused file
// names a line that exists and leaves the options alone; an accepted one writes back to text
// that reads the same, and each entry's windows answer sensibly in a zone that changes its
// clocks.
#include "schedule/DaypartCalendar.h"
#include "schedule/ScheduleOptions.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ScheduleOptions read;
    read.dayparts[3].weekdays = 1;
    const ScheduleOptions before = read;
    ScheduleOptions::BadLine where;
    if (!ScheduleOptions::fromText(text, read, &where)) {
        if (!(read == before) || where.number < 0 || where.number > text.count('\n') + 1) {
            __builtin_trap();
        }
        return 0;
    }
    ScheduleOptions again;
    if (!ScheduleOptions::fromText(read.toText(), again) || !(again == read)) {
        __builtin_trap();
    }
    static const DaypartCalendar calendar(QTimeZone(QByteArrayLiteral("Europe/Berlin")));
    // The night the clocks go back, and a day after the last date any file can name.
    for (const qint64 at : {qint64{1792886400}, qint64{4102444800}}) {
        const QDateTime moment = QDateTime::fromSecsSinceEpoch(at, QTimeZone::utc());
        for (const Daypart& d : read.dayparts) {
            const DaypartCalendar::State s = calendar.stateAt(d, moment);
            if (s.open && s.opens.isValid() && s.opens > moment) {
                __builtin_trap();
            }
            if (s.closes.isValid() && s.closes <= moment) {
                __builtin_trap();
            }
            if (!s.open && s.opens.isValid() &&
                (s.opens <= moment || !s.closes.isValid() || s.closes <= s.opens)) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
