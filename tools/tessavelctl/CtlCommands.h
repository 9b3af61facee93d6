#pragma once

#include "CtlOptions.h"

#include <QTextStream>

// The commands of tessavelctl; each returns the exit status.
int RunListCommand(const CtlOptions& options, QTextStream& out, QTextStream& err);
int RunQueryCommand(const CtlOptions& options, QTextStream& out, QTextStream& err); // info, stat, cancel
int RunPutCommand(const CtlOptions& options, QTextStream& out, QTextStream& err);
int RunDiscoverCommand(const CtlOptions& options, QTextStream& out, QTextStream& err);
int RunScheduleCommand(const CtlOptions& options, QTextStream& out, QTextStream& err);
// projector import|export FILE.csv
int RunProjectorCommand(const CtlOptions& options, QTextStream& out, QTextStream& err);
// group list | group add NAME ADDRESS... | group remove NAME [ADDRESS...]
int RunGroupCommand(const CtlOptions& options, QTextStream& out, QTextStream& err);
// The members of --group, read beside the INI file; false with the message written.
bool GroupMembers(const CtlOptions& options, const ProjectorList& list, QList<quint32>& out,
                  QTextStream& err);

// Writes one JSON value as a line.
void PrintJson(QTextStream& out, const class QJsonValue& value);
