#pragma once

#include <QSize>

#include <vips/vips8>

// Resampling shared by the resize command, the fit and the loader's decode-to-fit.
class Resampler final {
public:
    // The largest size within the box that keeps the aspect ratio, rounded to whole pixels,
    // never larger than the picture itself.
    static QSize fittedSize(int width, int height, int boxWidth, int boxHeight);

    // in resampled to exactly width x height with kernel over the whole factor (no box
    // pre-shrink, which softens detail that a full kernel keeps), alpha premultiplied so
    // transparent pixels do not bleed. in is uchar with 3 or 4 bands; so is the result.
    // Lanczos-3 is computed here in floating point: libvips's fixed-point kernel lands up to
    // a level off on fine text and edges, which a fit then spends bytes on.
    // Throws vips::VError or std::bad_alloc; callers guard.
    static vips::VImage resample(const vips::VImage& in, int width, int height, VipsKernel kernel);
};
