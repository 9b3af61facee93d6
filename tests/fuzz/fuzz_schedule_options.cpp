// Feeds arbitrary bytes to the schedule options reader: whatever it accepts must write back
// to text that reads as the same options.
#include "schedule/ScheduleOptions.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ScheduleOptions read{true, true};
    if (!ScheduleOptions::fromText(text, read)) {
        return 0;
    }
    ScheduleOptions again;
    if (!ScheduleOptions::fromText(read.toText(), again) || !(again == read)) {
        __builtin_trap();
    }
    return 0;
}
