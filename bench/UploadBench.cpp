// Upload speed against emulated projectors on loopback. Each figure is printed with its
// baseline from the same run, so the ratio does not depend on the machine.
//   1. One file to 32 projectors that each take 2 s to store it, against the same to one.
//   2. A 130,816-byte upload, beyond the projector's own delay, against a 50 ms budget.
#include "ProjectorEmulator.h"
#include "protocol/ImageUpload.h"
#include "registry/Ipv4.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

std::vector<std::unique_ptr<ProjectorEmulator>> startEmulators(int count, const EmulatorFaults& faults) {
    std::vector<std::unique_ptr<ProjectorEmulator>> list;
    for (quint32 host = 2; host < 255 && static_cast<int>(list.size()) < count; ++host) {
        EmulatorConfig c;
        c.address = 0x7F000000u | host;
        c.faults = faults;
        auto e = std::make_unique<ProjectorEmulator>(c);
        if (e->start()) {
            list.push_back(std::move(e));
        }
    }
    return list;
}

// Uploads to every emulator at once, one thread each; the time until the last verdict.
double parallelUpload(const QString& path, const std::vector<std::unique_ptr<ProjectorEmulator>>& targets,
                      int& failures) {
    std::vector<std::thread> threads;
    std::vector<int> results(targets.size(), -1);
    const auto begin = Clock::now();
    for (size_t i = 0; i < targets.size(); ++i) {
        threads.emplace_back([&, i] {
            results[i] = UploadImage(path, 1, CommandTarget{targets[i]->address(), 0, {}});
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    const double ms = msSince(begin);
    failures = static_cast<int>(std::count_if(results.begin(), results.end(), [](int r) { return r != 0; }));
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.qv1"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) {
            return 1;
        }
        QByteArray content(130816, '\0');
        for (qsizetype i = 0; i < content.size(); ++i) {
            content[i] = static_cast<char>((i * 131) ^ (i >> 8));
        }
        f.write(content);
    }

    EmulatorFaults storing;
    storing.storeDelayMs = 2000;
    auto many = startEmulators(32, storing);
    if (many.size() != 32) {
        std::fprintf(stderr, "only %zu emulators could start\n", many.size());
        return 1;
    }
    std::vector<std::unique_ptr<ProjectorEmulator>> one;
    one.push_back(std::move(many.back()));
    many.pop_back();
    auto extra = startEmulators(1, storing); // keep 32 for the parallel run
    many.push_back(std::move(extra.front()));

    int failedOne = 0;
    int failedMany = 0;
    const double single = parallelUpload(path, one, failedOne);
    const double all = parallelUpload(path, many, failedMany);
    std::printf("32 projectors, 2 s store each: one %.0f ms, thirty-two %.0f ms, ratio %.3f (limit 1.5)%s\n",
                single, all, all / single, failedOne + failedMany ? "  UPLOADS FAILED" : "");
    many.clear();
    one.clear();

    // Beyond the emulator's delay: the same file with no delay and with 100 ms of delay.
    const int runs = 25;
    for (const int delay : {0, 100}) {
        EmulatorFaults f;
        f.storeDelayMs = delay;
        auto e = startEmulators(1, f);
        std::vector<double> times;
        int failed = 0;
        for (int i = 0; i < runs; ++i) {
            int fails = 0;
            times.push_back(parallelUpload(path, e, fails));
            failed += fails;
        }
        const double m = median(times);
        std::printf("130816-byte upload, emulator delay %d ms: median %.2f ms over %d runs, %.2f ms beyond "
                    "the delay, "
                    "ratio %.3f of the 50 ms budget%s\n",
                    delay, m, runs, m - delay, (m - delay) / 50.0, failed ? "  UPLOADS FAILED" : "");
    }
    return 0;
}
