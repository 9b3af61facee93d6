#include "registry/ProjectorStore.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "support/TempDir.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

void expectPrivate(const QString& path);

namespace {

class ProjectorStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini = dir.filePath(QStringLiteral("tessavel.INI"));

    void writeIni(const QByteArray& text) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray readIni() {
        QFile f(ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    ProjectorList loaded() {
        ProjectorStore s(ini);
        EXPECT_TRUE(s.load().ok());
        return s.projectors();
    }
    static ProjectorRecord record(const QString& name, Ipv4::Octets ip, const QString& auth = u"1"_qs,
                                  const QString& pass = {}) {
        ProjectorRecord r;
        r.name = name;
        r.mac = QStringLiteral("00-1a-2b-3c-4d-5e");
        r.address = ip;
        r.authMark = auth;
        r.password = pass;
        return r;
    }
};

} // namespace

TEST_F(ProjectorStoreTest, MissingFileGivesEmptyListAndFirstSaveCreatesIt) {
    EXPECT_TRUE(loaded().isEmpty());
    ProjectorStore s(ini);
    ASSERT_TRUE(s.saveProjectors({record(u"Hall"_qs, {192, 168, 0, 10})}).ok());
    EXPECT_EQ(readIni(), QByteArray("[Projector List]\nCOUNT=1\nNAME-1=Hall\nMAC-1=00-1a-2b-3c-4d-5e\n"
                                    "IP-1=192.168.0.10\nAUTH-1=1\nPASS-1=\n"));
    expectPrivate(ini);
    const ProjectorList back = loaded();
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back[0].hostAddress(), 0xC0A8000Au);
}

TEST_F(ProjectorStoreTest, CountRules) {
    for (const char* count : {"0", "-3", "abc", ""}) {
        writeIni(QByteArray("[Projector List]\nCOUNT=") + count + "\nNAME-1=x\n");
        EXPECT_TRUE(loaded().isEmpty()) << count;
    }
    writeIni("[Projector List]\nCOUNT=2\nNAME-1=Only\n");
    const ProjectorList two = loaded();
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[1].name, u"");
    EXPECT_EQ(two[1].mac, u"");
    EXPECT_EQ(two[1].address, (Ipv4::Octets{255, 255, 255, 255}));
    EXPECT_EQ(two[1].authMark, u"1");
    EXPECT_EQ(two[1].password, u"");

    QByteArray many = "[Projector List]\nCOUNT=100000\n";
    for (int i = 1; i <= 300; ++i) {
        many += "NAME-" + QByteArray::number(i) + "=p" + QByteArray::number(i) + "\n";
    }
    writeIni(many);
    const ProjectorList capped = loaded();
    ASSERT_EQ(capped.size(), kMaxProjectors);
    EXPECT_EQ(capped.last().name, u"p256");
}

TEST_F(ProjectorStoreTest, FieldRulesOnLoad) {
    const QByteArray longName(70, 'n');
    const QByteArray longPass(255, 'p');
    writeIni("[Projector List]\nCOUNT=4\nNAME-1=" + longName + "\nIP-1=10.1.513\nPASS-1=" + longPass +
             "\nMAC-1=" + QByteArray(40, 'm') +
             "\nAUTH-2=\nIP-2=bogus\nAUTH-3=0\nPASS-4=" + QByteArray(300, 'q') + "\nAUTH-4=17\n");
    const ProjectorList l = loaded();
    ASSERT_EQ(l.size(), 4);
    EXPECT_EQ(l[0].name, QString::fromLatin1(longName.left(64)));
    EXPECT_EQ(l[0].mac.size(), 31);
    EXPECT_EQ(l[0].address, (Ipv4::Octets{10, 1, 2, 1}));
    EXPECT_EQ(l[0].password, QString::fromLatin1(longPass)) << "a 255-character password is kept whole";
    EXPECT_EQ(l[0].authMark, u"1") << "missing AUTH demands authentication";
    EXPECT_EQ(l[1].authMark, u"");
    EXPECT_EQ(l[1].authenticate(), 0);
    EXPECT_EQ(l[1].address, (Ipv4::Octets{255, 255, 255, 255}));
    EXPECT_EQ(l[2].authMark, u"0");
    EXPECT_EQ(l[3].password.size(), 255) << "values arrive cut to 255";
    EXPECT_EQ(l[3].authMark, u"1");
}

