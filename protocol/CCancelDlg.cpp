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
    // A store with nothing running is told so, and no CANCEL goes out to fail there.
    l.run = [](int store, const CommandTarget& t, const CommandContext& c) {
        return CancelIfRunning(store, t, c);
    };
    l.namedMessage = msg::CancelNamedOutcome;
    l.statusAfter = [](const RunReport& report) {
        if (report.text == msg::NothingToCancelState) {
            return msg::StatusCancelNothing;
        }
        return report.result == 0 ? msg::StatusCancelDone : msg::StatusCancelFailed;
    };
    return l;
}

} // namespace

CCancelDlg::CCancelDlg(ProjectorStore& store, CommandObserver* observer, QWidget* parent,
                       const std::optional<CommandContext>& context)
    : CStoreCommandDlg(store, observer, cancelLayout(), context, parent) {}
