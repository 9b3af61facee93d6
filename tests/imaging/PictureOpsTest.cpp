#include "imaging/PictureOps.h"
#include "imaging/RgbBuffer.h"
#include "support/TestImages.h"

#include <QSet>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Code = ImagingResult::Code;

RgbBuffer rgbOf(const Picture& p) {
    RgbBuffer rgb;
    EXPECT_TRUE(RgbBuffer::fromPicture(p, rgb).ok());
    return rgb;
}

QSet<quint32> coloursOf(const Picture& p) {
    const RgbBuffer rgb = rgbOf(p);
    QSet<quint32> set;
    for (size_t i = 0; i < rgb.byteSize(); i += 3) {
        set.insert((quint32{rgb.data()[i]} << 16) | (quint32{rgb.data()[i + 1]} << 8) | rgb.data()[i + 2]);
    }
    return set;
}

QSet<quint32> coloursOf(const Palette& palette) {
    QSet<quint32> set;
    for (const PaletteColour& c : palette.colours()) {
        set.insert((quint32{c.r} << 16) | (quint32{c.g} << 8) | c.b);
    }
    return set;
}

// Mean chroma: how far the channels spread around their mean.
double chroma(const Picture& p) {
    const RgbBuffer rgb = rgbOf(p);
    double sum = 0;
    for (size_t i = 0; i < rgb.byteSize(); i += 3) {
        const quint8* q = rgb.data() + i;
        sum += std::max({q[0], q[1], q[2]}) - std::min({q[0], q[1], q[2]});
    }
    return sum / static_cast<double>(rgb.byteSize() / 3);
}

// Mean absolute difference of the two pictures after a box blur: what an eye at a distance
// sees of them. Dithering exists to make this small.
double blurredError(const Picture& a, const Picture& b) {
    const vips::VImage ba = a.pixels().extract_band(0, vips::VImage::option()->set("n", 3)).gaussblur(2.0);
    const vips::VImage bb = b.pixels().extract_band(0, vips::VImage::option()->set("n", 3)).gaussblur(2.0);
    return (ba.cast(VIPS_FORMAT_FLOAT) - bb.cast(VIPS_FORMAT_FLOAT)).abs().avg();
}

} // namespace

TEST(PictureOps, EveryOperationNeedsAPicture) {
    Picture none;
    EXPECT_EQ(PictureOps::resize(none, 10, 10, 0).code, Code::NoPicture);
    EXPECT_EQ(PictureOps::saturation(none, 10).code, Code::NoPicture);
    EXPECT_EQ(PictureOps::colourResolution(none, {}).code, Code::NoPicture);
    EXPECT_EQ(PictureOps::trim(none, QRect(0, 0, 1, 1)).code, Code::NoPicture);
}

TEST(PictureOps, ResizeHitsTheSizeWithEveryKernel) {
    const Picture source = TestImages::picture(TestImages::gradient(101, 67));
    for (const int flags :
         {PictureOps::kResizeNormal, PictureOps::kResizeFavourBlack, PictureOps::kResizeBilinear,
          PictureOps::kResizeBicubic, PictureOps::kResizeLanczos}) {
        for (const QSize size : {QSize(50, 33), QSize(203, 140), QSize(1, 1), QSize(37, 90)}) {
            SCOPED_TRACE(testing::Message()
                         << "flags " << flags << " " << size.width() << "x" << size.height());
            Picture p = source;
            ASSERT_TRUE(PictureOps::resize(p, size.width(), size.height(), flags).ok());
            EXPECT_EQ(p.width(), size.width());
            EXPECT_EQ(p.height(), size.height());
            if (size.width() > 1) {
                // A ramp stays a ramp: its mean survives whatever the kernel.
                EXPECT_NEAR(p.pixels().extract_band(0).avg(), 127.5, 8.0);
            }
        }
    }
    EXPECT_EQ(source.width(), 101) << "the source is untouched";
}

TEST(PictureOps, PixelReplicationCopiesPixelsExactly) {
    Picture p = TestImages::picture(TestImages::gradient(4, 4));
    const RgbBuffer before = rgbOf(p);
    ASSERT_TRUE(PictureOps::resize(p, 8, 12, PictureOps::kResizeNormal).ok());
    const RgbBuffer after = rgbOf(p);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 8; ++x) {
            const quint8* a = after.pixel(x, y);
            const quint8* b = before.pixel(x / 2, y / 3);
            ASSERT_TRUE(a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) << x << "," << y;
        }
    }
}

