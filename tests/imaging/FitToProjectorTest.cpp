#include "imaging/FitToProjector.h"
#include "i18n/CatalogIds.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureQuality.h"
#include "imaging/PictureSaver.h"
#include "imaging/Qv1Encoder.h"
#include "imaging/RgbBuffer.h"
#include "imaging/SendableImage.h"
#include "support/TestImages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

namespace {

using Code = ImagingResult::Code;

RgbBuffer rgbOf(const Picture& p) {
    RgbBuffer rgb;
    EXPECT_TRUE(RgbBuffer::fromPicture(p, rgb).ok());
    return rgb;
}

void expectConsistent(const FitToProjector::Result& r, qint64 maxBytes) {
    ASSERT_TRUE(r.result.ok()) << ImagingResult::codeName(r.result.code) << " "
                               << r.result.detail.toStdString();
    EXPECT_LE(r.bytes.size(), maxBytes);
    const TestImages::GifLayout g = TestImages::parseGif(r.bytes);
    ASSERT_TRUE(g.valid);
    EXPECT_EQ(g.globalTableEntries, 256);
    EXPECT_EQ(g.lzwMinimumCodeSize, 8);
    EXPECT_EQ(g.width, r.shown.width());
    EXPECT_EQ(g.height, r.shown.height());
    // The file decodes to the shown picture, and the PSNR is that of shown against reference.
    Picture decoded;
    ASSERT_TRUE(PictureLoader::loadFromMemory(r.bytes, decoded).ok());
    const RgbBuffer d = rgbOf(decoded);
    const RgbBuffer s = rgbOf(r.shown);
    ASSERT_EQ(d.byteSize(), s.byteSize());
    EXPECT_TRUE(std::equal(d.data(), d.data() + d.byteSize(), s.data()));
    const double psnr = PictureQuality::psnr(rgbOf(r.reference), d);
    if (std::isinf(r.psnr)) {
        EXPECT_TRUE(std::isinf(psnr));
    } else {
        EXPECT_NEAR(psnr, r.psnr, 1e-9);
    }
    EXPECT_EQ(r.reference.width(), r.shown.width());
    EXPECT_EQ(r.reference.height(), r.shown.height());
}

} // namespace

TEST(FitToProjector, APhotoBecomesASendableQv1) {
    QTemporaryDir dir;
    const Picture photo = TestImages::picture(TestImages::photo(1280, 960, 11, 2.0));
    // What Save As would write is far over the limit: this is the problem being solved.
    qint64 plain = 0;
    ASSERT_TRUE(Qv1Encoder::encodedSize(photo, plain).ok());
    ASSERT_GT(plain, SendableImage::kMaxFileSize);

    const FitToProjector::Result r = FitToProjector::fit(photo);
    expectConsistent(r, SendableImage::kMaxFileSize);
    EXPECT_EQ(r.shown.width(), 1024);
    EXPECT_EQ(r.shown.height(), 768);
    EXPECT_GT(r.psnr, 20.0);
    EXPECT_GE(r.colours, 16);
    const QString path = dir.filePath(u"fit.qv1"_qs);
    ASSERT_TRUE(PictureSaver::writeFile(path, r.bytes).ok());
    int reason = -1;
    EXPECT_TRUE(IsSendableImage(path, quint32(r.shown.width()), quint32(r.shown.height()), reason)) << reason;
}

TEST(FitToProjector, KeepsTheAspectRatioAndNeverEnlarges) {
    FitToProjector::Options small;
    small.maxWidth = 160;
    small.maxHeight = 120;
    small.maxBytes = 6000;
    const FitToProjector::Result wide =
        FitToProjector::fit(TestImages::picture(TestImages::photo(400, 100)), small);
    expectConsistent(wide, small.maxBytes);
    EXPECT_EQ(wide.shown.width(), 160);
    EXPECT_EQ(wide.shown.height(), 40);

    const FitToProjector::Result tiny =
        FitToProjector::fit(TestImages::picture(TestImages::gradient(90, 50)), small);
    expectConsistent(tiny, small.maxBytes);
    EXPECT_EQ(tiny.shown.width(), 90);
    EXPECT_EQ(tiny.shown.height(), 50);
}

