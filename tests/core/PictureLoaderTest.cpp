#include "support/TestImages.h"
#include "workspace/PictureLoader.h"
#include "workspace/PictureSaver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Code = ImagingResult::Code;
using TestImages::gradient;

struct Loaded {
    ImagingResult result;
    Picture picture;
};

Loaded loadBytes(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes,
                 quint64 maxPixels = Picture::kMaxPixels) {
    const QString path = dir.filePath(name);
    TestImages::writeFile(path, bytes);
    Loaded l;
    l.result = PictureLoader::load(path, l.picture, maxPixels);
    return l;
}

// The mean of one band, to see that the right pixels arrived and not a grey filler.
double bandMean(const Picture& p, int band) { return p.pixels().extract_band(band).avg(); }

} // namespace

TEST(PictureLoader, ReadsTheCommonFormatsWithTheirDepth) {
    QTemporaryDir dir;
    const vips::VImage g = gradient(120, 80);
    struct Case {
        const char* name;
        QByteArray bytes;
        PictureFormat format;
        int bitDepth;
    };
    const Case cases[] = {
        {"a.png", TestImages::encode(g, ".png"), PictureFormat::Png, 24},
        {"a.jpg", TestImages::encode(g, ".jpg"), PictureFormat::Jpeg, 24},
        {"a.gif", TestImages::encode(g, ".gif"), PictureFormat::Gif, 8},
        {"a.tif", TestImages::encode(g, ".tif"), PictureFormat::Tiff, 24},
        {"a.webp", TestImages::encode(g, ".webp[lossless]"), PictureFormat::WebP, 24},
        {"grey.png", TestImages::encode(g.extract_band(0), ".png"), PictureFormat::Png, 8},
        {"alpha.png", TestImages::encode(g.bandjoin_const({200.0}), ".png"), PictureFormat::Png, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded l = loadBytes(dir, QString::fromLatin1(c.name), c.bytes);
        ASSERT_TRUE(l.result.ok()) << ImagingResult::codeName(l.result.code) << " " << l.result.detail.toStdString();
        EXPECT_EQ(l.picture.width(), 120);
        EXPECT_EQ(l.picture.height(), 80);
        EXPECT_EQ(l.picture.loadedFormat(), c.format);
        EXPECT_EQ(l.picture.loadedBitDepth(), c.bitDepth);
        EXPECT_EQ(l.picture.pixels().format(), VIPS_FORMAT_UCHAR);
        // The red ramp averages to about half scale in every format, lossy ones included.
        EXPECT_NEAR(bandMean(l.picture, 0), 127.5, 6.0);
    }
}

TEST(PictureLoader, ReadsBmpThroughImageMagickAndKnowsItsDepth) {
    QTemporaryDir dir;
    Picture source = TestImages::picture(gradient(64, 40));
    for (const int bits : {8, 24}) {
        SCOPED_TRACE(bits);
        const QString path = dir.filePath(QStringLiteral("b%1.bmp").arg(bits));
        ASSERT_TRUE(PictureSaver::save(source, path, PictureFormat::Bmp, bits).ok());
        Picture p;
        const ImagingResult r = PictureLoader::load(path, p);
        ASSERT_TRUE(r.ok()) << r.detail.toStdString();
        EXPECT_EQ(p.loadedFormat(), PictureFormat::Bmp);
        EXPECT_EQ(p.loadedBitDepth(), bits);
        EXPECT_EQ(p.width(), 64);
        EXPECT_EQ(p.height(), 40);
        EXPECT_NEAR(bandMean(p, 0), bandMean(source, 0), 3.0);
    }
}

TEST(PictureLoader, KeepsTheResolutionAndFallsBackTo96) {
    QTemporaryDir dir;
    const vips::VImage at300 = gradient(30, 20).copy(vips::VImage::option()->set("xres", 300 / 25.4)->set("yres", 150 / 25.4));
    Loaded l = loadBytes(dir, u"r.png"_qs, TestImages::encode(at300, ".png"));
    ASSERT_TRUE(l.result.ok());
    EXPECT_EQ(l.picture.xResolution(), 300);
    EXPECT_EQ(l.picture.yResolution(), 150);
    l = loadBytes(dir, u"n.gif"_qs, TestImages::encode(gradient(30, 20), ".gif"));
    ASSERT_TRUE(l.result.ok());
    EXPECT_EQ(l.picture.xResolution(), 96);
}

TEST(PictureLoader, TheContentDecidesNotTheName) {
    QTemporaryDir dir;
    const Loaded l = loadBytes(dir, u"really-a-png.gif"_qs, TestImages::encode(gradient(20, 10), ".png"));
    ASSERT_TRUE(l.result.ok());
    EXPECT_EQ(l.picture.loadedFormat(), PictureFormat::Png);
}

TEST(PictureLoader, BadFilesGiveClearCodes) {
    QTemporaryDir dir;
    EXPECT_EQ(loadBytes(dir, u"zero.png"_qs, {}).result.code, Code::EmptyFile);
    EXPECT_EQ(loadBytes(dir, u"text.png"_qs, "this is not a picture\n").result.code, Code::UnknownFormat);
    const QByteArray png = TestImages::encode(gradient(200, 100), ".png");
    EXPECT_EQ(loadBytes(dir, u"cut.png"_qs, png.left(png.size() / 2)).result.code, Code::DecodeFailed);
    const QByteArray jpg = TestImages::encode(TestImages::photo(200, 100), ".jpg");
    EXPECT_EQ(loadBytes(dir, u"cut.jpg"_qs, jpg.left(jpg.size() / 2)).result.code, Code::DecodeFailed);
    EXPECT_EQ(loadBytes(dir, u"lzw.gif"_qs, TestImages::gifWithBrokenLzw()).result.code, Code::DecodeFailed);

    Picture p;
    EXPECT_EQ(PictureLoader::load(dir.filePath(u"missing.png"_qs), p).code, Code::CannotOpen);
    EXPECT_EQ(PictureLoader::load(dir.path(), p).code, Code::CannotOpen);
    EXPECT_TRUE(p.isNull()) << "a failed load leaves the output alone";
}

TEST(PictureLoader, AHugeHeaderIsRefusedBeforeDecoding) {
    QTemporaryDir dir;
    QElapsedTimer timer;
    timer.start();
    const Loaded l = loadBytes(dir, u"huge.png"_qs, TestImages::pngClaiming(100000, 100000));
    EXPECT_EQ(l.result.code, Code::TooManyPixels);
    EXPECT_TRUE(l.result.detail.contains(u"100000"));
    // Refused from the header: nothing near 30 GB was allocated or filled.
    EXPECT_LT(timer.elapsed(), 30000);
    // Below the limit the same lie is caught as missing data instead.
    EXPECT_EQ(loadBytes(dir, u"lie.png"_qs, TestImages::pngClaiming(2000, 2000)).result.code, Code::DecodeFailed);
}

TEST(PictureLoader, ThePixelLimitIsExact) {
    QTemporaryDir dir;
    const QByteArray png = TestImages::encode(gradient(300, 200), ".png");
    EXPECT_EQ(loadBytes(dir, u"a.png"_qs, png, 59999).result.code, Code::TooManyPixels);
    EXPECT_TRUE(loadBytes(dir, u"b.png"_qs, png, 60000).result.ok());
    Picture p;
    EXPECT_EQ(PictureLoader::loadFromMemory(png, p, 59999).code, Code::TooManyPixels);
    EXPECT_EQ(PictureLoader::loadToFit(dir.filePath(u"a.png"_qs), 100, 100, p, 59999).code, Code::TooManyPixels);
}

TEST(PictureLoader, LoadsFromMemory) {
    Picture p;
    ASSERT_TRUE(PictureLoader::loadFromMemory(TestImages::encode(gradient(33, 17), ".png"), p).ok());
    EXPECT_EQ(p.width(), 33);
    EXPECT_EQ(p.height(), 17);
    EXPECT_EQ(PictureLoader::loadFromMemory({}, p).code, Code::EmptyFile);
    EXPECT_EQ(PictureLoader::loadFromMemory("hello, world", p).code, Code::UnknownFormat);
    EXPECT_EQ(PictureLoader::loadFromMemory("GIF89a\x01", p).code, Code::DecodeFailed) << "a GIF cut off in its header";
}

TEST(PictureLoader, LoadToFitShrinksKeepingTheAspectAndNeverEnlarges) {
    QTemporaryDir dir;
    const QString big = dir.filePath(u"big.jpg"_qs);
    TestImages::writeFile(big, TestImages::encode(TestImages::photo(2000, 1000), ".jpg"));
    Picture p;
    ASSERT_TRUE(PictureLoader::loadToFit(big, 1024, 768, p).ok());
    EXPECT_EQ(p.width(), 1024);
    EXPECT_EQ(p.height(), 512);
    const QString small = dir.filePath(u"small.png"_qs);
    TestImages::writeFile(small, TestImages::encode(gradient(300, 200), ".png"));
    ASSERT_TRUE(PictureLoader::loadToFit(small, 1024, 768, p).ok());
    EXPECT_EQ(p.width(), 300);
    EXPECT_EQ(p.height(), 200);
    EXPECT_EQ(PictureLoader::loadToFit(small, 0, 768, p).code, Code::BadArgument);
}

TEST(PictureLoader, PathsAreTakenLiterally) {
    QTemporaryDir dir;
    const QByteArray png = TestImages::encode(gradient(10, 10), ".png");
    // libvips reads "[...]" at the end of a name as options; these are plain names here.
    for (const QString& name : {u"a[1].png"_qs, u"pic[0]"_qs, u"png:b.png"_qs}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(loadBytes(dir, name, png).result.ok());
    }
}

TEST(PictureLoader, ImageMagickScriptsAreNotPictures) {
    QTemporaryDir dir;
    const QByteArray mvg = "push graphic-context\nviewbox 0 0 10 10\nimage over 0,0 0,0 '/etc/passwd'\npop graphic-context\n";
    const Loaded l = loadBytes(dir, u"x.mvg"_qs, mvg);
    EXPECT_FALSE(l.result.ok());
    EXPECT_EQ(l.result.code, Code::UnknownFormat);
}

TEST(PictureLoader, AColourProfileIsAppliedOnce) {
    QTemporaryDir dir;
    // Display-P3 numbers of a strong red, with the profile that says so.
    const vips::VImage red = TestImages::solid(400, 300, 200, 40, 40);
    const vips::VImage p3 = red.icc_transform("p3", vips::VImage::option()->set("input_profile", "srgb"));
    ASSERT_GT(std::abs(p3.extract_band(0).avg() - 200.0), 8.0) << "the test needs numbers that differ";
    const QString path = dir.filePath(u"p3.png"_qs);
    TestImages::writeFile(path, TestImages::encode(p3, ".png"));
    auto expectRed = [](const Picture& p) {
        EXPECT_NEAR(p.pixels().extract_band(0).avg(), 200.0, 2.0);
        EXPECT_NEAR(p.pixels().extract_band(1).avg(), 40.0, 2.0);
        EXPECT_NEAR(p.pixels().extract_band(2).avg(), 40.0, 2.0);
        EXPECT_EQ(p.pixels().get_typeof(VIPS_META_ICC_NAME), 0u) << "sRGB numbers carry no other profile";
    };
    Picture full;
    ASSERT_TRUE(PictureLoader::load(path, full).ok());
    expectRed(full);
    Picture fitted;
    ASSERT_TRUE(PictureLoader::loadToFit(path, 100, 100, fitted).ok());
    EXPECT_EQ(fitted.width(), 100);
    expectRed(fitted);
}

// ctest runs every test in a process of its own, so here libvips is started by whichever
// of these threads gets there first.
TEST(PictureLoader, ConcurrentLoadsShareOneStart) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"c.png"_qs);
    // Written by hand, so that nothing has started libvips before the threads do.
    const QByteArray png = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEklEQVR4nGP4z8DAAMIM/4EAAB/uBfsL2WiLAAAAAElFTkSuQmCC");
    TestImages::writeFile(path, png);
    std::vector<std::thread> threads;
    std::atomic<int> loaded{0};
    for (int i = 0; i < 6; ++i) {
        threads.emplace_back([&] {
            Picture p;
            if (PictureLoader::load(path, p).ok() && p.width() == 2 && p.height() == 2) {
                ++loaded;
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(loaded.load(), 6);
}