TEST(PictureOps, KernelsDiffer) {
    // A checkerboard of one-pixel cells halved: replication keeps pure black and white,
    // a filtering kernel averages them to grey.
    const vips::VImage xy = vips::VImage::xyz(64, 64);
    const vips::VImage board = ((xy.extract_band(0) + xy.extract_band(1)) % 2) * 255;
    const Picture source =
        TestImages::picture(vips::VImage::bandjoin(std::vector<vips::VImage>{board, board, board}));
    Picture nearest = source;
    Picture linear = source;
    ASSERT_TRUE(PictureOps::resize(nearest, 31, 31, PictureOps::kResizeNormal).ok());
    ASSERT_TRUE(PictureOps::resize(linear, 31, 31, PictureOps::kResizeBilinear).ok());
    EXPECT_EQ(coloursOf(nearest).size(), 2);
    EXPECT_GT(linear.pixels().extract_band(0).deviate(), 0.0);
    EXPECT_LT(linear.pixels().extract_band(0).deviate(), nearest.pixels().extract_band(0).deviate() / 2);
}

TEST(PictureOps, FavourBlackKeepsThinDarkLines) {
    // White with a one-pixel black line every 8 columns; shrunk 8:1 replication may miss
    // every line, favour-black keeps each one.
    const vips::VImage xy = vips::VImage::xyz(64, 16);
    const vips::VImage lines = ((xy.extract_band(0) % 8) == 3).ifthenelse(0.0, 255.0);
    const Picture source =
        TestImages::picture(vips::VImage::bandjoin(std::vector<vips::VImage>{lines, lines, lines}));
    Picture black = source;
    Picture plain = source;
    ASSERT_TRUE(PictureOps::resize(black, 8, 2, PictureOps::kResizeFavourBlack).ok());
    ASSERT_TRUE(PictureOps::resize(plain, 8, 2, PictureOps::kResizeNormal).ok());
    EXPECT_EQ(black.pixels().max(), 0.0);
    EXPECT_EQ(plain.pixels().min(), 255.0);
}

TEST(PictureOps, ResizeRefusesNonsense) {
    Picture p = TestImages::picture(TestImages::gradient(10, 10));
    EXPECT_EQ(PictureOps::resize(p, 0, 10, 0).code, Code::BadArgument);
    EXPECT_EQ(PictureOps::resize(p, 10, -1, 0).code, Code::BadArgument);
    EXPECT_EQ(PictureOps::resize(p, 20000, 20000, 0).code, Code::BadArgument) << "above the pixel limit";
    EXPECT_EQ(PictureOps::resize(p, 10, 10, 0x100).code, Code::BadArgument);
    EXPECT_EQ(p.width(), 10);
}

TEST(PictureOps, ResizeKeepsAlphaClean) {
    // Transparent black next to opaque white: premultiplied resampling gives no dark fringe.
    const vips::VImage xy = vips::VImage::xyz(40, 10);
    const vips::VImage right = xy.extract_band(0) >= 20;
    const vips::VImage opaque = right.ifthenelse(255.0, 0.0);
    const vips::VImage rgb =
        right.ifthenelse(std::vector<double>{255, 255, 255}, std::vector<double>{0, 0, 0});
    Picture p = TestImages::picture(rgb.bandjoin(opaque));
    ASSERT_TRUE(p.hasAlpha());
    ASSERT_TRUE(PictureOps::resize(p, 15, 4, PictureOps::kResizeLanczos).ok());
    ASSERT_TRUE(p.hasAlpha());
    EXPECT_EQ(p.bitsPerPixel(), 32);
    // Wherever a pixel is mostly opaque, its colour is white.
    const vips::VImage mostlyOpaque = p.pixels().extract_band(3) > 128;
    const vips::VImage red = p.pixels().extract_band(0);
    EXPECT_GE(mostlyOpaque.ifthenelse(red, 255.0).min(), 250.0);
}

TEST(PictureOps, SaturationBySignedValue) {
    const Picture source = TestImages::picture(TestImages::photo(80, 60));
    Picture grey = source;
    ASSERT_TRUE(PictureOps::saturation(grey, -1000).ok());
    EXPECT_LT(chroma(grey), 2.0);
    Picture more = source;
    ASSERT_TRUE(PictureOps::saturation(more, 500).ok());
    EXPECT_GT(chroma(more), chroma(source) * 1.2);
    Picture less = source;
    ASSERT_TRUE(PictureOps::saturation(less, -500).ok());
    EXPECT_LT(chroma(less), chroma(source) * 0.8);
    // Lightness is kept: the picture does not get darker or brighter on the whole.
    auto lightness = [](const Picture& p) {
        return p.pixels().colourspace(VIPS_INTERPRETATION_LAB).extract_band(0).avg();
    };
    EXPECT_NEAR(lightness(less), lightness(source), 1.5);
    EXPECT_NEAR(lightness(grey), lightness(source), 1.5);
    Picture same = source;
    ASSERT_TRUE(PictureOps::saturation(same, 0).ok());
    EXPECT_EQ((same.pixels() - source.pixels()).abs().max(), 0.0);
    EXPECT_EQ(PictureOps::saturation(same, 1001).code, Code::BadArgument);
    EXPECT_EQ(PictureOps::saturation(same, -1001).code, Code::BadArgument);
}