TEST_F(ProjectorStoreTest, SaveKeepsOtherKeysAndDropsStaleRecords) {
    writeIni(
        "; operator notes\n[Other]\nkeep=yes\n[Projector List]\nCOUNT=5\nEXTRA=1\n"
        "NAME-1=a\nNAME-2=b\nNAME-3=c\nNAME-4=d\nPASS-4=secret4\nNAME-5=e\nPASS-5=secret5\nIP-9=1.1.1.1\n");
    ProjectorStore s(ini);
    ASSERT_TRUE(s.load().ok());
    ProjectorList l = s.projectors();
    l.resize(3);
    ASSERT_TRUE(s.saveProjectors(l).ok());
    const QByteArray text = readIni();
    EXPECT_TRUE(text.contains("[Other]\nkeep=yes"));
    EXPECT_TRUE(text.contains("EXTRA=1"));
    EXPECT_TRUE(text.contains("COUNT=3"));
    EXPECT_FALSE(text.contains("secret4"));
    EXPECT_FALSE(text.contains("NAME-5"));
    EXPECT_FALSE(text.contains("IP-9"));
    EXPECT_FALSE(text.contains(" = "));
    EXPECT_EQ(loaded().size(), 3);
}

TEST_F(ProjectorStoreTest, ValuesRoundTripAndCannotInjectKeys) {
    ProjectorStore s(ini);
    const QString pass(255, u'z');
    ProjectorRecord hostile = record(QStringLiteral("evil\nPASS-1=owned"), {127, 0, 0, 2}, u"0"_qs, pass);
    ASSERT_TRUE(s.saveProjectors({hostile, record(QString::fromUtf8("投影机"), {127, 0, 0, 3})}).ok());
    const ProjectorList l = loaded();
    ASSERT_EQ(l.size(), 2);
    EXPECT_EQ(l[0].name, u"evil PASS-1=owned");
    EXPECT_EQ(l[0].password, pass);
    EXPECT_EQ(l[0].authMark, u"0");
    EXPECT_EQ(l[1].name, QString::fromUtf8("投影机"));
}

TEST_F(ProjectorStoreTest, SaveCapsAt256Records) {
    ProjectorStore s(ini);
    ProjectorList big(300, record(u"x"_qs, {1, 2, 3, 4}));
    ASSERT_TRUE(s.saveProjectors(big).ok());
    EXPECT_EQ(s.count(), kMaxProjectors);
    EXPECT_TRUE(readIni().contains("COUNT=256"));
}

TEST_F(ProjectorStoreTest, FailedWriteIsReportedAndOldFileSurvives) {
    writeIni("[Projector List]\nCOUNT=1\nNAME-1=old\n");
    ProjectorStore s(ini);
    ASSERT_TRUE(s.load().ok());
    ProjectorStore elsewhere(dir.filePath(QStringLiteral("no/such/folder/t.INI")));
    const IoResult r = elsewhere.saveProjectors({record(u"n"_qs, {1, 1, 1, 1})});
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.detail.isEmpty());
    EXPECT_EQ(elsewhere.count(), 1) << "the list in memory is still the new one";
    // An oversized file is refused, not clobbered.
    writeIni(QByteArray(ProjectorStore::kMaxIniSize + 10, 'a'));
    EXPECT_EQ(s.saveProjectors({}).code, IoResult::Code::TooLarge);
    EXPECT_EQ(readIni().size(), ProjectorStore::kMaxIniSize + 10);
}

TEST_F(ProjectorStoreTest, AuthSettingIsWrittenButNeverReadBack) {
    ProjectorStore s(ini);
    ASSERT_TRUE(s.setAuthSetting(QStringLiteral("pw"), 0).ok());
    EXPECT_TRUE(readIni().contains("[Authentication]\nFLAG=0\nPASSWORD=pw"));
    ASSERT_TRUE(s.setAuthSetting(QString(), 1).ok());
    EXPECT_TRUE(readIni().contains("FLAG=1\nPASSWORD=\n"));
    ProjectorStore restarted(ini);
    ASSERT_TRUE(restarted.load().ok());
    EXPECT_EQ(restarted.authSetting().authOff, 0);
    EXPECT_EQ(restarted.authSetting().password, u"");
    restarted.noteConnection(0, QStringLiteral("p"));
    EXPECT_EQ(restarted.authSetting().authOff, 1);
    EXPECT_EQ(restarted.authSetting().password, u"p");
}

