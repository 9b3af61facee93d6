#include "common/CommandLineManners.h"

#ifndef TESSAVEL_VERSION
#error "TESSAVEL_VERSION is the project's version"
#endif

EarlyOptions EarlyOptions::check(const QStringList& args) {
    EarlyOptions found;
    for (const QString& a : args) {
        if (a == u"--") {
            break; // what follows is operands, even when it looks like an option
        }
        if (a == u"--version" || a == u"--help") {
            found.option = a;
            found.answer = a == u"--version" ? Answer::Version : Answer::Help;
            break;
        }
    }
    // Either one alone is an answer; beside anything else it is a mistake, not a guess.
    if (found.answer != Answer::None && args.size() != 1) {
        found.answer = Answer::Misuse;
    }
    return found;
}

QString ProjectVersion() {
    return QStringLiteral(TESSAVEL_VERSION);
}

QString VersionLine(const QString& program) {
    return program + u' ' + ProjectVersion();
}

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    return args;
}
