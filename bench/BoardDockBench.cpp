// The board as the window shows it: 256 emulated projectors answering after 100 ms, each
// holding a picture the history knows, so every row also gets its thumbnail looked up and
// drawn. Measures the whole refresh (answers and pictures shown; goal: at most 2 s, against
// one projector's four answers in a row, the floor) and the largest extra delay of a 10 ms
// timer on the interface thread meanwhile (goal: under 50 ms). Then a burst of recorded
// uploads, one to every projector, as sends report them: the time until the history has
// them all and the board shows each with its picture, against the same burst into the
// history alone in the same run (goal: at most 3 times), and the timer's delay meanwhile.
// Headless; ends with 1 when a goal is missed.
#include "ProjectorEmulator.h"
#include "app/AppState.h"
#include "app/CMainFrame.h"
#include "board/CBoardDock.h"
#include "history/HistoryLog.h"
#include "history/HistoryStore.h"
#include "registry/Ipv4.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);
    const QString historyPath = scratch.filePath(QStringLiteral("history.sqlite"));

    QImage picture(160, 120, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");

    EmulatorFaults faults;
    faults.verdictDelayMs = 100;
    std::vector<std::unique_ptr<ProjectorEmulator>> emulators;
    ProjectorList list;
    {
        HistoryStore history(historyPath);
        // 127.0.6.1 and up: clear of the tests' addresses and of the poller's own benchmark.
        for (quint32 host = 0x7F000601u; host < 0x7F000900u && list.size() < 256; ++host) {
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
            e->stores().begin(1);
            e->stores().finish(1, "slide.qv1", QByteArray(4000, 's'));
            HistoryRecord r;
            r.address = Ipv4::toText(host);
            r.command = QStringLiteral("PUT");
            r.store = 1;
            r.fileName = QStringLiteral("slide.qv1");
            r.fileLength = 4000;
            r.thumbnail = png;
            r.ok = true;
            history.append(r);
            ProjectorRecord p;
            p.name = QStringLiteral("P%1").arg(list.size() + 1);
            p.address = Ipv4::toOctets(host);
            list << p;
            emulators.push_back(std::move(e));
        }
        history.flush();
    }

    AppState frameState(scratch.filePath(QStringLiteral("bench.INI")), historyPath);

    CMainFrame frame(frameState);
    auto* dock = frame.findChild<CBoardDock*>(QStringLiteral("boardDock"));
    frame.SaveProjectorList(list);
    dock->show();
    frame.show();
    // The window's first showing (fonts, layout, the first paint) is not part of the refresh.
    {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
    }

    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    qint64 worstDelay = 0;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { worstDelay = std::max(worstDelay, sinceTick.restart() - 10); });
    QElapsedTimer t;
    t.start();
    sinceTick.start();
    tick.start(10);
    dock->refresh(true);
    while (dock->isRefreshing() || !dock->lookupsSettled()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    const qint64 allMs = t.elapsed();
    tick.stop();
    int thumbnails = 0;
    for (int row = 0; row < dock->table()->rowCount(); ++row) {
        const auto* cell = dock->table()->item(row, CBoardDock::FirstStoreColumn);
        thumbnails += CBoardDock::pictureOf(cell) == CBoardDock::Picture::Thumbnail ? 1 : 0;
    }
    std::printf("board dock refresh: %lld projectors, %lld INFO runs and %d thumbnails shown in %lld ms "
                "(goal <= 2000 ms; the floor, one projector's four answers in a row, is 400 ms)\n",
                static_cast<long long>(list.size()), static_cast<long long>(list.size() * 4), thumbnails,
                static_cast<long long>(allMs));
    std::printf(
        "interface thread: largest extra delay of a 10 ms timer during the refresh %lld ms (goal < 50 ms)\n",
        static_cast<long long>(worstDelay));
    bool met = thumbnails == static_cast<int>(list.size());
    if (allMs > 2000) {
        std::printf("GOAL MISSED: the board refreshed within 2 s\n");
        met = false;
    }
    if (worstDelay >= 50) {
        std::printf("GOAL MISSED: interface timer late by less than 50 ms\n");
        met = false;
    }

    // A burst of recorded uploads into store 2 of every projector, reported from a worker
    // thread as the send engine does; done when the history holds them all and, when the
    // board listens, when every row shows the upload with its picture.
    const auto burst = [&](int round) {
        std::vector<CommandEvent> events;
        for (const ProjectorRecord& p : std::as_const(list)) {
            CommandEvent e;
            e.command = QStringLiteral("PUT");
            e.storeNumber = 2;
            e.address = p.hostAddress();
            e.started = QDateTime::currentDateTimeUtc();
            e.ok = true;
            e.answered = true;
            e.uploadName = QByteArray("burst") + QByteArray::number(round) + ".qv1";
            e.uploadContent = png;
            events.push_back(std::move(e));
        }
        QElapsedTimer took;
        took.start();
        sinceTick.start();
        worstDelay = 0;
        tick.start(10);
        std::atomic<bool> written{false};
        std::thread reporter([&] {
            for (const CommandEvent& e : events) {
                frameState.history().commandFinished(e);
            }
            frameState.history().store().flush();
            written.store(true);
        });
        const QString name = QString::fromLatin1(events.front().uploadName);
        int shownRows = 0;
        const auto shown = [&] {
            shownRows = 0;
            for (int row = 0; row < dock->table()->rowCount(); ++row, ++shownRows) {
                const auto* cell = dock->table()->item(row, CBoardDock::FirstStoreColumn + 1);
                // The key, not the text: the bench runs without the catalogs beside it.
                if (!cell->data(CBoardDock::kKeyRole).toString().startsWith(name + QLatin1Char('\n')) ||
                    CBoardDock::pictureOf(cell) != CBoardDock::Picture::Thumbnail) {
                    return false;
                }
            }
            return true;
        };
        const bool listening = round > 0;
        QElapsedTimer limit; // a board that never catches up ends the case, not the run
        limit.start();
        while ((!written.load() || (listening && (!shown() || !dock->lookupsSettled()))) &&
               limit.elapsed() < 60000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        if (listening && !shown()) {
            std::printf("GOAL MISSED: %d of %d rows showed the upload with its picture within 60 s\n",
                        shownRows, dock->table()->rowCount());
            met = false;
        }
        reporter.join();
        tick.stop();
        QApplication::processEvents(); // what the reporter queued last
        return std::pair{took.elapsed(), worstDelay};
    };
    // The history alone: the board is not told.
    QObject::disconnect(&frameState, &AppState::commandRecorded, dock, nullptr);
    const auto [aloneMs, aloneDelay] = burst(0);
    QObject::connect(&frameState, &AppState::commandRecorded, dock, &CBoardDock::noteCommand);
    const auto [liveMs, liveDelay] = burst(1);
    const double ratio = static_cast<double>(liveMs) / static_cast<double>(std::max<qint64>(aloneMs, 1));
    std::printf("recorded uploads: %lld into the history alone in %lld ms; with the board showing each "
                "with its picture %lld ms, %.2f times (goal <= 3)\n",
                static_cast<long long>(list.size()), static_cast<long long>(aloneMs),
                static_cast<long long>(liveMs), ratio);
    std::printf("interface thread during the burst: largest extra delay of a 10 ms timer %lld ms "
                "(history alone %lld ms; goal < 50 ms)\n",
                static_cast<long long>(liveDelay), static_cast<long long>(aloneDelay));
    if (ratio > 3.0) {
        std::printf(
            "GOAL MISSED: the board kept up with recorded uploads within 3 times the history's time\n");
        met = false;
    }
    if (liveDelay >= 50) {
        std::printf("GOAL MISSED: interface timer late by less than 50 ms during the burst\n");
        met = false;
    }
    return met ? 0 : 1;
}
