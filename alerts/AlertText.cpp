#include "alerts/AlertText.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/Ipv4.h"

namespace AlertText {

QString kindTitle(Alert::Kind kind) {
    switch (kind) {
    case Alert::Kind::Offline:
        return CatalogText(msg::AlertKindOffline);
    case Alert::Kind::UploadFailed:
        return CatalogText(msg::AlertKindUploadFailed);
    case Alert::Kind::StoreChanged:
        return CatalogText(msg::AlertKindStoreChanged);
    }
    return {};
}

QString describe(const Alert& alert, bool raised) {
    const QString who =
        VisibleText::shown(alert.projector.isEmpty() ? Ipv4::toText(alert.address) : alert.projector);
    const QString store = QString::number(alert.store);
    const QString detail = VisibleText::shown(alert.detail);
    switch (alert.kind) {
    case Alert::Kind::Offline:
        return raised ? CatalogText(msg::AlertOfflineRaised, {who, detail})
                      : CatalogText(msg::AlertOfflineCleared, {who});
    case Alert::Kind::UploadFailed:
        return raised ? CatalogText(msg::AlertUploadFailedRaised, {who, store, detail})
                      : CatalogText(msg::AlertUploadFailedCleared, {who, store});
    case Alert::Kind::StoreChanged:
        return raised ? CatalogText(msg::AlertStoreChangedRaised, {who, store, detail})
                      : CatalogText(msg::AlertStoreChangedCleared, {who, store});
    }
    return {};
}

HistoryRecord historyRecord(const Alert& alert, bool raised) {
    HistoryRecord r;
    r.time = raised ? alert.raised : alert.cleared;
    r.address = Ipv4::toText(alert.address);
    if (alert.projector != r.address) {
        r.projectorName = alert.projector;
    }
    r.command = QStringLiteral("ALERT");
    r.store = alert.store;
    r.ok = !raised;
    r.resultText = describe(alert, raised);
    return r;
}

QString what(const Alert& alert) {
    const QString store = QString::number(alert.store);
    const QString detail = VisibleText::shown(alert.detail);
    switch (alert.kind) {
    case Alert::Kind::Offline:
        return alert.detail.isEmpty() ? CatalogText(msg::AlertOffline)
                                      : CatalogText(msg::AlertOfflineWhy, {detail});
    case Alert::Kind::UploadFailed:
        return CatalogText(msg::AlertUploadFailed, {store, detail});
    case Alert::Kind::StoreChanged:
        // No file named: the store was emptied.
        return alert.detail.isEmpty() ? CatalogText(msg::AlertStoreEmptied, {store})
                                      : CatalogText(msg::AlertStoreChanged, {store, detail});
    }
    return {};
}

QString summary(const Alert& alert, bool raised) {
    const QString who =
        VisibleText::shown(alert.projector.isEmpty() ? Ipv4::toText(alert.address) : alert.projector);
    switch (alert.kind) {
    case Alert::Kind::Offline:
        return CatalogText(raised ? msg::NoticeOffline : msg::NoticeOnline, {who});
    case Alert::Kind::UploadFailed:
        return CatalogText(raised ? msg::NoticeUploadFailed : msg::NoticeUploadWorks, {who});
    case Alert::Kind::StoreChanged:
        return CatalogText(raised ? msg::NoticeStoreChanged : msg::NoticeStoreOurs, {who});
    }
    return {};
}

} // namespace AlertText
