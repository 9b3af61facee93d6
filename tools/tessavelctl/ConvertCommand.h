#pragma once

#include <QStringList>
#include <QTextStream>

// tessavelctl convert IN OUT.qv1 [--fit]
//
// args are the words after "convert". Without --fit the picture is written as Save As
// writes it, and the command says when the result cannot be sent to a projector and why;
// with --fit it is first made to fit the projector's limits. Exit codes: 0 written and
// sendable, 1 written but not sendable or the conversion failed, 2 bad usage or an input that
// cannot be read.
int RunConvertCommand(const QStringList& args, QTextStream& out, QTextStream& err);
