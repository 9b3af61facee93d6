#include "i18n/CatalogNumber.h"
#include "i18n/Catalog.h"
#include "i18n/CatalogLookup.h"
#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

// One size reads the same wherever it is shown: grouped digits in both languages, and a
// projector's length text grouped only when it is a plain number.
TEST(CatalogNumberTest, GroupsDigitsInEitherLanguage) {
    for (const quint32 language : {Catalog::kEnglish, Catalog::kSimplifiedChinese}) {
        SetSystemLanguageIdForTesting(language);
        EXPECT_EQ(CatalogNumber::format(130731), u"130,731") << language;
        EXPECT_EQ(CatalogNumber::format(qint64{0}), u"0");
        EXPECT_EQ(CatalogNumber::format(999), u"999");
        EXPECT_EQ(CatalogNumber::format(12.345, 2), u"12.35");
        EXPECT_EQ(CatalogNumber::formatText(u"130816"_qs), u"130,816");
        EXPECT_EQ(CatalogNumber::formatText(u"7"_qs), u"7");
        // Not a plain count: shown exactly as the projector sent it.
        for (const QString& odd :
             {u""_qs, u"-5"_qs, u" 12"_qs, u"12a"_qs, u"1.5"_qs, u"１２"_qs, u"123456789012345678901"_qs}) {
            EXPECT_EQ(CatalogNumber::formatText(odd), odd);
        }
    }
    SetSystemLanguageIdForTesting(0);
}

TEST(CatalogNumberTest, FollowsTheCatalogLanguageAndItsMarkers) {
    ScopedCurrentDir dir;
    SetSystemLanguageIdForTesting(Catalog::kEnglish);
    EXPECT_EQ(CatalogNumber::locale().language(), QLocale::English);
    SetSystemLanguageIdForTesting(Catalog::kSimplifiedChinese);
    EXPECT_EQ(CatalogNumber::locale().language(), QLocale::Chinese);
    {
        QFile eng(dir.file(u"GETENG"_qs));
        ASSERT_TRUE(eng.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(CatalogNumber::locale().language(), QLocale::English);
    SetSystemLanguageIdForTesting(Catalog::kEnglish);
    {
        QFile sch(dir.file(u"GETSCH"_qs));
        ASSERT_TRUE(sch.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(CatalogNumber::locale().language(), QLocale::Chinese) << "GETSCH wins over GETENG";
    EXPECT_EQ(CatalogLanguageId(), Catalog::kSimplifiedChinese);
    SetSystemLanguageIdForTesting(0);
}
