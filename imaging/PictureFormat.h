#pragma once

#include <QString>

// The file format a picture came from, so that Save can write the same one back.
enum class PictureFormat {
    Unknown,
    Gif,
    Bmp,
    Png,
    Jpeg,
    Tiff,
    WebP,
    Heif,
    Jpeg2000,
    JpegXl,
    Pnm,
    Other, // read by the ImageMagick loader; its format name travels with the picture
};

namespace PictureFormats {

// From the loader libvips reports ("pngload") and, for ImageMagick, its format name ("BMP3").
PictureFormat fromLoader(const QString& loader, const QString& magickFormat);

// From a file name's extension, for the command line and file dialogs; Unknown if none fits.
PictureFormat fromFileName(const QString& path);

// "PNG", "GIF", ... for messages.
QString name(PictureFormat format);

} // namespace PictureFormats
