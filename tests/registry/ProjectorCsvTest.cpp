#include "registry/ProjectorCsv.h"
#include "common/PrivateFile.h"
#include "i18n/CatalogIds.h"
#include "registry/MacText.h"
#include "registry/ProjectorStore.h"
#include "support/HostileStrings.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

ProjectorRecord rec(const QString& name, quint32 host, const QString& mac = {}, const QString& auth = u"0"_qs,
                    const QString& password = {}) {
    ProjectorRecord r;
    r.name = name;
    r.mac = mac;
    r.address = Ipv4::toOctets(host);
    r.authMark = auth;
    r.password = password;
    return r;
}

} // namespace

TEST(MacText, BoxesReadAsHexadecimalAndRefuseAnythingElse) {
    EXPECT_EQ(MacText::parseBox(u""), quint8{0});
    EXPECT_EQ(MacText::parseBox(u"2b"), quint8{0x2B});
    EXPECT_EQ(MacText::parseBox(u"F"), quint8{0x0F});
    EXPECT_FALSE(MacText::parseBox(u"g1"));
    EXPECT_FALSE(MacText::parseBox(u"1 "));
    EXPECT_FALSE(MacText::parseBox(u"-1"));
    EXPECT_FALSE(MacText::parseBox(u"100"));
}

