#pragma once

#include "imaging/Palette.h"
#include "imaging/RgbBuffer.h"

#include <vector>

// Runs the greedy LZW coding that giflib applies to an 8-bit frame (codes start at 9 bits, the
// dictionary is cleared when it reaches 4095 entries, strings run on across rows), without
// writing anything, to tell the exact file size GifWriter would produce. With a tolerance it
// is also lossy: where the string so far has a continuation whose colour is within tolerance
// of the true pixel, it may take that continuation instead of starting a new code, so giflib
// later meets exactly the longer strings this pass built.
class LossyLzw final {
public:
    struct Outcome {
        qint64 fileBytes = 0;    // length of the whole GIF file GifWriter writes at 8 bits
        double squaredError = 0; // against reference, summed over the R, G and B samples
        bool complete = true;    // false when the run stopped at the byte limit
        qint64 pixelsCoded = 0;  // how far it got

        // The whole file's length, extrapolated when the run stopped early.
        [[nodiscard]] double estimatedFileBytes(qint64 pixels) const {
            return complete || pixelsCoded <= 0 ? double(fileBytes)
                                                : double(fileBytes) * double(pixels) / double(pixelsCoded);
        }
    };

    // tolerance: how much worse, per channel, a pixel may get than its own index (fractions
    // allow a finer trade of size against error); 0 leaves the indices unchanged and only
    // measures. maxFileBytes > 0 stops the run as soon as the
    // file is known to exceed it; the outcome then counts only what was coded so far.
    // How a string is lengthened within the tolerance.
    enum class Strategy {
        NearestPath,  // pixel by pixel, the continuation nearest the true colour
        LongestMatch, // the longest string in the dictionary whose every pixel is within it
    };

    // lowerTolerance, when not negative, takes over from the pixel lowerFrom on: between two
    // neighbouring tolerances the file size can jump by several per cent, and coding part of
    // the picture at each lands anywhere in between.
    static Outcome run(const RgbBuffer& reference, const Palette& palette, std::vector<quint8>& indices,
                       double tolerance, qint64 maxFileBytes = 0, Strategy strategy = Strategy::NearestPath,
                       double lowerTolerance = -1, qint64 lowerFrom = 0);

    // Bytes of an 8-bit GifWriter file around LZW data of codeBits bits.
    static qint64 fileBytesFor(quint64 codeBits);
};
