#pragma once

#include "alerts/Alert.h"

#include <QDateTime>
#include <QHash>
#include <QList>

#include <deque>
#include <vector>

// Turns what is seen of projectors into alerts, without storms: one alert per projector and
// kind until it clears, and a projector that keeps coming and going raises at most one
// Offline alert per flap window. Pure: every call gives the moment it concerns, so tests
// run on a clock of their own. Not thread-safe; its owner calls it from one thread.
class AlertTracker final {
public:
    struct Settings {
        qint64 offlineAfterMs = 2 * 60 * 1000; // silent this long before it counts as offline
        qint64 flapWindowMs = 10 * 60 * 1000;  // at most one Offline alert per projector in this
        int keep = 500;                        // alerts remembered, newest kept
    };

    // What a call changed: an alert raised, or one cleared (the alert as it now stands).
    struct Change {
        bool raised = false; // false: cleared
        Alert alert;
        friend bool operator==(const Change& a, const Change& b) {
            return a.raised == b.raised && a.alert.id == b.alert.id;
        }
    };
    using Changes = std::vector<Change>;

    AlertTracker() = default;
    explicit AlertTracker(Settings settings) : m_settings(settings) {}

    [[nodiscard]] const Settings& settings() const { return m_settings; }
    // Takes effect at the next call; alerts already raised stay.
    void setOfflineAfterMs(qint64 ms) { m_settings.offlineAfterMs = ms; }

    // The projector answered something: clears its Offline alert.
    Changes answered(quint32 address, const QString& projector, const QDateTime& at);
    // The projector did not answer: the first silence starts its clock, and once it has been
    // silent for the alert time (here or at a later tick) it is offline.
    Changes silent(quint32 address, const QString& projector, const QString& reason, const QDateTime& at);
    // Raises what has become due by now without a new observation.
    Changes tick(const QDateTime& at);
    // A scheduled upload (or its check) failed after its retries / an upload of ours
    // succeeded, which clears an UploadFailed or StoreChanged alert about that store.
    Changes uploadFailed(quint32 address, const QString& projector, int store, const QString& reason,
                         const QDateTime& at);
    Changes uploadSucceeded(quint32 address, const QString& projector, int store, const QDateTime& at);
    // An upload of ours, from anywhere, went into the store: clears a StoreChanged alert
    // about it, but not a failed schedule, which only the schedule's own success clears
    // (an upload whose check keeps failing would otherwise clear and raise on every pass).
    Changes storeWritten(quint32 address, int store, const QDateTime& at);
    // Someone else's upload showed in the store. It clears when this workstation next
    // uploads to that store.
    Changes storeChanged(quint32 address, const QString& projector, int store, const QString& detail,
                         const QDateTime& at);
    // The projector left the list: its alerts clear and its clocks are forgotten.
    Changes forget(quint32 address, const QDateTime& at);

    // Every alert remembered, oldest first.
    [[nodiscard]] QList<Alert> alerts() const;
    // Whether any Offline alert holds: the tray shows it.
    [[nodiscard]] bool anyOffline() const;
    // When tick() next has something to do; not valid when nothing waits.
    [[nodiscard]] QDateTime nextDue() const;

private:
    // One projector and kind.
    using Key = quint64;
    static Key keyOf(quint32 address, Alert::Kind kind) {
        return (quint64(address) << 8) | quint64(static_cast<int>(kind));
    }

    struct Silence {
        QString projector;
        QString reason;
        QDateTime since; // first silence since it last answered
    };

    Changes raise(Alert alert);
    Changes clear(Key key, const QDateTime& at, int store = 0);
    [[nodiscard]] QDateTime offlineDue(quint32 address, const Silence& silence) const;
    Alert* find(qint64 id);

    Settings m_settings;
    qint64 m_nextId = 1;
    std::deque<Alert> m_alerts;              // oldest first, at most keep
    QHash<Key, qint64> m_open;               // the alert that holds for each projector and kind
    QHash<quint32, Silence> m_silent;        // projectors silent since they last answered
    QHash<quint32, QDateTime> m_lastOffline; // when each projector last raised Offline
};
