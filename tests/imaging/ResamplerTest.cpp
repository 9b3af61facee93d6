// The Lanczos resampling behind Fit, Resize and decode-to-fit, and the flattening onto white
// that comes before a picture with transparency is fitted.
#include "imaging/Resampler.h"
#include "imaging/FitToProjector.h"
#include "imaging/RgbBuffer.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<quint8> bytesOf(const vips::VImage& image) {
    const vips::VImage mem = image.copy_memory();
    const auto* p = static_cast<const quint8*>(mem.data());
    return {p, p + static_cast<size_t>(mem.width()) * static_cast<size_t>(mem.height()) *
                       static_cast<size_t>(mem.bands())};
}

vips::VImage fromBytes(const std::vector<quint8>& bytes, int width, int height, int bands) {
    return vips::VImage::new_from_memory(const_cast<quint8*>(bytes.data()), bytes.size(), width, height,
                                         bands, VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .copy_memory();
}

} // namespace

TEST(ResamplerLanczos, AFlatColourStaysExactlyThatColourAtAnySize) {
    // Weights that did not add up to one would tint or darken the whole picture.
    const vips::VImage flat = TestImages::solid(97, 61, 13, 128, 251);
    for (const auto& [w, h] :
         std::vector<std::pair<int, int>>{{40, 25}, {96, 60}, {33, 7}, {200, 130}, {1, 1}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const vips::VImage out = Resampler::resample(flat, w, h, VIPS_KERNEL_LANCZOS3);
        ASSERT_EQ(out.width(), w);
        ASSERT_EQ(out.height(), h);
        ASSERT_EQ(out.bands(), 3);
        const std::vector<quint8> px = bytesOf(out);
        for (size_t i = 0; i < px.size(); i += 3) {
            ASSERT_EQ(px[i], 13) << "pixel " << i / 3;
            ASSERT_EQ(px[i + 1], 128) << "pixel " << i / 3;
            ASSERT_EQ(px[i + 2], 251) << "pixel " << i / 3;
        }
    }
}

TEST(ResamplerLanczos, DetailFinerThanTheNewSizeAveragesInsteadOfAliasing) {
    // Alternate black and white columns shrunk to a third: a kernel that did not widen with
    // the factor would pick whole columns and show stripes.
    std::vector<quint8> stripes(static_cast<size_t>(300) * 30 * 3);
    for (size_t i = 0; i < stripes.size(); i += 3) {
        const quint8 v = ((i / 3) % 300) % 2 == 0 ? 0 : 255;
        stripes[i] = stripes[i + 1] = stripes[i + 2] = v;
    }
    const std::vector<quint8> out =
        bytesOf(Resampler::resample(fromBytes(stripes, 300, 30, 3), 100, 10, VIPS_KERNEL_LANCZOS3));
    for (int y = 0; y < 10; ++y) {
        for (int x = 3; x < 97; ++x) {
            const int v = out[(static_cast<size_t>(y) * 100 + static_cast<size_t>(x)) * 3];
            EXPECT_NEAR(v, 128, 8) << x << "," << y;
        }
    }
}

TEST(ResamplerLanczos, TransparentPixelsLendNoColourToTheirNeighbours) {
    // Opaque white beside fully transparent red: the red has no coverage, so no pixel with
    // any coverage may turn pink, and the alpha edge is soft.
    std::vector<quint8> rgba(static_cast<size_t>(60) * 20 * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        const bool left = (i / 4) % 60 < 30;
        rgba[i] = 255;
        rgba[i + 1] = left ? 255 : 0;
        rgba[i + 2] = left ? 255 : 0;
        rgba[i + 3] = left ? 255 : 0;
    }
    const std::vector<quint8> out =
        bytesOf(Resampler::resample(fromBytes(rgba, 60, 20, 4), 25, 8, VIPS_KERNEL_LANCZOS3));
    bool soft = false;
    for (size_t i = 0; i < out.size(); i += 4) {
        if (out[i + 3] > 0) {
            EXPECT_GE(out[i + 1], 254) << "pixel " << i / 4 << " alpha " << int(out[i + 3]);
            EXPECT_GE(out[i + 2], 254) << "pixel " << i / 4 << " alpha " << int(out[i + 3]);
        }
        soft = soft || (out[i + 3] > 10 && out[i + 3] < 245);
    }
    EXPECT_TRUE(soft);
}

TEST(FlattenOntoWhite, PartCoveredPixelsRoundToTheNearestLevel) {
    // (10, 100, 200) at alpha 100 over white is (158.92, 194.22, 233.43): a truncating mix
    // gives 158 for the first.
    std::vector<quint8> rgba;
    for (int i = 0; i < 4; ++i) {
        rgba.insert(rgba.end(), {10, 100, 200, 100});
    }
    RgbBuffer rgb;
    ASSERT_TRUE(RgbBuffer::fromImage(fromBytes(rgba, 2, 2, 4), rgb).ok());
    EXPECT_EQ(rgb.pixel(1, 1)[0], 159);
    EXPECT_EQ(rgb.pixel(1, 1)[1], 194);
    EXPECT_EQ(rgb.pixel(1, 1)[2], 233);
}

TEST(FlattenOntoWhite, FitMixesOntoWhiteBeforeItScales) {
    // A colour at a steady part coverage is one colour once on white; scaled first and mixed
    // after, colour and coverage each round on their own and the soft parts come out uneven.
    std::vector<quint8> rgba;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) {
            const auto alpha = static_cast<quint8>(x < 200 ? 3 + (x * 7 + y * 3) % 40 : 255);
            rgba.insert(rgba.end(), {37, 91, 203, alpha});
        }
    }
    FitToProjector::Options options;
    options.maxWidth = 150;
    options.maxHeight = 150;
    const FitToProjector::Result r =
        FitToProjector::fit(TestImages::picture(fromBytes(rgba, 400, 300, 4)), options);
    ASSERT_TRUE(r.result.ok());
    RgbBuffer flat;
    ASSERT_TRUE(RgbBuffer::fromImage(fromBytes(rgba, 400, 300, 4), flat).ok());
    vips::VImage flatImage;
    ASSERT_TRUE(flat.toImage(flatImage).ok());
    RgbBuffer expected;
    ASSERT_TRUE(RgbBuffer::fromImage(Resampler::resample(flatImage, r.reference.width(), r.reference.height(),
                                                         VIPS_KERNEL_LANCZOS3),
                                     expected)
                    .ok());
    RgbBuffer reference;
    ASSERT_TRUE(RgbBuffer::fromPicture(r.reference, reference).ok());
    ASSERT_EQ(reference.byteSize(), expected.byteSize());
    EXPECT_EQ(std::memcmp(reference.data(), expected.data(), expected.byteSize()), 0);
}