TEST(ProjectorStorePath, IniNameFollowsTheExecutable) {
    EXPECT_EQ(ProjectorStore::iniPathFor(u"/opt/tools/tool.exe"_qs), u"/opt/tools/tool.INI");
    EXPECT_EQ(ProjectorStore::iniPathFor(u"/opt/tools/tessavel"_qs), u"/opt/tools/tessavel.INI");
    EXPECT_EQ(ProjectorStore::iniPathFor(u"/opt/v1.2/tessavel"_qs), u"/opt/v1.2/tessavel.INI");
    EXPECT_EQ(ProjectorStore::chooseIniPath(u"/opt/t/tessavel"_qs, true, u"/home/u/.config/Tessavel"_qs),
              u"/opt/t/tessavel.INI");
    EXPECT_EQ(ProjectorStore::chooseIniPath(u"/usr/bin/tessavel"_qs, false, u"/home/u/.config/Tessavel"_qs),
              u"/home/u/.config/Tessavel/tessavel.INI");
}

// Files copied from machines that wrote them in their legacy code page.
TEST_F(ProjectorStoreTest, Windows1252FileIsReadAndWrittenBackInIt) {
    const QByteArray other("[Other]\nnote=Caf\xE9 \x81\x8D\n");
    writeIni(other + "[Projector List]\nCOUNT=2\nNAME-1=Caf\xE9 M\xFC"
                     "nchen \x80\nPASS-1=pa\xDF\nNAME-2=x\n");
    ProjectorStore s(ini);
    s.setCatalogLanguage(1033);
    ASSERT_TRUE(s.load().ok());
    EXPECT_EQ(s.encoding(), TextCodec::Encoding::Windows1252);
    ProjectorList l = s.projectors();
    ASSERT_EQ(l.size(), 2);
    EXPECT_EQ(l[0].name, QStringLiteral(u"Café München €"));
    EXPECT_EQ(l[0].password, QStringLiteral(u"paß"));

    l[1].name = QStringLiteral(u"Zoë");
    ASSERT_TRUE(s.saveProjectors(l).ok());
    const QByteArray text = readIni();
    EXPECT_TRUE(text.contains(other)) << text.toStdString();
    EXPECT_TRUE(text.contains("NAME-1=Caf\xE9 M\xFC"
                              "nchen \x80\n"));
    EXPECT_TRUE(text.contains("PASS-1=pa\xDF\n"));
    EXPECT_TRUE(text.contains("NAME-2=Zo\xEB\n"));
    EXPECT_TRUE(s.takeEncodingNotice().isEmpty());

    ProjectorStore again(ini);
    again.setCatalogLanguage(1033);
    ASSERT_TRUE(again.load().ok());
    EXPECT_EQ(again.projectors(), l);
}

TEST_F(ProjectorStoreTest, GbkFileIsReadAndWrittenBackInItWhenTheCatalogIsChinese) {
    const QByteArray file("[\xB1\xB8\xD7\xA2]\n\xCB\xB5\xC3\xF7=\xB2\xE2\xCA\xD4\n"
                          "[Projector List]\nCOUNT=1\nNAME-1=\xCD\xB6\xD3\xB0\xBB\xFA\nAUTH-1=0\n");
    writeIni(file);
    ProjectorStore s(ini);
    s.setCatalogLanguage(2052);
    ASSERT_TRUE(s.load().ok());
    EXPECT_EQ(s.encoding(), TextCodec::Encoding::Gbk);
    ProjectorList l = s.projectors();
    ASSERT_EQ(l.size(), 1);
    EXPECT_EQ(l[0].name, QStringLiteral(u"投影机"));

    l.append(record(QStringLiteral(u"礼堂"), {10, 0, 0, 2}, u"1"_qs, QStringLiteral(u"密码")));
    ASSERT_TRUE(s.saveProjectors(l).ok());
    const QByteArray text = readIni();
    EXPECT_TRUE(text.contains("[\xB1\xB8\xD7\xA2]\n\xCB\xB5\xC3\xF7=\xB2\xE2\xCA\xD4\n"))
        << "the other section keeps its bytes";
    EXPECT_TRUE(text.contains("NAME-1=\xCD\xB6\xD3\xB0\xBB\xFA\n"));
    EXPECT_TRUE(text.contains("NAME-2=\xC0\xF1\xCC\xC3\n"));
    EXPECT_TRUE(text.contains("PASS-2=\xC3\xDC\xC2\xEB\n"));
    EXPECT_FALSE(TextCodec::isValidUtf8(text));
    ProjectorStore again(ini);
    again.setCatalogLanguage(2052);
    ASSERT_TRUE(again.load().ok());
    EXPECT_EQ(again.projectors(), l);

    // The same bytes under an English catalog are Windows-1252, and a UTF-8 file is UTF-8
    // whatever the catalog language.
    ProjectorStore western(ini);
    western.setCatalogLanguage(1033);
    ASSERT_TRUE(western.load().ok());
    EXPECT_EQ(western.projectors()[0].name, QStringLiteral(u"Í¶Ó°»ú"));
    writeIni("[Projector List]\nCOUNT=1\nNAME-1=\xE6\x8A\x95\xE5\xBD\xB1\n");
    ProjectorStore utf8(ini);
    utf8.setCatalogLanguage(2052);
    ASSERT_TRUE(utf8.load().ok());
    EXPECT_EQ(utf8.encoding(), TextCodec::Encoding::Utf8);
    EXPECT_EQ(utf8.projectors()[0].name, QStringLiteral(u"投影"));
}

