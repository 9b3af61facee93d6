#pragma once

#include <QString>
#include <QStringList>

// What the desktop program's command line asks for. Decided in two steps: before the
// application object exists (--version, --help, is there a display at all), and after Qt
// has taken its own options (-platform, -style ...) out of the arguments.
class DesktopCommandLine final {
public:
    DesktopCommandLine() = delete;

    struct Environment final {
        QString platform;       // QT_QPA_PLATFORM
        QString display;        // DISPLAY
        QString waylandDisplay; // WAYLAND_DISPLAY
        static Environment current();
    };

    struct Decision final {
        bool run = true;    // false: print text and exit with exitCode
        int exitCode = 0;   // 0 done, 1 cannot start here, 2 bad usage
        QString text;       // a catalog text, on standard output when exitCode is 0
        QString fileToOpen; // absolute, after the application object only
    };

    // args without the program name, as the process received them.
    static Decision beforeApplication(const QStringList& args, const Environment& env);
    // args without the program name, Qt's own options already taken out.
    static Decision afterApplication(const QStringList& args, const QString& currentDir);
};
