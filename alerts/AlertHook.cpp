#include "alerts/AlertHook.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/Ipv4.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace {

// How long an ended hook may take to be collected, and one wait for its output.
constexpr int kReapMs = 5000;
constexpr int kReadSliceMs = 200;

QString isoWithOffset(const QDateTime& at) {
    if (!at.isValid()) {
        return {};
    }
    // Always a numeric offset, "+00:00" rather than "Z", so scripts meet one form only.
    const QDateTime local = at.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(u"yyyy-MM-ddTHH:mm:ss"_qs) + (offset < 0 ? u'-' : u'+') +
           u"%1:%2"_qs.arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}

// Ends the hook and everything it started: the hook leads a process group of its own.
void endGroup(QProcess& p) {
    const qint64 pid = p.processId();
    if (pid > 0) {
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
    }
    if (!p.waitForFinished(kReapMs)) {
        p.kill();
        p.waitForFinished(kReapMs);
    }
}

} // namespace

AlertHook::AlertHook(QString command, Settings settings, Output output, Problem problem)
    : m_command(std::move(command)), m_settings(settings), m_output(std::move(output)),
      m_problem(std::move(problem)) {
    m_settings.queueLimit = std::max(1, m_settings.queueLimit);
    m_settings.outputCap = std::max<qint64>(0, m_settings.outputCap);
    m_worker.reset(QThread::create([this] { work(); }));
    m_worker->start();
}

AlertHook::~AlertHook() {
    int unfinished = 0;
    {
        std::lock_guard lock(m_mutex);
        unfinished = static_cast<int>(m_queue.size()) + (m_busy ? 1 : 0);
        m_queue.clear();
        m_stop = true;
        m_abandon.store(true);
    }
    m_wake.notify_all();
    m_worker->wait();
    if (unfinished > 0 && m_problem) {
        m_problem(CatalogText(msg::AlertHookStopped, {QString::number(unfinished)}));
    }
}

bool AlertHook::post(const Alert& alert, bool raised) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_stop && static_cast<int>(m_queue.size()) < m_settings.queueLimit) {
            m_queue.push_back({alert, raised});
            m_wake.notify_one();
            return true;
        }
    }
    if (m_problem) {
        m_problem(CatalogText(msg::AlertHookQueueFull, {QString::number(alert.id)}));
    }
    return false;
}

bool AlertHook::finish(qint64 waitMs) {
    std::unique_lock lock(m_mutex);
    const auto idle = [this] { return m_stop || (m_queue.empty() && !m_busy); };
    if (waitMs < 0) {
        m_idle.wait(lock, idle);
        return true;
    }
    return m_idle.wait_for(lock, std::chrono::milliseconds(waitMs), idle);
}

QProcessEnvironment AlertHook::environment(const Alert& alert, bool raised, QProcessEnvironment base) {
    auto shown = [](const QString& text) { return VisibleText::shown(text); };
    base.insert(u"TESSAVEL_ALERT_ID"_qs, QString::number(alert.id));
    base.insert(u"TESSAVEL_ALERT_KIND"_qs, Alert::kindName(alert.kind));
    base.insert(u"TESSAVEL_ALERT_STATE"_qs, raised ? u"raised"_qs : u"cleared"_qs);
    base.insert(u"TESSAVEL_ALERT_PROJECTOR"_qs, shown(alert.projector));
    base.insert(u"TESSAVEL_ALERT_ADDRESS"_qs, Ipv4::toText(alert.address));
    base.insert(u"TESSAVEL_ALERT_STORE"_qs, alert.store > 0 ? QString::number(alert.store) : QString());
    base.insert(u"TESSAVEL_ALERT_DETAIL"_qs, shown(alert.detail));
    base.insert(u"TESSAVEL_ALERT_TIME"_qs, isoWithOffset(raised ? alert.raised : alert.cleared));
    return base;
}

void AlertHook::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop) {
            break;
        }
        const Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        run(job);
        m_ended.fetch_add(1);
        lock.lock();
        m_busy = false;
        if (m_queue.empty()) {
            m_idle.notify_all();
        }
    }
    m_busy = false;
    m_idle.notify_all();
}

void AlertHook::run(const Job& job) {
    const QString id = QString::number(job.alert.id);
    auto problem = [this](const QString& text) {
        if (m_problem) {
            m_problem(text);
        }
    };
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setProcessEnvironment(environment(job.alert, job.raised, QProcessEnvironment::systemEnvironment()));
    // A group of its own, so a hang is ended with whatever the shell started.
    p.setChildProcessModifier([] { ::setpgid(0, 0); });
    QElapsedTimer took;
    took.start();
    p.start(u"/bin/sh"_qs, {u"-c"_qs, m_command});
    if (!p.waitForStarted(static_cast<int>(std::max<qint64>(m_settings.timeoutMs, kReapMs)))) {
        problem(CatalogText(msg::AlertHookNotStarted, {id, p.errorString()}));
        return;
    }

    // Output is passed on a line at a time up to the cap; past it, it is read and dropped so
    // the hook never blocks on a full pipe and nothing piles up here.
    const QString prefix = CatalogText(msg::AlertHookOutput, {id}) + u' ';
    QByteArray line;
    qint64 passed = 0;
    bool cut = false;
    auto pass = [&] {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (m_output) {
            m_output(prefix + VisibleText::shown(QString::fromUtf8(line)));
        }
        line.clear();
    };
    auto consume = [&](const QByteArray& bytes) {
        qsizetype from = 0;
        while (!cut && from < bytes.size()) {
            const qsizetype newline = bytes.indexOf('\n', from);
            const qsizetype end = newline < 0 ? bytes.size() : newline;
            const qint64 room = m_settings.outputCap - passed - line.size();
            const qsizetype take =
                static_cast<qsizetype>(std::min<qint64>(end - from, std::max<qint64>(0, room)));
            line.append(bytes.constData() + from, take);
            if (take < end - from) {
                cut = true;
                passed += line.size();
                if (!line.isEmpty()) {
                    pass();
                }
                problem(CatalogText(msg::AlertHookOutputCut,
                                    {id, QString::number(m_settings.outputCap / 1024.0, 'g', 4)}));
                break;
            }
            if (newline < 0) {
                break;
            }
            passed += line.size() + 1;
            pass();
            from = newline + 1;
        }
    };

    bool timedOut = false;
    bool abandoned = false;
    for (;;) {
        consume(p.readAll());
        if (p.state() == QProcess::NotRunning) {
            break;
        }
        if (m_abandon.load()) {
            abandoned = true;
            break;
        }
        const qint64 left = m_settings.timeoutMs - took.elapsed();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        p.waitForReadyRead(static_cast<int>(std::min<qint64>(left, kReadSliceMs)));
    }
    if (timedOut || abandoned) {
        endGroup(p);
    }
    consume(p.readAll());
    if (!cut && !line.isEmpty()) {
        pass();
    }
    if (abandoned) {
        return; // the owner says how many runs the stop cut short
    }
    if (timedOut) {
        problem(CatalogText(msg::AlertHookTimedOut,
                            {id, QString::number(m_settings.timeoutMs / 1000.0, 'g', 4)}));
    } else if (p.exitStatus() == QProcess::CrashExit) {
        problem(CatalogText(msg::AlertHookCrashed, {id}));
    } else if (p.exitCode() != 0) {
        problem(CatalogText(msg::AlertHookFailed, {id, QString::number(p.exitCode())}));
    }
}
