#include "imaging/PictureOps.h"

#include "imaging/ColourQuantiser.h"
#include "imaging/ImagingGuard.h"
#include "imaging/IndexedImage.h"
#include "imaging/PaletteMapper.h"
#include "imaging/Resampler.h"
#include "imaging/RgbBuffer.h"

#include <algorithm>
#include <cstring>

namespace {

using vips::VImage;
using Code = ImagingResult::Code;

constexpr int kKnownResizeFlags = PictureOps::kResizeFavourBlack | PictureOps::kResizeBilinear |
                                  PictureOps::kResizeBicubic | PictureOps::kResizeLanczos;

VImage fromBytes(const std::vector<quint8>& bytes, int width, int height, int bands) {
    VipsImage* raw =
        vips_image_new_from_memory_copy(bytes.data(), bytes.size(), width, height, bands, VIPS_FORMAT_UCHAR);
    if (raw == nullptr) {
        throw vips::VError();
    }
    return VImage(raw).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

std::vector<quint8> toBytes(const VImage& image) {
    size_t size = 0;
    void* mem = image.write_to_memory(&size);
    std::vector<quint8> bytes(static_cast<const quint8*>(mem), static_cast<const quint8*>(mem) + size);
    g_free(mem);
    return bytes;
}

// Pixel replication, or with favourBlack the darkest pixel of each source block. Both only
// copy existing pixels, so an indexed picture stays indexed.
VImage replicate(const VImage& in, int width, int height, bool favourBlack) {
    const int sw = in.width();
    const int sh = in.height();
    const int bands = in.bands();
    const std::vector<quint8> src = toBytes(in);
    std::vector<quint8> dst(static_cast<size_t>(width) * static_cast<size_t>(height) *
                            static_cast<size_t>(bands));
    auto blockStart = [](int i, int source, int target) {
        return static_cast<int>(static_cast<qint64>(i) * source / target);
    };
    for (int y = 0; y < height; ++y) {
        const int y0 = blockStart(y, sh, height);
        const int y1 = favourBlack ? std::max(y0 + 1, blockStart(y + 1, sh, height)) : y0 + 1;
        for (int x = 0; x < width; ++x) {
            const int x0 = blockStart(x, sw, width);
            const int x1 = favourBlack ? std::max(x0 + 1, blockStart(x + 1, sw, width)) : x0 + 1;
            // Plain replication takes the first pixel of the block: a 2:1 shrink keeps every
            // other pixel and an enlargement repeats each one evenly.
            const quint8* best =
                src.data() + (static_cast<size_t>(y0) * static_cast<size_t>(sw) + static_cast<size_t>(x0)) *
                                 static_cast<size_t>(bands);
            int bestLuma = 1 << 30;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    const quint8* p = src.data() + (static_cast<size_t>(sy) * static_cast<size_t>(sw) +
                                                    static_cast<size_t>(sx)) *
                                                       static_cast<size_t>(bands);
                    const int luma = p[0] * 299 + p[1] * 587 + p[2] * 114;
                    if (luma < bestLuma) {
                        bestLuma = luma;
                        best = p;
                    }
                }
            }
            std::memcpy(dst.data() +
                            (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                                static_cast<size_t>(bands),
                        best, static_cast<size_t>(bands));
        }
    }
    return fromBytes(dst, width, height, bands);
}

VipsKernel kernelFor(int flags) {
    if (flags & PictureOps::kResizeLanczos) {
        return VIPS_KERNEL_LANCZOS3;
    }
    if (flags & PictureOps::kResizeBicubic) {
        return VIPS_KERNEL_CUBIC;
    }
    return VIPS_KERNEL_LINEAR;
}

bool validIndexedBits(int bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

ImagingResult targetPalette(const ColourResolution& request, Palette& out) {
    switch (request.palette) {
    case PaletteOption::Optimised:
        return ImagingResult::success(); // made from the pixels later
    case PaletteOption::Fixed:
        out = Palette::fixed(request.bits);
        break;
    case PaletteOption::Uniform:
        out = Palette::uniform(request.bits);
        break;
    case PaletteOption::Web:
        if (request.bits != 8) {
            return ImagingResult::failure(Code::BadArgument, QStringLiteral("the web palette needs 8 bits"));
        }
        out = Palette::web();
        break;
    case PaletteOption::Greyscale:
        out = Palette::greyscale(request.bits);
        break;
    case PaletteOption::User:
        if (request.userPalette.isEmpty() || request.userPalette.size() > (1 << request.bits)) {
            return ImagingResult::failure(Code::BadArgument, QStringLiteral("%1 user colours for %2 bits")
                                                                 .arg(request.userPalette.size())
                                                                 .arg(request.bits));
        }
        out = request.userPalette;
        break;
    }
    return out.isEmpty() ? ImagingResult::failure(Code::BadArgument) : ImagingResult::success();
}

} // namespace

ImagingResult PictureOps::resize(Picture& picture, int width, int height, int flags) {
    if (picture.isNull()) {
        return ImagingResult::failure(Code::NoPicture);
    }
    if (width < 1 || height < 1 || quint64(width) * quint64(height) > Picture::kMaxPixels ||
        (flags & ~kKnownResizeFlags) != 0) {
        return ImagingResult::failure(Code::BadArgument,
                                      QStringLiteral("%1 x %2, flags %3").arg(width).arg(height).arg(flags));
    }
    return guardImaging(Code::EncodeFailed, [&] {
        const VImage& in = picture.pixels();
        if (flags == kResizeNormal || flags == kResizeFavourBlack) {
            const VImage out = replicate(in, width, height, flags == kResizeFavourBlack);
            picture = picture.palette().isEmpty()
                          ? picture.withPixels(out)
                          : picture.withIndexedPixels(out, picture.palette(), picture.bitsPerPixel());
        } else {
            picture =
                picture.withPixels(Resampler::resample(in, width, height, kernelFor(flags)).copy_memory());
        }
        return ImagingResult::success();
    });
}

ImagingResult PictureOps::saturation(Picture& picture, int value) {
    if (picture.isNull()) {
        return ImagingResult::failure(Code::NoPicture);
    }
    if (value < kSaturationMin || value > kSaturationMax) {
        return ImagingResult::failure(Code::BadArgument, QStringLiteral("saturation %1").arg(value));
    }
    if (value == 0) {
        return ImagingResult::success(); // a round trip through LCh could move values by one
    }
    return guardImaging(Code::EncodeFailed, [&] {
        const VImage& in = picture.pixels();
        const bool alpha = in.bands() == 4;
        const VImage rgb = alpha ? in.extract_band(0, VImage::option()->set("n", 3)) : in;
        const double factor = 1.0 + value / 1000.0;
        VImage out = rgb.colourspace(VIPS_INTERPRETATION_LCH)
                         .linear({1.0, factor, 1.0}, {0.0, 0.0, 0.0})
                         .colourspace(VIPS_INTERPRETATION_sRGB)
                         .cast(VIPS_FORMAT_UCHAR);
        if (alpha) {
            out = out.bandjoin(in.extract_band(3));
        }
        picture = picture.withPixels(
            out.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).copy_memory());
        return ImagingResult::success();
    });
}

