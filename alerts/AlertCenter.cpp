#include "alerts/AlertCenter.h"

#include "alerts/AlertText.h"
#include "board/BoardPoller.h"
#include "history/HistoryLog.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandObserver.h"
#include "protocol/ImageUpload.h"
#include "registry/Ipv4.h"

#include <QSettings>
#include <QTimer>

#include <algorithm>

namespace {

const QString kAlertSecondsKey = QStringLiteral("alerts/offlineAfterSeconds");

} // namespace

AlertCenter::AlertCenter(std::unique_ptr<QSettings> settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
    if (!m_settings) {
        m_settings = std::make_unique<QSettings>();
    }
    m_tracker.setOfflineAfterMs(qint64{alertSeconds()} * 1000);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &AlertCenter::onTick);
}

AlertCenter::~AlertCenter() = default;

int AlertCenter::alertSeconds() const {
    bool ok = false;
    const int seconds = m_settings->value(kAlertSecondsKey, kDefaultAlertSeconds).toInt(&ok);
    return ok ? std::clamp(seconds, kMinAlertSeconds, kMaxAlertSeconds) : kDefaultAlertSeconds;
}

void AlertCenter::setAlertSeconds(int seconds) {
    seconds = std::clamp(seconds, kMinAlertSeconds, kMaxAlertSeconds);
    m_settings->setValue(kAlertSecondsKey, seconds);
    m_settings->sync();
    m_tracker.setOfflineAfterMs(qint64{seconds} * 1000);
    // A silence already counting may now be due sooner (or later).
    apply(m_tracker.tick(now()));
}

void AlertCenter::setProjectors(const ProjectorList& list) {
    QHash<quint32, QString> names;
    for (const ProjectorRecord& p : list) {
        names.insert(p.hostAddress(), p.name);
    }
    AlertTracker::Changes gone;
    const QDateTime at = now();
    for (auto it = m_names.cbegin(); it != m_names.cend(); ++it) {
        if (!names.contains(it.key())) {
            const AlertTracker::Changes c = m_tracker.forget(it.key(), at);
            gone.insert(gone.end(), c.begin(), c.end());
            m_stores.remove(it.key());
            m_answers.remove(it.key());
        }
    }
    m_names = std::move(names);
    apply(gone);
    Q_EMIT stateChanged();
}

QString AlertCenter::nameOf(quint32 address) const {
    const QString name = m_names.value(address);
    return name.isEmpty() ? Ipv4::toText(address) : name;
}

