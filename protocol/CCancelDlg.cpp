#include "protocol/CCancelDlg.h"

#include "i18n/CatalogIds.h"
#include "protocol/CancelCommand.h"

namespace {

CStoreCommandDlg::Layout cancelLayout() {
    CStoreCommandDlg::Layout l;
    l.name = QStringLiteral("cancelDlg");
    l.title = msg::CancelDlgTitle;
    l.temporaryChoice = true;
    l.buttonName = QStringLiteral("executeButton");
    l.buttonText = msg::ButtonExecute;
    l.running = msg::StatusCancelRunning;
    l.done = msg::StatusCancelDone;
    l.failed = msg::StatusCancelFailed;
    l.run = [](int store, const CommandTarget& t, const CommandContext& c) {
        return CancelTransmission(store, t, c);
    };
    return l;
}

} // namespace

CCancelDlg::CCancelDlg(ProjectorStore& store, CommandObserver* observer, QWidget* parent,
                       const std::optional<CommandContext>& context)
    : CStoreCommandDlg(store, observer, cancelLayout(), context, parent) {}
