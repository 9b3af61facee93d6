#pragma once

#include "common/IoResult.h"
#include "schedule/ScheduleTable.h"

#include <QString>

// Schedule files (*.sch) on disk. They hold passwords, so they are private to the user.
namespace ScheduleFile {

IoResult save(const QString& path, const ScheduleTable& table);

// Truncated and BadContent (count out of range, empty file) leave table as it was;
// only a truncated file deserves a message, the others are ignored silently.
IoResult load(const QString& path, ScheduleTable& table);

} // namespace ScheduleFile
