#include "protocol/SendEngine.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "protocol/AsyncExchange.h"
#include "protocol/CommandRecording.h"
#include "protocol/ExchangeLoop.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "protocol/ObservedRun.h"
#include "protocol/StoreCheck.h"

#include <algorithm>

SendEngine::SendEngine(Job job, QList<CommandTarget> targets, QObject* parent)
    : QObject(parent), m_job(std::move(job)), m_targets(std::move(targets)),
      m_states(static_cast<size_t>(m_targets.size())), m_verdictSince(static_cast<size_t>(m_targets.size())),
      m_holdsTransfer(static_cast<size_t>(m_targets.size()), 0),
      m_shownPermille(static_cast<size_t>(m_targets.size()), -1),
      m_loop(std::make_unique<ExchangeLoop>(&m_stop)) {
    m_job.context.stop = &m_stop;
    const int limit = m_job.context.timeouts.putReplyWaits * m_job.context.timeouts.putWaitStepMs;
    for (TargetState& s : m_states) {
        s.verdictLimitMs = limit;
    }
    m_sendable = ImageUpload::checkSendable(m_job.fileName, m_job.content.size());
    if (m_sendable == UploadResult::Ok) {
        m_putText =
            ImageUpload::header(m_job.fileName, m_job.content.size(), m_job.storeNumber) + m_job.content;
    }
}

SendEngine::~SendEngine() {
    stop();
    m_loop.reset();
}

void SendEngine::start() {
    if (m_started) {
        return;
    }
    m_started = true;
    m_loop->post([this] { admit(); });
    m_loop->start();
}

void SendEngine::stop() {
    m_stop.store(true);
    m_loop->wake();
}

bool SendEngine::wait(int timeoutMs) {
    if (!m_started) {
        return true;
    }
    {
        std::unique_lock lock(m_mutex);
        if (!m_ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_finished.load(); })) {
            return false;
        }
    }
    m_loop->join();
    return true;
}

SendEngine::TargetState SendEngine::state(int index) const {
    std::lock_guard lock(m_mutex);
    TargetState s = m_states.at(static_cast<size_t>(index));
    if (const Since& since = m_verdictSince.at(static_cast<size_t>(index));
        since && s.stage == Stage::Verdict) {
        s.waitedMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *since).count());
    }
    return s;
}

std::vector<SendEngine::TargetState> SendEngine::snapshot() const {
    std::vector<TargetState> all;
    all.reserve(m_states.size());
    for (int i = 0; i < size(); ++i) {
        all.push_back(state(i));
    }
    return all;
}

template <typename Change> void SendEngine::update(int index, Change&& change) {
    {
        std::lock_guard lock(m_mutex);
        change(m_states[static_cast<size_t>(index)], m_verdictSince[static_cast<size_t>(index)]);
    }
    Q_EMIT targetChanged(index, state(index));
}

void SendEngine::admit() {
    const int limit = std::clamp(m_job.maxParallel, 1, kMaxParallel);
    while (m_next < size()) {
        if (m_stop.load()) {
            end(m_next++, Stage::Stopped, UploadResult::Stopped); // never begun
            continue;
        }
        if (m_transfers >= limit || m_open >= kMaxConnections) {
            break;
        }
        beginUpload(m_next++);
    }
    if (m_endedCount == size() && !m_finished.load()) {
        {
            std::lock_guard lock(m_mutex);
            m_finished.store(true);
        }
        m_ended.notify_all();
        Q_EMIT finished();
        m_loop->quit();
    }
}

