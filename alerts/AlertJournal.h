#pragma once

#include "alerts/Alert.h"

#include <QString>

// Alerts as the service's log lines on standard error: one line each, led by a syslog
// priority ("<3>") that the systemd journal takes for the line's level and strips. Text from
// outside (names, reasons, file names) has its invisible characters spelled out, so a name
// can neither break the line nor forge a priority of its own.
namespace AlertJournal {

// 3 (error) for an offline or failed-upload alert raised, 4 (warning) for a store changed,
// 5 (notice) for any alert cleared.
int priority(const Alert& alert, bool raised);

// The line for an alert raised or cleared, without its line end.
QString line(const Alert& alert, bool raised);

// A problem of the service's own, such as a failed hook: a warning line.
QString warning(const QString& text);

} // namespace AlertJournal
