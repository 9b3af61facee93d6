// Any bytes a projector may send back, through every reply judgement.
#include "protocol/ReplyJudge.h"
#include "protocol/ReplyLine.h"

#include <cstddef>
#include <cstdint>

namespace {
void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const int put = ReplyJudge::judgePut(reply);
    require(put == 0 || (put <= -10 && put >= -14));
    require((put == 0) == (ReplyLine::text(reply) == "PUT 0\r\n"));

    const auto cancel = ReplyJudge::judgeCancel(reply);
    require(cancel.result == 0 || cancel.result == -1);

    const auto info = ReplyJudge::judgeInfo(reply);
    require(info.fileName.has_value() == info.lengthText.has_value());
    if (info.kind == ReplyJudge::InfoVerdict::Kind::Empty) {
        require(info.body == "File-Name:EMPTY\r\nFile-Length:0\r\n");
    }

    const auto stat = ReplyJudge::judgeStat(reply);
    require(!stat.ok || GetReplyLine(reply, 1) == "STAT 0");

    for (int line = 0; line <= 4; ++line) {
        const QByteArray l = GetReplyLine(reply, line);
        require(l.size() <= 255 && !l.contains('\n') && !l.contains('\r'));
    }
    // Once complete, a reply stays complete as more bytes arrive.
    bool completeBefore[4] = {};
    for (qsizetype n = 0; n <= reply.size() && n <= 1100; ++n) {
        const QByteArrayView part = reply.first(n);
        const CommandKind kinds[] = {CommandKind::Put, CommandKind::Info, CommandKind::Stat,
                                     CommandKind::Cancel};
        for (int k = 0; k < 4; ++k) {
            const bool complete = ReplyJudge::isComplete(kinds[k], part);
            require(!completeBefore[k] || complete);
            completeBefore[k] = complete;
        }
    }
    return 0;
}
