#include "i18n/Placeholder.h"

#include <limits>

namespace {
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}
} // namespace

std::optional<int> Placeholder::number(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qsizetype digitsStart = i;
    long long value = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = qMin<long long>(value * 10 + (text[i].unicode() - u'0'), std::numeric_limits<int>::max());
    }
    if (i == digitsStart || i >= n || text[i] != u';') {
        return std::nullopt;
    }
    ++i;
    while (i < n && isBlank(text[i])) {
        ++i;
    }
    if (i >= n) {
        return std::nullopt;
    }
    return static_cast<int>(negative ? -value : value);
}
