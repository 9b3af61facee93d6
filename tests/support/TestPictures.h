#pragma once

#include "imaging/Picture.h"
#include "imaging/VipsRuntime.h"

#include <QString>

#include <algorithm>

#include <vips/vips8>

// Pictures made on the spot, so tests need no image files of their own.
namespace TestPictures {

// A smooth colour gradient: compresses well.
inline vips::VImage gradient(int width, int height) {
    VipsRuntime::ensure();
    vips::VImage xy = vips::VImage::xyz(width, height);
    vips::VImage x = xy.extract_band(0) * (255.0 / std::max(1, width - 1));
    vips::VImage y = xy.extract_band(1) * (255.0 / std::max(1, height - 1));
    return x.bandjoin(y)
        .bandjoin((x + y) / 2)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Noise in every channel: a GIF of it is large.
inline vips::VImage noise(int width, int height) {
    VipsRuntime::ensure();
    vips::VImage n = vips::VImage::gaussnoise(width, height,
                                              vips::VImage::option()->set("sigma", 80.0)->set("mean", 128.0));
    vips::VImage m = vips::VImage::gaussnoise(width, height,
                                              vips::VImage::option()->set("sigma", 80.0)->set("mean", 100.0));
    vips::VImage o = vips::VImage::gaussnoise(width, height,
                                              vips::VImage::option()->set("sigma", 80.0)->set("mean", 160.0));
    return n.bandjoin(m)
        .bandjoin(o)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

inline Picture picture(const vips::VImage& image) {
    return Picture(image.copy_memory());
}

inline void writePng(const vips::VImage& image, const QString& path) {
    image.pngsave(path.toUtf8().constData());
}

} // namespace TestPictures
