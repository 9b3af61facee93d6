#include "imaging/PictureSaver.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureOps.h"
#include "imaging/RgbBuffer.h"
#include "support/TestImages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using Code = ImagingResult::Code;

Picture reload(const QString& path) {
    Picture p;
    const ImagingResult r = PictureLoader::load(path, p);
    EXPECT_TRUE(r.ok()) << path.toStdString() << ": " << r.detail.toStdString();
    return p;
}

double meanDifference(const Picture& a, const Picture& b) {
    return (a.pixels().extract_band(0, vips::VImage::option()->set("n", 3)).cast(VIPS_FORMAT_FLOAT) -
            b.pixels().extract_band(0, vips::VImage::option()->set("n", 3)).cast(VIPS_FORMAT_FLOAT))
        .abs()
        .avg();
}

} // namespace

TEST(PictureSaver, WritesEachFormatAndDepthItClaims) {
    QTemporaryDir dir;
    const Picture source = TestImages::picture(TestImages::gradient(90, 60));
    struct Case {
        PictureFormat format;
        int bits;
        const char* name;
        double tolerance; // mean difference after reading back
    };
    const Case cases[] = {
        {PictureFormat::Gif, 8, "a.gif", 4},    {PictureFormat::Gif, 4, "b.gif", 20},
        {PictureFormat::Bmp, 8, "a.bmp", 4},    {PictureFormat::Bmp, 24, "b.bmp", 0},
        {PictureFormat::Bmp, 1, "c.bmp", 90},   {PictureFormat::Bmp, 4, "d.bmp", 20},
        {PictureFormat::Png, 24, "a.png", 0},   {PictureFormat::Png, 8, "b.png", 4},
        {PictureFormat::Png, 32, "c.png", 0},   {PictureFormat::Jpeg, 24, "a.jpg", 3},
        {PictureFormat::Jpeg, 8, "b.jpg", 60},  {PictureFormat::Tiff, 24, "a.tif", 0},
        {PictureFormat::WebP, 24, "a.webp", 4}, {PictureFormat::Pnm, 24, "a.ppm", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(PictureSaver::canWrite(c.format, c.bits));
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        const ImagingResult r = PictureSaver::save(source, path, c.format, c.bits);
        ASSERT_TRUE(r.ok()) << r.detail.toStdString();
        const Picture back = reload(path);
        EXPECT_EQ(back.width(), 90);
        EXPECT_EQ(back.height(), 60);
        EXPECT_EQ(back.loadedFormat(), c.format);
        if (c.format == PictureFormat::Gif || c.format == PictureFormat::Bmp ||
            c.format == PictureFormat::Png) {
            EXPECT_EQ(back.loadedBitDepth(), c.bits);
        }
        EXPECT_LE(meanDifference(back, source), c.tolerance);
    }
}

TEST(PictureSaver, AnIndexedPictureIsWrittenExactly) {
    QTemporaryDir dir;
    Picture p = TestImages::picture(TestImages::photo(70, 50));
    ColourResolution request;
    request.bits = 4;
    ASSERT_TRUE(PictureOps::colourResolution(p, request).ok());
    for (const auto& [format, name] :
         {std::pair{PictureFormat::Gif, "i.gif"}, std::pair{PictureFormat::Bmp, "i.bmp"},
          std::pair{PictureFormat::Png, "i.png"}}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(PictureSaver::save(p, path, format, 4).ok());
        EXPECT_EQ(meanDifference(reload(path), p), 0.0);
    }
}

TEST(PictureSaver, SaveWritesTheLoadedFormatAndDepthBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"pic.bmp"_qs);
    ASSERT_TRUE(
        PictureSaver::save(TestImages::picture(TestImages::photo(40, 30)), path, PictureFormat::Bmp, 8).ok());
    Picture p = reload(path);
    ASSERT_TRUE(PictureOps::saturation(p, 300).ok());
    ASSERT_TRUE(PictureSaver::saveAsLoaded(p, path).ok());
    const Picture back = reload(path);
    EXPECT_EQ(back.loadedFormat(), PictureFormat::Bmp);
    EXPECT_EQ(back.loadedBitDepth(), 8);
    EXPECT_EQ(PictureSaver::saveAsLoaded(Picture(), path).code, Code::NoPicture);
    EXPECT_EQ(PictureSaver::saveAsLoaded(TestImages::picture(TestImages::gradient(5, 5)), path).code,
              Code::UnsupportedFormat)
        << "a picture made in memory has no format to go back to";
}

TEST(PictureSaver, RefusesWhatItCannotWriteAndLeavesTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"old.bmp"_qs);
    TestImages::writeFile(path, "old");
    const Picture p = TestImages::picture(TestImages::gradient(10, 10));
    EXPECT_EQ(PictureSaver::save(p, path, PictureFormat::Bmp, 2).code, Code::UnsupportedFormat);
    EXPECT_EQ(PictureSaver::save(p, path, PictureFormat::Jpeg, 32).code, Code::UnsupportedFormat);
    EXPECT_EQ(PictureSaver::save(p, path, PictureFormat::Unknown, 24).code, Code::UnsupportedFormat);
    EXPECT_EQ(PictureSaver::save(p, dir.filePath(u"no/such/folder/x.png"_qs), PictureFormat::Png, 24).code,
              Code::WriteFailed);
    EXPECT_EQ(TestImages::readFile(path), "old");
}

TEST(PictureSaver, PicturesGetTheUsersUsualModeNotThePrivateOne) {
    // Projector pictures are shared with colleagues; only files holding passwords are private.
    const mode_t before = ::umask(022);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"shared.qv1"_qs);
    const ImagingResult r = PictureSaver::writeFile(path, QByteArray("GIF89a"));
    ::umask(before);
    ASSERT_TRUE(r.ok());
    const QFileDevice::Permissions p = QFile::permissions(path);
    EXPECT_TRUE(p.testFlag(QFileDevice::ReadGroup) && p.testFlag(QFileDevice::ReadOther));
    EXPECT_FALSE(p.testFlag(QFileDevice::WriteOther));
}
