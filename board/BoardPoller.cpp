#include "board/BoardPoller.h"

#include "protocol/AsyncExchange.h"
#include "protocol/CommandRecording.h"
#include "protocol/ExchangeLoop.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "protocol/ObservedRun.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>

struct BoardPoller::Asking {
    Job job;
    Outcome outcome;
    int store = 1;
    ObservedRun run;
};

BoardPoller::BoardPoller(CommandContext context, QObject* parent)
    : QObject(parent), m_context(context), m_loop(std::make_unique<ExchangeLoop>(&m_cancel)) {}

BoardPoller::~BoardPoller() {
    stop();
    m_loop.reset();
}

int BoardPoller::backOffMs(int failures) {
    if (failures <= 0) {
        return 0;
    }
    qint64 ms = kFirstBackOffMs;
    for (int i = 1; i < failures && ms < kMaxBackOffMs; ++i) {
        ms *= 2;
    }
    return static_cast<int>(std::min<qint64>(ms, kMaxBackOffMs));
}

void BoardPoller::setContext(const CommandContext& context) {
    stop();
    m_context = context;
}

void BoardPoller::setProjectors(const ProjectorList& list) {
    QHash<quint32, BoardRow> rows;
    m_order.clear();
    m_targets.clear();
    for (const ProjectorRecord& p : list) {
        const quint32 a = p.hostAddress();
        if (rows.contains(a)) {
            continue; // one row per address, as one connection per projector
        }
        BoardRow r = m_rows.value(a);
        r.address = a;
        r.name = p.name;
        r.mac = p.mac;
        rows.insert(a, r);
        m_order.append(a);
        m_targets.insert(a, CommandTarget{a, p.authenticate(), p.password});
    }
    m_rows = std::move(rows);
}

int BoardPoller::refresh(bool force) {
    m_cancel.store(false);
    CommandContext context = m_context;
    if (context.stop == nullptr) {
        context.stop = &m_cancel; // a stop closes the socket of the exchange under way
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    int queued = 0;
    {
        std::lock_guard lock(m_mutex);
        for (const quint32 a : std::as_const(m_order)) {
            const BoardRow& r = m_rows[a];
            if (m_paused.count(a) != 0 || m_inFlight.count(a) != 0) {
                continue;
            }
            if (!force && r.nextDue.isValid() && now < r.nextDue) {
                continue;
            }
            m_inFlight.insert(a);
            m_queue.push_back(Job{a, m_targets.value(a), context, m_round});
            ++queued;
        }
    }
    if (queued > 0) {
        m_loop->start();
        m_loop->post([this] { pump(); });
    } else if (!isRefreshing()) {
        deliver(Delivery{{}, true});
    }
    return queued;
}

void BoardPoller::setPaused(quint32 address, bool paused) {
    if (paused) {
        m_paused.insert(address);
        std::lock_guard lock(m_mutex);
        // Not yet begun: taken off the queue; an exchange under way finishes.
        const auto it =
            std::find_if(m_queue.begin(), m_queue.end(), [&](const Job& j) { return j.address == address; });
        if (it != m_queue.end()) {
            m_queue.erase(it);
            m_inFlight.erase(address);
        }
    } else {
        m_paused.erase(address);
    }
}

void BoardPoller::stop() {
    m_cancel.store(true);
    bool unheard = false; // queued, and nothing under way to tell the end of the round
    {
        std::lock_guard lock(m_mutex);
        unheard = !m_queue.empty() && m_active == 0;
        for (const Job& j : m_queue) {
            m_inFlight.erase(j.address);
        }
        m_queue.clear();
    }
    m_loop->wake();
    {
        // The loop abandons every exchange on its next turn, at once.
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_active == 0; });
        m_inFlight.clear();
    }
    ++m_round;
    if (unheard) {
        deliver(Delivery{{}, true});
    }
}

bool BoardPoller::isRefreshing() const {
    std::lock_guard lock(m_mutex);
    return m_active > 0 || !m_queue.empty();
}

QList<BoardRow> BoardPoller::rows() const {
    QList<BoardRow> out;
    for (const quint32 a : m_order) {
        out.append(m_rows.value(a));
    }
    return out;
}

BoardRow BoardPoller::row(quint32 address) const {
    return m_rows.value(address);
}

void BoardPoller::pump() {
    while (true) {
        auto asking = std::make_shared<Asking>();
        {
            std::lock_guard lock(m_mutex);
            if (m_cancel.load() || m_queue.empty() || m_active >= kMaxParallel) {
                return;
            }
            asking->job = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_active;
        }
        asking->outcome.address = asking->job.address;
        asking->outcome.round = asking->job.round;
        askNext(asking);
    }
}

void BoardPoller::askNext(const std::shared_ptr<Asking>& asking) {
    if (m_cancel.load()) {
        done(asking);
        return;
    }
    // One store after the other over connections of their own: never two at once.
    const Job& job = asking->job;
    asking->run = ObservedRun(job.context, CommandEventFor("INFO", asking->store, job.target));
    m_loop->add(std::make_unique<AsyncExchange>(
        job.target, job.context, StoreInfoRequest(asking->store, job.context.timeouts),
        [this, asking](const ExchangeResult& x) { answered(asking, x); }));
}

