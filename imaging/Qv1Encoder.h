#pragma once

#include "imaging/ImagingResult.h"
#include "imaging/Picture.h"

#include <QByteArray>

// The projector picture: a standard 8-bit GIF with a 256-entry global colour table and LZW
// minimum code size 8, one frame, no extensions. A picture that is already indexed keeps its
// palette; a true-colour one gets an optimised 256-colour palette with error diffusion.
class Qv1Encoder final {
public:
    struct Encoding {
        QByteArray bytes;
        // What a projector shows: the colour-reduced picture, as if the file were read back.
        Picture shown;
    };

    static ImagingResult encode(const Picture& picture, Encoding& out);
    // The status bar's size figure: the length of that same encoding, made in memory.
    static ImagingResult encodedSize(const Picture& picture, qint64& bytes);
};
