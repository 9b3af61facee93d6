#include "i18n/FileErrorReason.h"
#include "common/PrivateFile.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "support/CatalogFixture.h"
#include "support/TempDir.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <cerrno>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

bool hasLatinLetter(const QString& s) {
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    return s.contains(latin);
}

} // namespace

// Failures the system really reports end a Chinese message in Chinese, through QFile and
// through the atomic writer's QSaveFile alike.
TEST(FileErrorReasonTest, RealFailuresReadInChinese) {
    ShippedCatalog zh(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    QFile missing(dir.filePath(u"nothing-here.sch"_qs));
    ASSERT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_EQ(FileErrorReason::of(missing), u"文件或文件夹不存在");

    const IoResult intoNowhere = PrivateFile::write(dir.filePath(u"no-folder/list.ini"_qs), "x");
    ASSERT_FALSE(intoNowhere.ok());
    EXPECT_EQ(FileErrorReason::ofSystemText(intoNowhere.detail), u"文件或文件夹不存在")
        << intoNowhere.detail.toStdString();

#ifdef Q_OS_LINUX
    // The kernel's always-full device: the write is refused for lack of space.
    QFile full(u"/dev/full"_qs);
    ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    EXPECT_EQ(full.write("projector"), -1);
    EXPECT_EQ(FileErrorReason::of(full), u"磁盘空间已满") << full.errorString().toStdString();
#endif
#ifdef Q_OS_UNIX
    if (::geteuid() != 0) { // root may open anything
        QFile locked(dir.filePath(u"locked.csv"_qs));
        ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
        locked.close();
        ASSERT_TRUE(locked.setPermissions(QFileDevice::Permissions{}));
        ASSERT_FALSE(locked.open(QIODevice::ReadOnly));
        EXPECT_EQ(FileErrorReason::of(locked), u"没有权限");
    }
#endif
}

// Each common cause has a text of its own in both catalogs; every other reason keeps the
// system's words, which the English window shows exactly as before.
TEST(FileErrorReasonTest, CommonCausesAndTheFallback) {
    {
        ShippedCatalog zh(ShippedCatalog::Which::SimplifiedChinese, Catalog::kSimplifiedChinese);
        QSet<QString> texts;
        for (const int code : {EACCES, ENOSPC, ENOENT, EROFS}) {
            const QString reason = FileErrorReason::ofErrno(code);
            EXPECT_FALSE(hasLatinLetter(reason)) << code << ": " << reason.toStdString();
            EXPECT_EQ(FileErrorReason::ofSystemText(qt_error_string(code)), reason) << code;
            texts.insert(reason);
        }
        EXPECT_EQ(texts.size(), 4) << "two causes share one text";
        EXPECT_EQ(FileErrorReason::ofErrno(EPERM), FileErrorReason::ofErrno(EACCES));
        EXPECT_EQ(FileErrorReason::ofErrno(EDQUOT), FileErrorReason::ofErrno(ENOSPC));
        EXPECT_EQ(FileErrorReason::ofErrno(ENOTDIR), FileErrorReason::ofErrno(ENOENT));

        const QString other = FileErrorReason::ofErrno(EIO);
        EXPECT_TRUE(other.contains(qt_error_string(EIO))) << other.toStdString();
        EXPECT_NE(other, qt_error_string(EIO)) << "the system's words are not marked as such";
        EXPECT_EQ(FileErrorReason::ofSystemText(u"chmod failed"_qs),
                  CatalogText(msg::FileReasonOther, {u"chmod failed"_qs}));
        // The reason ends a longer message without ASCII punctuation of its own.
        EXPECT_EQ(CatalogText(msg::ScheduleSaveFailed, {u"a.sch"_qs, FileErrorReason::ofErrno(EROFS)}),
                  u"无法将计划保存到“a.sch”：文件系统为只读");
    }
    ShippedCatalog en(ShippedCatalog::Which::Default, Catalog::kEnglish);
    for (const int code : {EACCES, ENOSPC, ENOENT, EROFS, EIO}) {
        EXPECT_EQ(FileErrorReason::ofErrno(code), qt_error_string(code)) << code;
    }
}
