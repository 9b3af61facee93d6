#include "protocol/CTransStateDlg.h"

#include "i18n/CatalogIds.h"
#include "protocol/TransStateQuery.h"

namespace {

CStoreCommandDlg::Layout transStateLayout() {
    CStoreCommandDlg::Layout l;
    l.name = QStringLiteral("dlg136");
    l.title = QStringLiteral("46;Transmission State");
    l.listId = 1049;
    l.storeId = 1047;
    l.temporaryChoice = true;
    l.storeRadioId = 1046;
    l.temporaryRadioId = 1048;
    l.temporaryListId = 1050;
    l.buttonName = QStringLiteral("get1001");
    l.buttonText = QStringLiteral("27;Get");
    l.statusId = 1061;
    l.running = msg::StatusStateRunning;
    l.done = msg::StatusStateDone;
    l.failed = msg::StatusStateFailed;
    l.run = [](int store, const CommandTarget& t, const CommandContext& c) {
        return QueryTransState(store, t, c);
    };
    return l;
}

} // namespace

CTransStateDlg::CTransStateDlg(ProjectorStore& store, CommandObserver* observer, QWidget* parent,
                               const std::optional<CommandContext>& context)
    : CStoreCommandDlg(store, observer, transStateLayout(), context, parent) {}
