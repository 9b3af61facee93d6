#include "common/TextRules.h"
#include "registry/Ipv4.h"

#include <gtest/gtest.h>

TEST(TextRulesTest, ClassicDecimalConversion) {
    EXPECT_EQ(TextRules::toInt(u"42"), 42);
    EXPECT_EQ(TextRules::toInt(u"  -7x"), -7);
    EXPECT_EQ(TextRules::toInt(u"+3"), 3);
    EXPECT_EQ(TextRules::toInt(u"abc"), 0);
    EXPECT_EQ(TextRules::toInt(u""), 0);
    EXPECT_EQ(TextRules::toInt(u"99999999999999999999"), 2147483647);
    EXPECT_EQ(TextRules::toInt(u"-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(TextRules::toInt(QByteArrayView("12\r\n")), 12);
}

TEST(TextRulesTest, FieldsCutOnCharacterBoundaries) {
    EXPECT_EQ(TextRules::toField(QStringLiteral("abcdef"), 4), QByteArray("abc"));
    // "é" is two bytes: a 4-byte field holds "a" and one "é", never half of the second.
    EXPECT_EQ(TextRules::toField(QString::fromUtf8("aéé"), 5), QByteArray("a\xc3\xa9"));
    EXPECT_EQ(TextRules::toField(QString::fromUtf8("aéé"), 4), QByteArray("a\xc3\xa9"));
    const char noZero[4] = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(TextRules::fromField(noZero, 4), u"wxyz");
    const char withZero[4] = {'a', '\0', 'y', 'z'};
    EXPECT_EQ(TextRules::fromField(withZero, 4), u"a");
}

TEST(Ipv4Test, ClassicParserForms) {
    EXPECT_EQ(Ipv4::parseClassic("192.168.0.10"), 0xC0A8000Au);
    EXPECT_EQ(Ipv4::parseClassic("127.1"), 0x7F000001u);
    EXPECT_EQ(Ipv4::parseClassic("10.1.513"), 0x0A010201u);
    EXPECT_EQ(Ipv4::parseClassic("0x7f.0.0.1"), 0x7F000001u);
    EXPECT_EQ(Ipv4::parseClassic("010.0.0.1"), 0x08000001u); // octal
    EXPECT_EQ(Ipv4::parseClassic("3232235530"), 0xC0A8000Au);
    EXPECT_EQ(Ipv4::parseClassic("1.2.3.4 "), 0x01020304u);
    for (const char* bad : {"", "abc", "1.2.3.4.5", "256.1.1.1", "1.2.3.256", "1..2.3", "08.1.1.1",
                            "1.2.3.4x", "4294967296", " 1.2.3.4", "1.2.3."}) {
        EXPECT_EQ(Ipv4::parseClassic(bad), Ipv4::kNone) << bad;
    }
    EXPECT_EQ(Ipv4::toText(Ipv4::Octets{192, 168, 0, 10}), u"192.168.0.10");
    EXPECT_EQ(Ipv4::toHost({192, 168, 0, 10}), 0xC0A8000Au);
    EXPECT_EQ(Ipv4::toOctets(0xC0A8000Au), (Ipv4::Octets{192, 168, 0, 10}));
}

TEST(Ipv4Test, StrictDottedAddress) {
    Ipv4::Octets o{9, 9, 9, 9};
    EXPECT_EQ(ParseDottedAddress(u"10.0.0.255", o), 0);
    EXPECT_EQ(o, (Ipv4::Octets{10, 0, 0, 255}));
    EXPECT_EQ(ParseDottedAddress(u"1..3.", o), 0); // empty numbers read as 0
    EXPECT_EQ(o, (Ipv4::Octets{1, 0, 3, 0}));
    o = {9, 9, 9, 9};
    for (const char16_t* bad :
         {u"1.2.3", u"1.2.3.4.5", u"1.2.3.256", u"a.b.c.d", u"1.2.3.4 ", u"-1.2.3.4", u"99999999999.1.1.1"}) {
        EXPECT_EQ(ParseDottedAddress(bad, o), -1) << QString::fromUtf16(bad).toStdString();
    }
    EXPECT_EQ(o, (Ipv4::Octets{9, 9, 9, 9})) << "a rejected text leaves the octets alone";
}
