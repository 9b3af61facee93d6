#include "protocol/ReplyLine.h"

namespace {
constexpr qsizetype kLineBuffer = 255;
}

QByteArray ReplyLine::text(QByteArrayView received) {
    const qsizetype zero = received.indexOf('\0');
    return (zero >= 0 ? received.first(zero) : received).toByteArray();
}

QByteArray GetReplyLine(QByteArrayView reply, int lineNumber) {
    const QByteArray all = ReplyLine::text(reply);
    if (lineNumber < 1) {
        return {};
    }
    qsizetype start = 0;
    for (int n = 1; n < lineNumber; ++n) {
        const qsizetype lf = all.indexOf('\n', start);
        if (lf < 0) {
            return {};
        }
        start = lf + 1;
    }
    qsizetype end = all.indexOf('\n', start);
    if (end < 0) {
        end = all.size();
    }
    QByteArray line;
    for (qsizetype i = start; i < end && line.size() < kLineBuffer; ++i) {
        if (all[i] != '\r') {
            line.append(all[i]);
        }
    }
    return line;
}
