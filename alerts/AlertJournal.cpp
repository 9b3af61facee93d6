#include "alerts/AlertJournal.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/Ipv4.h"

namespace {

constexpr int kError = 3;
constexpr int kWarning = 4;
constexpr int kNotice = 5;

// The journal reads the priority only at the start of a line: whatever is inserted, the
// text stays on this one.
QString prefixed(int priority, const QString& text) {
    return u'<' + QString::number(priority) + u'>' + VisibleText::shown(text);
}

} // namespace

int AlertJournal::priority(const Alert& alert, bool raised) {
    if (!raised) {
        return kNotice;
    }
    return alert.kind == Alert::Kind::StoreChanged ? kWarning : kError;
}

QString AlertJournal::kindText(Alert::Kind kind) {
    switch (kind) {
    case Alert::Kind::Offline:
        return CatalogText(msg::AlertKindOffline);
    case Alert::Kind::UploadFailed:
        return CatalogText(msg::AlertKindUploadFailed);
    case Alert::Kind::StoreChanged:
        break;
    }
    return CatalogText(msg::AlertKindStoreChanged);
}

QString AlertJournal::line(const Alert& alert, bool raised) {
    const QString id = QString::number(alert.id);
    const QString kind = kindText(alert.kind);
    const QString projector = VisibleText::shown(alert.projector);
    const QString address = Ipv4::toText(alert.address);
    const QString store = QString::number(alert.store);
    QString text;
    if (raised) {
        const QString detail = VisibleText::shown(alert.detail);
        text = alert.store > 0
                   ? CatalogText(msg::AlertRaisedStoreLine, {id, kind, projector, address, store, detail})
                   : CatalogText(msg::AlertRaisedLine, {id, kind, projector, address, detail});
    } else {
        text = alert.store > 0
                   ? CatalogText(msg::AlertClearedStoreLine, {id, kind, projector, address, store})
                   : CatalogText(msg::AlertClearedLine, {id, kind, projector, address});
    }
    return prefixed(priority(alert, raised), text);
}

QString AlertJournal::warning(const QString& text) {
    return prefixed(kWarning, text);
}
