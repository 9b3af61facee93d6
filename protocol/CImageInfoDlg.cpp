#include "protocol/CImageInfoDlg.h"

#include "i18n/CatalogIds.h"
#include "protocol/ImageInfoQuery.h"

namespace {

CStoreCommandDlg::Layout imageInfoLayout() {
    CStoreCommandDlg::Layout l;
    l.name = QStringLiteral("imageInfoDlg");
    l.title = msg::ImageInfoDlgTitle;
    l.buttonName = QStringLiteral("getButton");
    l.buttonText = msg::ButtonGet;
    l.running = msg::StatusInfoRunning;
    l.done = msg::StatusInfoDone;
    l.failed = msg::StatusInfoFailed;
    l.run = [](int store, const CommandTarget& t, const CommandContext& c) {
        return QueryImageInfo(store, t, c);
    };
    return l;
}

} // namespace

CImageInfoDlg::CImageInfoDlg(ProjectorStore& store, CommandObserver* observer, QWidget* parent,
                             const std::optional<CommandContext>& context)
    : CStoreCommandDlg(store, observer, imageInfoLayout(), context, parent) {}
