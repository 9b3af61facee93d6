#include "imaging/SendableImage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString makeFile(const QTemporaryDir& dir, const QString& name, qint64 size) {
    const QString path = dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    EXPECT_TRUE(f.resize(size));
    return path;
}

int reasonFor(const QString& path, quint32 w, quint32 h) {
    int reason = -99;
    const bool ok = IsSendableImage(path, w, h, reason);
    EXPECT_EQ(ok, reason == 0);
    return reason;
}

} // namespace

TEST(SendableImageTest, LimitsAndOrderOfChecks) {
    QTemporaryDir dir;
    const QString fits = makeFile(dir, u"a.qv1"_qs, 130816);
    EXPECT_EQ(reasonFor(fits, 1024, 768), 0);
    EXPECT_EQ(reasonFor(fits, 5, 2), 0);
    EXPECT_EQ(reasonFor(fits, 1025, 768), 4);
    EXPECT_EQ(reasonFor(fits, 1024, 769), 4);
    EXPECT_EQ(reasonFor(fits, 4, 100), 4);
    EXPECT_EQ(reasonFor(fits, 100, 1), 4);
    EXPECT_EQ(reasonFor(fits, 0, 0), 4) << "before any picture is shown every file fails on size";

    EXPECT_EQ(reasonFor(makeFile(dir, u"big.qv1"_qs, 130817), 100, 100), 2);
    EXPECT_EQ(reasonFor(makeFile(dir, u"empty.qv1"_qs, 0), 100, 100), 2);
    EXPECT_EQ(reasonFor(makeFile(dir, u"UPPER.QV1"_qs, 10), 100, 100), 0);
    EXPECT_EQ(reasonFor(makeFile(dir, u"pic.gif"_qs, 10), 100, 100), 3);
    EXPECT_EQ(reasonFor(makeFile(dir, u"noext"_qs, 10), 100, 100), 3);
    EXPECT_EQ(reasonFor(makeFile(dir, u"x.qv1.bak"_qs, 10), 100, 100), 3);
    EXPECT_EQ(reasonFor(makeFile(dir, u"folder.qv1/file"_qs, 10), 100, 100), 3);

    EXPECT_EQ(reasonFor(dir.filePath(u"missing.qv1"_qs), 100, 100), 1);
    // The order: size before length before extension.
    EXPECT_EQ(reasonFor(makeFile(dir, u"big.gif"_qs, 200000), 2000, 100), 4);
    EXPECT_EQ(reasonFor(makeFile(dir, u"big2.gif"_qs, 200000), 100, 100), 2);
}

TEST(SendableImageTest, HugeFileIsNotMistakenForASmallOne) {
    QTemporaryDir dir;
    // Sparse: 4 GiB + 100 bytes, whose low 32 bits alone would read as 100.
    const QString path = makeFile(dir, u"huge.qv1"_qs, (qint64{1} << 32) + 100);
    EXPECT_EQ(reasonFor(path, 100, 100), 2);
}
