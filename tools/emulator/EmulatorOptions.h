#pragma once

#include "EmulatorConfig.h"

#include <QList>
#include <QString>
#include <QStringList>

// The emulator program's command line: one or more emulated projectors and their faults.
struct EmulatorOptions final {
    QList<EmulatorConfig> projectors;
    QString error;        // set when the command line is not understood
    QStringList warnings; // for standard error; the options still hold

    // A password from --password-file FILE or --password - (standard input): the first line,
    // without its line end. False with the reason in error.
    static bool readPassword(const QString& source, QByteArray& password, QString& error);

    static EmulatorOptions parse(const QStringList& args);
    static QString usage();
    // "\r\n", "\x01" and "\0" in option texts stand for the bytes.
    static QByteArray unescape(const QString& text);
};