TEST_F(ProjectorStoreTest, UnreadableBytesSurviveASaveThatDoesNotChangeThem) {
    writeIni("[Other]\nk=\xFF\xFE\n[Projector List]\nCOUNT=2\nNAME-1=\xFF\xCD\xB6\nNAME-2=b\n");
    ProjectorStore s(ini);
    s.setCatalogLanguage(2052);
    ASSERT_TRUE(s.load().ok());
    ProjectorList l = s.projectors();
    ASSERT_EQ(l.size(), 2);
    EXPECT_EQ(l[0].name, QStringLiteral(u"\uFFFD投"));
    l[1].name = QStringLiteral(u"礼堂");
    ASSERT_TRUE(s.saveProjectors(l).ok());
    const QByteArray text = readIni();
    EXPECT_TRUE(text.contains("k=\xFF\xFE\n"));
    EXPECT_TRUE(text.contains("NAME-1=\xFF\xCD\xB6\n")) << "an unchanged name is not rewritten";
    EXPECT_TRUE(text.contains("NAME-2=\xC0\xF1\xCC\xC3\n"));
    EXPECT_EQ(s.encoding(), TextCodec::Encoding::Gbk);
    EXPECT_TRUE(s.takeEncodingNotice().isEmpty());
}

TEST_F(ProjectorStoreTest, ANameTheCodePageCannotHoldTurnsTheFileIntoUtf8AndIsToldOnce) {
    writeIni("[Other]\nnote=Caf\xE9\n[Projector List]\nCOUNT=1\nNAME-1=Caf\xE9\n");
    ProjectorStore s(ini);
    s.setCatalogLanguage(1033);
    ASSERT_TRUE(s.load().ok());
    ProjectorList l = s.projectors();
    l.append(record(QStringLiteral(u"投影机"), {10, 0, 0, 3}));
    ASSERT_TRUE(s.saveProjectors(l).ok());
    const QByteArray text = readIni();
    EXPECT_TRUE(TextCodec::isValidUtf8(text));
    EXPECT_TRUE(text.contains("note=Caf\xC3\xA9\n")) << "the whole file moves to UTF-8";
    EXPECT_TRUE(text.contains("NAME-1=Caf\xC3\xA9\n"));
    EXPECT_TRUE(text.contains("NAME-2=\xE6\x8A\x95\xE5\xBD\xB1\xE6\x9C\xBA\n"));
    EXPECT_EQ(s.encoding(), TextCodec::Encoding::Utf8);
    const QString notice = s.takeEncodingNotice();
    EXPECT_EQ(notice, CatalogText(msg::IniSavedAsUtf8, {ini, u"Windows-1252"_qs}));
    EXPECT_FALSE(notice.isEmpty());
    EXPECT_TRUE(s.takeEncodingNotice().isEmpty());

    ProjectorStore again(ini);
    again.setCatalogLanguage(1033);
    ASSERT_TRUE(again.load().ok());
    EXPECT_EQ(again.projectors(), l);

    // A file put back into the code page by another program is moved again, but the user
    // has been told already.
    writeIni("[Projector List]\nCOUNT=1\nNAME-1=Caf\xE9\n");
    ASSERT_TRUE(s.setAuthSetting(QStringLiteral(u"密码"), 0).ok());
    EXPECT_TRUE(TextCodec::isValidUtf8(readIni()));
    EXPECT_TRUE(s.takeEncodingNotice().isEmpty());
}

