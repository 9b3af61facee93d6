#include "history/CHistoryMenu.h"

#include "history/CHistoryDlg.h"
#include "history/HistoryStore.h"
#include "i18n/CLocalise.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

void AddHistoryMenu(QMainWindow* frame) {
    QMenuBar* bar = frame->menuBar();
    // Texts as the main menu sets them, so that its relocalising reaches these too.
    auto* view = new QMenu(bar);
    SetCatalogText(view->menuAction(), msg::MenuView);
    view->setObjectName(QStringLiteral("menuView"));
    auto* history = new QAction(frame);
    SetCatalogText(history, msg::MenuHistory);
    history->setObjectName(QStringLiteral("historyAction"));
    history->setStatusTip(CatalogText(msg::TipHistory));
    view->addAction(history);
    const QList<QAction*> menus = bar->actions();
    bar->insertMenu(menus.isEmpty() ? nullptr : menus.last(), view);

    auto open = std::make_shared<QPointer<CHistoryDlg>>();
    QObject::connect(history, &QAction::triggered, frame, [frame, open] {
        // One window at a time; asking again brings it forward and reads the file afresh.
        if (*open) {
            (*open)->close();
            (*open)->deleteLater();
        }
        auto* dlg = new CHistoryDlg(HistoryStore::defaultPath(), frame);
        dlg->setAttribute(Qt::WA_DeleteOnClose, true);
        *open = dlg;
        dlg->show();
        dlg->raise();
    });
}
