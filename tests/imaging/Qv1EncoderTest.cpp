#include "imaging/Qv1Encoder.h"
#include "imaging/GifWriter.h"
#include "imaging/IndexedImage.h"
#include "imaging/LossyLzw.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureOps.h"
#include "imaging/RgbBuffer.h"
#include "support/TestImages.h"
#include "workspace/ProjectorPictureSave.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Code = ImagingResult::Code;
using TestImages::GifLayout;

void expectProjectorGif(const QByteArray& bytes, int width, int height) {
    const GifLayout g = TestImages::parseGif(bytes);
    ASSERT_TRUE(g.valid);
    EXPECT_EQ(g.width, width);
    EXPECT_EQ(g.height, height);
    EXPECT_TRUE(g.globalTable);
    EXPECT_EQ(g.globalTableEntries, 256);
    EXPECT_FALSE(g.localTable);
    EXPECT_EQ(g.lzwMinimumCodeSize, 8);
    EXPECT_EQ(g.frames, 1);
}

bool samePixels(const Picture& a, const Picture& b) {
    RgbBuffer x;
    RgbBuffer y;
    return RgbBuffer::fromPicture(a, x).ok() && RgbBuffer::fromPicture(b, y).ok() && x.width() == y.width() &&
           x.height() == y.height() && std::equal(x.data(), x.data() + x.byteSize(), y.data());
}

} // namespace

TEST(Qv1Encoder, WritesAStandardEightBitGif) {
    // Few colours or many: the table has 256 entries and the code size is 8 either way.
    for (const vips::VImage& image : {TestImages::solid(40, 30, 10, 200, 30), TestImages::photo(120, 90)}) {
        Qv1Encoder::Encoding e;
        ASSERT_TRUE(Qv1Encoder::encode(TestImages::picture(image), e).ok());
        expectProjectorGif(e.bytes, image.width(), image.height());
    }
}

TEST(Qv1Encoder, TheShownPictureIsWhatTheFileHolds) {
    const Picture source = TestImages::picture(TestImages::photo(150, 100));
    Qv1Encoder::Encoding e;
    ASSERT_TRUE(Qv1Encoder::encode(source, e).ok());
    Picture decoded;
    ASSERT_TRUE(PictureLoader::loadFromMemory(e.bytes, decoded).ok());
    EXPECT_EQ(decoded.width(), 150);
    EXPECT_EQ(decoded.height(), 100);
    EXPECT_TRUE(samePixels(decoded, e.shown)) << "libvips reads back exactly the colour-reduced picture";
    EXPECT_FALSE(samePixels(source, e.shown)) << "a photo needs more than 256 colours";
    EXPECT_EQ(e.shown.bitsPerPixel(), 8);
    EXPECT_EQ(e.shown.loadedFormat(), PictureFormat::Gif);
    EXPECT_LE(e.shown.palette().size(), 256);
}

TEST(Qv1Encoder, AnIndexedPictureKeepsItsPalette) {
    Picture p = TestImages::picture(TestImages::photo(64, 64));
    ColourResolution request;
    request.bits = 4;
    request.palette = PaletteOption::Fixed;
    ASSERT_TRUE(PictureOps::colourResolution(p, request).ok());
    Qv1Encoder::Encoding e;
    ASSERT_TRUE(Qv1Encoder::encode(p, e).ok());
    expectProjectorGif(e.bytes, 64, 64);
    EXPECT_TRUE(samePixels(p, e.shown)) << "no second quantisation";
}

TEST(Qv1Encoder, TransparencyBecomesWhite) {
    const vips::VImage clear = TestImages::solid(10, 10, 0, 0, 0).bandjoin_const({0.0});
    Qv1Encoder::Encoding e;
    ASSERT_TRUE(Qv1Encoder::encode(TestImages::picture(clear), e).ok());
    EXPECT_EQ(e.shown.pixels().min(), 255.0);
}

TEST(Qv1Encoder, TheSizeFigureIsTheLengthOfTheFile) {
    QTemporaryDir dir;
    const Picture p = TestImages::picture(TestImages::photo(200, 150, 7));
    qint64 figure = 0;
    ASSERT_TRUE(Qv1Encoder::encodedSize(p, figure).ok());
    const QString path = dir.filePath(u"a.qv1"_qs);
    const ProjectorPictureSave::Outcome o = ProjectorPictureSave::save(p, path);
    ASSERT_TRUE(o.result.ok());
    EXPECT_EQ(QFileInfo(path).size(), figure);
    EXPECT_EQ(o.bytes, figure);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left behind";
    qint64 none = -1;
    EXPECT_EQ(Qv1Encoder::encodedSize(Picture(), none).code, Code::NoPicture);
}

