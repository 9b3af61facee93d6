#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// tessavelctl run as a script runs it, English texts; for test programs that define
// TESSAVELCTL_PATH. With home, its history and settings go there rather than the user's.
struct CtlRun final {
    int exit = -1;
    QString out;
    QString err;
};

// Starts it without waiting; a zone (TZ) fixes what its local time is.
inline void StartCtl(QProcess& p, const QStringList& args, const QString& home = {},
                     const QString& zone = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("LANGUAGE"));
    if (!home.isEmpty()) {
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    }
    if (!zone.isEmpty()) {
        env.insert(QStringLiteral("TZ"), zone);
    }
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TESSAVELCTL_PATH), args);
}

inline CtlRun RunCtl(const QStringList& args, const QString& home = {}, const QString& zone = {}) {
    QProcess p;
    StartCtl(p, args, home, zone);
    if (!p.waitForStarted(20000)) {
        ADD_FAILURE() << "tessavelctl did not start";
        return {};
    }
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "tessavelctl did not finish";
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
