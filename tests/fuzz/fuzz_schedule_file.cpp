// The schedule file round trip through the disk: arbitrary bytes as a file, loaded; what
// loads is saved and loaded again and must be the same table. Slower than the in-memory
// loader target, it covers the file layer: partial reads, longer files, refusals.
#include "schedule/ScheduleFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.sch"));
    const QString out = dir.filePath(QStringLiteral("out.sch"));
    {
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly)) {
            return 0;
        }
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    ScheduleTable table;
    const IoResult loaded = ScheduleFile::load(in, table);
    if (!loaded.ok()) {
        if (!(table == ScheduleTable{})) {
            __builtin_trap(); // a refused file leaves the table as it was
        }
        return 0;
    }
    if (table.count < 1 || table.count > ScheduleTable::kSlots) {
        __builtin_trap();
    }
    if (!ScheduleFile::save(out, table).ok()) {
        return 0;
    }
    QFile written(out);
    if (!written.open(QIODevice::ReadOnly) || written.size() != ScheduleTable::kFileSize) {
        __builtin_trap(); // every file this program writes has the full size
    }
    ScheduleTable again;
    if (!ScheduleFile::load(out, again).ok() || !(again == table)) {
        __builtin_trap();
    }
    return 0;
}
