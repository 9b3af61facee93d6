#pragma once

#include <QString>
#include <QStringList>

// The options every program answers the same way before it does any work.
struct EarlyOptions final {
    enum class Answer {
        None,    // neither --version nor --help: the program parses its arguments itself
        Version, // print VersionLine and exit 0
        Help,    // print the usage on standard output and exit 0
        Misuse,  // --version or --help beside other arguments: a usage error
    };
    Answer answer = Answer::None;
    QString option; // the --version or --help that was found

    // args without the program name.
    static EarlyOptions check(const QStringList& args);
};

// The project's version, "1.9.0".
QString ProjectVersion();

// "name 1.9.0": what --version prints.
QString VersionLine(const QString& program);

// The arguments after the program name, read before any application object exists.
QStringList ArgumentsOf(int argc, char** argv);
