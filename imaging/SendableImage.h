#pragma once

#include <QString>

// The limits a picture file must meet before it is sent to a projector.
namespace SendableImage {

inline constexpr qint64 kMaxFileSize = 130816; // 0x1FF00
inline constexpr quint32 kMaxWidth = 1024;
inline constexpr quint32 kMaxHeight = 768;
inline constexpr quint32 kMinWidth = 5;
inline constexpr quint32 kMinHeight = 2;

enum Reason : int {
    Sendable = 0,
    CannotOpen = 1,
    BadFileSize = 2,
    NotQv1 = 3,
    BadPictureSize = 4,
};

} // namespace SendableImage

// Checked in this order, stopping at the first failure: the file opens, the shown picture's
// size (width 5..1024, height 2..768), the file's length (1..130816), the ".qv1" extension
// taken from the last "." of the path, in any letter case.
bool IsSendableImage(const QString& path, quint32 pictureWidth, quint32 pictureHeight, int& reason);