QDateTime AlertCenter::now() const {
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

int AlertCenter::silentCount() const {
    int n = 0;
    for (auto it = m_answers.cbegin(); it != m_answers.cend(); ++it) {
        n += it.value() ? 0 : 1;
    }
    return n;
}

void AlertCenter::noteCommand(const CommandEvent& e) {
    if (!m_names.contains(e.address)) {
        return; // not a projector of the list
    }
    const bool put = e.command == u"PUT";
    // Stopped by the user, or our own file could not go out: nothing learnt of the projector.
    if (put && !e.answered &&
        (e.result == UploadResult::Stopped || e.result == UploadResult::FileEmpty ||
         e.result == UploadResult::FileUnreadable)) {
        return;
    }
    const QDateTime at = now();
    const QString name = nameOf(e.address);
    const bool before = m_answers.value(e.address, true);
    m_answers.insert(e.address, e.answered);
    AlertTracker::Changes changes =
        e.answered ? m_tracker.answered(e.address, name, at) : m_tracker.silent(e.address, name, e.text, at);
    if (e.storeNumber >= 1 && e.storeNumber <= 4) {
        if (put) {
            // Whatever the projector made of it, the next change seen there may be ours.
            m_stores[e.address][static_cast<size_t>(e.storeNumber - 1)].ours = true;
            if (e.ok) {
                const AlertTracker::Changes c = m_tracker.storeWritten(e.address, e.storeNumber, at);
                changes.insert(changes.end(), c.begin(), c.end());
            }
        } else if (e.command == u"INFO" && e.answered && e.storeHolds >= 1) {
            apply(changes);
            changes.clear();
            look(e.address, e.storeNumber, e.storeHolds, e.storeFileName, e.storeLength);
        }
    }
    apply(changes);
    if (before != e.answered) {
        Q_EMIT stateChanged();
    }
}

void AlertCenter::noteBoardRow(const BoardRow& row) {
    if (!m_names.contains(row.address) || row.reach == BoardRow::Reach::Unknown) {
        return;
    }
    const QDateTime at = now();
    const QString name = nameOf(row.address);
    // A projector that replied, if not with what was asked (a refused password), is there.
    const bool answers = row.reach == BoardRow::Reach::Reachable || row.replied;
    const bool before = m_answers.value(row.address, true);
    m_answers.insert(row.address, answers);
    apply(answers ? m_tracker.answered(row.address, name, at)
                  : m_tracker.silent(row.address, name, row.reason, at));
    if (row.reach == BoardRow::Reach::Reachable) {
        for (int s = 0; s < 4; ++s) {
            const BoardStore& store = row.stores[static_cast<size_t>(s)];
            if (store.result >= 1) {
                look(row.address, s + 1, store.result, store.fileName, store.length);
            }
        }
    }
    if (before != answers) {
        Q_EMIT stateChanged();
    }
}

void AlertCenter::look(quint32 address, int store, int result, const QString& fileName,
                       const QString& length) {
    StoreLook& s = m_stores[address][static_cast<size_t>(store - 1)];
    const QString name = result == 2 ? fileName : QString();
    const QString size = result == 2 ? length : QString();
    if (!s.known) {
        // The first look only learns what is there.
        s = StoreLook{true, result, name, size, false};
        return;
    }
    const bool changed = s.result != result || s.fileName != name || s.length != size;
    if (!changed) {
        // An upload of ours may have sent the same name and length; the mark waits for its change.
        return;
    }
    const bool ours = s.ours;
    s = StoreLook{true, result, name, size, false};
    if (!ours) {
        apply(m_tracker.storeChanged(address, nameOf(address), store, name, now()));
    }
}

void AlertCenter::noteScheduledUpload(quint32 address, int store, bool ok, int result) {
    const QDateTime at = now();
    const QString name = nameOf(address);
    if (ok) {
        apply(m_tracker.uploadSucceeded(address, name, store, at));
        return;
    }
    const ImageUpload::ResultText why = ImageUpload::textFor(result);
    apply(m_tracker.uploadFailed(address, name, store, CatalogText(why.id, why.inserts), at));
}

void AlertCenter::apply(const AlertTracker::Changes& changes) {
    for (const AlertTracker::Change& c : changes) {
        if (m_history != nullptr) {
            m_history->note(AlertText::historyRecord(c.alert, c.raised));
        }
        if (c.raised) {
            Q_EMIT alertRaised(c.alert);
        } else {
            Q_EMIT alertCleared(c.alert);
        }
    }
    schedule();
    if (!changes.empty()) {
        Q_EMIT stateChanged();
    }
}

// One shot at the tracker's next moment: nothing runs while nothing waits.
void AlertCenter::schedule() {
    const QDateTime due = m_tracker.nextDue();
    if (!due.isValid()) {
        m_timer->stop();
        m_nextTick = {};
        return;
    }
    if (m_timer->isActive() && due == m_nextTick) {
        return;
    }
    m_nextTick = due;
    constexpr qint64 kLongestWaitMs = 60 * 60 * 1000; // a far moment is looked at again
    const qint64 ms = std::clamp<qint64>(now().msecsTo(due), 0, kLongestWaitMs);
    m_timer->start(static_cast<int>(ms));
}

void AlertCenter::onTick() {
    m_nextTick = {};
    apply(m_tracker.tick(now()));
}