TEST(PictureOps, ColourResolutionLimitsTheColours) {
    const Picture source = TestImages::picture(TestImages::photo(96, 64));
    struct Case {
        int bits;
        PaletteOption palette;
        DitherOption dither;
    };
    const PaletteOption options[] = {PaletteOption::Optimised, PaletteOption::Fixed, PaletteOption::Uniform,
                                     PaletteOption::Greyscale};
    const DitherOption dithers[] = {DitherOption::None, DitherOption::FloydSteinberg, DitherOption::Ordered};
    for (const int bits : {1, 2, 4, 8}) {
        for (const PaletteOption option : options) {
            for (const DitherOption dither : dithers) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bits, palette " << int(option) << ", dither " << int(dither));
                Picture p = source;
                ColourResolution request;
                request.bits = bits;
                request.palette = option;
                request.dither = dither;
                ASSERT_TRUE(PictureOps::colourResolution(p, request).ok());
                EXPECT_EQ(p.bitsPerPixel(), bits);
                ASSERT_FALSE(p.palette().isEmpty());
                EXPECT_LE(p.palette().size(), 1 << bits);
                const QSet<quint32> used = coloursOf(p);
                EXPECT_LE(used.size(), 1 << bits);
                EXPECT_TRUE(coloursOf(p.palette()).contains(used)) << "every pixel is a palette colour";
                if (option == PaletteOption::Greyscale) {
                    EXPECT_LT(chroma(p), 0.01);
                }
            }
        }
    }
}

TEST(PictureOps, FixedPalettesAreWhatTheySay) {
    EXPECT_EQ(Palette::fixed(1).size(), 2);
    EXPECT_EQ(Palette::fixed(4).size(), 16);
    EXPECT_EQ(Palette::fixed(8).size(), 256);
    EXPECT_EQ(coloursOf(Palette::fixed(8)).size(), 256) << "no entry wasted on a duplicate";
    EXPECT_EQ(Palette::uniform(8).size(), 256);
    EXPECT_EQ(coloursOf(Palette::uniform(8)).size(), 256);
    EXPECT_EQ(Palette::web().size(), 216);
    EXPECT_EQ(Palette::greyscale(4).size(), 16);
    EXPECT_EQ(Palette::greyscale(1).at(1), (PaletteColour{255, 255, 255}));
    EXPECT_TRUE(Palette::fixed(3).isEmpty());
}

TEST(PictureOps, WebAndUserPalettes) {
    const Picture source = TestImages::picture(TestImages::photo(64, 48));
    Picture p = source;
    ColourResolution web;
    web.bits = 8;
    web.palette = PaletteOption::Web;
    web.dither = DitherOption::None;
    ASSERT_TRUE(PictureOps::colourResolution(p, web).ok());
    for (const quint32 c : coloursOf(p)) {
        EXPECT_EQ((c >> 16) % 51, 0u);
        EXPECT_EQ(((c >> 8) & 0xFF) % 51, 0u);
        EXPECT_EQ((c & 0xFF) % 51, 0u);
    }
    web.bits = 4;
    EXPECT_EQ(PictureOps::colourResolution(p, web).code, Code::BadArgument);

    ColourResolution user;
    user.bits = 2;
    user.palette = PaletteOption::User;
    user.dither = DitherOption::FloydSteinberg;
    user.userPalette = Palette({{255, 0, 0}, {0, 0, 255}, {250, 250, 250}});
    p = source;
    ASSERT_TRUE(PictureOps::colourResolution(p, user).ok());
    EXPECT_TRUE(coloursOf(user.userPalette).contains(coloursOf(p)));
    EXPECT_EQ(p.palette(), user.userPalette);
    user.userPalette = Palette(std::vector<PaletteColour>(5, PaletteColour{1, 2, 3}));
    EXPECT_EQ(PictureOps::colourResolution(p, user).code, Code::BadArgument) << "five colours in two bits";
    user.userPalette = Palette();
    EXPECT_EQ(PictureOps::colourResolution(p, user).code, Code::BadArgument);
    ColourResolution threeBits;
    threeBits.bits = 3;
    EXPECT_EQ(PictureOps::colourResolution(p, threeBits).code, Code::BadArgument);
}

