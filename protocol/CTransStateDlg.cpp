#include "protocol/CTransStateDlg.h"

#include "i18n/CatalogIds.h"
#include "protocol/TransStateQuery.h"

namespace {

CStoreCommandDlg::Layout transStateLayout() {
    CStoreCommandDlg::Layout l;
    l.name = QStringLiteral("transStateDlg");
    l.title = msg::TransStateDlgTitle;
    l.temporaryChoice = true;
    l.buttonName = QStringLiteral("getButton");
    l.buttonText = msg::ButtonGet;
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
