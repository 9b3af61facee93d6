#include "workspace/Resampler.h"

#include <algorithm>
#include <cmath>

QSize Resampler::fittedSize(int width, int height, int boxWidth, int boxHeight) {
    const double s = std::min({1.0, static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height});
    if (s >= 1.0) {
        return {width, height};
    }
    return {std::clamp(static_cast<int>(std::lround(width * s)), 1, boxWidth),
            std::clamp(static_cast<int>(std::lround(height * s)), 1, boxHeight)};
}

vips::VImage Resampler::resample(const vips::VImage& in, int width, int height, VipsKernel kernel) {
    using vips::VImage;
    const bool alpha = in.bands() == 4;
    VImage work = alpha ? in.premultiply() : in;
    work = work.resize(static_cast<double>(width) / in.width(), VImage::option()
                                                                   ->set("vscale", static_cast<double>(height) / in.height())
                                                                   ->set("kernel", kernel)
                                                                   ->set("gap", 0.0));
    if (alpha) {
        work = work.unpremultiply();
    }
    if (work.width() != width || work.height() != height) {
        // Rounding in libvips can leave a pixel more or less.
        work = work.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
    }
    return work.cast(VIPS_FORMAT_UCHAR).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}