TEST(PictureOps, DitheringKeepsTonesFromAfar) {
    // A smooth ramp in four greys: without dithering it bands; either dither keeps the
    // average tone of each area much closer to the original.
    const vips::VImage ramp = TestImages::gradient(256, 32).extract_band(0);
    const Picture source =
        TestImages::picture(vips::VImage::bandjoin(std::vector<vips::VImage>{ramp, ramp, ramp}));
    double error[3] = {};
    int k = 0;
    for (const DitherOption dither :
         {DitherOption::None, DitherOption::FloydSteinberg, DitherOption::Ordered}) {
        Picture p = source;
        ColourResolution request;
        request.bits = 2;
        request.palette = PaletteOption::Greyscale;
        request.dither = dither;
        ASSERT_TRUE(PictureOps::colourResolution(p, request).ok());
        error[k++] = blurredError(p, source);
    }
    EXPECT_LT(error[1], error[0] * 0.6);
    EXPECT_LT(error[2], error[0] * 0.6);
}

TEST(PictureOps, TwentyFourBitsReturnsToTrueColour) {
    Picture p = TestImages::picture(TestImages::photo(40, 30));
    ColourResolution to4;
    to4.bits = 4;
    ASSERT_TRUE(PictureOps::colourResolution(p, to4).ok());
    const QSet<quint32> colours = coloursOf(p);
    ColourResolution to24;
    to24.bits = 24;
    ASSERT_TRUE(PictureOps::colourResolution(p, to24).ok());
    EXPECT_EQ(p.bitsPerPixel(), 24);
    EXPECT_TRUE(p.palette().isEmpty());
    EXPECT_EQ(coloursOf(p), colours) << "the pixels are kept";
}

TEST(PictureOps, TrimCutsToTheRegionInsideThePicture) {
    Picture p = TestImages::picture(TestImages::gradient(100, 50));
    const RgbBuffer before = rgbOf(p);
    ASSERT_TRUE(PictureOps::trim(p, QRect(10, 5, 30, 20)).ok());
    EXPECT_EQ(p.width(), 30);
    EXPECT_EQ(p.height(), 20);
    const RgbBuffer after = rgbOf(p);
    EXPECT_EQ(after.pixel(0, 0)[0], before.pixel(10, 5)[0]);
    EXPECT_EQ(after.pixel(29, 19)[1], before.pixel(39, 24)[1]);
    // Partly outside: clipped to the picture.
    ASSERT_TRUE(PictureOps::trim(p, QRect(20, 10, 100, 100)).ok());
    EXPECT_EQ(p.width(), 10);
    EXPECT_EQ(p.height(), 10);
    EXPECT_EQ(PictureOps::trim(p, QRect(50, 50, 5, 5)).code, Code::BadArgument);
    EXPECT_EQ(PictureOps::trim(p, QRect(0, 0, 0, 5)).code, Code::BadArgument);
    EXPECT_EQ(p.width(), 10) << "a refused trim changes nothing";
}

TEST(PictureOps, TrimKeepsAnIndexedPictureIndexed) {
    Picture p = TestImages::picture(TestImages::photo(60, 40));
    ColourResolution request;
    request.bits = 4;
    ASSERT_TRUE(PictureOps::colourResolution(p, request).ok());
    const Palette palette = p.palette();
    ASSERT_TRUE(PictureOps::trim(p, QRect(5, 5, 20, 20)).ok());
    EXPECT_EQ(p.bitsPerPixel(), 4);
    EXPECT_EQ(p.palette(), palette);
}

TEST(PictureOps, TheUndoCopyIsUntouchedByEdits) {
    Picture current = TestImages::picture(TestImages::photo(50, 40));
    const Picture undo = current; // the one undo level
    const double mean = undo.pixels().avg();
    ASSERT_TRUE(PictureOps::saturation(current, -1000).ok());
    ASSERT_TRUE(PictureOps::resize(current, 25, 20, PictureOps::kResizeBicubic).ok());
    EXPECT_EQ(undo.width(), 50);
    EXPECT_EQ(undo.height(), 40);
    EXPECT_DOUBLE_EQ(undo.pixels().avg(), mean);
    current = undo; // Undo
    EXPECT_EQ(current.width(), 50);
}
