// Fit to Projector spends the room a picture leaves: exact colours where they fit, a refined
// palette otherwise, and every result still a file a projector takes.
#include "imaging/ColourQuantiser.h"
#include "imaging/FitToProjector.h"
#include "imaging/GifWriter.h"
#include "imaging/LossyLzw.h"
#include "imaging/PaletteMapper.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureQuality.h"
#include "imaging/Qv1Encoder.h"
#include "imaging/RgbBuffer.h"
#include "imaging/SendableImage.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>

namespace {

RgbBuffer rgbOf(const Picture& p) {
    RgbBuffer rgb;
    EXPECT_TRUE(RgbBuffer::fromPicture(p, rgb).ok());
    return rgb;
}

Picture pictureOf(const RgbBuffer& rgb) {
    vips::VImage image;
    EXPECT_TRUE(rgb.toImage(image).ok());
    return TestImages::picture(image);
}

bool samePixels(const RgbBuffer& a, const RgbBuffer& b) {
    return a.width() == b.width() && a.height() == b.height() && a.byteSize() == b.byteSize() &&
           std::memcmp(a.data(), b.data(), a.byteSize()) == 0;
}

size_t distinctColours(const RgbBuffer& rgb) {
    std::set<quint32> seen;
    for (size_t i = 0; i < rgb.byteSize(); i += 3) {
        const quint8* p = rgb.data() + i;
        seen.insert((quint32{p[0]} << 16) | (quint32{p[1]} << 8) | p[2]);
    }
    return seen.size();
}

void fill(RgbBuffer& b, int x0, int y0, int w, int h, PaletteColour c) {
    for (int y = std::max(0, y0); y < std::min(b.height(), y0 + h); ++y) {
        for (int x = std::max(0, x0); x < std::min(b.width(), x0 + w); ++x) {
            quint8* p =
                b.data() +
                (static_cast<size_t>(y) * static_cast<size_t>(b.width()) + static_cast<size_t>(x)) * 3;
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
}

PaletteColour blend(PaletteColour a, PaletteColour b, int of3) {
    auto mix = [&](int u, int v) { return static_cast<quint8>((u * (3 - of3) + v * of3) / 3); };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

// A desktop program's window: flat panels, a title bar, lines of dark "text" whose strokes
// have two blended edge shades, and rareColours small details of colours of their own (icons,
// a cursor), each only a few pixels big, the kind a subsampled palette misses.
RgbBuffer screenshotLike(int width, int height, int rareColours, unsigned seed) {
    std::mt19937 random(seed);
    RgbBuffer b(width, height);
    const PaletteColour window{240, 240, 240};
    const PaletteColour panel{222, 228, 238};
    const PaletteColour title{52, 101, 164};
    const PaletteColour ink{30, 30, 30};
    const PaletteColour titleInk{255, 255, 255};
    fill(b, 0, 0, width, height, window);
    fill(b, 0, 0, width, 28, title);
    fill(b, 0, 28, width / 4, height - 28, panel);
    auto textLine = [&](int x0, int y0, int x1, PaletteColour bg, PaletteColour fg) {
        for (int x = x0; x + 8 < x1;) {
            const int glyph = 4 + static_cast<int>(random() % 5);
            // A vertical stem and a bar, each with an anti-aliased edge column or row.
            const int stem = x + static_cast<int>(random() % static_cast<unsigned>(glyph - 1));
            fill(b, stem, y0, 1, 10, fg);
            fill(b, stem + 1, y0, 1, 10, blend(bg, fg, 1));
            const int bar = y0 + static_cast<int>(random() % 8);
            fill(b, x, bar, glyph, 1, fg);
            fill(b, x, bar + 1, glyph, 1, blend(bg, fg, 2));
            x += glyph + 2 + ((random() % 7) == 0 ? 5 : 0);
        }
    };
    textLine(8, 9, width / 2, title, titleInk);
    for (int y = 40; y + 14 < height; y += 18) {
        textLine(6, y, width / 4 - 4, panel, ink);
        textLine(width / 4 + 10, y, width - 10, window, ink);
    }
    for (int i = 0; i < rareColours; ++i) {
        const PaletteColour c{static_cast<quint8>(60 + (i * 37) % 180),
                              static_cast<quint8>(20 + (i * 11) % 220), static_cast<quint8>(90 + i % 150)};
        const int x = static_cast<int>(random() % static_cast<unsigned>(width - 2));
        const int y = 30 + static_cast<int>(random() % static_cast<unsigned>(height - 32));
        fill(b, x, y, 2, 1, c);
    }
    return b;
}

void expectProjectorFile(const FitToProjector::Result& r) {
    ASSERT_TRUE(r.result.ok()) << ImagingResult::codeName(r.result.code) << " "
                               << r.result.detail.toStdString();
    EXPECT_LE(r.bytes.size(), SendableImage::kMaxFileSize);
    const TestImages::GifLayout g = TestImages::parseGif(r.bytes);
    ASSERT_TRUE(g.valid);
    EXPECT_TRUE(g.globalTable);
    EXPECT_EQ(g.globalTableEntries, 256);
    EXPECT_FALSE(g.localTable);
    EXPECT_EQ(g.lzwMinimumCodeSize, 8);
    EXPECT_EQ(g.frames, 1);
    EXPECT_TRUE(g.trailer);
    EXPECT_GE(g.width, static_cast<int>(SendableImage::kMinWidth));
    EXPECT_GE(g.height, static_cast<int>(SendableImage::kMinHeight));
    EXPECT_LE(g.width, static_cast<int>(SendableImage::kMaxWidth));
    EXPECT_LE(g.height, static_cast<int>(SendableImage::kMaxHeight));
    // The file decodes to what the result says the projector shows.
    Picture decoded;
    ASSERT_TRUE(PictureLoader::loadFromMemory(r.bytes, decoded).ok());
    EXPECT_TRUE(samePixels(rgbOf(decoded), rgbOf(r.shown)));
}

} // namespace

TEST(ColourQuantiserExact, TakesThePicturesOwnColoursUpToTheLimit) {
    std::mt19937 random(3);
    RgbBuffer rgb(64, 48);
    for (size_t i = 0; i < rgb.byteSize(); i += 3) {
        const unsigned v = random() % 256; // 256 colours at most, differing in every channel
        rgb.data()[i] = static_cast<quint8>(v);
        rgb.data()[i + 1] = static_cast<quint8>(255 - v);
        rgb.data()[i + 2] = static_cast<quint8>(v * 7);
    }
    const size_t distinct = distinctColours(rgb);
    ASSERT_GT(distinct, 200u);
    Palette palette;
    std::vector<quint8> indices;
    ASSERT_TRUE(ColourQuantiser::exactColours(rgb, 256, palette, indices));
    EXPECT_EQ(static_cast<size_t>(palette.size()), distinct);
    ASSERT_EQ(indices.size(), static_cast<size_t>(rgb.width() * rgb.height()));
    for (size_t i = 0; i < indices.size(); ++i) {
        const PaletteColour c = palette.at(indices[i]);
        ASSERT_EQ(c, (PaletteColour{rgb.data()[i * 3], rgb.data()[i * 3 + 1], rgb.data()[i * 3 + 2]})) << i;
    }
    // One colour short of room: nothing is written.
    Palette untouched;
    std::vector<quint8> none;
    EXPECT_FALSE(ColourQuantiser::exactColours(rgb, static_cast<int>(distinct) - 1, untouched, none));
    EXPECT_TRUE(untouched.isEmpty());
    EXPECT_TRUE(none.empty());
}

TEST(ColourQuantiserRefine, MovesEntriesToTheMeansOfTheirPixels) {
    // Two clusters of colours, a palette off both centres: refinement lands on the centres.
    RgbBuffer rgb(40, 10);
    for (int i = 0; i < 400; ++i) {
        const bool left = (i % 40) < 20;
        const int jitter = (i % 3) - 1; // -1, 0, 1 in equal numbers per cluster, almost
        rgb.data()[i * 3] = static_cast<quint8>((left ? 40 : 200) + jitter * 6);
        rgb.data()[i * 3 + 1] = static_cast<quint8>(left ? 60 : 180);
        rgb.data()[i * 3 + 2] = static_cast<quint8>(left ? 90 : 20);
    }
    Palette palette(std::vector<PaletteColour>{{70, 70, 70}, {170, 170, 70}});
    auto error = [&](const Palette& p) {
        const std::vector<quint8> idx = PaletteMapper(p).map(rgb, DitherOption::None);
        double sum = 0;
        for (size_t i = 0; i < idx.size(); ++i) {
            const PaletteColour c = p.at(idx[i]);
            const quint8* q = rgb.data() + i * 3;
            sum += std::pow(q[0] - c.r, 2) + std::pow(q[1] - c.g, 2) + std::pow(q[2] - c.b, 2);
        }
        return sum;
    };
    const double before = error(palette);
    EXPECT_GE(ColourQuantiser::refine(rgb, palette, 10), 1);
    EXPECT_LT(error(palette), before / 10);
    EXPECT_NEAR(palette.at(0).r, 40, 1);
    EXPECT_EQ(palette.at(0).g, 60);
    EXPECT_EQ(palette.at(0).b, 90);
    EXPECT_NEAR(palette.at(1).r, 200, 1);
    EXPECT_EQ(palette.at(1).g, 180);
    EXPECT_EQ(palette.at(1).b, 20);
    // At the means nothing moves any more.
    EXPECT_EQ(ColourQuantiser::refine(rgb, palette, 10), 0);
}

TEST(FitQuality, TwoHundredColoursComeBackPixelForPixel) {
    // Scattered at random: the hardest case for LZW, and still within the limit exactly.
    std::mt19937 random(7);
    RgbBuffer source(300, 200);
    for (size_t i = 0; i < source.byteSize(); i += 3) {
        const unsigned k = random() % 200;
        source.data()[i] = static_cast<quint8>(k);
        source.data()[i + 1] = static_cast<quint8>((k * 53) % 256);
        source.data()[i + 2] = static_cast<quint8>(255 - k);
    }
    ASSERT_EQ(distinctColours(source), 200u);
    const Picture picture = pictureOf(source);

    const FitToProjector::Result r = FitToProjector::fit(picture);
    expectProjectorFile(r);
    EXPECT_EQ(r.runTolerance, 0);
    EXPECT_TRUE(std::isinf(r.psnr));
    Picture decoded;
    ASSERT_TRUE(PictureLoader::loadFromMemory(r.bytes, decoded).ok());
    EXPECT_TRUE(samePixels(rgbOf(decoded), source));

    // Saving as a projector picture keeps them too.
    Qv1Encoder::Encoding plain;
    ASSERT_TRUE(Qv1Encoder::encode(picture, plain).ok());
    Picture plainDecoded;
    ASSERT_TRUE(PictureLoader::loadFromMemory(plain.bytes, plainDecoded).ok());
    EXPECT_TRUE(samePixels(rgbOf(plainDecoded), source));
}

TEST(FitQuality, AScreenshotThatFitsEasilyUsesTheRoomOrIsExact) {
    const RgbBuffer source = screenshotLike(800, 600, 220, 5);
    ASSERT_GT(distinctColours(source), 200u);
    ASSERT_LE(distinctColours(source), 256u);
    const FitToProjector::Result r = FitToProjector::fit(pictureOf(source));
    expectProjectorFile(r);
    const bool exact = std::isinf(r.psnr) && samePixels(rgbOf(r.shown), source);
    EXPECT_TRUE(exact || r.bytes.size() > SendableImage::kMaxFileSize / 2)
        << r.bytes.size() << " bytes at " << r.psnr << " dB";
}

TEST(FitQuality, MoreColoursThanAPaletteStillBeatThePlainEncoding) {
    // Over 256 colours, so not exact; the fitted palette (slowest quantiser setting, whole
    // picture, refined) loses less than the plain one-shot encoding does.
    const RgbBuffer source = screenshotLike(640, 480, 700, 9);
    ASSERT_GT(distinctColours(source), 600u);
    const Picture picture = pictureOf(source);
    const FitToProjector::Result r = FitToProjector::fit(picture);
    expectProjectorFile(r);
    EXPECT_EQ(r.runTolerance, 0) << "no lossy LZW while the lossless encoding fits";
    Qv1Encoder::Encoding plain;
    ASSERT_TRUE(Qv1Encoder::encode(picture, plain).ok());
    ASSERT_LE(plain.bytes.size(), SendableImage::kMaxFileSize);
    const double plainPsnr = PictureQuality::psnr(source, rgbOf(plain.shown));
    EXPECT_GT(r.psnr, plainPsnr + 1.0);
    EXPECT_NEAR(PictureQuality::psnr(source, rgbOf(r.shown)), r.psnr, 1e-9);
}

TEST(FitQuality, AScannedPageWithEveryGreyIsWrittenExactly) {
    // Dark text on an off-white page, with every one of the 256 grey levels somewhere.
    RgbBuffer page(720, 760);
    fill(page, 0, 0, 720, 760, {240, 240, 240});
    std::mt19937 random(11);
    for (int line = 0; line < 30; ++line) {
        const int y = 40 + line * 23;
        for (int x = 50; x < 670;) {
            const int glyph = 4 + static_cast<int>(random() % 7);
            fill(page, x, y + static_cast<int>(random() % 3), glyph - 2, 11, {35, 35, 35});
            x += glyph + ((random() % 6) == 0 ? 7 : 0);
        }
    }
    for (int x = 0; x < 720; ++x) {
        const auto v = static_cast<quint8>(x % 256); // a strip with every level
        fill(page, x, 0, 1, 3, {v, v, v});
    }
    ASSERT_EQ(distinctColours(page), 256u);
    const FitToProjector::Result r = FitToProjector::fit(pictureOf(page));
    expectProjectorFile(r);
    EXPECT_TRUE(std::isinf(r.psnr)) << r.psnr << " dB, " << r.colours << " colours";
    EXPECT_TRUE(samePixels(rgbOf(r.shown), page));
}

TEST(FitQuality, EveryKindOfPictureBecomesAProjectorFile) {
    // A large photograph that must shrink, a logo with an alpha channel, and line art.
    expectProjectorFile(FitToProjector::fit(TestImages::picture(TestImages::photo(1600, 1000, 21))));

    vips::VImage logo = TestImages::photo(500, 300, 4, 0.0);
    const vips::VImage alpha =
        (TestImages::gradient(500, 300).extract_band(0) > 128).ifthenelse(255, 0).cast(VIPS_FORMAT_UCHAR);
    const FitToProjector::Result withAlpha = FitToProjector::fit(TestImages::picture(logo.bandjoin(alpha)));
    expectProjectorFile(withAlpha);
    EXPECT_EQ(withAlpha.shown.width(), 500);

    RgbBuffer lines(900, 700);
    fill(lines, 0, 0, 900, 700, {255, 255, 255});
    for (int i = 0; i < 60; ++i) {
        fill(lines, 10 + i * 14, 0, 2, 700, {0, 0, 0});
        fill(lines, 0, 5 + i * 11, 900, 1, {200, 30, 30});
    }
    const FitToProjector::Result art = FitToProjector::fit(pictureOf(lines));
    expectProjectorFile(art);
    EXPECT_TRUE(std::isinf(art.psnr)) << "three colours are kept exactly";
}

TEST(LossyLzwStrategies, BothAgreeWithGiflibAndKeepWithinTheTolerance) {
    // A photograph-like picture and a screenshot-like one, each through both ways of
    // lengthening strings: giflib must write exactly the predicted size, no pixel may lose
    // more than the tolerance allows, and the longest match never needs more bytes here.
    const RgbBuffer photo = [] {
        RgbBuffer rgb;
        EXPECT_TRUE(RgbBuffer::fromImage(TestImages::photo(240, 180, 6), rgb).ok());
        return rgb;
    }();
    for (const RgbBuffer& ref : {photo, screenshotLike(300, 200, 400, 2)}) {
        Palette palette;
        std::vector<quint8> exact;
        ASSERT_TRUE(ColourQuantiser::quantiseOnce(ref, 256, 0.0f, palette, exact).ok());
        for (const double tolerance : {2.5, 9.0}) {
            qint64 sizes[2] = {0, 0};
            int k = 0;
            for (const auto strategy : {LossyLzw::Strategy::NearestPath, LossyLzw::Strategy::LongestMatch}) {
                SCOPED_TRACE(testing::Message() << "tolerance " << tolerance << " strategy " << k);
                std::vector<quint8> lossy = exact;
                const LossyLzw::Outcome o = LossyLzw::run(ref, palette, lossy, tolerance, 0, strategy);
                QByteArray gif;
                ASSERT_TRUE(GifWriter::write(ref.width(), ref.height(), lossy, palette, 8, gif).ok());
                EXPECT_EQ(o.fileBytes, gif.size());
                double sum = 0;
                for (size_t i = 0; i < lossy.size(); ++i) {
                    const quint8* p = ref.data() + i * 3;
                    auto err = [&](quint8 index) {
                        const PaletteColour c = palette.at(index);
                        return (p[0] - c.r) * (p[0] - c.r) + (p[1] - c.g) * (p[1] - c.g) +
                               (p[2] - c.b) * (p[2] - c.b);
                    };
                    ASSERT_LE(err(lossy[i]), err(exact[i]) + std::lround(3 * tolerance * tolerance))
                        << "pixel " << i;
                    sum += err(lossy[i]);
                }
                EXPECT_DOUBLE_EQ(sum, o.squaredError);
                sizes[k++] = o.fileBytes;
            }
            EXPECT_LE(sizes[1], sizes[0]);
        }
    }
}

TEST(PaletteMapperHint, AHintNeverChangesTheAnswer) {
    // Ties included: duplicate entries must still go to the lower index.
    std::mt19937 random(13);
    std::vector<PaletteColour> entries;
    for (int i = 0; i < 120; ++i) {
        entries.push_back({static_cast<quint8>(random() % 256), static_cast<quint8>(random() % 256),
                           static_cast<quint8>(random() % 256)});
    }
    entries.push_back(entries[7]);
    entries.push_back(entries[50]);
    const PaletteMapper mapper{Palette(entries)};
    for (int k = 0; k < 3000; ++k) {
        const int r = static_cast<int>(random() % 256);
        const int g = static_cast<int>(random() % 256);
        const int b = static_cast<int>(random() % 256);
        const int plain = mapper.nearest(r, g, b);
        for (const int hint : {-1, 0, 7, 50, 120, 121, static_cast<int>(random() % 122), 500}) {
            ASSERT_EQ(mapper.nearest(r, g, b, hint), plain) << r << "," << g << "," << b << " hint " << hint;
        }
    }
    EXPECT_EQ(mapper.nearest(entries[7].r, entries[7].g, entries[7].b, 120), 7);
}

TEST(LossyLzwStrategies, ALowerToleranceTakesOverWhereItIsTold) {
    // Before lowerFrom every pixel keeps within the tolerance, from it on within the lower
    // one; the size model still matches giflib, and the two ends are the plain runs.
    RgbBuffer ref;
    ASSERT_TRUE(RgbBuffer::fromImage(TestImages::photo(240, 180, 8), ref).ok());
    Palette palette;
    std::vector<quint8> exact;
    ASSERT_TRUE(ColourQuantiser::quantiseOnce(ref, 256, 0.0f, palette, exact).ok());
    const double upper = 6.0;
    const double lower = 1.5;
    const auto n = static_cast<qint64>(exact.size());
    auto err = [&](size_t i, quint8 index) {
        const quint8* p = ref.data() + i * 3;
        const PaletteColour c = palette.at(index);
        return (p[0] - c.r) * (p[0] - c.r) + (p[1] - c.g) * (p[1] - c.g) + (p[2] - c.b) * (p[2] - c.b);
    };
    std::vector<quint8> allUpper = exact;
    std::vector<quint8> allLower = exact;
    const qint64 upperBytes =
        LossyLzw::run(ref, palette, allUpper, upper, 0, LossyLzw::Strategy::LongestMatch).fileBytes;
    const qint64 lowerBytes =
        LossyLzw::run(ref, palette, allLower, lower, 0, LossyLzw::Strategy::LongestMatch).fileBytes;
    ASSERT_LT(upperBytes, lowerBytes);
    for (const qint64 from : {qint64{0}, n / 3, n}) {
        SCOPED_TRACE(testing::Message() << "lower from " << from);
        std::vector<quint8> split = exact;
        const LossyLzw::Outcome o =
            LossyLzw::run(ref, palette, split, upper, 0, LossyLzw::Strategy::LongestMatch, lower, from);
        QByteArray gif;
        ASSERT_TRUE(GifWriter::write(ref.width(), ref.height(), split, palette, 8, gif).ok());
        EXPECT_EQ(o.fileBytes, gif.size());
        // A string that starts before lowerFrom may run past it at the upper tolerance.
        const size_t strict = static_cast<size_t>(std::min(n, from + 4096));
        for (size_t i = 0; i < split.size(); ++i) {
            const double t = i >= strict ? lower : upper;
            ASSERT_LE(err(i, split[i]), err(i, exact[i]) + std::lround(3 * t * t)) << "pixel " << i;
        }
        if (from == 0) {
            EXPECT_EQ(o.fileBytes, lowerBytes);
        } else if (from == n) {
            EXPECT_EQ(o.fileBytes, upperBytes);
        } else {
            EXPECT_GT(o.fileBytes, upperBytes);
            EXPECT_LT(o.fileBytes, lowerBytes);
        }
    }
}

TEST(FitQuality, APictureThatMustGoLossyLeavesAlmostNothingUnused) {
    // One tolerance step can move a file by several per cent; the part of the picture coded
    // one step lower takes up what is left.
    // Up to 216 colours four levels apart, so every colour a lossy pass could take instead is at
    // least 16 squared-error units away and the size moves in jumps; and a photograph.
    RgbBuffer grid(320, 240);
    std::mt19937 random(3);
    for (int y = 0; y < grid.height(); ++y) {
        for (int x = 0; x < grid.width(); ++x) {
            quint8* q =
                grid.data() +
                (static_cast<size_t>(y) * static_cast<size_t>(grid.width()) + static_cast<size_t>(x)) * 3;
            const int base[3] = {x * 6 / grid.width(), y * 6 / grid.height(),
                                 (x + y) * 3 / (grid.width() + grid.height()) * 2};
            for (int k = 0; k < 3; ++k) {
                const int step = std::clamp(base[k] + static_cast<int>(random() % 3) - 1, 0, 5);
                q[k] = static_cast<quint8>(100 + 4 * step);
            }
        }
    }
    for (const Picture& p : {pictureOf(grid), TestImages::picture(TestImages::photo(300, 200, 9))}) {
        // Four fifths of what the plain encoding needs.
        const FitToProjector::Result plain = FitToProjector::fit(p);
        ASSERT_TRUE(plain.result.ok());
        ASSERT_EQ(plain.runTolerance, 0);
        FitToProjector::Options options;
        options.maxBytes = plain.bytes.size() * 4 / 5;
        const FitToProjector::Result r = FitToProjector::fit(p, options);
        ASSERT_TRUE(r.result.ok());
        ASSERT_GT(r.runTolerance, 0) << "the picture is meant to need a lossy pass";
        EXPECT_LE(r.bytes.size(), options.maxBytes);
        EXPECT_GE(r.bytes.size(), options.maxBytes * 99 / 100);
    }
}
