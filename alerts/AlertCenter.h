#pragma once

#include "alerts/Alert.h"
#include "alerts/AlertTracker.h"
#include "registry/ProjectorRecord.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSettings>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class HistoryLog;
class QTimer;
struct BoardRow;
struct CommandEvent;

// The window's alerts: hears what the program already learns of its projectors (command
// outcomes, the board's polls, the schedule's verdicts), keeps an AlertTracker over the wall
// clock and tells each raise and clear once. Lives on the interface thread; shows nothing.
class AlertCenter final : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultAlertSeconds = 120;
    static constexpr int kMinAlertSeconds = 1;
    static constexpr int kMaxAlertSeconds = 24 * 60 * 60;

    // settings: where the alert time is kept (none: the program's own settings).
    explicit AlertCenter(std::unique_ptr<QSettings> settings = {}, QObject* parent = nullptr);
    ~AlertCenter() override;
    AlertCenter(const AlertCenter&) = delete;
    AlertCenter& operator=(const AlertCenter&) = delete;

    // Each raise and clear goes into this history too.
    void setHistory(HistoryLog* history) { m_history = history; }

    // How long a projector may stay silent before it counts as offline; remembered.
    [[nodiscard]] int alertSeconds() const;
    void setAlertSeconds(int seconds);

    // Names for the alerts; projectors no longer listed lose their alerts and clocks.
    void setProjectors(const ProjectorList& list);

    // A command's outcome: an answer or a silence, and our own uploads.
    void noteCommand(const CommandEvent& event);
    // A poll of the board: its reach and, when it answered, what its stores hold.
    void noteBoardRow(const BoardRow& row);
    // A scheduled upload's final verdict, after its retries (and check). result: the
    // upload's own code when it failed.
    void noteScheduledUpload(quint32 address, int store, bool ok, int result);

    [[nodiscard]] QList<Alert> alerts() const { return m_tracker.alerts(); }
    [[nodiscard]] bool anyOffline() const { return m_tracker.anyOffline(); }
    // Listed projectors whose last word was silence, whatever their alerts.
    [[nodiscard]] int silentCount() const;
    // When the tracker's next tick is set for; not valid when nothing waits.
    [[nodiscard]] QDateTime nextTickAt() const { return m_nextTick; }

    // The clock; tests that check time stamps may give their own.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

Q_SIGNALS:
    void alertRaised(const Alert& alert);
    void alertCleared(const Alert& alert);
    // Whether every listed projector answers changed, or an alert came or went.
    void stateChanged();

private:
    // What one store was last seen to hold, and whether an upload of ours went to it since.
    struct StoreLook {
        bool known = false;
        int result = -1;
        QString fileName;
        QString length;
        bool ours = false;
    };
    using Stores = std::array<StoreLook, 4>;

    void look(quint32 address, int store, int result, const QString& fileName, const QString& length);
    void apply(const AlertTracker::Changes& changes);
    void schedule();
    void onTick();
    [[nodiscard]] QString nameOf(quint32 address) const;
    [[nodiscard]] QDateTime now() const;

    std::unique_ptr<QSettings> m_settings;
    HistoryLog* m_history = nullptr;
    AlertTracker m_tracker;
    std::function<QDateTime()> m_clock;
    QHash<quint32, QString> m_names;
    QHash<quint32, Stores> m_stores;
    QHash<quint32, bool> m_answers; // last word of each listed projector: answered or not
    QTimer* m_timer = nullptr;
    QDateTime m_nextTick;
};
