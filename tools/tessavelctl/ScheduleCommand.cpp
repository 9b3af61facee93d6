#include "CtlCommands.h"
#include "CtlHistory.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "schedule/ScheduleFile.h"
#include "schedule/ScheduleOptions.h"
#include "schedule/ScheduleRunner.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onInterrupt(int) {
    g_interrupted.store(true);
    // A second Ctrl+C while the stop waits for an upload ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

CatalogId statusText(int status) {
    switch (status) {
    case ScheduleEntry::Executing:
        return msg::EntryStatusExecuting;
    case ScheduleEntry::Done:
        return msg::EntryStatusDone;
    case ScheduleEntry::Failed:
        return msg::EntryStatusFailed;
    default:
        return msg::EntryStatusNotRun;
    }
}

} // namespace

int RunScheduleCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    if (options.operands.size() != 2 || options.operands[0] != u"run") {
        err << CatalogText(msg::CtlUsage) << '\n';
        return CtlExit::BadUsage;
    }
    const QString path = options.operands[1];
    ScheduleTable table;
    const IoResult loaded = ScheduleFile::load(path, table);
    if (!loaded.ok()) {
        err << CatalogText(msg::CtlInputUnreadable, {path, FileErrorReason::ofSystemText(loaded.detail)})
            << '\n';
        return CtlExit::BadUsage;
    }
    if (table.count < 1) {
        err << CatalogText(msg::ScheduleHasNoEntries, {path}) << '\n';
        return CtlExit::BadUsage;
    }
    // Verify and retry as the Schedule dialog saved them; a bad side file runs without both,
    // as the dialog would, and says so.
    ScheduleOptions checks;
    if (const IoResult side = ScheduleOptions::load(path, checks); !side.ok()) {
        err << ScheduleOptions::loadFailureText(path, side) << '\n';
    }
    // --password and --no-auth override what the entries carry, as they override the list.
    // An entry holds 255 bytes of password; a longer one is refused, never cut.
    if (options.password && options.password->toUtf8().size() > ScheduleEntry::kTextField - 1) {
        err << CatalogText(msg::CtlPasswordTooLong, {QString::number(options.password->toUtf8().size())})
            << '\n';
        return CtlExit::BadUsage;
    }
    for (int i = 0; i < table.count; ++i) {
        ScheduleEntry& e = table.entries[i];
        if (options.password) {
            e.authentication = 1;
            ScheduleEntry::setField(e.password, options.password->toUtf8());
        }
        if (options.noAuth) {
            e.authentication = 0;
        }
    }
    ScheduleRunner::Options runOptions;
    runOptions.context = options.context();
    if (options.stepMs > 0) {
        runOptions.stepMs = options.stepMs;
    }
    ScheduleRunner runner(runOptions);
    std::mutex printing;
    // Every finished upload goes into the command history; the entry's start is its Executing.
    ProjectorList names;
    if (QFileInfo::exists(options.iniPath)) {
        QString ignored; // a list that cannot be read only leaves the names out
        QTextStream quiet(&ignored);
        options.loadProjectors(names, quiet);
    }
    CtlHistory history(names, options.historyLimits());
    std::vector<std::pair<QDateTime, QElapsedTimer>> began(static_cast<size_t>(table.count));
    runner.setStatusObserver([&](int index, int status) {
        const ScheduleEntry& e = table.entries[index];
        std::lock_guard lock(printing);
        auto& [startedAt, took] = began[static_cast<size_t>(index)];
        if (status == ScheduleEntry::Executing) {
            startedAt = QDateTime::currentDateTimeUtc();
            took.start();
        } else if ((status == ScheduleEntry::Done || status == ScheduleEntry::Failed) && took.isValid()) {
            history.record(u"PUT"_qs, e.saveId, Ipv4::toHost(e.address),
                           status == ScheduleEntry::Done ? 0 : -1, status == ScheduleEntry::Done,
                           CatalogText(statusText(status)), startedAt, took.elapsed(), e.imageFilePath());
            took.invalidate();
        }
        if (options.json) {
            PrintJson(out, QJsonObject{{u"entry"_qs, index + 1},
                                       {u"address"_qs, Ipv4::toText(e.address)},
                                       {u"file"_qs, e.imageFilePath()},
                                       {u"status"_qs, status},
                                       {u"text"_qs, CatalogText(statusText(status))}});
        } else {
            out << index + 1 << '\t' << Ipv4::toText(e.address) << '\t' << e.imageFilePath() << '\t'
                << CatalogText(statusText(status)) << Qt::endl;
        }
    });
    // A looping run tells when it tries a failed projector again, as the dialog's row does.
    runner.setBackoffObserver([&](int index, int result, qint64 ms) {
        const ScheduleEntry& e = table.entries[index];
        const QDateTime at = QDateTime::currentDateTime().addMSecs(ms);
        const QString text = CatalogText(
            msg::EntryNextTry, {CatalogText(UploadBackoff::reasonFor(result)), at.toString(u"HH:mm:ss"_qs)});
        std::lock_guard lock(printing);
        if (options.json) {
            PrintJson(out, QJsonObject{{u"entry"_qs, index + 1},
                                       {u"address"_qs, Ipv4::toText(e.address)},
                                       {u"result"_qs, result},
                                       {u"next_try"_qs, at.toString(Qt::ISODate)},
                                       {u"text"_qs, text}});
        } else {
            out << index + 1 << '\t' << Ipv4::toText(e.address) << '\t' << e.imageFilePath() << '\t' << text
                << Qt::endl;
        }
    });
    // A run that waits for a window says until when, so a journal shows why nothing happens.
    runner.setWindowWaitObserver([&](int index, const QDateTime& opens) {
        const QString at = opens.toString(Qt::ISODate);
        const QString text = CatalogText(msg::CtlWaitingForWindow, {QString::number(index + 1), at});
        std::lock_guard lock(printing);
        if (options.json) {
            PrintJson(out,
                      QJsonObject{{u"entry"_qs, index + 1}, {u"window_opens"_qs, at}, {u"text"_qs, text}});
        } else {
            out << text << Qt::endl;
        }
    });
    runner.setSkipObserver([&](int index) {
        const QString text = CatalogText(msg::CtlEntryWindowsOver, {QString::number(index + 1)});
        std::lock_guard lock(printing);
        if (options.json) {
            PrintJson(out, QJsonObject{{u"entry"_qs, index + 1}, {u"skipped"_qs, true}, {u"text"_qs, text}});
        } else {
            out << text << Qt::endl;
        }
    });
    g_interrupted.store(false);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    runner.start(table, table.count, options.loop, checks);
    bool stopped = false;
    while (runner.isRunning()) {
        if (g_interrupted.load()) {
            runner.stop(); // as the dialog's Stop: waits for the worker to end
            stopped = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    bool anyFailed = false;
    for (int i = 0; i < table.count; ++i) {
        anyFailed = anyFailed || runner.entryStatus(i) == ScheduleEntry::Failed;
    }
    {
        std::lock_guard lock(printing);
        if (!options.json) {
            out << CatalogText(stopped ? msg::ScheduleStopped : msg::ScheduleEnded) << Qt::endl;
        }
    }
    history.finish(err);
    return anyFailed ? CtlExit::ProjectorFailed : CtlExit::Ok;
}
