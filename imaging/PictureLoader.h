#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/Picture.h"

#include <QByteArray>
#include <QString>

// Reads pictures through libvips and, for what it has no loader of its own for (BMP, TGA,
// PCX, ...), its ImageMagick loader. The header is read first and a picture above the pixel
// limit is refused before any pixel is decoded; corrupt or truncated data is an error, not
// a grey picture. The content decides the format, not the file name.
class PictureLoader final {
public:
    static ImagingResult load(const QString& path, Picture& out, quint64 maxPixels = Picture::kMaxPixels);
    static ImagingResult loadFromMemory(const QByteArray& data, Picture& out,
                                        quint64 maxPixels = Picture::kMaxPixels);
    // Decodes straight to a size that fits boxWidth x boxHeight, keeping the aspect ratio and
    // never enlarging. JPEG and WebP shrink while decoding, so a large photo never exists in
    // memory at full size.
    static ImagingResult loadToFit(const QString& path, int boxWidth, int boxHeight, Picture& out,
                                   quint64 maxPixels = Picture::kMaxPixels);
};
