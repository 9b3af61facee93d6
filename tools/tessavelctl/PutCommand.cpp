#include "CtlCommands.h"
#include "CtlHistory.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/ImageUpload.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Upload {
    CommandTarget target;
    std::atomic<int> phase{static_cast<int>(ImageUpload::Phase::Connecting)};
    std::atomic<int> steps{0};
    std::atomic<bool> done{false};
    int result = 0;
    QDateTime started;
    qint64 tookMs = 0;
};

QString progressText(const Upload& u, int stepMs) {
    if (u.done.load()) {
        return CatalogText(ImageUpload::textFor(u.result).id, ImageUpload::textFor(u.result).inserts);
    }
    switch (static_cast<ImageUpload::Phase>(u.phase.load())) {
    case ImageUpload::Phase::Connecting:
        return CatalogText(msg::UploadConnecting);
    case ImageUpload::Phase::Sent:
        return CatalogText(msg::UploadSent);
    default:
        return CatalogText(msg::UploadWaiting, {QString::number(u.steps.load() * stepMs / 1000)});
    }
}

} // namespace

int RunPutCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    QList<quint32> addresses;
    if (options.operands.isEmpty() || !options.storeIn(1, 8, err) || !options.addresses(1, addresses, err)) {
        if (options.operands.isEmpty()) {
            err << CatalogText(msg::CtlUsage) << '\n';
        }
        return CtlExit::BadUsage;
    }
    const QString path = options.operands.first();
    if (QFile probe(path); !probe.open(QIODevice::ReadOnly)) {
        err << CatalogText(msg::CtlInputUnreadable, {path, probe.errorString()}) << '\n';
        return CtlExit::BadUsage;
    }
    ProjectorList list;
    if (!options.loadProjectors(list, err)) {
        return CtlExit::BadUsage;
    }
    const CommandContext context = options.context();
    std::vector<std::unique_ptr<Upload>> uploads;
    std::vector<std::thread> workers;
    for (const quint32 a : addresses) {
        auto u = std::make_unique<Upload>();
        u->target = options.targetFor(a, list);
        Upload* raw = u.get();
        uploads.push_back(std::move(u));
        workers.emplace_back([raw, &path, &options, &context] {
            raw->started = QDateTime::currentDateTimeUtc();
            QElapsedTimer took;
            took.start();
            raw->result = UploadImage(path, options.store, raw->target, context, [raw](ImageUpload::Phase p, int s) {
                raw->phase.store(static_cast<int>(p));
                raw->steps.store(s);
            });
            raw->tookMs = took.elapsed();
            raw->done.store(true);
        });
    }
    // Live progress only where a person watches; scripts get the final lines alone.
    const bool live = !options.json && ::isatty(STDOUT_FILENO) == 1;
    auto allDone = [&] {
        for (const auto& u : uploads) {
            if (!u->done.load()) {
                return false;
            }
        }
        return true;
    };
    auto draw = [&](bool redraw) {
        if (redraw) {
            out << "\033[" << uploads.size() << 'A';
        }
        for (const auto& u : uploads) {
            out << "\033[K" << Ipv4::toText(u->target.address) << '\t' << OneLine(progressText(*u, context.timeouts.putWaitStepMs))
                << '\n';
        }
        out.flush();
    };
    if (live) {
        draw(false);
        while (!allDone()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            draw(true);
        }
        out << "\033[" << uploads.size() << 'A';
    }
    for (auto& w : workers) {
        w.join();
    }
    CtlHistory history(list);
    bool allOk = true;
    QJsonArray json;
    for (const auto& u : uploads) {
        allOk = allOk && u->result == 0;
        const ImageUpload::ResultText t = ImageUpload::textFor(u->result);
        const QString text = CatalogText(t.id, t.inserts);
        history.record(u"PUT"_qs, options.store, u->target.address, u->result, u->result == 0, text, u->started,
                       u->tookMs, path);
        if (options.json) {
            json.append(QJsonObject{
                {u"address"_qs, Ipv4::toText(u->target.address)}, {u"result"_qs, u->result}, {u"text"_qs, text}});
        } else {
            out << (live ? "\033[K" : "") << Ipv4::toText(u->target.address) << '\t' << u->result << '\t' << OneLine(text)
                << '\n';
        }
    }
    if (options.json) {
        PrintJson(out, json);
    }
    history.finish(err);
    return allOk ? CtlExit::Ok : CtlExit::ProjectorFailed;
}
