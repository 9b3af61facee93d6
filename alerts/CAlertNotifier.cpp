#include "alerts/CAlertNotifier.h"

#include "alerts/AlertCenter.h"
#include "alerts/AlertText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <algorithm>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kExpireMs = 10000;

QIcon appIcon() {
    return QIcon(QStringLiteral(":/icons/tessavel.svg"));
}

// The program's icon with a red mark in its corner: some projector does not answer.
QIcon warningIcon() {
    QPixmap pixmap = appIcon().pixmap(64, 64);
    if (pixmap.isNull()) {
        pixmap = QPixmap(64, 64);
        pixmap.fill(Qt::transparent);
    }
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 3));
    painter.setBrush(QColor(0xd0, 0x20, 0x20));
    painter.drawEllipse(QRectF(34, 34, 28, 28));
    return QIcon(pixmap);
}

} // namespace

CAlertNotifier::CAlertNotifier(AlertCenter& alerts, QObject* parent) : QObject(parent), m_alerts(alerts) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(this);
        m_tray->setObjectName(QStringLiteral("alertsTray"));
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
            if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) {
                Q_EMIT alertsWanted();
            }
        });
        connect(m_tray, &QSystemTrayIcon::messageClicked, this, &CAlertNotifier::alertsWanted);
    }
    connect(&m_alerts, &AlertCenter::alertRaised, this, [this](const Alert& a) { tell(a, true); });
    connect(&m_alerts, &AlertCenter::alertCleared, this, [this](const Alert& a) { tell(a, false); });
    connect(&m_alerts, &AlertCenter::stateChanged, this, &CAlertNotifier::updateTray);
    updateTray();
    if (m_tray != nullptr) {
        m_tray->show();
    }
    askCapabilities();
}

CAlertNotifier::~CAlertNotifier() = default;

void CAlertNotifier::tell(const Alert& alert, bool raised) {
    notify(AlertText::summary(alert, raised), AlertText::describe(alert, raised), raised);
}

void CAlertNotifier::updateTray() {
    const int silent = m_alerts.silentCount();
    m_warns = silent > 0 || m_alerts.anyOffline();
    m_trayText = m_warns ? CatalogText(msg::TraySomeSilent, {QString::number(std::max(silent, 1))})
                         : CatalogText(msg::TrayAllAnswer);
    if (m_tray != nullptr) {
        m_tray->setIcon(m_warns ? warningIcon() : appIcon());
        m_tray->setToolTip(m_trayText);
    }
}

// Whether the service reads markup in a body; until it says, bodies go escaped.
void CAlertNotifier::askCapabilities() {
    m_markup = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QStringList> reply = *w;
        if (!reply.isError()) {
            m_markup = reply.value().contains(QStringLiteral("body-markup"));
        }
        w->deleteLater();
    });
}

void CAlertNotifier::notify(const QString& summary, const QString& body, bool warning) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallBack(summary, body, warning);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    // Critical for a raise, normal for a clear.
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(warning ? 2 : 1)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tessavel"));
    call << QStringLiteral("Tessavel") << quint32{0}
         << (warning ? QStringLiteral("dialog-warning") : QStringLiteral("dialog-information")) << summary
         << (m_markup ? body.toHtmlEscaped() : body) << QStringList{} << hints << qint32{kExpireMs};
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body, warning](QDBusPendingCallWatcher* w) {
                const QDBusPendingReply<quint32> reply = *w;
                w->deleteLater();
                if (reply.isError()) {
                    fallBack(summary, body, warning); // no service on this desktop
                    return;
                }
                ++m_delivered;
                Q_EMIT notified(true);
            });
}

void CAlertNotifier::fallBack(const QString& summary, const QString& body, bool warning) {
    if (m_tray == nullptr || !QSystemTrayIcon::supportsMessages()) {
        return; // the Alerts list still holds it
    }
    m_tray->showMessage(summary, body, warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                        kExpireMs);
    ++m_inTray;
    Q_EMIT notified(false);
}
