#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/Palette.h"

#include <QByteArray>

#include <vector>

// Writes one indexed frame as a GIF file in memory through giflib. The global colour table
// always has 2^bits entries (unused ones black), so an 8-bit picture gets a 256-entry table
// and LZW minimum code size 8 whatever number of colours it uses.
class GifWriter final {
public:
    // maxBytes > 0 stops the encoding as soon as the file grows past it, with DoesNotFit.
    static ImagingResult write(int width, int height, const std::vector<quint8>& indices,
                               const Palette& palette, int bits, QByteArray& out, qint64 maxBytes = 0);
};