TEST(ProjectorPictureSave, OnlyQv1NamesAreWritten) {
    QTemporaryDir dir;
    const Picture p = TestImages::picture(TestImages::gradient(30, 20));
    EXPECT_TRUE(ProjectorPictureSave::save(p, dir.filePath(u"UPPER.QV1"_qs)).result.ok());
    for (const QString& name : {u"plain"_qs, u"pic.gif"_qs, u"x.qv1.bak"_qs}) {
        EXPECT_EQ(ProjectorPictureSave::save(p, dir.filePath(name)).result.code, Code::NotQv1Name);
        EXPECT_FALSE(QFile::exists(dir.filePath(name))) << name.toStdString();
    }
    QDir(dir.path()).mkdir(u"folder.qv1"_qs);
    EXPECT_FALSE(ProjectorPictureSave::hasQv1Extension(dir.filePath(u"folder.qv1/file"_qs)));
}

TEST(ProjectorPictureSave, AFailureLeavesTheTargetAsItWas) {
    QTemporaryDir dir;
    const QString target = dir.filePath(u"keep.qv1"_qs);
    TestImages::writeFile(target, "previous projector picture");
    // Nothing to encode.
    EXPECT_EQ(ProjectorPictureSave::save(Picture(), target).result.code, Code::NoPicture);
    EXPECT_EQ(TestImages::readFile(target), "previous projector picture");
    // The encoder itself fails: GIF cannot describe a frame 70,000 pixels wide.
    const Picture tooWide = TestImages::picture(TestImages::solid(70000, 1, 10, 20, 30));
    const ProjectorPictureSave::Outcome failed = ProjectorPictureSave::save(tooWide, target);
    EXPECT_EQ(failed.result.code, Code::BadArgument);
    EXPECT_TRUE(failed.shown.isNull());
    EXPECT_EQ(TestImages::readFile(target), "previous projector picture");
    // The target is a folder: nothing can be renamed over it, and it stays a folder.
    const QString folder = dir.filePath(u"folder.qv1"_qs);
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_EQ(ProjectorPictureSave::save(TestImages::picture(TestImages::gradient(8, 8)), folder).result.code,
              Code::WriteFailed);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left behind";
}

TEST(ProjectorPictureSave, AFolderThatRefusesWritesLeavesTheTargetAsItWas) {
    QTemporaryDir dir;
    // The folder cannot take the temporary file.
    const QString locked = dir.filePath(u"locked"_qs);
    ASSERT_TRUE(QDir().mkdir(locked));
    const QString lockedTarget = locked + u"/keep.qv1"_qs;
    TestImages::writeFile(lockedTarget, "previous projector picture");
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const ProjectorPictureSave::Outcome o =
        ProjectorPictureSave::save(TestImages::picture(TestImages::gradient(20, 20)), lockedTarget);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (o.result.ok()) {
        GTEST_SKIP() << "running with permission to write anywhere";
    }
    EXPECT_EQ(o.result.code, Code::WriteFailed);
    EXPECT_TRUE(o.shown.isNull());
    EXPECT_EQ(TestImages::readFile(lockedTarget), "previous projector picture");
}

TEST(GifWriter, TableSizeFollowsTheBitsAndBadFramesAreRefused) {
    const Palette two({{0, 0, 0}, {255, 255, 255}});
    const std::vector<quint8> indices = {0, 1, 1, 0, 1, 0};
    for (const int bits : {1, 2, 4, 8}) {
        QByteArray out;
        ASSERT_TRUE(GifWriter::write(3, 2, indices, two, bits, out).ok());
        const GifLayout g = TestImages::parseGif(out);
        ASSERT_TRUE(g.valid);
        EXPECT_EQ(g.globalTableEntries, 1 << bits);
        EXPECT_EQ(g.lzwMinimumCodeSize, std::max(2, bits));
    }
    QByteArray out;
    EXPECT_EQ(GifWriter::write(3, 3, indices, two, 8, out).code, Code::BadArgument) << "too few indices";
    EXPECT_EQ(GifWriter::write(3, 2, {0, 1, 2, 0, 1, 0}, two, 8, out).code, Code::BadArgument) << "index 2";
    EXPECT_EQ(GifWriter::write(3, 2, indices, Palette::greyscale(4), 2, out).code, Code::BadArgument);
    EXPECT_EQ(GifWriter::write(70000, 1, std::vector<quint8>(70000), two, 8, out).code, Code::BadArgument);
    EXPECT_EQ(GifWriter::write(3, 2, indices, two, 9, out).code, Code::BadArgument);
    EXPECT_TRUE(out.isEmpty());
}

