#include "CtlCommands.h"
#include "CtlHistory.h"

#include "alerts/AlertHook.h"
#include "alerts/AlertJournal.h"
#include "alerts/AlertTracker.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "protocol/ImageUpload.h"
#include "protocol/ResultExplanation.h"
#include "schedule/ScheduleFile.h"
#include "schedule/ScheduleOptions.h"
#include "schedule/ScheduleRunner.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
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

// An upload that ended without a word from the projector: nothing took the connection, or
// the projector went quiet before its verdict. Anything else means it answered.
bool projectorSilent(int result) {
    return result == ConnectResult::ConnectFailed || result == UploadResult::NoReply ||
           result == UploadResult::WaitFailed;
}

// Why an entry's turn failed, in a few words.
QString failureReason(int result, bool checkFailed) {
    if (checkFailed) {
        return CatalogText(msg::AlertVerifyFailed);
    }
    if (const auto row = ResultExplanation::of(result).rowText()) {
        return CatalogText(*row);
    }
    return CatalogText(UploadBackoff::reasonFor(result));
}

// What the worker saw at the end of an entry's turn, for the main thread's alerts.
struct Outcome {
    int index = 0;
    bool done = false;
    int result = 0;
    bool checkFailed = false;
    QDateTime at;
};

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
    // Alerts: the worker hands each entry's outcome over, and this thread feeds the tracker, so
    // the tracker, the history and the hook queue are touched from one thread only.
    AlertTracker::Settings alertSettings;
    alertSettings.offlineAfterMs = qint64{options.alertAfterMinutes} * 60 * 1000;
    AlertTracker alerts(alertSettings);
    std::mutex outcomesMutex;
    std::vector<Outcome> outcomes;
    runner.setOutcomeObserver([&](int index, bool done, int result, bool checkFailed) {
        std::lock_guard lock(outcomesMutex);
        outcomes.push_back({index, done, result, checkFailed, QDateTime::currentDateTime()});
    });
    std::unique_ptr<AlertHook> hook;
    if (!options.onAlert.isEmpty()) {
        // Hook output goes where the run's own lines go; in JSON it would break the stream,
        // so there it joins the log on standard error.
        QTextStream& hookOut = options.json ? err : out;
        hook = std::make_unique<AlertHook>(
            options.onAlert, AlertHook::Settings{},
            [&](const QString& line) {
                std::lock_guard lock(printing);
                hookOut << line << Qt::endl;
            },
            [&](const QString& text) {
                std::lock_guard lock(printing);
                err << AlertJournal::warning(text) << Qt::endl;
            });
    }
    auto nameOf = [&](quint32 address) {
        for (const ProjectorRecord& r : names) {
            if (r.hostAddress() == address && !r.name.isEmpty()) {
                return r.name;
            }
        }
        return Ipv4::toText(address);
    };
    auto announce = [&](const AlertTracker::Changes& changes) {
        for (const AlertTracker::Change& change : changes) {
            {
                std::lock_guard lock(printing);
                err << AlertJournal::line(change.alert, change.raised) << Qt::endl;
            }
            history.alert(change.alert, change.raised);
            if (hook) {
                hook->post(change.alert, change.raised);
            }
        }
    };
    auto takeOutcomes = [&] {
        std::vector<Outcome> taken;
        {
            std::lock_guard lock(outcomesMutex);
            taken.swap(outcomes);
        }
        for (const Outcome& o : taken) {
            const ScheduleEntry& e = table.entries[o.index];
            const quint32 address = Ipv4::toHost(e.address);
            const QString name = nameOf(address);
            if (o.done) {
                announce(alerts.answered(address, name, o.at));
                announce(alerts.uploadSucceeded(address, name, e.saveId, o.at));
                continue;
            }
            const QString reason = failureReason(o.result, o.checkFailed);
            if (projectorSilent(o.result) && !o.checkFailed) {
                announce(alerts.silent(address, name, reason, o.at));
            } else {
                announce(alerts.answered(address, name, o.at)); // a refusal is an answer too
            }
            announce(alerts.uploadFailed(address, name, e.saveId,
                                         CatalogText(msg::AlertUploadDetail, {e.imageFilePath(), reason}),
                                         o.at));
        }
        const QDateTime now = QDateTime::currentDateTime();
        if (const QDateTime due = alerts.nextDue(); due.isValid() && due <= now) {
            announce(alerts.tick(now));
        }
    };

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
        takeOutcomes();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    takeOutcomes();
    // The hooks of the last alerts run to their end unless the service is being stopped; a
    // stop ends the one at work and drops the rest, with a note.
    while (hook && !g_interrupted.load() && !hook->finish(100)) {
    }
    hook.reset();
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
