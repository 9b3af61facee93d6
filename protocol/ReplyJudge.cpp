#include "protocol/ReplyJudge.h"

#include "i18n/CatalogIds.h"
#include "protocol/ReplyLine.h"

namespace {

constexpr qsizetype kBodyStart = 8; // "INFO 0" / "STAT 0" and their line end

QByteArray bodyOf(const QByteArray& text) {
    return text.size() > kBodyStart ? text.mid(kBodyStart) : QByteArray();
}

} // namespace

bool ReplyJudge::isComplete(CommandKind kind, QByteArrayView received) {
    if (received.size() >= kReplyBuffer || received.contains('\0')) {
        return true;
    }
    const QByteArray text = received.toByteArray();
    if (!text.contains('\n')) {
        return false;
    }
    switch (kind) {
    case CommandKind::Put:
    case CommandKind::Cancel:
        return true;
    case CommandKind::Info:
        // A success carries two body lines behind the first eight bytes.
        return GetReplyLine(text, 1) != "INFO 0" || bodyOf(text).count('\n') >= 2;
    case CommandKind::Stat:
        // The state digit stands on line 3.
        return GetReplyLine(text, 1) != "STAT 0" || text.count('\n') >= 3;
    }
    return true;
}

int ReplyJudge::judgePut(QByteArrayView reply) {
    const QByteArray text = ReplyLine::text(reply);
    if (text == "PUT 0\r\n") {
        return 0;
    }
    if (text == "PUT 1\r\n") {
        return -10;
    }
    if (text == "PUT 2\r\n") {
        return -11;
    }
    if (text == "PUT 3\r\n") {
        return -12;
    }
    if (text == "PUT 9\r\n") {
        return -13;
    }
    return -14;
}

ReplyJudge::CancelVerdict ReplyJudge::judgeCancel(QByteArrayView reply) {
    const QByteArray text = ReplyLine::text(reply);
    if (text == "CANCEL 0\r\n") {
        return {0, msg::CancelSucceeded};
    }
    if (text == "CANCEL 1\r\n") {
        return {-1, msg::CommandRejected};
    }
    if (text == "CANCEL 2\r\n") {
        return {-1, msg::CancelRefused};
    }
    if (text == "CANCEL 3\r\n") {
        return {-1, msg::ProjectorBusy};
    }
    if (text == "CANCEL 8\r\n") {
        return {-1, msg::ReplyTimeout};
    }
    return {-1, msg::ReplyNotUnderstood};
}

ReplyJudge::InfoVerdict ReplyJudge::judgeInfo(QByteArrayView reply) {
    const QByteArray text = ReplyLine::text(reply);
    const QByteArray line = GetReplyLine(text, 1);
    InfoVerdict v;
    if (line != "INFO 0") {
        if (line == "INFO 1") {
            v.text = msg::CommandRejected;
        } else if (line == "INFO 2") {
            v.text = msg::StoreInfoUnreadable;
        } else if (line == "INFO 3") {
            v.text = msg::ProjectorBusy;
        } else if (line == "INFO 8") {
            v.text = msg::ReplyTimeout;
        } else if (line == "INFO 9") {
            v.text = msg::AccessDenied;
        } else {
            v.text = msg::ReplyNotUnderstood;
        }
        return v;
    }
    v.body = bodyOf(text);
    if (v.body == "File-Name:EMPTY\r\nFile-Length:0\r\n") {
        v.kind = InfoVerdict::Kind::Empty;
        v.text = msg::StoreEmpty;
        return v;
    }
    v.kind = InfoVerdict::Kind::Image;
    // The positions decide, not the key words: the name runs from character 10 to the
    // first carriage return, the length from 12 characters behind the line break to the next.
    constexpr qsizetype kNameKey = 10;   // "File-Name:"
    constexpr qsizetype kLengthKey = 12; // "File-Length:"
    const qsizetype cr1 = v.body.indexOf('\r');
    if (cr1 < kNameKey) {
        return v;
    }
    const qsizetype lengthStart = cr1 + 2 + kLengthKey;
    const qsizetype cr2 = v.body.indexOf('\r', lengthStart);
    if (cr2 < 0) {
        return v;
    }
    v.fileName = v.body.mid(kNameKey, cr1 - kNameKey);
    v.lengthText = v.body.mid(lengthStart, cr2 - lengthStart);
    return v;
}

ReplyJudge::StatVerdict ReplyJudge::judgeStat(QByteArrayView reply) {
    const QByteArray text = ReplyLine::text(reply);
    const QByteArray line = GetReplyLine(text, 1);
    StatVerdict v;
    if (line != "STAT 0") {
        v.text = line == "STAT 1"   ? msg::StateUnavailable
                 : line == "STAT 9" ? msg::AccessDenied
                                    : msg::ReplyNotUnderstood;
        return v;
    }
    v.ok = true;
    v.body = bodyOf(text);
    const QByteArray third = GetReplyLine(text, 3);
    if (third.size() >= 8) {
        static constexpr CatalogId kStates[] = {msg::TransStateIdle,      msg::TransStateWaiting,
                                                msg::TransStateReceiving, msg::TransStateStoring,
                                                msg::TransStateCompleted, msg::TransStateFailed};
        const char digit = third[7];
        if (digit >= '0' && digit <= '5') {
            v.state = kStates[digit - '0'];
        }
    }
    return v;
}
