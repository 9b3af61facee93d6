#include "schedule/EntryImageCheck.h"
#include "imaging/GifWriter.h"
#include "imaging/SendableImage.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A real GIF of the given size from the program's own writer.
QByteArray gif(int width, int height) {
    const Palette palette({{0, 0, 0}, {255, 255, 255}});
    std::vector<quint8> indices(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<quint8>(i % 3 == 0);
    }
    QByteArray out;
    EXPECT_TRUE(GifWriter::write(width, height, indices, palette, 8, out).ok());
    return out;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

int reasonFor(const QString& path) {
    int reason = -99;
    const bool ok = EntryImageCheck::isSchedulable(path, reason);
    EXPECT_EQ(ok, reason == SendableImage::Sendable);
    return reason;
}

} // namespace

TEST(EntryImageCheckTest, ReadsTheLogicalScreenSizeOfBothGifVersions) {
    const auto size = EntryImageCheck::gifHeaderSize(gif(321, 123));
    EXPECT_EQ(size.width, 321u);
    EXPECT_EQ(size.height, 123u);
    QByteArray old("GIF87a\x00\x04\x00\x03", 10); // 1024 by 768, little-endian
    EXPECT_EQ(EntryImageCheck::gifHeaderSize(old).width, 1024u);
    EXPECT_EQ(EntryImageCheck::gifHeaderSize(old).height, 768u);
    // Not a GIF, another version, or too short: no size at all.
    for (const QByteArray& bad :
         {QByteArray("GIF88a\x10\x00\x10\x00", 10), QByteArray("GIF89a\x10\x00\x10", 9),
          QByteArray("\x89PNG\r\n\x1a\n\x00\x00", 10), QByteArray()}) {
        EXPECT_EQ(EntryImageCheck::gifHeaderSize(bad).width, 0u);
        EXPECT_EQ(EntryImageCheck::gifHeaderSize(bad).height, 0u);
    }
}

TEST(EntryImageCheckTest, TheFilesOwnPictureDecidesWithTheUsualReasons) {
    QTemporaryDir dir;
    EXPECT_EQ(reasonFor(writeFile(dir, u"ok.qv1"_qs, gif(640, 480))), SendableImage::Sendable);
    EXPECT_EQ(reasonFor(writeFile(dir, u"corner.QV1"_qs, gif(5, 2))), SendableImage::Sendable);
    EXPECT_EQ(reasonFor(writeFile(dir, u"max.qv1"_qs, gif(1024, 768))), SendableImage::Sendable);
    EXPECT_EQ(reasonFor(writeFile(dir, u"wide.qv1"_qs, gif(1025, 10))), SendableImage::BadPictureSize);
    EXPECT_EQ(reasonFor(writeFile(dir, u"high.qv1"_qs, gif(10, 769))), SendableImage::BadPictureSize);
    EXPECT_EQ(reasonFor(writeFile(dir, u"narrow.qv1"_qs, gif(4, 10))), SendableImage::BadPictureSize);
    EXPECT_EQ(reasonFor(writeFile(dir, u"flat.qv1"_qs, gif(10, 1))), SendableImage::BadPictureSize);
    // Without a header there is no size: the other faults are named first.
    EXPECT_EQ(reasonFor(writeFile(dir, u"text.qv1"_qs, "not a picture")), SendableImage::BadPictureSize);
    EXPECT_EQ(reasonFor(writeFile(dir, u"empty.qv1"_qs, {})), SendableImage::BadFileSize);
    EXPECT_EQ(reasonFor(writeFile(dir, u"notes.txt"_qs, "abc")), SendableImage::NotQv1);
    EXPECT_EQ(reasonFor(writeFile(dir, u"pic.gif"_qs, gif(100, 100))), SendableImage::NotQv1);
    EXPECT_EQ(reasonFor(dir.filePath(u"missing.qv1"_qs)), SendableImage::CannotOpen);
    // A header that claims a fine size in front of too many bytes fails on the length.
    QByteArray heavy = gif(100, 100);
    heavy.append(QByteArray(SendableImage::kMaxFileSize, '\0'));
    EXPECT_EQ(reasonFor(writeFile(dir, u"heavy.qv1"_qs, heavy)), SendableImage::BadFileSize);
}
