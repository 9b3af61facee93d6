#pragma once

#include <QByteArray>
#include <QString>

// The picture the history shows for an upload: our own file, at most 160 pixels a side, as
// PNG. Empty when the file cannot be read as a picture.
namespace HistoryThumbnail {
inline constexpr int kSide = 160;
QByteArray make(const QString& path);
// The same from the file's bytes, for an upload sent from memory.
QByteArray makeFromData(const QByteArray& content);
} // namespace HistoryThumbnail