TEST(FitToProjector, WhatFitsAsItIsIsNotDegraded) {
    // Few colours: the plain encoding fits, so it is the answer, with nothing lost.
    const Picture flat =
        TestImages::picture(TestImages::gradient(200, 100).extract_band(0).bandjoin_const({0.0, 0.0}));
    const FitToProjector::Result r = FitToProjector::fit(flat);
    expectConsistent(r, SendableImage::kMaxFileSize);
    EXPECT_EQ(r.runTolerance, 0);
    EXPECT_EQ(r.smoothing, 0);
    EXPECT_TRUE(std::isinf(r.psnr)) << "200 shades of red fit a 256-entry palette exactly";
}

TEST(FitToProjector, ATighterLimitCostsQualityButIsMet) {
    const Picture photo = TestImages::picture(TestImages::photo(320, 240, 5));
    FitToProjector::Options loose;
    loose.maxBytes = 40000;
    FitToProjector::Options tight;
    tight.maxBytes = 12000;
    const FitToProjector::Result a = FitToProjector::fit(photo, loose);
    const FitToProjector::Result b = FitToProjector::fit(photo, tight);
    expectConsistent(a, loose.maxBytes);
    expectConsistent(b, tight.maxBytes);
    EXPECT_GT(a.psnr, b.psnr);
}

TEST(FitToProjector, ShrinksOnlyWhenNothingElseFits) {
    const Picture photo = TestImages::picture(TestImages::photo(160, 120, 9));
    FitToProjector::Options starved;
    starved.maxBytes = 1400; // the header and table take 793 of these

    const FitToProjector::Result r = FitToProjector::fit(photo, starved);
    expectConsistent(r, starved.maxBytes);
    EXPECT_LT(r.scale, 1.0);
    EXPECT_LT(r.shown.width(), 160);
    EXPECT_GE(r.colours, 16) << "a smaller picture rather than a posterised one";
    EXPECT_NEAR(double(r.shown.width()) / r.shown.height(), 160.0 / 120.0, 0.1);
}

// A stop ends the search with Stopped and hands out nothing; a clear flag changes nothing.
TEST(FitToProjector, AStopEndsTheSearch) {
    const Picture photo = TestImages::picture(TestImages::photo(320, 240, 5));
    std::atomic<bool> stop{true};
    FitToProjector::Options options;
    options.stop = &stop;
    const FitToProjector::Result stopped = FitToProjector::fit(photo, options);
    EXPECT_EQ(stopped.result.code, ImagingResult::Code::Stopped);
    EXPECT_EQ(stopped.result.messageId(), msg::ImagingStopped);
    EXPECT_TRUE(stopped.bytes.isEmpty());
    EXPECT_TRUE(stopped.shown.isNull());
    stop = false;
    EXPECT_TRUE(FitToProjector::fit(photo, options).result.ok());
}

TEST(FitToProjector, ImpossibleAndEmptyCases) {
    EXPECT_EQ(FitToProjector::fit(Picture()).result.code, Code::NoPicture);
    // Too small to be sendable whatever is done, and enlarging is not an option.
    EXPECT_EQ(FitToProjector::fit(TestImages::picture(TestImages::gradient(4, 100))).result.code,
              Code::DoesNotFit);
    FitToProjector::Options none;
    none.maxBytes = 100; // less than a GIF's header and table
    EXPECT_EQ(FitToProjector::fit(TestImages::picture(TestImages::gradient(40, 40)), none).result.code,
              Code::DoesNotFit);
    none.maxBytes = 0;
    EXPECT_EQ(FitToProjector::fit(TestImages::picture(TestImages::gradient(40, 40)), none).result.code,
              Code::BadArgument);
}
