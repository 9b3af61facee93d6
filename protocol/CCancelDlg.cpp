#include "protocol/CCancelDlg.h"

#include "i18n/CatalogIds.h"
#include "protocol/CancelCommand.h"

namespace {

CStoreCommandDlg::Layout cancelLayout() {
    CStoreCommandDlg::Layout l;
    l.name = QStringLiteral("dlg138");
    l.title = QStringLiteral("19;Cancel");
    l.listId = 1053;
    l.storeId = 1051;
    l.temporaryChoice = true;
    l.storeRadioId = 1050;
    l.temporaryRadioId = 1052;
    l.temporaryListId = 1054;
    l.buttonName = QStringLiteral("execute1012");
    l.buttonText = QStringLiteral("17;Execute");
    l.statusId = 1062;
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
