#pragma once

#include "CtlOptions.h"

#include <QStringList>
#include <QTextStream>

// The operator's console on the command line.
// `tessavelctl history`: parses its own arguments (after the command word).
int RunHistoryCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// `tessavelctl status [ADDRESS...]`: the board's view of the list's projectors, or of those named.
int RunStatusCommand(const CtlOptions& options, QTextStream& out, QTextStream& err);
