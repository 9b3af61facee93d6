#include "alerts/AlertTracker.h"

#include <algorithm>

namespace {

QDateTime later(const QDateTime& a, const QDateTime& b) {
    if (!a.isValid()) {
        return b;
    }
    if (!b.isValid()) {
        return a;
    }
    return std::max(a, b);
}

Alert alertOf(Alert::Kind kind, quint32 address, const QString& projector, int store, const QString& detail,
              const QDateTime& at) {
    Alert a;
    a.kind = kind;
    a.address = address;
    a.projector = projector;
    a.store = store;
    a.detail = detail;
    a.raised = at;
    return a;
}

} // namespace

AlertTracker::Changes AlertTracker::answered(quint32 address, const QString& projector, const QDateTime& at) {
    Q_UNUSED(projector);
    m_silent.remove(address);
    return clear(keyOf(address, Alert::Kind::Offline), at);
}

AlertTracker::Changes AlertTracker::silent(quint32 address, const QString& projector, const QString& reason,
                                           const QDateTime& at) {
    auto it = m_silent.find(address);
    if (it == m_silent.end()) {
        it = m_silent.insert(address, Silence{projector, reason, at});
    } else {
        it->projector = projector;
        it->reason = reason;
    }
    return tick(at);
}

AlertTracker::Changes AlertTracker::tick(const QDateTime& at) {
    Changes changes;
    // Oldest silence first, so alerts due at one tick come in a steady order.
    std::vector<std::pair<QDateTime, quint32>> due;
    for (auto it = m_silent.cbegin(); it != m_silent.cend(); ++it) {
        if (m_open.contains(keyOf(it.key(), Alert::Kind::Offline))) {
            continue;
        }
        const QDateTime when = offlineDue(it.key(), it.value());
        if (when <= at) {
            due.emplace_back(when, it.key());
        }
    }
    std::sort(due.begin(), due.end());
    for (const auto& [when, address] : due) {
        const Silence& s = m_silent[address];
        m_lastOffline[address] = at;
        Changes c = raise(alertOf(Alert::Kind::Offline, address, s.projector, 0, s.reason, at));
        changes.insert(changes.end(), c.begin(), c.end());
    }
    return changes;
}

AlertTracker::Changes AlertTracker::uploadFailed(quint32 address, const QString& projector, int store,
                                                 const QString& reason, const QDateTime& at) {
    return raise(alertOf(Alert::Kind::UploadFailed, address, projector, store, reason, at));
}

AlertTracker::Changes AlertTracker::uploadSucceeded(quint32 address, const QString& projector, int store,
                                                    const QDateTime& at) {
    Q_UNUSED(projector);
    Changes changes = clear(keyOf(address, Alert::Kind::UploadFailed), at, store);
    Changes c = clear(keyOf(address, Alert::Kind::StoreChanged), at, store);
    changes.insert(changes.end(), c.begin(), c.end());
    return changes;
}

AlertTracker::Changes AlertTracker::storeWritten(quint32 address, int store, const QDateTime& at) {
    return clear(keyOf(address, Alert::Kind::StoreChanged), at, store);
}

AlertTracker::Changes AlertTracker::storeChanged(quint32 address, const QString& projector, int store,
                                                 const QString& detail, const QDateTime& at) {
    return raise(alertOf(Alert::Kind::StoreChanged, address, projector, store, detail, at));
}

AlertTracker::Changes AlertTracker::forget(quint32 address, const QDateTime& at) {
    Changes changes;
    for (Alert::Kind kind : {Alert::Kind::Offline, Alert::Kind::UploadFailed, Alert::Kind::StoreChanged}) {
        Changes c = clear(keyOf(address, kind), at);
        changes.insert(changes.end(), c.begin(), c.end());
    }
    m_silent.remove(address);
    m_lastOffline.remove(address);
    return changes;
}

QList<Alert> AlertTracker::alerts() const {
    return QList<Alert>(m_alerts.begin(), m_alerts.end());
}

bool AlertTracker::anyOffline() const {
    return std::any_of(m_open.keyBegin(), m_open.keyEnd(),
                       [](Key key) { return (key & 0xFF) == static_cast<quint64>(Alert::Kind::Offline); });
}

QDateTime AlertTracker::nextDue() const {
    QDateTime next;
    for (auto it = m_silent.cbegin(); it != m_silent.cend(); ++it) {
        if (m_open.contains(keyOf(it.key(), Alert::Kind::Offline))) {
            continue;
        }
        const QDateTime when = offlineDue(it.key(), it.value());
        if (!next.isValid() || when < next) {
            next = when;
        }
    }
    return next;
}

AlertTracker::Changes AlertTracker::raise(Alert alert) {
    const Key key = keyOf(alert.address, alert.kind);
    if (m_open.contains(key)) {
        return {};
    }
    alert.id = m_nextId++;
    m_open.insert(key, alert.id);
    m_alerts.push_back(alert);
    while (m_alerts.size() > static_cast<size_t>(std::max(1, m_settings.keep))) {
        m_alerts.pop_front();
    }
    return {Change{true, std::move(alert)}};
}

AlertTracker::Changes AlertTracker::clear(Key key, const QDateTime& at, int store) {
    const auto it = m_open.find(key);
    if (it == m_open.end()) {
        return {};
    }
    Alert* alert = find(it.value());
    if (alert == nullptr) {
        // Pushed out of the list while it held: nothing left to show as cleared.
        m_open.erase(it);
        return {};
    }
    if (store != 0 && alert->store != 0 && alert->store != store) {
        return {};
    }
    m_open.erase(it);
    alert->cleared = at;
    return {Change{false, *alert}};
}

QDateTime AlertTracker::offlineDue(quint32 address, const Silence& silence) const {
    const QDateTime due = silence.since.addMSecs(std::max<qint64>(0, m_settings.offlineAfterMs));
    const auto last = m_lastOffline.constFind(address);
    if (last == m_lastOffline.cend()) {
        return due;
    }
    return later(due, last->addMSecs(m_settings.flapWindowMs));
}

Alert* AlertTracker::find(qint64 id) {
    // Ids rise along the list, so the search halves it.
    const auto it = std::lower_bound(m_alerts.begin(), m_alerts.end(), id,
                                     [](const Alert& a, qint64 wanted) { return a.id < wanted; });
    return it != m_alerts.end() && it->id == id ? &*it : nullptr;
}