void SendEngine::beginUpload(int index) {
    const CommandTarget& target = m_targets.at(index);
    CommandEvent event = CommandEventFor("PUT", m_job.storeNumber, target);
    event.uploadName = m_job.fileName;
    event.uploadContent = m_job.content;
    ObservedRun run(m_job.context, std::move(event));
    if (m_sendable != UploadResult::Ok) {
        run.finish(m_sendable, ImageUpload::describe);
        end(index, Stage::Failed, m_sendable);
        return;
    }
    // The transfer is held from the connect until the whole file is out.
    ++m_transfers;
    ++m_open;
    m_holdsTransfer[static_cast<size_t>(index)] = 1;
    update(index, [](TargetState& s, Since&) { s.stage = Stage::Connecting; });
    ExchangeRequest request;
    request.kind = CommandKind::Put;
    request.commandText = m_putText;
    request.replyWaits = m_job.context.timeouts.putReplyWaits;
    request.waitStepMs = m_job.context.timeouts.putWaitStepMs;
    request.onSent = [this, index](qint64 sent, qint64 total) { sentBytes(index, sent, total); };
    request.onWaiting = [this, index](int steps) { waiting(index, steps); };
    m_loop->add(std::make_unique<AsyncExchange>(
        target, m_job.context, std::move(request),
        [this, index, run](const ExchangeResult& x) mutable { uploadEnded(index, x, run); }));
}

void SendEngine::sentBytes(int index, qint64 sent, qint64 total) {
    // Every piece is noted, but only a visible step of the bar is reported.
    const int permille = total > 0 ? static_cast<int>(sent * 1000 / total) : 0;
    int& shown = m_shownPermille[static_cast<size_t>(index)];
    if (permille == shown) {
        std::lock_guard lock(m_mutex);
        m_states[static_cast<size_t>(index)].sent = sent;
        return;
    }
    shown = permille;
    update(index, [&](TargetState& s, Since&) {
        s.stage = Stage::Sending;
        s.sent = sent;
        s.total = total;
    });
}

void SendEngine::waiting(int index, int steps) {
    if (steps > 0) {
        Q_EMIT targetChanged(index, state(index)); // the seconds waited go up
        return;
    }
    update(index, [](TargetState& s, Since& since) {
        s.stage = Stage::Verdict;
        since = Clock::now();
    });
    // The file is out: the projector stores it on its own time, without our transfer.
    releaseTransfer(index);
    admit();
}

void SendEngine::releaseTransfer(int index) {
    char& holds = m_holdsTransfer[static_cast<size_t>(index)];
    if (holds != 0) {
        holds = 0;
        --m_transfers;
    }
}

void SendEngine::uploadEnded(int index, const ExchangeResult& x, ObservedRun& run) {
    --m_open;
    releaseTransfer(index);
    // A failure that the stop caused is a stop, not the projector's fault.
    const bool stopped = m_stop.load();
    const int result = x.stage != ExchangeResult::Stage::Replied && stopped ? UploadResult::Stopped
                                                                            : ImageUpload::resultOf(x);
    run.setAnswered(x.stage == ExchangeResult::Stage::Replied);
    run.finish(result, ImageUpload::describe);
    if (result != UploadResult::Ok) {
        end(index, stopped ? Stage::Stopped : Stage::Failed, result);
    } else if (!m_job.verify || stopped) {
        end(index, Stage::Delivered, result); // a stop leaves it delivered and unchecked
    } else {
        beginVerify(index);
    }
    admit();
}

void SendEngine::beginVerify(int index) {
    const CommandTarget& target = m_targets.at(index);
    ++m_open;
    update(index, [](TargetState& s, Since& since) {
        s.result = UploadResult::Ok;
        s.stage = Stage::Verifying;
        since.reset();
    });
    ObservedRun run(m_job.context, CommandEventFor("INFO", m_job.storeNumber, target));
    m_loop->add(std::make_unique<AsyncExchange>(
        target, m_job.context, StoreInfoRequest(m_job.storeNumber, m_job.context.timeouts),
        [this, index, run](const ExchangeResult& x) mutable { verifyEnded(index, x, run); }));
}

void SendEngine::verifyEnded(int index, const ExchangeResult& x, ObservedRun& run) {
    --m_open;
    const StoreInfo info = StoreInfoOf(x);
    run.setAnswered(x.stage == ExchangeResult::Stage::Replied);
    run.finish(info, DescribeStoreInfo);
    const bool stopped = m_stop.load();
    {
        std::lock_guard lock(m_mutex);
        TargetState& s = m_states[static_cast<size_t>(index)];
        if (StoreHoldsFile(info, m_job.fileName, m_job.content.size())) {
            s.stage = Stage::Verified;
        } else if (stopped) {
            s.stage = Stage::Delivered; // it arrived; only the check was cut short
        } else {
            s.stage = Stage::Mismatch;
            s.verifyResult = info.result;
            s.reportedName = info.name;
            s.reportedLength = info.lengthText;
        }
    }
    ++m_endedCount;
    Q_EMIT targetChanged(index, state(index));
    admit();
}

