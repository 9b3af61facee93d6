#pragma once

#include "i18n/CatalogId.h"
#include "protocol/CommandConnection.h"
#include "registry/ProjectorRecord.h"

#include <QDateTime>
#include <QHash>
#include <QObject>

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

class ExchangeLoop;
struct CommandEvent;
struct ExchangeResult;

// What the board knows of one store: INFO's result (2 a picture, 1 empty, -1 not known)
// with the file name and length the projector reported.
struct BoardStore final {
    int result = -1;
    QString fileName;
    QString length;
    QString text; // the failure text when the store could not be asked
};

// One projector of the board.
struct BoardRow final {
    enum class Reach { Unknown, Reachable, Unreachable };
    quint32 address = 0;
    QString name;
    QString mac;
    Reach reach = Reach::Unknown;
    QDateTime lastSeen;                // when it last answered anything, a poll or another command
    QString reason;                    // why it is not reachable
    std::optional<CatalogId> reasonId; // the same as a catalog text, when it is one
    std::array<BoardStore, 4> stores{};
    int failures = 0;     // polls in a row that reached nothing
    bool replied = false; // the last poll heard anything at all, if not what was asked
    QDateTime nextDue;    // a timed refresh leaves it alone before this
};

// Asks every projector of the list what its four stores hold (INFO), off the interface
// thread: up to kMaxParallel projectors at once, all on one thread of the poller's own that
// waits for their answers together; one projector's stores one after the other, so never
// two connections to one projector; and less often for projectors that do not answer
// (backing off to 10 minutes). Results arrive as signals on the thread the poller lives on.
class BoardPoller final : public QObject {
    Q_OBJECT
public:
    // Projectors asked at once: one connection each, waited for on one thread.
    static constexpr int kMaxParallel = 256;
    static constexpr int kFirstBackOffMs = 30 * 1000;
    static constexpr int kMaxBackOffMs = 10 * 60 * 1000;

    explicit BoardPoller(CommandContext context = {}, QObject* parent = nullptr);
    ~BoardPoller() override; // stops and ends its thread

    // Stops a running round and asks with these waits from now on; the rows stay.
    void setContext(const CommandContext& context);
    // The rows follow the list at once: new projectors appear unknown, removed ones go.
    void setProjectors(const ProjectorList& list);
    // Asks every projector (force) or only those due; a projector being asked or paused is
    // left alone. Returns how many were queued.
    int refresh(bool force = true);
    // A send or the schedule is uploading to it: the board does not ask it meanwhile.
    void setPaused(quint32 address, bool paused);
    // What another command (a send, the schedule, a dialog) heard from a projector of the
    // list: its row follows at once. Returns false when the event changes no row.
    bool noteCommand(const CommandEvent& event);
    // Ends the round: exchanges under way are abandoned (their sockets close at once) before
    // this returns. What they had not finished leaves the rows as they were.
    void stop();

    [[nodiscard]] QList<BoardRow> rows() const;
    [[nodiscard]] BoardRow row(quint32 address) const;
    [[nodiscard]] bool isRefreshing() const;

    // The back-off after this many failed polls in a row.
    [[nodiscard]] static int backOffMs(int failures);

Q_SIGNALS:
    void rowUpdated(quint32 address);
    void refreshFinished();

private:
    struct Job {
        quint32 address = 0;
        CommandTarget target;
        CommandContext context;
        int round = 0;
    };
    struct Outcome {
        quint32 address = 0;
        int round = 0;
        bool answered = false;  // a store said what it holds
        bool replied = false;   // the projector said anything at all
        bool cancelled = false; // stopped half way: says nothing about the projector
        QString reason;
        std::optional<CatalogId> reasonId;
        std::array<BoardStore, 4> stores{};
    };
    struct Asking; // one projector being asked, on the poller's thread
    // What the poller's thread hands over: an outcome, or the end of a round after them.
    struct Delivery {
        Outcome outcome;
        bool roundEnd = false;
    };

    // On the poller's thread.
    void pump();
    void askNext(const std::shared_ptr<Asking>& asking);
    void answered(const std::shared_ptr<Asking>& asking, const ExchangeResult& exchange);
    void done(const std::shared_ptr<Asking>& asking);
    // Any thread: queued for the thread the poller lives on, in order.
    void deliver(Delivery delivery);
    // On the thread the poller lives on: what was delivered, a slice of time at a time.
    void applyDelivered();
    void apply(const Outcome& outcome);

    CommandContext m_context;
    QList<quint32> m_order;
    QHash<quint32, BoardRow> m_rows;
    QHash<quint32, CommandTarget> m_targets;
    std::set<quint32> m_paused;
    int m_round = 0; // a stop begins a new one; late news of an old one frees nothing
    // A burst of answers is shown a slice at a time, so the interface keeps its turn between.
    static constexpr int kApplySliceMs = 4;

    mutable std::mutex m_mutex; // the queue, the in-flight set and the count asked
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    std::deque<Delivery> m_delivered; // handed over and not yet applied
    std::set<quint32> m_inFlight;
    int m_active = 0;
    std::atomic<bool> m_cancel{false};
    std::unique_ptr<ExchangeLoop> m_loop; // last: its thread ends before the rest goes
};
