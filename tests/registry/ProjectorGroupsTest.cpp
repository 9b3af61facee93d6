#include "registry/ProjectorGroups.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

void expectPrivate(const QString& path);

namespace {

ProjectorRecord record(const QString& name, quint32 address) {
    ProjectorRecord r;
    r.name = name;
    r.address = Ipv4::toOctets(address);
    return r;
}

constexpr quint32 kA = 0x0A000001; // 10.0.0.1
constexpr quint32 kB = 0x0A000002;
constexpr quint32 kC = 0x0A000003;

class ProjectorGroupsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = ProjectorGroups::pathFor(dir.filePath(QStringLiteral("tessavel.INI")));
    ProjectorList list{record(u"Hall"_qs, kA), record(u"Lab"_qs, kB), record(u"Foyer"_qs, kC)};

    void writeFile(const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

} // namespace

TEST_F(ProjectorGroupsTest, SavedGroupsReadBackTheSameAndPrivately) {
    ProjectorGroups g(path);
    EXPECT_TRUE(g.load(list).ok()); // no file yet: no groups, no complaint
    EXPECT_TRUE(g.groups().isEmpty());
    ASSERT_EQ(g.add(u"  Floor 2 "_qs, {kA, kB}), ProjectorGroups::Change::Done);
    ASSERT_EQ(g.add(QString::fromUtf8("报告厅"), {kC, kA}), ProjectorGroups::Change::Done);
    ASSERT_EQ(g.add(u"Empty"_qs, {}), ProjectorGroups::Change::Done);
    ASSERT_TRUE(g.save().ok());
    expectPrivate(path);

    ProjectorGroups again(path);
    const ProjectorGroups::LoadOutcome out = again.load(list);
    EXPECT_TRUE(out.ok()) << out.text.toStdString();
    EXPECT_EQ(again.groups(), g.groups());
    EXPECT_EQ(again.names(), (QStringList{u"Floor 2"_qs, QString::fromUtf8("报告厅"), u"Empty"_qs}));
    EXPECT_EQ(again.groupsOf(kA), (QStringList{u"Floor 2"_qs, QString::fromUtf8("报告厅")}));
}

// Names compare without case everywhere: one group, whichever way it is typed.
TEST_F(ProjectorGroupsTest, NamesAreCheckedAndCompareWithoutCase) {
    ProjectorGroups g(path);
    ASSERT_EQ(g.add(u"Floor 2"_qs, {kA}), ProjectorGroups::Change::Done);
    ASSERT_EQ(g.add(u"FLOOR 2"_qs, {kB}), ProjectorGroups::Change::Done);
    ASSERT_EQ(g.groups().size(), 1);
    EXPECT_EQ(g.groups()[0].name, u"Floor 2"_qs);
    EXPECT_EQ(g.membersOf(u"floor 2"_qs), (QList<quint32>{kA, kB}));
    EXPECT_EQ(g.add(u"   "_qs, {kA}), ProjectorGroups::Change::BadName);
    EXPECT_EQ(g.add(QString(ProjectorGroups::kMaxName + 1, u'x'), {kA}), ProjectorGroups::Change::BadName);
    EXPECT_EQ(g.add(u"a\tb"_qs, {kA}), ProjectorGroups::Change::BadName);
    EXPECT_EQ(g.add(u"evil\u202Eexe"_qs, {kA}), ProjectorGroups::Change::BadName);
    EXPECT_EQ(g.removeGroup(u"nope"_qs), ProjectorGroups::Change::NoSuchGroup);
    EXPECT_EQ(g.groups().size(), 1);
    for (int i = 1; i < ProjectorGroups::kMaxGroups; ++i) {
        ASSERT_EQ(g.add(QStringLiteral("g%1").arg(i), {}), ProjectorGroups::Change::Done);
    }
    EXPECT_EQ(g.add(u"one too many"_qs, {}), ProjectorGroups::Change::Full);
    EXPECT_FALSE(ProjectorGroups::nameProblemText(ProjectorGroups::NameCheck::Invisible).isEmpty());
}

TEST_F(ProjectorGroupsTest, UnknownProjectorsLoadWithAWarningAndAreLeftOut) {
    writeFile("tessavel-groups 1\nFloor 2\t10.0.0.1\t192.168.9.9\nLab\t192.168.9.9\t10.0.0.2\n");
    ProjectorGroups g(path);
    const ProjectorGroups::LoadOutcome out = g.load(list);
    EXPECT_EQ(out.status, ProjectorGroups::LoadOutcome::Status::UnknownMembers);
    EXPECT_EQ(out.leftOut, QList<quint32>{0xC0A80909});
    EXPECT_EQ(out.text, CatalogText(msg::GroupsUnknownMembers, {path, u"192.168.9.9"_qs}));
    EXPECT_EQ(g.membersOf(u"Floor 2"_qs), QList<quint32>{kA});
    EXPECT_EQ(g.membersOf(u"Lab"_qs), QList<quint32>{kB});
}

// Whatever the file holds, the load ends with no groups and a text saying why; never a crash
// and never half a file.
TEST_F(ProjectorGroupsTest, DamagedOrHostileFilesGiveAnErrorAndNoGroups) {
    QByteArray thousands = "tessavel-groups 1\n";
    for (int i = 0; i < 5000; ++i) {
        thousands += "g" + QByteArray::number(i) + "\t10.0.0.1\n";
    }
    QByteArray huge = "tessavel-groups 1\n";
    huge += QByteArray(ProjectorGroups::kMaxFileSize, 'x') + '\n';
    QByteArray binary("tessavel-groups 1\n\x00\x01\xff\xfe\n", 22);
    const QList<std::pair<QByteArray, QString>> cases{
        {huge, CatalogText(msg::GroupsReasonTooLarge, {QString::number(ProjectorGroups::kMaxFileSize)})},
        {thousands, CatalogText(msg::GroupsReasonTooMany, {QString::number(ProjectorGroups::kMaxGroups)})},
        {binary, CatalogText(msg::GroupsReasonNotText)},
        {"", CatalogText(msg::GroupsReasonLine, {u"1"_qs})},
        {"tessavel-groups 2\nA\t10.0.0.1\n", CatalogText(msg::GroupsReasonLine, {u"1"_qs})},
        {"tessavel-groups 1\nA\x07"
         "b\t10.0.0.1\n",
         CatalogText(msg::GroupsReasonLine, {u"2"_qs})},
        {"tessavel-groups 1\nA\t10.0.0.1\r\n", CatalogText(msg::GroupsReasonLine, {u"2"_qs})},
        {"tessavel-groups 1\nA\t10.0.0.1\na\t10.0.0.2\n", CatalogText(msg::GroupsReasonLine, {u"3"_qs})},
        {"tessavel-groups 1\nA\t10.0.0.1\t10.0.0.1\n", CatalogText(msg::GroupsReasonLine, {u"2"_qs})},
        {"tessavel-groups 1\nA\t10.0.0.01\n", CatalogText(msg::GroupsReasonLine, {u"2"_qs})},
        {"tessavel-groups 1\nA\t10..0.1\n", CatalogText(msg::GroupsReasonLine, {u"2"_qs})},
        {"tessavel-groups 1\n\t10.0.0.1\n", CatalogText(msg::GroupsReasonLine, {u"2"_qs})},
        {"tessavel-groups 1\n A\t10.0.0.1\n", CatalogText(msg::GroupsReasonLine, {u"2"_qs})},
        {"tessavel-groups 1\n\n", CatalogText(msg::GroupsReasonLine, {u"2"_qs})},
    };
    for (const auto& [bytes, reason] : cases) {
        writeFile(bytes);
        ProjectorGroups g(path);
        ASSERT_TRUE(g.add(u"stale"_qs, {kA}) == ProjectorGroups::Change::Done);
        const ProjectorGroups::LoadOutcome out = g.load(list);
        EXPECT_EQ(out.status, ProjectorGroups::LoadOutcome::Status::Damaged) << bytes.left(40).toStdString();
        EXPECT_EQ(out.text, CatalogText(msg::GroupsDamaged, {path, reason})) << bytes.left(40).toStdString();
        EXPECT_TRUE(g.groups().isEmpty());
    }
}

// The list dialog moves a changed address; the state drops members that left the list.
TEST_F(ProjectorGroupsTest, MembersFollowAddressChangesAndDeletions) {
    ProjectorGroups g(path);
    ASSERT_EQ(g.add(u"One"_qs, {kA, kB}), ProjectorGroups::Change::Done);
    ASSERT_EQ(g.add(u"Two"_qs, {kA, kC}), ProjectorGroups::Change::Done);
    const quint32 moved = 0x0A000009;
    g.moveMember(kA, moved);
    EXPECT_EQ(g.membersOf(u"One"_qs), (QList<quint32>{moved, kB}));
    g.moveMember(kC, moved); // already a member there: once, not twice
    EXPECT_EQ(g.membersOf(u"Two"_qs), QList<quint32>{moved});

    ProjectorList after{record(u"Hall"_qs, moved), record(u"Lab"_qs, kB)};
    EXPECT_FALSE(g.keepOnly(after));
    after.removeLast();
    EXPECT_TRUE(g.keepOnly(after));
    EXPECT_EQ(g.membersOf(u"One"_qs), QList<quint32>{moved});
    EXPECT_EQ(g.names().size(), 2); // an empty group stays until it is removed

    ASSERT_EQ(g.setGroupsOf(kB, {u"two"_qs, u"Three"_qs}), ProjectorGroups::Change::Done);
    EXPECT_EQ(g.groupsOf(kB), (QStringList{u"Two"_qs, u"Three"_qs}));
    ASSERT_EQ(g.setGroupsOf(kB, {u"One"_qs}), ProjectorGroups::Change::Done);
    EXPECT_EQ(g.groupsOf(kB), QStringList{u"One"_qs});
    EXPECT_EQ(g.setGroupsOf(kB, {u"\u0001"_qs}), ProjectorGroups::Change::BadName);
    EXPECT_EQ(g.groupsOf(kB), QStringList{u"One"_qs});
}
