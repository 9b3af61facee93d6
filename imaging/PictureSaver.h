#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/Picture.h"
#include "imaging/PictureFormat.h"

#include <QByteArray>
#include <QString>

// Writes pictures in a chosen format and bit depth. Every file is encoded in memory first
// and then written through a temporary file and a rename, so a failure at any step leaves
// the file that was there before.
class PictureSaver final {
public:
    // Whether format can be written at bits (1, 2, 4, 8 indexed or grey; 24; 32 with alpha).
    static bool canWrite(PictureFormat format, int bits);
    // The depth Save uses for a picture that was loaded at loadedBits: the nearest one the
    // format can be written at, or 0 when the format cannot be written at all.
    static int saveBitsFor(PictureFormat format, int loadedBits, bool hasAlpha);

    static ImagingResult encode(const Picture& picture, PictureFormat format, int bits, QByteArray& out);
    static ImagingResult save(const Picture& picture, const QString& path, PictureFormat format, int bits);
    // Save: the format and bit depth of the file as it was loaded.
    static ImagingResult saveAsLoaded(const Picture& picture, const QString& path);
    // The whole of data to path, atomically.
    static ImagingResult writeFile(const QString& path, const QByteArray& data);
};
