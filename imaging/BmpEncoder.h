#pragma once

#include "imaging/ImagingResult.h"

#include <QByteArray>

class Picture;

// Windows bitmaps, uncompressed: indexed at 1, 4 or 8 bits, or 24-bit true colour. libvips
// has no BMP writer of its own and ImageMagick picks the depth by itself, so this is ours.
class BmpEncoder final {
public:
    static bool supportsBits(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24; }
    static ImagingResult encode(const Picture& picture, int bits, QByteArray& out);
};
