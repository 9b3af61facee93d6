#pragma once

#include "alerts/Alert.h"

#include <QObject>
#include <QString>

class AlertCenter;
class QSystemTrayIcon;

// Tells the desktop of each alert raised and cleared: through the session's notification
// service, or the tray's own balloon when no service answers. Keeps a tray icon, when the
// desktop has a tray, whose picture and tip say whether every projector answers.
class CAlertNotifier final : public QObject {
    Q_OBJECT

public:
    explicit CAlertNotifier(AlertCenter& alerts, QObject* parent = nullptr);
    ~CAlertNotifier() override;

    // nullptr when the desktop has no tray.
    [[nodiscard]] QSystemTrayIcon* tray() const { return m_tray; }
    // The tray's tip as it stands (kept even without a tray, for the window's use).
    [[nodiscard]] QString trayText() const { return m_trayText; }
    [[nodiscard]] bool trayWarns() const { return m_warns; }
    // Notifications the service took, and those shown in the tray instead.
    [[nodiscard]] int delivered() const { return m_delivered; }
    [[nodiscard]] int shownInTray() const { return m_inTray; }

    // Sends one notification; summary and body are plain text.
    void notify(const QString& summary, const QString& body, bool warning);

Q_SIGNALS:
    // The operator clicked the tray icon: the Alerts list is wanted.
    void alertsWanted();
    // A notification went out (service) or was shown in the tray; for tests.
    void notified(bool throughService);

private:
    void tell(const Alert& alert, bool raised);
    void updateTray();
    void askCapabilities();
    void fallBack(const QString& summary, const QString& body, bool warning);

    AlertCenter& m_alerts;
    QSystemTrayIcon* m_tray = nullptr;
    QString m_trayText;
    bool m_warns = false;
    bool m_markup = false; // the service reads markup in bodies: outside text is escaped
    int m_delivered = 0;
    int m_inTray = 0;
};
