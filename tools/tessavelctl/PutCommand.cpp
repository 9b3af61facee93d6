#include "CtlCommands.h"
#include "CtlHistory.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "protocol/CommandObserver.h"
#include "protocol/ImageUpload.h"
#include "protocol/SendEngine.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <mutex>
#include <unistd.h>

namespace {

// The runs the engine reports, kept for the history, which is written once all have ended.
class CollectedRuns final : public CommandObserver {
public:
    void commandFinished(const CommandEvent& event) override {
        std::lock_guard lock(m_mutex);
        m_events.append(event);
    }
    // The first run to this address not taken yet; the same address may be named twice.
    std::optional<CommandEvent> take(quint32 address) {
        std::lock_guard lock(m_mutex);
        for (qsizetype i = 0; i < m_events.size(); ++i) {
            if (m_events[i].address == address) {
                return m_events.takeAt(i);
            }
        }
        return std::nullopt;
    }

private:
    std::mutex m_mutex;
    QList<CommandEvent> m_events;
};

QString resultText(int result) {
    const ImageUpload::ResultText t = ImageUpload::textFor(result);
    return CatalogText(t.id, t.inserts);
}

QString progressText(const SendEngine::TargetState& s, int stepMs) {
    using Stage = SendEngine::Stage;
    switch (s.stage) {
    case Stage::Waiting:
    case Stage::Connecting:
    case Stage::Sending:
        return CatalogText(msg::UploadConnecting);
    case Stage::Verdict:
        if (s.waitedMs < stepMs) {
            return CatalogText(msg::UploadSent);
        }
        return CatalogText(msg::UploadWaiting, {QString::number(s.waitedMs / stepMs * stepMs / 1000)});
    default:
        return resultText(s.result);
    }
}

// The whole file, or nothing when it cannot be read whole.
std::optional<QByteArray> readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const qint64 length = file.size();
    if (length > ImageUpload::kMaxFileSize) {
        return std::nullopt;
    }
    QByteArray content = file.read(length);
    if (content.size() != length) {
        return std::nullopt;
    }
    return content;
}

} // namespace

int RunPutCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    QList<quint32> addresses;
    const bool byGroup = !options.group.isEmpty();
    if (byGroup && options.operands.size() > 1) {
        err << CatalogText(msg::CtlGroupAndAddresses) << '\n';
        return CtlExit::BadUsage;
    }
    if (options.operands.isEmpty() || !options.storeIn(1, 8, err) ||
        (!byGroup && !options.addresses(1, addresses, err))) {
        if (options.operands.isEmpty()) {
            err << CatalogText(msg::CtlUsage) << '\n';
        }
        return CtlExit::BadUsage;
    }
    const QString path = options.operands.first();
    if (QFile probe(path); !probe.open(QIODevice::ReadOnly)) {
        err << CatalogText(msg::CtlInputUnreadable, {path, FileErrorReason::of(probe)}) << '\n';
        return CtlExit::BadUsage;
    }
    ProjectorList list;
    if (!options.loadProjectors(list, err)) {
        return CtlExit::BadUsage;
    }
    if (byGroup && !GroupMembers(options, list, addresses, err)) {
        return CtlExit::BadUsage;
    }
    CollectedRuns runs;
    CommandContext context = options.context();
    context.observer = &runs;
    QList<CommandTarget> targets;
    for (const quint32 a : addresses) {
        targets << options.targetFor(a, list);
    }
    const std::optional<QByteArray> content = readWhole(path);
    SendEngine::Job job;
    job.fileName = ImageUpload::baseName(path).toUtf8();
    job.content = content.value_or(QByteArray());
    job.storeNumber = options.store;
    job.verify = false;
    job.context = context;
    // The same engine as the window's Send: the file read once, a limit on transfers and
    // none on the projectors storing it.
    SendEngine engine(job, content ? targets : QList<CommandTarget>{});
    const QDateTime begun = QDateTime::currentDateTimeUtc();
    engine.start();
    // Live progress only where a person watches; scripts get the final lines alone.
    const bool live = !options.json && ::isatty(STDOUT_FILENO) == 1;
    auto draw = [&](bool redraw) {
        if (redraw) {
            out << "\033[" << targets.size() << 'A';
        }
        for (int i = 0; i < targets.size(); ++i) {
            out << "\033[K" << Ipv4::toText(targets[i].address) << '\t'
                << OneLine(progressText(engine.state(i), context.timeouts.putWaitStepMs)) << '\n';
        }
        out.flush();
    };
    if (live && content) {
        draw(false);
        // The engine says when it has ended; the lines are redrawn five times a second meanwhile.
        while (!engine.wait(200)) {
            draw(true);
        }
        out << "\033[" << targets.size() << 'A';
    }
    while (!engine.wait(60000)) {
    }
    CtlHistory history(list, options.historyLimits());
    bool allOk = true;
    QJsonArray json;
    for (int i = 0; i < targets.size(); ++i) {
        const quint32 address = targets[i].address;
        // A file that cannot be read whole is not sent anywhere.
        const int result = content ? engine.state(i).result : UploadResult::FileUnreadable;
        const std::optional<CommandEvent> run = runs.take(address);
        allOk = allOk && result == 0;
        const QString text = resultText(result);
        history.record(u"PUT"_qs, options.store, address, result, result == 0, text,
                       run ? run->started : begun, run ? run->tookMs : 0, path);
        if (options.json) {
            json.append(QJsonObject{
                {u"address"_qs, Ipv4::toText(address)}, {u"result"_qs, result}, {u"text"_qs, text}});
        } else {
            out << (live ? "\033[K" : "") << Ipv4::toText(address) << '\t' << result << '\t' << OneLine(text)
                << '\n';
        }
    }
    if (options.json) {
        PrintJson(out, json);
    }
    history.finish(err);
    return allOk ? CtlExit::Ok : CtlExit::ProjectorFailed;
}
