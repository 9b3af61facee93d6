// The board's refresh against 256 emulated projectors that each answer after 100 ms: the
// time for all 1,024 INFO runs against one projector's four in a row (times 256 is what
// asking them one after another would take), and the largest delay of a 10 ms timer on the
// poller's (the interface) thread meanwhile.
#include "ProjectorEmulator.h"
#include "board/BoardPoller.h"
#include "registry/Ipv4.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    EmulatorFaults faults;
    faults.verdictDelayMs = 100;
    std::vector<std::unique_ptr<ProjectorEmulator>> emulators;
    ProjectorList list;
    // 127.0.3.1 and up: clear of the addresses the tests use.
    for (quint32 host = 0x7F000301u; host < 0x7F000600u && list.size() < 256; ++host) {
        if ((host & 0xFFu) == 0 || (host & 0xFFu) == 255) {
            continue;
        }
        EmulatorConfig c;
        c.address = host;
        c.faults = faults;
        auto e = std::make_unique<ProjectorEmulator>(c);
        if (!e->start()) {
            continue;
        }
        ProjectorRecord r;
        r.name = QStringLiteral("P%1").arg(list.size() + 1);
        r.address = Ipv4::toOctets(host);
        list << r;
        emulators.push_back(std::move(e));
    }

    auto runRound = [](BoardPoller& poller, qint64& worstTickMs) {
        QEventLoop loop;
        QObject::connect(&poller, &BoardPoller::refreshFinished, &loop, [&] {
            if (!poller.isRefreshing()) {
                loop.quit();
            }
        });
        QElapsedTimer sinceTick;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        worstTickMs = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worstTickMs = std::max(worstTickMs, sinceTick.restart() - 10);
        });
        QElapsedTimer t;
        t.start();
        sinceTick.start();
        tick.start(10);
        poller.refresh(true);
        loop.exec();
        return t.elapsed();
    };

    qint64 ignored = 0;
    BoardPoller one;
    one.setProjectors({list.first()});
    const qint64 oneMs = runRound(one, ignored);

    BoardPoller all;
    all.setProjectors(list);
    qint64 worstDelay = 0;
    const qint64 allMs = runRound(all, worstDelay);
    int reachable = 0;
    for (const BoardRow& r : all.rows()) {
        reachable += r.reach == BoardRow::Reach::Reachable ? 1 : 0;
    }
    const double sequential = static_cast<double>(oneMs) * static_cast<double>(list.size());
    std::printf("board refresh: %lld projectors (%d reachable), %lld INFO runs in %lld ms (goal < 10000 ms); "
                "one projector's four: %lld ms, so one after another about %.0f ms; ratio %.3f\n",
                static_cast<long long>(list.size()), reachable, static_cast<long long>(list.size() * 4),
                static_cast<long long>(allMs), static_cast<long long>(oneMs), sequential,
                static_cast<double>(allMs) / sequential);
    std::printf("interface thread: largest extra delay of a 10 ms timer during the refresh %lld ms (goal < 50 ms)\n",
                static_cast<long long>(worstDelay));
    return 0;
}
