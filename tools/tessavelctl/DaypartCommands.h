#pragma once

#include <QStringList>
#include <QTextStream>

// schedule plan FILE.sch [--days N] [--loop] [--json] [--start DATE-TIME]
// Times are local to the system's time zone.
int RunSchedulePlanCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// schedule edit FILE.sch --entry N [--days LIST] [--window HH:MM-HH:MM]... [--from DATE]
// [--until DATE] [--clear]: changes one entry's dayparts in the options file, whole or not.
int RunScheduleEditCommand(const QStringList& args, QTextStream& out, QTextStream& err);
