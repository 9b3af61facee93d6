#include "alerts/AlertJournal.h"

#include "alerts/AlertText.h"
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

QString AlertJournal::line(const Alert& alert, bool raised) {
    const QStringList inserts{QString::number(alert.id), AlertText::kindTitle(alert.kind),
                              Ipv4::toText(alert.address), AlertText::describe(alert, raised)};
    return prefixed(priority(alert, raised),
                    CatalogText(raised ? msg::AlertRaisedLine : msg::AlertClearedLine, inserts));
}

QString AlertJournal::warning(const QString& text) {
    return prefixed(kWarning, text);
}
