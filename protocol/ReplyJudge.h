#pragma once

#include "i18n/CatalogId.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

enum class CommandKind { Put, Info, Stat, Cancel };

// Pure judgement of the bytes a projector sent back. Nothing here touches a socket.
namespace ReplyJudge {

inline constexpr qsizetype kReplyBuffer = 1024;

// Whether the bytes read so far hold the whole reply the command waits for: the line end
// for PUT and CANCEL; the first line for INFO and STAT, and after a success line the body
// lines that the success carries. A zero byte ends the text, a full buffer ends the read.
bool isComplete(CommandKind kind, QByteArrayView received);

// PUT: exactly one of five texts, nothing more: 0, -10, -11, -12, -13, else -14.
int judgePut(QByteArrayView reply);

struct CancelVerdict final {
    int result = -1;
    CatalogId text;
};
CancelVerdict judgeCancel(QByteArrayView reply);

struct InfoVerdict final {
    enum class Kind { Empty, Image, Failed };
    Kind kind = Kind::Failed;
    CatalogId text;  // the failure text (Failed) or the empty-store text (Empty)
    QByteArray body; // after "INFO 0": the reply from its ninth byte on
    // Image: what the two body lines carry; absent when the body lacks the carriage
    // returns that end them.
    std::optional<QByteArray> fileName;
    std::optional<QByteArray> lengthText;
};
InfoVerdict judgeInfo(QByteArrayView reply);

struct StatVerdict final {
    bool ok = false;
    CatalogId text;                 // failure text when !ok
    QByteArray body;                // after "STAT 0"
    std::optional<CatalogId> state; // the state digit's text; none for an unknown digit
};
StatVerdict judgeStat(QByteArrayView reply);

} // namespace ReplyJudge