TEST_F(ProjectorStoreTest, OnePairOfSurroundingQuotesIsDropped) {
    writeIni("[Projector List]\nCOUNT=3\nNAME-1= \"  Hall  \" \nPASS-1=\"secret\"\nAUTH-1=\"0\"\n"
             "NAME-2=\"\nPASS-2=\"\"\"\"\nNAME-3=\"a\"b\"\nPASS-3=say \"hi\"\n");
    ProjectorStore s(ini);
    ASSERT_TRUE(s.load().ok());
    ProjectorList l = s.projectors();
    ASSERT_EQ(l.size(), 3);
    EXPECT_EQ(l[0].name, u"  Hall  ");
    EXPECT_EQ(l[0].password, u"secret");
    EXPECT_EQ(l[0].authMark, u"0");
    EXPECT_EQ(l[1].name, u"\"") << "a lone quote is no pair";
    EXPECT_EQ(l[1].password, u"\"\"") << "only one pair goes";
    EXPECT_EQ(l[2].name, u"a\"b");
    EXPECT_EQ(l[2].password, u"say \"hi\"");

    // Unchanged values keep their quotes; changed ones are quoted only when the reader would
    // otherwise lose a quote or a blank at either end.
    l[1].password = u"\"quoted\""_qs;
    l[2].name = u" lead"_qs;
    l[2].password = u"plain"_qs;
    ASSERT_TRUE(s.saveProjectors(l).ok());
    const QByteArray text = readIni();
    EXPECT_TRUE(text.contains("PASS-1=\"secret\"\n"));
    EXPECT_TRUE(text.contains("NAME-1=\"  Hall  \"\n"));
    EXPECT_TRUE(text.contains("PASS-2=\"\"quoted\"\"\n"));
    EXPECT_TRUE(text.contains("NAME-3=\" lead\"\n"));
    EXPECT_TRUE(text.contains("PASS-3=plain\n"));
    EXPECT_EQ(loaded(), l);
}

TEST_F(ProjectorStoreTest, NamesAreNeverCutInsideASurrogatePair) {
    const QByteArray emoji("\xF0\x9F\x98\x80");
    writeIni("[Projector List]\nCOUNT=1\nNAME-1=" + QByteArray(63, 'n') + emoji + "\nAUTH-1=" + emoji + "\n");
    const ProjectorList l = loaded();
    ASSERT_EQ(l.size(), 1);
    EXPECT_EQ(l[0].name, QString(63, u'n'));
    EXPECT_EQ(l[0].authMark, u"");
}

TEST_F(ProjectorStoreTest, CodePageTextThatWouldReadBackAsUtf8IsSavedAsUtf8) {
    // The only byte that is not UTF-8 sits on a line the reader skips, and the name's bytes
    // happen to be valid UTF-8: written back as they are, the name would read differently.
    writeIni("stray line \x80\n[Projector List]\nCOUNT=1\nNAME-1=Caf\xC3\xA9\n");
    ProjectorStore s(ini);
    s.setCatalogLanguage(1033);
    ASSERT_TRUE(s.load().ok());
    const ProjectorList l = s.projectors();
    ASSERT_EQ(l.size(), 1);
    EXPECT_EQ(l[0].name, QStringLiteral(u"CafÃ©"));
    ASSERT_TRUE(s.saveProjectors(l).ok());
    EXPECT_TRUE(readIni().contains("NAME-1=Caf\xC3\x83\xC2\xA9\n"));
    EXPECT_FALSE(s.takeEncodingNotice().isEmpty());
    ProjectorStore again(ini);
    again.setCatalogLanguage(1033);
    ASSERT_TRUE(again.load().ok());
    EXPECT_EQ(again.projectors(), l);
}

TEST_F(ProjectorStoreTest, AByteOrderMarkDoesNotHideTheListWhenTheFileMovesToUtf8) {
    writeIni("\xEF\xBB\xBF[Projector List]\nCOUNT=1\nNAME-1=Caf\xE9\n");
    ProjectorStore s(ini);
    s.setCatalogLanguage(1033);
    ASSERT_TRUE(s.load().ok());
    ProjectorList l = s.projectors();
    ASSERT_EQ(l.size(), 1);
    EXPECT_EQ(l[0].name, QStringLiteral(u"Café"));
    l.append(record(QStringLiteral(u"投影机"), {10, 0, 0, 4}));
    ASSERT_TRUE(s.saveProjectors(l).ok());
    EXPECT_TRUE(readIni().startsWith("[Projector List]\n"));
    ProjectorStore again(ini);
    ASSERT_TRUE(again.load().ok());
    EXPECT_EQ(again.projectors(), l);
}
