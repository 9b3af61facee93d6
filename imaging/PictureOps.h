#pragma once

#include "imaging/ColourResolution.h"
#include "imaging/ImagingResult.h"
#include "imaging/Picture.h"

#include <QRect>

// The editing operations. Each changes picture only when it succeeds, so a failed edit
// leaves the picture (and the undo copy taken before it) as it was.
class PictureOps final {
public:
    // Resize flags choose the resampling kernel; 0 replicates pixels.
    static constexpr int kResizeNormal = 0x0;
    // When shrinking, each output pixel takes the darkest pixel of its block, so thin dark
    // lines of drawings survive.
    static constexpr int kResizeFavourBlack = 0x1;
    static constexpr int kResizeBilinear = 0x2;
    static constexpr int kResizeBicubic = 0x4;
    static constexpr int kResizeLanczos = 0x8;

    static ImagingResult resize(Picture& picture, int width, int height, int flags);

    // value from -1000 (grey) through 0 (unchanged) to 1000 (chroma doubled), in tenths of a
    // percent of the present saturation.
    static constexpr int kSaturationMin = -1000;
    static constexpr int kSaturationMax = 1000;
    static ImagingResult saturation(Picture& picture, int value);

    static ImagingResult colourResolution(Picture& picture, const ColourResolution& request);

    // region in picture coordinates; the part outside the picture is ignored.
    static ImagingResult trim(Picture& picture, const QRect& region);
};
