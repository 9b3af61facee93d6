#include "protocol/RunReport.h"

#include "i18n/CatalogLookup.h"

QString RunReport::message() const {
    QString m = body;
    if (text) {
        m += CatalogText(*text, inserts);
    }
    return m;
}

RunReport RunReport::silent(int result) {
    RunReport r;
    r.result = result;
    return r;
}

RunReport RunReport::shown(int result, MessageIcon icon, CatalogId text) {
    RunReport r;
    r.result = result;
    r.showsMessage = true;
    r.icon = icon;
    r.text = text;
    return r;
}

QString ReplyBodyText(const QByteArray& body) {
    constexpr qsizetype kMessageChars = 255;
    QString s = QString::fromUtf8(body);
    if (s.size() > kMessageChars) {
        qsizetype cut = kMessageChars;
        if (s[cut - 1].isHighSurrogate()) {
            --cut;
        }
        s.truncate(cut);
    }
    return s;
}
