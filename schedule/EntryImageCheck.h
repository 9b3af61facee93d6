#pragma once

#include <QString>
#include <QtGlobal>

// The check a file passes before it becomes a schedule entry: the limits of a sendable file,
// with the picture size taken from the file itself, not from whatever picture is shown.
namespace EntryImageCheck {

struct HeaderSize final {
    quint32 width = 0;
    quint32 height = 0;
};

// The logical screen size of a GIF file ("GIF87a"/"GIF89a", then width and height as 16-bit
// little-endian numbers); 0 by 0 when the file cannot be read or is no GIF.
HeaderSize gifHeaderSize(const QString& path);
HeaderSize gifHeaderSize(const QByteArray& leadingBytes);

// IsSendableImage on the file with its own picture size; the reason codes are the same. A
// file with no GIF header gets the open, length and extension checks first, then reason 4.
bool isSchedulable(const QString& path, int& reason);

} // namespace EntryImageCheck
