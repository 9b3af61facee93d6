#pragma once

#include "imaging/Picture.h"

#include <QByteArray>
#include <QString>

#include <vips/vips8>

// Pictures made in the test, so no binary fixtures are needed.
namespace TestImages {

// Red across, green down, blue constant: smooth, every row different.
vips::VImage gradient(int width, int height);
// Like a photograph: smooth colour regions, edges, and sensor-like noise that compresses
// badly. The same seed gives the same picture.
vips::VImage photo(int width, int height, int seed = 1, double noise = 6.0);
// One colour everywhere.
vips::VImage solid(int width, int height, double r, double g, double b);

Picture picture(const vips::VImage& image);
// The image in a file format by suffix (".png", ".jpg", ".gif", ".tif", ".webp").
QByteArray encode(const vips::VImage& image, const char* suffix);
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A well-formed PNG whose header claims width x height RGB pixels, with a few bytes of data.
QByteArray pngClaiming(quint32 width, quint32 height);
// A GIF whose LZW data has been overwritten with codes that cannot occur.
QByteArray gifWithBrokenLzw();

// The fields of a GIF file's first frame, as a projector's decoder reads them.
struct GifLayout {
    bool valid = false;
    QByteArray signature; // "GIF87a" or "GIF89a"
    int width = 0;
    int height = 0;
    bool globalTable = false;
    int globalTableEntries = 0;
    bool localTable = false;
    int localTableEntries = 0;
    int lzwMinimumCodeSize = 0;
    int frames = 0;
    bool trailer = false;
};
GifLayout parseGif(const QByteArray& bytes);

} // namespace TestImages
