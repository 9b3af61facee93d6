#include "i18n/MessageFormat.h"

QString MessageFormat::format(const QString& stored, const QStringList& inserts) {
    QString out;
    out.reserve(stored.size());
    const qsizetype n = stored.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = stored.at(i);
        if (c != u'%' || i + 1 >= n) {
            out.append(c);
            continue;
        }
        const QChar next = stored.at(i + 1);
        if (next == u'0') {
            return out;
        }
        if (next.isDigit() && next.unicode() < 128) {
            int index = next.digitValue();
            qsizetype j = i + 2;
            if (j < n && stored.at(j).isDigit() && stored.at(j).unicode() < 128) {
                index = index * 10 + stored.at(j).digitValue();
                ++j;
            }
            if (j < n && stored.at(j) == u'!') {
                const qsizetype close = stored.indexOf(u'!', j + 1);
                if (close > j) {
                    j = close + 1;
                }
            }
            if (index >= 1 && index <= inserts.size()) {
                out.append(inserts.at(index - 1));
            }
            i = j - 1;
            continue;
        }
        switch (next.unicode()) {
        case u'n':
            out.append(u'\n');
            break;
        case u't':
            out.append(u'\t');
            break;
        case u'r':
            out.append(u'\r');
            break;
        case u'%':
            out.append(u'%');
            break;
        default:
            // Unknown escapes print the character itself, as %. and %! do.
            out.append(next);
            break;
        }
        ++i;
    }
    return out;
}
