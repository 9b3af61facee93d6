#include "i18n/LanguageChoice.h"
#include "i18n/Catalog.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "support/TempDir.h"

#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

TEST(LanguageChoiceTest, FindsTheOptionAndTakesItOut) {
    const QStringList args{u"--language"_qs, u"zh"_qs, u"hall.qv1"_qs, u"--language=en"_qs};
    const auto last = LanguageChoice::find(args);
    EXPECT_TRUE(last.given);
    EXPECT_EQ(last.value, u"en") << "the last one counts";
    EXPECT_EQ(LanguageChoice::without(args), QStringList{u"hall.qv1"_qs});
    EXPECT_FALSE(LanguageChoice::find({u"hall.qv1"_qs}).given);
    const QStringList afterEnd{u"--"_qs, u"--language"_qs, u"zh"_qs};
    EXPECT_FALSE(LanguageChoice::find(afterEnd).given);
    EXPECT_EQ(LanguageChoice::without(afterEnd), afterEnd);
    EXPECT_EQ(LanguageChoice::fromName(u"zh"_qs), Catalog::kSimplifiedChinese);
    EXPECT_EQ(LanguageChoice::fromName(u"en"_qs), Catalog::kEnglish);
    EXPECT_FALSE(LanguageChoice::fromName(u"zh_CN"_qs));
}

// The choice outlives the process, and a settings file with nonsense in it means no choice.
TEST(LanguageChoiceTest, IsRememberedInTheSettings) {
    ScopedCurrentDir dir;
    const QString path = dir.file(u"Tessavel.conf"_qs);
    {
        QSettings settings(path, QSettings::IniFormat);
        EXPECT_EQ(LanguageChoice::remembered(settings), 0u);
        LanguageChoice::remember(settings, Catalog::kSimplifiedChinese);
    }
    {
        QSettings settings(path, QSettings::IniFormat);
        EXPECT_EQ(LanguageChoice::remembered(settings), Catalog::kSimplifiedChinese);
        settings.setValue(u"language"_qs, u"klingon"_qs);
        EXPECT_EQ(LanguageChoice::remembered(settings), 0u);
    }
}

// Choosing loads the other catalog; the marker files still win over the choice.
TEST(LanguageChoiceTest, ApplyingLoadsThatLanguagesCatalog) {
    ScopedCurrentDir dir;
    SetCatalogSearchPathForTesting({QStringLiteral(TESSAVEL_BUILD_DIR)});
    ASSERT_EQ(LanguageChoice::apply(Catalog::kSimplifiedChinese), 0);
    EXPECT_EQ(CatalogText(msg::ButtonClose), u"关闭");
    EXPECT_EQ(CatalogLanguageId(), Catalog::kSimplifiedChinese);
    ASSERT_EQ(LanguageChoice::apply(Catalog::kEnglish), 0);
    EXPECT_EQ(CatalogText(msg::ButtonClose), u"Close");
    {
        QFile marker(dir.file(u"GETSCH"_qs));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(LanguageChoice::apply(Catalog::kEnglish), 0);
    EXPECT_EQ(CatalogText(msg::ButtonClose), u"关闭");

    UnloadCatalog();
    SetChosenLanguageId(0);
    SetCatalogSearchPathForTesting({});
}
