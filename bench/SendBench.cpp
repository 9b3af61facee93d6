// The Send dialog against emulated projectors on loopback, each taking 2 s for its verdict.
// Every figure is printed with its baseline from the same run:
//   1. one picture to 32 projectors through the dialog's send engine, against the same to one
//      (goal: at most 1.3 times); at the dialog's 16 connections at once and at 32, since a
//      connection stays open until its verdict and 16 at once make two rounds of 2 s;
//   2. the largest lateness of a 10 ms timer on the interface thread while the 32 run
//      (goal: under 50 ms), against the same timer with nothing running;
//   3. how long Stop takes to end 16 uploads waiting for their verdicts (goal: under 1 s).
#include "ProjectorEmulator.h"
#include "protocol/SendEngine.h"
#include "workspace/CImageSendDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<ProjectorEmulator>> startEmulators(int count, const EmulatorFaults& faults) {
    std::vector<std::unique_ptr<ProjectorEmulator>> list;
    for (quint32 host = 2; host < 250 && static_cast<int>(list.size()) < count; ++host) {
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

// Lateness of a 10 ms timer: the largest gap beyond 10 ms between two of its ticks.
class TimerProbe final {
public:
    TimerProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0) {
                const double late = (now - m_last) / 1e6 - 10.0;
                m_worst = std::max(m_worst, late);
                m_late.push_back(late);
            }
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    [[nodiscard]] double worstMs() const { return m_worst; }
    [[nodiscard]] double percentileMs(double p) const {
        if (m_late.empty()) {
            return 0;
        }
        std::vector<double> v = m_late;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    double m_worst = 0;
    std::vector<double> m_late;
};

struct Run {
    double ms = 0;
    double worstLateMs = 0;
    double p99LateMs = 0;
    int delivered = 0;
};

Run sendThroughDialog(const QString& path, const std::vector<std::unique_ptr<ProjectorEmulator>>& targets,
                      bool stopWhenWaiting = false, int parallel = SendEngine::kDefaultParallel) {
    CImageSendDlg dialog(0, nullptr);
    dialog.setMaxParallel(parallel);
    int n = 0;
    for (const auto& e : targets) {
        const QByteArray mac = "00-00-00-00-00-" + QByteArray::number(++n);
        dialog.DataAdd(QStringLiteral("P%1").arg(n), e->address(), 0, "", mac.constData(), -1, -1);
    }
    dialog.m_imagePath = path;
    dialog.setPictureSize(640, 480);
    dialog.show();
    QApplication::processEvents();
    TimerProbe probe;
    QElapsedTimer clock;
    clock.start();
    dialog.findChild<QPushButton*>(QStringLiteral("send"))->click();
    QElapsedTimer stopClock;
    while (dialog.isSending()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (stopWhenWaiting && !stopClock.isValid()) {
            int waiting = 0;
            for (int i = 0; i < static_cast<int>(targets.size()); ++i) {
                const auto s = dialog.rowState(i);
                waiting += s && s->stage == SendEngine::Stage::Verdict ? 1 : 0;
            }
            if (waiting == static_cast<int>(std::min<size_t>(targets.size(), 16))) {
                stopClock.start();
                dialog.findChild<QPushButton*>(QStringLiteral("stop"))->click();
            }
        }
    }
    Run r;
    r.ms = static_cast<double>((stopWhenWaiting && stopClock.isValid() ? stopClock : clock).nsecsElapsed()) / 1e6;
    r.worstLateMs = probe.worstMs();
    r.p99LateMs = probe.percentileMs(0.99);
    for (int i = 0; i < static_cast<int>(targets.size()); ++i) {
        const auto s = dialog.rowState(i);
        r.delivered += s && s->stage == SendEngine::Stage::Verified ? 1 : 0;
    }
    return r;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
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

    EmulatorFaults verdictIn2s;
    verdictIn2s.storeDelayMs = 2000;
    auto all = startEmulators(33, verdictIn2s);
    if (all.size() != 33) {
        std::fprintf(stderr, "only %zu emulators could start\n", all.size());
        return 1;
    }
    std::vector<std::unique_ptr<ProjectorEmulator>> one;
    one.push_back(std::move(all.back()));
    all.pop_back();

    // The idle baseline of the timer probe.
    double idleLate = 0;
    double idleP99 = 0;
    {
        TimerProbe probe;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 2000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        idleLate = probe.worstMs();
        idleP99 = probe.percentileMs(0.99);
    }
    const Run single = sendThroughDialog(path, one);
    const Run many = sendThroughDialog(path, all);
    const Run wide = sendThroughDialog(path, all, false, 32);
    std::printf("send, 2 s verdict each, verify on: one %.0f ms; thirty-two at 16 at once %.0f ms, ratio %.3f; "
                "at 32 at once %.0f ms, ratio %.3f (goal <= 1.3); verified %d/1, %d/32, %d/32\n",
                single.ms, many.ms, many.ms / single.ms, wide.ms, wide.ms / single.ms, single.delivered,
                many.delivered, wide.delivered);
    std::printf("10 ms timer on the interface thread during the 32: worst lateness %.1f ms, 99th percentile %.1f ms "
                "(goal < 50); idle %.1f ms worst, %.1f ms 99th percentile; worst ratio %.2f of the goal\n",
                std::max(many.worstLateMs, wide.worstLateMs), std::max(many.p99LateMs, wide.p99LateMs), idleLate,
                idleP99, std::max(many.worstLateMs, wide.worstLateMs) / 50.0);
    all.clear();
    one.clear();

    EmulatorFaults mute;
    mute.neverReply = true;
    auto silent = startEmulators(20, mute);
    const Run stopped = sendThroughDialog(path, silent, true);
    std::printf("Stop with 16 uploads waiting for their verdicts and 4 not started: all ended after %.0f ms, "
                "ratio %.3f of the 1 s goal\n",
                stopped.ms, stopped.ms / 1000.0);
    return 0;
}
