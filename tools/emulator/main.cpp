// tessavel-emulator: emulated projectors on loopback addresses, for trying the client and
// for its tests. Runs until interrupted.
#include "EmulatorOptions.h"
#include "ProjectorEmulator.h"
#include "common/CommandLineManners.h"
#include "registry/Ipv4.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <memory>
#include <vector>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const EarlyOptions early = EarlyOptions::check(args);
    if (early.answer == EarlyOptions::Answer::Version) {
        out << VersionLine(u"tessavel-emulator"_qs) << '\n';
        return 0;
    }
    if (early.answer == EarlyOptions::Answer::Help) {
        out << EmulatorOptions::usage();
        return 0;
    }
    if (early.answer == EarlyOptions::Answer::Misuse) {
        err << early.option << " cannot be combined with other arguments.\n" << EmulatorOptions::usage();
        return 2;
    }
    const EmulatorOptions options = EmulatorOptions::parse(args);
    if (!options.error.isEmpty()) {
        err << options.error << '\n' << EmulatorOptions::usage();
        return 2;
    }
    for (const QString& warning : options.warnings) {
        err << warning << Qt::endl;
    }
    // Signals are taken by sigwait below, not by handlers running on some thread.
    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGINT);
    sigaddset(&wanted, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &wanted, nullptr);

    std::vector<std::unique_ptr<ProjectorEmulator>> emulators;
    for (const EmulatorConfig& c : options.projectors) {
        auto e = std::make_unique<ProjectorEmulator>(c);
        QString why;
        if (!e->start(&why)) {
            err << "cannot start " << Ipv4::toText(c.address) << ": " << why << '\n';
            return 1;
        }
        out << "listening on " << Ipv4::toText(c.address) << ':' << c.port
            << (c.authenticate ? " (authentication on)" : "") << (c.discovery ? " (discovery)" : "") << '\n';
        emulators.push_back(std::move(e));
    }
    out << "ready" << Qt::endl;
    int sig = 0;
    sigwait(&wanted, &sig);
    for (auto& e : emulators) {
        e->stop();
    }
    return 0;
}