ImagingResult PictureOps::colourResolution(Picture& picture, const ColourResolution& request) {
    if (picture.isNull()) {
        return ImagingResult::failure(Code::NoPicture);
    }
    if (request.bits == 24) {
        picture = picture.withPixels(picture.pixels());
        return ImagingResult::success();
    }
    if (!validIndexedBits(request.bits)) {
        return ImagingResult::failure(Code::BadArgument, QStringLiteral("%1 bits").arg(request.bits));
    }
    Palette palette;
    if (ImagingResult r = targetPalette(request, palette); !r.ok()) {
        return r;
    }
    RgbBuffer rgb;
    if (ImagingResult r = RgbBuffer::fromPicture(picture, rgb); !r.ok()) {
        return r;
    }
    std::vector<quint8> indices;
    if (request.palette == PaletteOption::Optimised) {
        const int limit = 1 << request.bits;
        const int colours = std::clamp(request.colours > 0 ? request.colours : limit, 2, limit);
        ColourQuantiser quantiser(rgb);
        if (request.dither == DitherOption::Ordered) {
            // libimagequant diffuses errors only; the ordered pattern is ours.
            if (ImagingResult r = quantiser.palette(colours, palette); !r.ok()) {
                return r;
            }
            indices = PaletteMapper(palette).map(rgb, DitherOption::Ordered);
        } else {
            const float level = request.dither == DitherOption::FloydSteinberg ? 1.0f : 0.0f;
            if (ImagingResult r = quantiser.quantise(colours, level, palette, indices); !r.ok()) {
                return r;
            }
        }
    } else {
        indices = PaletteMapper(palette).map(rgb, request.dither);
    }
    const IndexedImage indexed(rgb.width(), rgb.height(), palette, std::move(indices));
    VImage shown;
    if (ImagingResult r = indexed.toRgb().toImage(shown); !r.ok()) {
        return r;
    }
    picture = picture.withIndexedPixels(shown, palette, request.bits);
    return ImagingResult::success();
}

ImagingResult PictureOps::trim(Picture& picture, const QRect& region) {
    if (picture.isNull()) {
        return ImagingResult::failure(Code::NoPicture);
    }
    const QRect area = region.normalized() & QRect(0, 0, picture.width(), picture.height());
    if (area.isEmpty()) {
        return ImagingResult::failure(Code::BadArgument, QStringLiteral("region outside the picture"));
    }
    return guardImaging(Code::EncodeFailed, [&] {
        const VImage out =
            picture.pixels().extract_area(area.x(), area.y(), area.width(), area.height()).copy_memory();
        picture = picture.palette().isEmpty()
                      ? picture.withPixels(out)
                      : picture.withIndexedPixels(out, picture.palette(), picture.bitsPerPixel());
        return ImagingResult::success();
    });
}
