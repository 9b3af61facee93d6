#pragma once

#include "alerts/Alert.h"
#include "history/HistoryRecord.h"

#include <QString>

// How an alert reads to the operator, wherever it shows: a notification, the Alerts list,
// the journal, the history. Names and reasons came from projectors and files, so their
// invisible characters are spelled out.
namespace AlertText {

// "Offline", "Upload failed", "Store changed".
QString kindTitle(Alert::Kind kind);
// One sentence: what happened (raised) or that it is over (cleared).
QString describe(const Alert& alert, bool raised);
// The history's record of a raise or a clear, as the command "ALERT"; the caller's log
// fills in the user and the projector's MAC.
HistoryRecord historyRecord(const Alert& alert, bool raised);

// The Alerts list's line: what happened, without the projector its own column names.
QString what(const Alert& alert);
// A notification's title as the alert is raised or cleared: the projector and the kind.
QString summary(const Alert& alert, bool raised);

} // namespace AlertText
