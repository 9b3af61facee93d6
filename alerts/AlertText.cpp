#include "alerts/AlertText.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

namespace AlertText {

QString what(const Alert& a) {
    const QString store = QString::number(a.store);
    const QString detail = VisibleText::shown(a.detail);
    switch (a.kind) {
    case Alert::Kind::Offline:
        return a.detail.isEmpty() ? CatalogText(msg::AlertOffline)
                                  : CatalogText(msg::AlertOfflineWhy, {detail});
    case Alert::Kind::UploadFailed:
        return CatalogText(msg::AlertUploadFailed, {store, detail});
    case Alert::Kind::StoreChanged:
        // No file named: the store was emptied.
        return a.detail.isEmpty() ? CatalogText(msg::AlertStoreEmptied, {store})
                                  : CatalogText(msg::AlertStoreChanged, {store, detail});
    }
    return {};
}

QString summary(const Alert& a, bool raised) {
    switch (a.kind) {
    case Alert::Kind::Offline:
        return CatalogText(raised ? msg::NoticeOffline : msg::NoticeOnline,
                           {VisibleText::shown(a.projector)});
    case Alert::Kind::UploadFailed:
        return CatalogText(raised ? msg::NoticeUploadFailed : msg::NoticeUploadWorks,
                           {VisibleText::shown(a.projector)});
    case Alert::Kind::StoreChanged:
        return CatalogText(raised ? msg::NoticeStoreChanged : msg::NoticeStoreOurs,
                           {VisibleText::shown(a.projector)});
    }
    return {};
}

} // namespace AlertText
