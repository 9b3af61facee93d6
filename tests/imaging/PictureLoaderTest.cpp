#include "imaging/PictureLoader.h"
#include "imaging/PictureSaver.h"
#include "support/TestImages.h"

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
double bandMean(const Picture& p, int band) {
    return p.pixels().extract_band(band).avg();
}

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
        ASSERT_TRUE(l.result.ok()) << ImagingResult::codeName(l.result.code) << " "
                                   << l.result.detail.toStdString();
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
    const vips::VImage at300 =
        gradient(30, 20).copy(vips::VImage::option()->set("xres", 300 / 25.4)->set("yres", 150 / 25.4));
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
    EXPECT_EQ(loadBytes(dir, u"lie.png"_qs, TestImages::pngClaiming(2000, 2000)).result.code,
              Code::DecodeFailed);
}

TEST(PictureLoader, ThePixelLimitIsExact) {
    QTemporaryDir dir;
    const QByteArray png = TestImages::encode(gradient(300, 200), ".png");
    EXPECT_EQ(loadBytes(dir, u"a.png"_qs, png, 59999).result.code, Code::TooManyPixels);
    EXPECT_TRUE(loadBytes(dir, u"b.png"_qs, png, 60000).result.ok());
    Picture p;
    EXPECT_EQ(PictureLoader::loadFromMemory(png, p, 59999).code, Code::TooManyPixels);
    EXPECT_EQ(PictureLoader::loadToFit(dir.filePath(u"a.png"_qs), 100, 100, p, 59999).code,
              Code::TooManyPixels);
}

TEST(PictureLoader, LoadsFromMemory) {
    Picture p;
    ASSERT_TRUE(PictureLoader::loadFromMemory(TestImages::encode(gradient(33, 17), ".png"), p).ok());
    EXPECT_EQ(p.width(), 33);
    EXPECT_EQ(p.height(), 17);
    EXPECT_EQ(PictureLoader::loadFromMemory({}, p).code, Code::EmptyFile);
    EXPECT_EQ(PictureLoader::loadFromMemory("hello, world", p).code, Code::UnknownFormat);
    EXPECT_EQ(PictureLoader::loadFromMemory("GIF89a\x01", p).code, Code::DecodeFailed)
        << "a GIF cut off in its header";
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
    const QByteArray mvg =
        "push graphic-context\nviewbox 0 0 10 10\nimage over 0,0 0,0 '/etc/passwd'\npop graphic-context\n";
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
    const QByteArray png = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEklEQVR4nG"
                                                  "P4z8DAAMIM/4EAAB/uBfsL2WiLAAAAAElFTkSuQmCC");
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

namespace {

QByteArray le16(quint16 v) {
    return QByteArray(reinterpret_cast<const char*>(&v), 2);
}
QByteArray le32(quint32 v) {
    return QByteArray(reinterpret_cast<const char*>(&v), 4);
}

// A 24-bit bitmap header for width x height with none of its rows behind it.
QByteArray bmpClaiming(quint32 width, quint32 height) {
    QByteArray info = le32(40) + le32(width) + le32(height) + le16(1) + le16(24) + le32(0) + le32(0) +
                      le32(2835) + le32(2835) + le32(0) + le32(0);
    return "BM" + le32(54 + 16) + le32(0) + le32(54) + info + QByteArray(16, '\0');
}

// A GIF whose screen and frame are width x height, with the codes of a single pixel.
QByteArray gifClaiming(quint16 width, quint16 height) {
    QByteArray gif = "GIF89a" + le16(width) + le16(height) + QByteArray::fromHex("800000") +
                     QByteArray::fromHex("000000ffffff");
    gif += ',' + le16(0) + le16(0) + le16(width) + le16(height) + QByteArray::fromHex("000202440100");
    return gif + ';';
}

} // namespace

// A few hundred bytes must never make the loader ask for gigabytes; such files are damaged.
TEST(PictureLoader, SizesTheFileCannotHoldAreDamagedBeforeAnyAllocation) {
    QTemporaryDir dir;
    QFile finding(QStringLiteral(TESSAVEL_SOURCE_DIR
                                 "/tests/fuzz/corpus/fuzz_picture_load/png-chunk-longer-than-file"));
    ASSERT_TRUE(finding.open(QIODevice::ReadOnly));
    const QByteArray chunkTooLong = finding.readAll();
    const Loaded fromFile = loadBytes(dir, u"finding.png"_qs, chunkTooLong);
    EXPECT_EQ(fromFile.result.code, Code::DecodeFailed);
    EXPECT_TRUE(fromFile.result.detail.contains(u"longer than the file"))
        << fromFile.result.detail.toStdString();
    Picture p;
    EXPECT_EQ(PictureLoader::loadFromMemory(chunkTooLong, p).code, Code::DecodeFailed);

    // libvips makes a WebP's canvas while it reads the header: its size is weighed first.
    QFile webpFinding(QStringLiteral(
        TESSAVEL_SOURCE_DIR "/tests/fuzz/corpus/fuzz_picture_load/webp-vp8-canvas-larger-than-file"));
    ASSERT_TRUE(webpFinding.open(QIODevice::ReadOnly));
    const Loaded webp = loadBytes(dir, u"finding.webp"_qs, webpFinding.readAll());
    EXPECT_EQ(webp.result.code, Code::DecodeFailed);
    EXPECT_TRUE(webp.result.detail.contains(u"cannot come out of the file"))
        << webp.result.detail.toStdString();
    QFile webpSeed(QStringLiteral(TESSAVEL_SOURCE_DIR "/tests/fuzz/corpus/fuzz_picture_load/s.webp"));
    ASSERT_TRUE(webpSeed.open(QIODevice::ReadOnly));
    EXPECT_TRUE(loadBytes(dir, u"seed.webp"_qs, webpSeed.readAll()).result.ok()) << "a real WebP still loads";

    // Below the pixel limit, yet far more than the bytes can code.
    const Loaded png = loadBytes(dir, u"big.png"_qs, TestImages::pngClaiming(6000, 6000));
    EXPECT_EQ(png.result.code, Code::DecodeFailed);
    EXPECT_TRUE(png.result.detail.contains(u"cannot come out of")) << png.result.detail.toStdString();
    EXPECT_EQ(loadBytes(dir, u"big.bmp"_qs, bmpClaiming(5000, 5000)).result.code, Code::DecodeFailed);
    EXPECT_EQ(loadBytes(dir, u"big.gif"_qs, gifClaiming(4000, 4000)).result.code, Code::DecodeFailed);
    EXPECT_EQ(PictureLoader::loadToFit(dir.filePath(u"big.gif"_qs), 1024, 768, p).code, Code::DecodeFailed);
    EXPECT_TRUE(p.isNull());

    // At a size its bytes could hold, the decoder judges it (it fills a short GIF frame).
    const Loaded small = loadBytes(dir, u"small.gif"_qs, gifClaiming(40, 30));
    ASSERT_TRUE(small.result.ok()) << small.result.detail.toStdString();
    EXPECT_EQ(small.picture.width(), 40);
}
