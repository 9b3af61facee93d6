#include "tools/tessavelctl/ConvertCommand.h"
#include "i18n/CatalogLookup.h"
#include "imaging/PictureLoader.h"
#include "imaging/SendableImage.h"
#include "support/TestImages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CommandRun {
    int exit = -1;
    QString out;
    QString err;
};

CommandRun convert(const QStringList& args) {
    SetCatalogSearchPathForTesting({QStringLiteral(TESSAVEL_BUILD_DIR)});
    SetSystemLanguageIdForTesting(Catalog::kEnglish);
    CommandRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.exit = RunConvertCommand(args, out, err);
    return r;
}

class ConvertCommand : public testing::Test {
protected:
    void SetUp() override {
        m_small = m_dir.filePath(u"small.png"_qs);
        TestImages::writeFile(m_small, TestImages::encode(TestImages::gradient(320, 200), ".png"));
        m_photo = m_dir.filePath(u"photo.jpg"_qs);
        TestImages::writeFile(m_photo, TestImages::encode(TestImages::photo(1400, 1000, 21), ".jpg[Q=95]"));
    }
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    QString m_small;
    QString m_photo;
};

} // namespace

TEST_F(ConvertCommand, BadUsageIsExitTwo) {
    EXPECT_EQ(convert({}).exit, 2);
    EXPECT_EQ(convert({m_small}).exit, 2);
    EXPECT_EQ(convert({m_small, file("a.qv1"), file("b.qv1")}).exit, 2);
    EXPECT_EQ(convert({m_small, file("a.qv1"), u"--fast"_qs}).exit, 2);
    const CommandRun wrongName = convert({m_small, file("a.gif")});
    EXPECT_EQ(wrongName.exit, 2);
    EXPECT_TRUE(wrongName.err.contains(u".qv1"));
    EXPECT_TRUE(wrongName.err.contains(u"Usage"));
    EXPECT_FALSE(QFile::exists(file("a.gif")));
}

TEST_F(ConvertCommand, UnreadableInputIsExitTwo) {
    const CommandRun missing = convert({file("none.png"), file("a.qv1")});
    EXPECT_EQ(missing.exit, 2);
    EXPECT_TRUE(missing.err.contains(u"none.png"));
    TestImages::writeFile(file("junk.png"), "not a picture at all");
    const CommandRun junk = convert({file("junk.png"), file("a.qv1"), u"--fit"_qs});
    EXPECT_EQ(junk.exit, 2);
    EXPECT_TRUE(junk.err.contains(u"format")) << junk.err.toStdString();
    EXPECT_FALSE(junk.err.contains(u"[]")) << "names appear as given";
    EXPECT_FALSE(QFile::exists(file("a.qv1")));
}

TEST_F(ConvertCommand, ASmallPictureConvertsAndIsSendable) {
    const CommandRun r = convert({m_small, file("small.qv1")});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"320 × 200")) << r.out.toStdString();
    int reason = -1;
    EXPECT_TRUE(IsSendableImage(file("small.qv1"), 320, 200, reason));
}

TEST_F(ConvertCommand, WithoutFitItSaysWhyTheResultIsNotSendable) {
    const CommandRun r = convert({m_photo, file("photo.qv1")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(QFile::exists(file("photo.qv1"))) << "converted as Save As would";
    EXPECT_TRUE(r.err.contains(u"1400 × 1000")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"--fit"));
}

TEST_F(ConvertCommand, WithFitTheResultIsSendable) {
    const CommandRun r = convert({m_photo, file("photo.qv1"), u"--fit"_qs});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"PSNR")) << r.out.toStdString();
    Picture shown;
    ASSERT_TRUE(PictureLoader::load(file("photo.qv1"), shown).ok());
    EXPECT_EQ(shown.width(), 1024);
    EXPECT_EQ(shown.height(), 731);
    int reason = -1;
    EXPECT_TRUE(IsSendableImage(file("photo.qv1"), quint32(shown.width()), quint32(shown.height()), reason))
        << reason;
    EXPECT_LE(QFileInfo(file("photo.qv1")).size(), SendableImage::kMaxFileSize);
}

TEST_F(ConvertCommand, AFailedWriteLeavesTheTargetAndIsExitOne) {
    const QString target = m_dir.filePath(u"missing-folder/x.qv1"_qs);
    const CommandRun r = convert({m_small, target, u"--fit"_qs});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.err.contains(u"x.qv1"));
    EXPECT_FALSE(QFile::exists(target));
}
