#include "common/SpreadsheetCell.h"

namespace {

bool startsFormula(QChar c) {
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

// Apostrophes and then a formula character: a cell that, without one more apostrophe,
// would read back as something else or run as a formula.
bool needsGuard(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u'\'') {
        ++i;
    }
    return i < text.size() && startsFormula(text[i]);
}

} // namespace

QString SpreadsheetCell::guarded(const QString& text) {
    return needsGuard(text) ? u'\'' + text : text;
}

QString SpreadsheetCell::unguarded(const QString& cell) {
    if (cell.startsWith(u'\'') && needsGuard(cell)) {
        return cell.mid(1);
    }
    return cell;
}