void SendEngine::end(int index, Stage stage, int result) {
    ++m_endedCount;
    update(index, [&](TargetState& s, Since& since) {
        s.stage = stage;
        s.result = result;
        since.reset();
    });
}

bool SendEngine::isEnded(Stage stage) {
    switch (stage) {
    case Stage::Delivered:
    case Stage::Verified:
    case Stage::Mismatch:
    case Stage::Failed:
    case Stage::Stopped:
        return true;
    default:
        return false;
    }
}

bool SendEngine::isDelivered(Stage stage) {
    // A store that reports something else counts as failed: the picture is not known to be there.
    return stage == Stage::Delivered || stage == Stage::Verified;
}

QString SendEngine::outcomeText(int uploadResult, const CommandTimeouts& timeouts) {
    const QString code = QString::number(uploadResult);
    switch (uploadResult) {
    case UploadResult::Ok:
        return CatalogText(msg::SendRowDelivered);
    case UploadResult::Reply9:
        return CatalogText(msg::SendOutAccessRefused, {code});
    case UploadResult::Reply3:
        return CatalogText(msg::SendOutBusy, {code});
    case UploadResult::Reply2:
        return CatalogText(msg::SendOutRefused, {code});
    case UploadResult::Reply1:
        return CatalogText(msg::SendOutRejected, {code});
    case UploadResult::NoReply:
    case UploadResult::WaitFailed:
        return CatalogText(msg::SendOutTimeout,
                           {QString::number(timeouts.putReplyWaits * timeouts.putWaitStepMs / 1000), code});
    case ConnectResult::ConnectFailed:
    case ConnectResult::SocketFailed:
        return CatalogText(msg::SendOutNoConnect, {code});
    case ConnectResult::NoGreeting:
    case ConnectResult::WaitFailed:
        return CatalogText(msg::SendOutNoGreeting, {code});
    case ConnectResult::GreetingReadFailed: // the file is in memory: -1 is the greeting
    case UploadResult::ReadFailed:
        return CatalogText(msg::SendOutClosed, {code});
    case UploadResult::OtherReply:
        return CatalogText(msg::SendOutNotUnderstood, {code});
    case UploadResult::FileEmpty:
        return CatalogText(msg::SendOutFile, {code});
    default:
        return CatalogText(msg::SendOutSendFailed, {code});
    }
}

QString SendEngine::stageText(const TargetState& s, const CommandTimeouts& timeouts) {
    switch (s.stage) {
    case Stage::Waiting:
        return CatalogText(msg::SendRowWaiting);
    case Stage::Connecting:
        return CatalogText(msg::SendRowConnecting);
    case Stage::Sending:
        return CatalogText(msg::SendRowSending,
                           {CatalogNumber::format(s.sent), CatalogNumber::format(s.total)});
    case Stage::Verdict:
        return CatalogText(msg::SendRowVerdict,
                           {QString::number(s.waitedMs / 1000), QString::number(s.verdictLimitMs / 1000)});
    case Stage::Verifying:
        return CatalogText(msg::SendRowVerifying);
    case Stage::Delivered:
        return CatalogText(msg::SendRowDelivered);
    case Stage::Verified:
        return CatalogText(msg::SendRowVerified);
    case Stage::Mismatch:
        if (s.verifyResult == 2) {
            return CatalogText(msg::SendRowMismatch,
                               {s.reportedName, CatalogNumber::formatText(s.reportedLength)});
        }
        if (s.verifyResult == 1) {
            return CatalogText(msg::SendRowEmptyStore);
        }
        return CatalogText(msg::SendRowCheckFailed, {s.reportedName});
    case Stage::Stopped:
        return CatalogText(msg::SendRowStopped);
    case Stage::Failed:
        break;
    }
    return outcomeText(s.result, timeouts);
}
