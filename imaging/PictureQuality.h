#pragma once

#include "imaging/RgbBuffer.h"

// Peak signal-to-noise ratio in dB over the R, G and B samples, peak 255; infinity for
// identical pictures and NaN when the sizes differ.
class PictureQuality final {
public:
    static double psnr(const RgbBuffer& reference, const RgbBuffer& test);
    static double psnrFromSquaredError(double sumSquaredError, quint64 samples);
};
