// Feeds arbitrary bytes to the schedule parser in memory, checks the round trip, and deletes
// a set of entries chosen by the input. The seeds are real schedule files (16,084 bytes).
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
    // Delete the entries whose first address octet is odd: the rest keep their order and
    // every slot behind them is zero.
    QList<bool> checked;
    for (int i = 0; i < table.count; ++i) {
        checked << ((table.entries[static_cast<size_t>(i)].address[0] & 1) != 0);
    }
    ScheduleTable kept = table;
    kept.deleteChecked(checked);
    int next = 0;
    for (int i = 0; i < table.count; ++i) {
        if (!checked[i] &&
            !(kept.entries[static_cast<size_t>(next++)] == table.entries[static_cast<size_t>(i)])) {
            __builtin_trap();
        }
    }
    if (kept.count != next) {
        __builtin_trap();
    }
    for (int i = next; i < ScheduleTable::kSlots; ++i) {
        if (!(kept.entries[static_cast<size_t>(i)] == ScheduleEntry{})) {
            __builtin_trap();
        }
    }
    return 0;
}