TEST(MacText, TextIsReadPositionallyAndWrittenInEitherCase) {
    const MacText::Bytes b{0x00, 0x1A, 0x2B, 0x03, 0x04, 0x05};
    EXPECT_EQ(MacText::toText(b, false), u"00-1a-2b-03-04-05");
    EXPECT_EQ(MacText::toText(b, true), u"00-1A-2B-03-04-05");
    EXPECT_EQ(MacText::fromText(u"00-1a-2b-03-04-05"), b);
    EXPECT_EQ(MacText::fromText(u"001A2B030405"), (MacText::Bytes{0x00, 0xA2, 0x03, 0x40, 0, 0}))
        << "byte k comes from position 3k, whatever stands between";
    EXPECT_TRUE(MacText::isZero(MacText::fromText(u"")));
    EXPECT_EQ(MacText::fromText(u"zz-1"), (MacText::Bytes{0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(MacText::normalised(u"00:1a:2B:03:04:05"), u"00-1a-2B-03-04-05"_qs);
    EXPECT_FALSE(MacText::normalised(u"00-1a-2b-03-04"));
    EXPECT_FALSE(MacText::normalised(u"00-1a-2b-03-04-0g"));
}

TEST(ProjectorCsv, RoundTripKeepsEveryFieldIncludingQuotesCommasAndUnicode) {
    const ProjectorList list{
        rec(u"Hall, \"east\""_qs, 0x0A000105u, u"00-1a-2b-3c-4d-5e"_qs, u"1"_qs, u"p,w\"d"_qs),
        rec(u"会议室 投影机"_qs, 0xC0A80A14u, {}, u"0"_qs, {}),
        rec(u" padded "_qs, 0x0A000106u, u"AA-BB-CC-DD-EE-FF"_qs, u"1"_qs, QString(255, u'x')),
    };
    const QByteArray csv = ProjectorCsv::write(list);
    EXPECT_TRUE(csv.startsWith("name,mac,ip,authentication,password\r\n"));
    const ProjectorCsv::Plan plan = ProjectorCsv::plan(csv, {});
    ASSERT_TRUE(plan.readable);
    ASSERT_EQ(plan.rows.size(), 3);
    EXPECT_EQ(plan.acceptedCount(), 3);
    EXPECT_EQ(plan.result, list);
    EXPECT_EQ(plan.rows[0].line, 2) << "the header is row 1";
}

TEST(ProjectorCsv, HostileTextNeverStartsAFormulaAndComesBackAsItWas) {
    ProjectorList list;
    quint32 host = 0x0A000200u;
    for (const HostileString& h : HostileStrings()) {
        if (!h.invisible) {
            list << rec(h.text, ++host, {}, u"1"_qs, h.text);
        }
    }
    const QByteArray csv = ProjectorCsv::write(list);
    const QList<QStringList> cells = ProjectorCsv::splitRows(QString::fromUtf8(csv));
    ASSERT_EQ(cells.size(), list.size() + 1);
    for (const QStringList& row : cells) {
        for (const QString& cell : row) {
            const QChar first = cell.isEmpty() ? QChar() : cell.front();
            EXPECT_FALSE(first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
                         first == u'\r')
                << qPrintable(cell);
        }
    }
    EXPECT_TRUE(csv.contains("\r\n'-Front Hall,,10.0.2."));
    const ProjectorCsv::Plan plan = ProjectorCsv::plan(csv, {});
    ASSERT_TRUE(plan.readable);
    EXPECT_EQ(plan.acceptedCount(), list.size());
    EXPECT_EQ(plan.result, list);
    // A hand-made file means what it says: its own apostrophes stay.
    const ProjectorCsv::Plan typed =
        ProjectorCsv::plan("'Quoted,,10.0.0.9,0,'pw\n=Formula,,10.0.0.10,0,\n", {});
    ASSERT_EQ(typed.result.size(), 2);
    EXPECT_EQ(typed.result[0].name, u"'Quoted");
    EXPECT_EQ(typed.result[0].password, u"'pw");
    EXPECT_EQ(typed.result[1].name, u"=Formula");
}

TEST(ProjectorCsv, NamesThatHideOrReverseTextAreRefusedWithTheNameShown) {
    quint32 host = 0x0A000300u;
    for (const HostileString& h : HostileStrings()) {
        if (!h.invisible) {
            continue;
        }
        const ProjectorCsv::Plan plan = ProjectorCsv::plan(ProjectorCsv::write({rec(h.text, ++host)}), {});
        ASSERT_EQ(plan.rows.size(), 1) << h.what;
        const ProjectorCsv::Row& row = plan.rows[0];
        EXPECT_FALSE(row.accepted()) << h.what;
        EXPECT_TRUE(plan.result.isEmpty()) << h.what;
        if (row.outcome == ProjectorCsv::Outcome::InvisibleCharacter) {
            EXPECT_EQ(row.text(), msg::CsvRowInvisibleCharacter);
            EXPECT_EQ(row.inserts(), (QStringList{u"2"_qs, h.shown})) << h.what;
        } else {
            EXPECT_EQ(row.outcome, ProjectorCsv::Outcome::ControlCharacter) << h.what;
        }
    }
    const QByteArray reversed = QStringLiteral("Hall\u202Egnp.exe,,10.0.0.1,0,\n").toUtf8();
    EXPECT_EQ(ProjectorCsv::plan(reversed, {}).rows.value(0).outcome,
              ProjectorCsv::Outcome::InvisibleCharacter);
    // Only the name is shown anywhere: a password may hold what the projector was given.
    const QByteArray password = QStringLiteral("Hall,,10.0.0.1,1,p\u200Bw\n").toUtf8();
    const ProjectorCsv::Plan kept = ProjectorCsv::plan(password, {});
    ASSERT_EQ(kept.result.size(), 1);
    EXPECT_EQ(kept.result[0].password, u"p\u200Bw"_qs);
}

TEST(ProjectorCsv, EachRowSaysWhatHappensToIt) {
    const ProjectorList current{rec(u"Old"_qs, 0x0A000001u)};
    const QByteArray csv = "\xEF\xBB\xBFName,MAC,IP,Auth,Password\r\n"
                           "New one,,10.0.0.2,1,pw\r\n"
                           "Replacement,00-11-22-33-44-55,10.0.0.1,0,\r\n"
                           "Bad ip,,10.0.0.256,0,\n"
                           "Zero ip,,0.0.0.0,0,\n"
                           "Short ip,,10.0..1,0,\n"
                           "Bad mac,00-11-22,10.0.0.3,0,\n"
                           "Bad auth,,10.0.0.4,yes,\n"
                           "Four,,10.0.0.5,0\n"
                           "\n"
                           "\"Line\nbreak\",,10.0.0.6,0,\n" +
                           QByteArray(65, 'n') + ",,10.0.0.7,0,\n" + "Long pw,,10.0.0.8,1," +
                           QByteArray(256, 'p') + "\n";
    const ProjectorCsv::Plan plan = ProjectorCsv::plan(csv, current);
    ASSERT_TRUE(plan.readable);
    using O = ProjectorCsv::Outcome;
    const QList<O> want{
        O::New,     O::Replaces, O::BadAddress,       O::BadAddress,  O::BadAddress,     O::BadMac,
        O::BadAuth, O::Columns,  O::ControlCharacter, O::NameTooLong, O::PasswordTooLong};
    ASSERT_EQ(plan.rows.size(), want.size());
    for (qsizetype i = 0; i < want.size(); ++i) {
        EXPECT_EQ(plan.rows[i].outcome, want[i]) << "row " << i;
    }
    ASSERT_EQ(plan.result.size(), 2);
    EXPECT_EQ(plan.result[0].name, u"Replacement") << "the record at the same address keeps its place";
    EXPECT_EQ(plan.result[0].authMark, u"0");
    EXPECT_EQ(plan.result[1].name, u"New one");
    EXPECT_EQ(plan.result[1].authMark, u"1");
    EXPECT_EQ(plan.rows[0].text(), msg::CsvRowNew);
    EXPECT_EQ(plan.rows[0].inserts(), (QStringList{u"2"_qs, u"New one"_qs, u"10.0.0.2"_qs}));
    EXPECT_EQ(plan.rows[5].text(), msg::CsvRowBadMac);
}

TEST(ProjectorCsv, HostileFilesNeverGrowTheListPast256OrCrash) {
    // Ten thousand rows with distinct addresses: 256 at most are taken, the rest are refused.
    QByteArray many = "name,mac,ip,authentication,password\n";
    for (int i = 0; i < 10000; ++i) {
        many += "P" + QByteArray::number(i) + ",,10." + QByteArray::number(i / 256 % 256) + "." +
                QByteArray::number(i % 256) + ".9,0,\n";
    }
    const ProjectorCsv::Plan big = ProjectorCsv::plan(many, {rec(u"Kept"_qs, 0x0B000001u)});
    ASSERT_TRUE(big.readable);
    EXPECT_EQ(big.rows.size(), 10000);
    EXPECT_EQ(big.result.size(), kMaxProjectors);
    EXPECT_EQ(big.acceptedCount(), kMaxProjectors - 1);
    EXPECT_EQ(big.rows.last().outcome, ProjectorCsv::Outcome::ListFull);

    // Binary data is not a list at all.
    QByteArray binary(4096, '\0');
    QRandomGenerator gen(7);
    for (char& c : binary) {
        c = static_cast<char>(gen.bounded(256));
    }
    EXPECT_FALSE(ProjectorCsv::plan(binary, {}).readable);
    EXPECT_FALSE(ProjectorCsv::plan(QByteArray("a,b\0,c", 6), {}).readable);
    EXPECT_FALSE(ProjectorCsv::plan(QByteArray(ProjectorCsv::kMaxFileSize + 1, 'a'), {}).readable);

    // An unterminated quote swallows the rest: one malformed row, nothing taken.
    const ProjectorCsv::Plan open = ProjectorCsv::plan("name\n\"A,,10.0.0.1,0,\nB,,10.0.0.2,0,\n", {});
    ASSERT_TRUE(open.readable);
    EXPECT_EQ(open.acceptedCount(), 0);

    // Random printable noise with quotes and commas: never more than 256, never a crash.
    for (int round = 0; round < 50; ++round) {
        QByteArray noise;
        for (int i = 0; i < 2000; ++i) {
            noise += ",\"\r\n.0123456789abcdef-:"[gen.bounded(22)];
        }
        const ProjectorCsv::Plan p = ProjectorCsv::plan(noise, {});
        EXPECT_LE(p.result.size(), kMaxProjectors);
        for (const ProjectorRecord& r : p.result) {
            EXPECT_NE(r.hostAddress(), 0u);
        }
    }
}

TEST(ProjectorCsv, ImportedListSurvivesTheIniFile) {
    QTemporaryDir dir;
    ProjectorStore store(dir.filePath(u"T.INI"_qs));
    const QByteArray csv = "name,mac,ip,authentication,password\n"
                           "\"Hall, east\",00-1a-2b-3c-4d-5e,10.0.1.5,1,\"se,cret\"\n"
                           "Foyer,,192.168.10.20,0,\n";
    const ProjectorCsv::Plan plan = ProjectorCsv::plan(csv, store.projectors());
    ASSERT_TRUE(store.saveProjectors(plan.result).ok());
    ProjectorStore again(store.iniPath());
    ASSERT_TRUE(again.load().ok());
    EXPECT_EQ(again.projectors(), plan.result);
    EXPECT_EQ(ProjectorCsv::write(again.projectors()),
              QByteArray("name,mac,ip,authentication,password\r\n"
                         "\"Hall, east\",00-1a-2b-3c-4d-5e,10.0.1.5,1,\"se,cret\"\r\n"
                         "Foyer,,192.168.10.20,0,\r\n"));
}
