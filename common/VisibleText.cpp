#include "common/VisibleText.h"

#include <QStringView>

bool VisibleText::isInvisible(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0xFEFF;
}

QString VisibleText::shown(const QString& text, Layout layout) {
    if (!containsInvisible(text)) {
        return text;
    }
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool keep = layout == Layout::Keep && (u == u'\r' || u == u'\n' || u == u'\t');
        if (!keep && isInvisible(u)) {
            static constexpr char16_t kHex[] = u"0123456789ABCDEF";
            out += u"\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += QChar(kHex[(u >> shift) & 0xF]);
            }
        } else {
            out += c;
        }
    }
    return out;
}

QString VisibleText::toolTip(const QString& text) {
    // Without a '<' a tooltip is plain text already.
    if (!text.contains(u'<') && !containsInvisible(text)) {
        return text;
    }
    // Line breaks stay: a tooltip may explain over several lines, and pre-wrap shows them.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + shown(text, Layout::Keep).toHtmlEscaped() +
           QStringLiteral("</p>");
}

bool VisibleText::containsInvisible(const QString& text) {
    for (const QChar c : text) {
        if (isInvisible(c.unicode())) {
            return true;
        }
    }
    return false;
}

QString VisibleText::withoutInvisible(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!isInvisible(c.unicode())) {
            out += c;
        }
    }
    return out;
}
