#include "protocol/SendEngine.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "protocol/StoreCheck.h"

#include <algorithm>

SendEngine::SendEngine(Job job, QList<CommandTarget> targets)
    : m_job(std::move(job)), m_targets(std::move(targets)), m_states(static_cast<size_t>(m_targets.size())),
      m_verdictSince(static_cast<size_t>(m_targets.size())) {
    m_job.context.stop = &m_stop;
    const int limit = m_job.context.timeouts.putReplyWaits * m_job.context.timeouts.putWaitStepMs;
    for (TargetState& s : m_states) {
        s.verdictLimitMs = limit;
    }
}

SendEngine::~SendEngine() {
    stop();
    for (std::thread& t : m_workers) {
        if (t.joinable()) {
            t.join();
        }
    }
}

void SendEngine::start() {
    if (m_started) {
        return;
    }
    m_started = true;
    const int n = std::clamp(m_job.maxParallel, 1, kMaxParallel);
    const int workers = std::min(n, static_cast<int>(m_targets.size()));
    m_running.store(workers);
    m_workers.reserve(static_cast<size_t>(workers));
    for (int i = 0; i < workers; ++i) {
        m_workers.emplace_back([this] { work(); });
    }
}

bool SendEngine::wait(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_running.load() != 0) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (std::thread& t : m_workers) {
        if (t.joinable()) {
            t.join();
        }
    }
    return true;
}

SendEngine::TargetState SendEngine::state(int index) const {
    std::lock_guard lock(m_mutex);
    TargetState s = m_states.at(static_cast<size_t>(index));
    if (const auto& since = m_verdictSince.at(static_cast<size_t>(index)); since && s.stage == Stage::Verdict) {
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
    std::lock_guard lock(m_mutex);
    change(m_states[static_cast<size_t>(index)], m_verdictSince[static_cast<size_t>(index)]);
}

void SendEngine::work() {
    while (true) {
        const int index = m_next.fetch_add(1);
        if (index >= size()) {
            break;
        }
        if (m_stop.load()) {
            update(index, [](TargetState& s, auto&) { s.stage = Stage::Stopped; });
            continue;
        }
        runOne(index);
    }
    m_running.fetch_sub(1);
}

void SendEngine::runOne(int index) {
    using Since = std::optional<Clock::time_point>;
    const CommandTarget target = m_targets.at(index);
    update(index, [](TargetState& s, Since&) { s.stage = Stage::Connecting; });
    auto progress = [&](ImageUpload::Phase phase, int) {
        if (phase == ImageUpload::Phase::Sent) {
            update(index, [](TargetState& s, Since& since) {
                s.stage = Stage::Verdict;
                since = Clock::now();
            });
        }
    };
    auto sentBytes = [&](qint64 sent, qint64 total) {
        update(index, [&](TargetState& s, Since&) {
            s.stage = Stage::Sending;
            s.sent = sent;
            s.total = total;
        });
    };
    const int result = UploadImageData(m_job.fileName, m_job.content, m_job.storeNumber, target, m_job.context,
                                       progress, sentBytes);
    if (result != UploadResult::Ok) {
        // A failure that the stop caused is a stop, not the projector's fault.
        const bool stopped = m_stop.load();
        update(index, [&](TargetState& s, Since& since) {
            s.result = result;
            s.stage = stopped ? Stage::Stopped : Stage::Failed;
            since.reset();
        });
        return;
    }
    if (!m_job.verify) {
        update(index, [](TargetState& s, Since& since) {
            s.result = UploadResult::Ok;
            s.stage = Stage::Delivered;
            since.reset();
        });
        return;
    }
    update(index, [](TargetState& s, Since& since) {
        s.result = UploadResult::Ok;
        s.stage = Stage::Verifying;
        since.reset();
    });
    const StoreInfo info = QueryStoreInfo(m_job.storeNumber, target, m_job.context);
    const bool stopped = m_stop.load();
    update(index, [&](TargetState& s, Since&) {
        if (StoreHoldsFile(info, m_job.fileName, m_job.content.size())) {
            s.stage = Stage::Verified;
            return;
        }
        if (stopped) {
            s.stage = Stage::Delivered; // it arrived; only the check was cut short
            return;
        }
        s.stage = Stage::Mismatch;
        s.verifyResult = info.result;
        s.reportedName = info.name;
        s.reportedLength = info.lengthText;
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
        return CatalogText(msg::SendRowSending, {QString::number(s.sent), QString::number(s.total)});
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
            return CatalogText(msg::SendRowMismatch, {s.reportedName, s.reportedLength});
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
