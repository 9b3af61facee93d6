#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The text of a reply and its lines.
namespace ReplyLine {

// The bytes up to the first zero byte, as a zero-terminated reply buffer reads.
QByteArray text(QByteArrayView received);

} // namespace ReplyLine

// Line n (from 1) of the reply text: lines end at a line feed, which is not part of the
// line, and carriage returns inside the line are dropped. A line beyond the last is empty.
// At most 255 bytes come back, what the callers' line buffers hold.
QByteArray GetReplyLine(QByteArrayView reply, int lineNumber);