void BoardPoller::answered(const std::shared_ptr<Asking>& asking, const ExchangeResult& x) {
    const StoreInfo s = StoreInfoOf(x);
    const bool replied = x.stage == ExchangeResult::Stage::Replied;
    asking->run.setAnswered(replied);
    asking->run.finish(s, DescribeStoreInfo);
    Outcome& o = asking->outcome;
    o.replied = o.replied || replied;
    BoardStore& b = o.stores[static_cast<size_t>(asking->store - 1)];
    b.result = s.result;
    if (s.result == 2) {
        b.fileName = s.name;
        b.length = s.lengthText;
    } else if (s.result < 0) {
        b.text = s.name;
    }
    if (s.result >= 1) {
        o.answered = true;
    } else if (asking->store == 1) {
        // Nothing to be had from the first store: the others are not asked this time.
        o.reason = s.name;
        o.reasonId = s.nameId;
        done(asking);
        return;
    }
    if (asking->store == 4) {
        done(asking);
        return;
    }
    ++asking->store;
    askNext(asking);
}

void BoardPoller::done(const std::shared_ptr<Asking>& asking) {
    Delivery d{std::move(asking->outcome), false};
    d.outcome.cancelled = m_cancel.load();
    deliver(std::move(d));
    bool last = false;
    {
        std::lock_guard lock(m_mutex);
        --m_active;
        last = m_active == 0 && m_queue.empty();
    }
    m_idle.notify_all();
    if (last) {
        deliver(Delivery{{}, true});
    }
    pump();
}

void BoardPoller::deliver(Delivery delivery) {
    bool first = false;
    {
        std::lock_guard lock(m_mutex);
        first = m_delivered.empty();
        m_delivered.push_back(std::move(delivery));
    }
    // One call on its way at a time: it takes whatever has come by then.
    if (first) {
        QMetaObject::invokeMethod(this, &BoardPoller::applyDelivered, Qt::QueuedConnection);
    }
}

void BoardPoller::applyDelivered() {
    QElapsedTimer spent;
    spent.start();
    while (true) {
        Delivery d;
        {
            std::lock_guard lock(m_mutex);
            if (m_delivered.empty()) {
                return;
            }
            d = std::move(m_delivered.front());
            m_delivered.pop_front();
        }
        if (d.roundEnd) {
            Q_EMIT refreshFinished();
        } else {
            if (d.outcome.round == m_round) {
                std::lock_guard lock(m_mutex);
                m_inFlight.erase(d.outcome.address);
            }
            apply(d.outcome);
        }
        if (spent.elapsed() >= kApplySliceMs) {
            // The rest after the events that came meanwhile.
            QMetaObject::invokeMethod(this, &BoardPoller::applyDelivered, Qt::QueuedConnection);
            return;
        }
    }
}

void BoardPoller::apply(const Outcome& outcome) {
    const auto it = m_rows.find(outcome.address);
    if (it == m_rows.end()) {
        return; // removed from the list while it was asked
    }
    if (outcome.cancelled) {
        return; // a stopped round is no news about the projector
    }
    BoardRow& r = it.value();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    r.replied = outcome.answered || outcome.replied;
    if (outcome.answered) {
        r.reach = BoardRow::Reach::Reachable;
        r.lastSeen = now;
        r.reason.clear();
        r.reasonId.reset();
        r.failures = 0;
        r.nextDue = {};
        r.stores = outcome.stores;
    } else {
        r.reach = BoardRow::Reach::Unreachable;
        r.reason = outcome.reason;
        r.reasonId = outcome.reasonId;
        if (outcome.replied) {
            r.lastSeen = now; // it answered, if not with what was asked
        }
        ++r.failures;
        r.nextDue = now.addMSecs(backOffMs(r.failures));
        // What the stores held stays as last seen; the reach column says it is old.
    }
    Q_EMIT rowUpdated(outcome.address);
}

bool BoardPoller::noteCommand(const CommandEvent& e) {
    const auto it = m_rows.find(e.address);
    if (it == m_rows.end() || e.storeNumber < 1 || e.storeNumber > 4) {
        return false;
    }
    const bool put = e.command == u"PUT";
    // Stopped by the user, or our own file could not go out: nothing learnt of the projector.
    if (put && !e.answered &&
        (e.result == UploadResult::Stopped || e.result == UploadResult::FileEmpty ||
         e.result == UploadResult::FileUnreadable)) {
        return false;
    }
    BoardRow& r = it.value();
    BoardStore& store = r.stores[static_cast<size_t>(e.storeNumber - 1)];
    if (!e.answered) {
        r.reach = BoardRow::Reach::Unreachable;
        r.reason = e.text;
        r.reasonId.reset();
        ++r.failures;
        r.nextDue = QDateTime::currentDateTimeUtc().addMSecs(backOffMs(r.failures));
        return true;
    }
    const QDateTime heard =
        e.started.isValid() ? e.started.addMSecs(e.tookMs) : QDateTime::currentDateTimeUtc();
    if (!r.lastSeen.isValid() || heard > r.lastSeen) {
        r.lastSeen = heard;
    }
    r.reach = BoardRow::Reach::Reachable;
    r.reason.clear();
    r.reasonId.reset();
    r.failures = 0;
    r.nextDue = {};
    if (put) {
        if (e.ok) {
            store.result = 2;
            store.fileName = e.uploadPath.isEmpty() ? QString::fromUtf8(e.uploadName)
                                                    : ImageUpload::baseName(e.uploadPath);
            store.length = QString::number(e.uploadPath.isEmpty() ? e.uploadContent.size()
                                                                  : QFileInfo(e.uploadPath).size());
            store.text.clear();
        } else {
            // Refused or not understood: what the store holds now is not known.
            store = BoardStore{};
            store.text = e.text;
        }
    } else if (e.command == u"INFO" && e.storeHolds >= 1) {
        store.result = e.storeHolds;
        store.fileName = e.storeFileName;
        store.length = e.storeLength;
        store.text.clear();
    }
    return true;
}
