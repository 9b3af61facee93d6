// Feeds arbitrary bytes to the schedule file parser and checks the round trip.
#include "schedule/ScheduleTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ScheduleTable table;
    if (table.fromBytes(bytes) != ScheduleTable::ParseResult::Loaded) {
        if (!(table == ScheduleTable{})) {
            __builtin_trap(); // a refused file must not change the table
        }
        return 0;
    }
    if (table.count < 1 || table.count > ScheduleTable::kSlots) {
        __builtin_trap();
    }
    for (const ScheduleEntry& e : table.entries) {
        (void)e.imageFilePath();
        (void)e.passwordText();
    }
    ScheduleTable again;
    if (again.fromBytes(table.toBytes()) != ScheduleTable::ParseResult::Loaded || !(again == table)) {
        __builtin_trap();
    }
    return 0;
}
