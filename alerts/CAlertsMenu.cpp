#include "alerts/CAlertsMenu.h"

#include "alerts/AlertCenter.h"
#include "alerts/CAlertNotifier.h"
#include "alerts/CAlertsDlg.h"
#include "board/CBoardDock.h"
#include "i18n/CLocalise.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include <memory>

CAlertNotifier* AddAlerts(QMainWindow* frame, AlertCenter& alerts, CBoardDock* board) {
    if (board != nullptr) {
        BoardPoller* poller = &board->poller();
        QObject::connect(poller, &BoardPoller::rowUpdated, &alerts,
                         [&alerts, poller](quint32 address) { alerts.noteBoardRow(poller->row(address)); });
    }
    auto* notifier = new CAlertNotifier(alerts, frame);

    auto* action = new QAction(frame);
    SetCatalogText(action, msg::AlertsMenu);
    action->setObjectName(QStringLiteral("alertsAction"));
    action->setStatusTip(CatalogText(msg::TipAlerts));
    if (auto* view = frame->menuBar()->findChild<QMenu*>(QStringLiteral("menuView"))) {
        view->addAction(action);
    } else {
        frame->addAction(action);
    }

    CAlertsDlg::Board timed;
    if (board != nullptr) {
        QPointer<CBoardDock> dock(board);
        timed.minutes = [dock] { return dock && dock->timedRefreshOn() ? dock->timedRefreshMinutes() : 0; };
        timed.turnOn = [dock] {
            if (dock) {
                dock->setTimedRefresh(true, dock->timedRefreshMinutes());
                dock->refresh(false);
            }
        };
    }
    // One list at a time; asking again brings it forward. A closed one is made afresh, in
    // the language chosen since.
    auto open = std::make_shared<QPointer<CAlertsDlg>>();
    auto show = [frame, &alerts, timed, open] {
        if (*open && !(*open)->isVisible()) {
            (*open)->deleteLater();
            *open = nullptr;
        }
        if (!*open) {
            *open = new CAlertsDlg(alerts, timed, frame);
        }
        (*open)->show();
        (*open)->raise();
        (*open)->activateWindow();
    };
    QObject::connect(action, &QAction::triggered, frame, show);
    QObject::connect(notifier, &CAlertNotifier::alertsWanted, frame, show);
    return notifier;
}