TEST(GifWriter, StopsAtTheByteLimit) {
    const RgbBuffer noise = [] {
        RgbBuffer b;
        EXPECT_TRUE(RgbBuffer::fromImage(TestImages::photo(200, 200), b).ok());
        return b;
    }();
    IndexedImage indexed;
    ASSERT_TRUE(IndexedImage::fromRgb(noise, 8, indexed).ok());
    QByteArray full;
    ASSERT_TRUE(GifWriter::write(200, 200, indexed.indices(), indexed.palette(), 8, full).ok());
    QByteArray capped;
    EXPECT_EQ(
        GifWriter::write(200, 200, indexed.indices(), indexed.palette(), 8, capped, full.size() - 1).code,
        Code::DoesNotFit);
    EXPECT_TRUE(
        GifWriter::write(200, 200, indexed.indices(), indexed.palette(), 8, capped, full.size()).ok());
    EXPECT_EQ(capped, full);
}

// The fit relies on the size model being exact; random pictures of every kind, long enough
// to clear the LZW dictionary several times, must give giflib's size to the byte.
TEST(LossyLzw, TheSizeModelMatchesGiflibExactly) {
    QRandomGenerator random(42);
    for (int round = 0; round < 12; ++round) {
        const int w = 20 + static_cast<int>(random.bounded(300));
        const int h = 1 + static_cast<int>(random.bounded(200));
        const int colours = 1 + static_cast<int>(random.bounded(256));
        std::vector<PaletteColour> entries;
        for (int i = 0; i < colours; ++i) {
            entries.push_back(
                {quint8(random.bounded(256)), quint8(random.bounded(256)), quint8(random.bounded(256))});
        }
        const Palette palette(entries);
        RgbBuffer ref(w, h);
        std::vector<quint8> indices(static_cast<size_t>(w) * static_cast<size_t>(h));
        // Runs of random length, so both long strings and noise occur.
        size_t i = 0;
        while (i < indices.size()) {
            const auto run = static_cast<size_t>(1 + random.bounded(round % 3 == 0 ? 2 : 40));
            const auto v = static_cast<quint8>(random.bounded(colours));
            for (size_t k = 0; k < run && i < indices.size(); ++k, ++i) {
                indices[i] = v;
                const PaletteColour c = palette.at(v);
                ref.data()[i * 3] = quint8(std::clamp(c.r + int(random.bounded(21)) - 10, 0, 255));
                ref.data()[i * 3 + 1] = c.g;
                ref.data()[i * 3 + 2] = c.b;
            }
        }
        for (const int tolerance : {0, 6, 25}) {
            SCOPED_TRACE(testing::Message() << "round " << round << " tolerance " << tolerance);
            std::vector<quint8> lossy = indices;
            const LossyLzw::Outcome o = LossyLzw::run(ref, palette, lossy, tolerance);
            QByteArray gif;
            ASSERT_TRUE(GifWriter::write(w, h, lossy, palette, 8, gif).ok());
            EXPECT_EQ(o.fileBytes, gif.size());
            EXPECT_TRUE(o.complete);
            if (tolerance == 0) {
                EXPECT_EQ(lossy, indices);
            }
        }
    }
}

TEST(LossyLzw, LossIsBoundedAndPaysOff) {
    RgbBuffer ref;
    ASSERT_TRUE(RgbBuffer::fromImage(TestImages::photo(160, 120, 3), ref).ok());
    IndexedImage indexed;
    ASSERT_TRUE(IndexedImage::fromRgb(ref, 8, indexed).ok());
    std::vector<quint8> exact = indexed.indices();
    const LossyLzw::Outcome lossless = LossyLzw::run(ref, indexed.palette(), exact, 0);
    std::vector<quint8> lossy = indexed.indices();
    const int tolerance = 12;
    const LossyLzw::Outcome o = LossyLzw::run(ref, indexed.palette(), lossy, tolerance);
    EXPECT_LT(o.fileBytes, lossless.fileBytes * 9 / 10);
    EXPECT_GT(o.squaredError, lossless.squaredError);
    auto err = [&](size_t i, quint8 index) {
        const PaletteColour c = indexed.palette().at(index);
        const quint8* p = ref.data() + i * 3;
        return (p[0] - c.r) * (p[0] - c.r) + (p[1] - c.g) * (p[1] - c.g) + (p[2] - c.b) * (p[2] - c.b);
    };
    double sum = 0;
    for (size_t i = 0; i < lossy.size(); ++i) {
        ASSERT_LE(err(i, lossy[i]), err(i, exact[i]) + 3 * tolerance * tolerance) << "pixel " << i;
        sum += err(i, lossy[i]);
    }
    EXPECT_DOUBLE_EQ(sum, o.squaredError);
    // Stopping at a limit reports an incomplete run whose size already exceeds it.
    std::vector<quint8> again = indexed.indices();
    const LossyLzw::Outcome stopped = LossyLzw::run(ref, indexed.palette(), again, 0, lossless.fileBytes / 2);
    EXPECT_FALSE(stopped.complete);
    EXPECT_GT(stopped.fileBytes, lossless.fileBytes / 2);
}
