#include "registry/ProjectorClash.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/MacText.h"
#include "registry/ProjectorCsv.h"
#include "support/CatalogFixture.h"

#include <gtest/gtest.h>

namespace {

ProjectorRecord rec(const QString& name, quint32 host, const QString& mac = {}) {
    ProjectorRecord r;
    r.name = name;
    r.mac = mac;
    r.address = Ipv4::toOctets(host);
    r.authMark = u"0"_qs;
    return r;
}

} // namespace

TEST(MacText, AWholeAddressIsReadInTheFormsPeopleWriteAndPaste) {
    const MacText::Bytes expected{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    for (const char16_t* text : {u"00:1A:2B:3C:4D:5E", u"00-1a-2b-3c-4d-5e", u"001A.2B3C.4D5E",
                                 u"001A2B3C4D5E", u"001a2b3c4d5e", u"  00:1a:2B:3c:4D:5e\n"}) {
        EXPECT_EQ(MacText::parseWhole(text), expected) << QString::fromUtf16(text).toStdString();
    }
    for (const char16_t* text :
         {u"", u"00", u"00:1A:2B:3C:4D", u"00:1A:2B:3C:4D:5E:6F", u"00:1A-2B:3C:4D:5E", u"001A:2B3C:4D5E",
          u"00.1A.2B.3C.4D.5E", u"0:01A:2B:3C:4D:5E", u"00::1A2B:3C:4D:5E", u"00:1A:2B:3C:4D:5G",
          u"001A2B3C4D5E0", u":001A2B3C4D5E", u"001A2B3C4D5E:", u"00 1A 2B 3C 4D 5E"}) {
        EXPECT_FALSE(MacText::parseWhole(text)) << QString::fromUtf16(text).toStdString();
    }
}

TEST(ProjectorClash, NamesTheOtherRecordWithTheSameAddressFirstThenTheSameMac) {
    ShippedCatalog catalog;
    const ProjectorList list{rec(u"Hall"_qs, 0x0A000001u, u"00-1a-2b-3c-4d-5e"_qs),
                             rec(u"Lab"_qs, 0x0A000002u, u"00-00-00-00-00-00"_qs),
                             rec(u"Foyer"_qs, 0x0A000003u)};

    const auto address = duplicateOf(list, rec(u"New"_qs, 0x0A000003u, u"00-1A-2B-3C-4D-5E"_qs));
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(address->field, ProjectorClash::Field::Address) << "the address is named before the MAC";
    EXPECT_EQ(address->index, 2);
    EXPECT_EQ(address->text(), CatalogText(msg::DuplicateAddress, {u"Foyer"_qs, u"10.0.0.3"_qs}));

    // Case and joins do not hide a MAC clash.
    const auto mac = duplicateOf(list, rec(u"New"_qs, 0x0A000009u, u"00:1A:2B:3C:4D:5E"_qs));
    ASSERT_TRUE(mac.has_value());
    EXPECT_EQ(mac->field, ProjectorClash::Field::Mac);
    EXPECT_EQ(mac->otherName, u"Hall");
    EXPECT_EQ(mac->text(), CatalogText(msg::DuplicateMac, {u"Hall"_qs, u"00-1A-2B-3C-4D-5E"_qs}));

    // The edited record itself is no clash; an empty or all-zero MAC clashes with nothing.
    EXPECT_FALSE(duplicateOf(list, list[0], 0));
    EXPECT_FALSE(duplicateOf(list, rec(u"New"_qs, 0x0A000009u)));
    EXPECT_FALSE(duplicateOf(list, rec(u"New"_qs, 0x0A000009u, u"00-00-00-00-00-00"_qs)));
    EXPECT_FALSE(duplicateOf({}, rec(u"New"_qs, 0x0A000001u)));
}

TEST(ProjectorClash, CsvImportNamesTheClashInTheFormsWords) {
    ShippedCatalog catalog;
    const ProjectorList current{rec(u"Hall"_qs, 0x0A000001u, u"00-1a-2b-3c-4d-5e"_qs)};
    const QByteArray csv = "name,mac,ip,auth,password\n"
                           "Twin,00-1A-2B-3C-4D-5E,10.0.0.7,0,\n"
                           "Other,00-11-22-33-44-55,10.0.0.8,0,\n";
    const ProjectorCsv::Plan plan = ProjectorCsv::plan(csv, current);
    ASSERT_EQ(plan.rows.size(), 2);
    EXPECT_TRUE(plan.rows[0].accepted()) << "a clash is told, not refused";
    EXPECT_EQ(plan.rows[0].clash, CatalogText(msg::DuplicateMac, {u"Hall"_qs, u"00-1A-2B-3C-4D-5E"_qs}));
    EXPECT_TRUE(plan.rows[1].clash.isEmpty());
}
