#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/ProjectorGroups.h"
#include "registry/ProjectorStore.h"
#include "support/CtlProcess.h"
#include "support/Emulators.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

void expectPrivate(const QString& path);

namespace {

// This file's own loopback range, apart from every other test's.
constexpr quint32 kFirst = 0x7F000B01u;  // 127.0.11.1
constexpr quint32 kLast = 0x7F000B14u;   // 127.0.11.20
constexpr quint32 kSilent = 0x7F000B3Cu; // 127.0.11.60: nothing ever listens there

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class GroupCommand : public ::testing::Test {
protected:
    void SetUp() override {
        UseBuiltCatalog();
        for (int i = 0; i < 3; ++i) {
            ProjectorEmulator* e = m_emus.add();
            ASSERT_NE(e, nullptr);
            m_members << Ipv4::toText(e->address());
            m_list << TestProjector(u"Room "_qs + QString::number(i + 1), e->address());
        }
        // Outside the emulators' range: the other test of this fixture may run at the same
        // time and take any address of it that is free now.
        const quint32 silent = kSilent;
        m_silent = Ipv4::toText(silent);
        m_list << TestProjector(u"Dark room"_qs, silent);
        ProjectorStore store(m_ini);
        ASSERT_TRUE(store.saveProjectors(m_list).ok());
        QFile picture(m_picture);
        ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
        picture.write(QByteArray(20000, 'q'));
    }
    CtlRun ctl(const QStringList& args) {
        return RunCtl(QStringList{u"--ini"_qs, m_ini, u"--connect-timeout"_qs, u"3000"_qs,
                                  u"--reply-timeout"_qs, u"10000"_qs} +
                          args,
                      m_dir.path());
    }
    QStringList put(const QString& group) const {
        return {u"put"_qs, m_picture, u"--group"_qs, group, u"--store"_qs, u"2"_qs};
    }

    QTemporaryDir m_dir;
    QString m_ini = m_dir.filePath(u"tessavel.INI"_qs);
    QString m_picture = m_dir.filePath(u"slide.qv1"_qs);
    Emulators m_emus{kFirst, kLast};
    ProjectorList m_list;
    QStringList m_members;
    QString m_silent;
};

} // namespace

TEST_F(GroupCommand, GroupsAreMadeListedAndUsedForPutAndStatus) {
    const QByteArray ini = readAll(m_ini);
    CtlRun r = ctl(QStringList{u"group"_qs, u"add"_qs, u" Floor 2 "_qs} + m_members);
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    const QString groupsPath = ProjectorGroups::pathFor(m_ini);
    expectPrivate(groupsPath);
    EXPECT_EQ(readAll(m_ini), ini) << "the INI file stays as it was";

    r = ctl({u"group"_qs, u"list"_qs});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"Floor 2\t"_qs + m_members.join(u'\t') + u'\n');
    r = ctl({u"--json"_qs, u"group"_qs, u"list"_qs});
    const QJsonArray json = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(json.size(), 1) << r.out.toStdString();
    EXPECT_EQ(json[0].toObject().value(u"members"_qs).toArray().size(), 3);

    // The name is found whatever its case; every member gets the picture.
    r = ctl(put(u"floor 2"_qs));
    ASSERT_EQ(r.exit, 0) << r.out.toStdString() << r.err.toStdString();
    for (int i = 0; i < 3; ++i) {
        const auto image = m_emus.at(i)->stores().image(2);
        ASSERT_TRUE(image.has_value()) << i;
        EXPECT_EQ(image->data.size(), 20000);
        EXPECT_TRUE(r.out.contains(m_members[i] + u"\t0\t"_qs)) << r.out.toStdString();
    }
    EXPECT_FALSE(r.out.contains(m_silent));

    r = ctl({u"status"_qs, u"--group"_qs, u"Floor 2"_qs});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    for (const QString& a : std::as_const(m_members)) {
        EXPECT_TRUE(r.out.contains(a)) << r.out.toStdString();
    }
    EXPECT_FALSE(r.out.contains(m_silent));

    // One member that does not answer: the others still get it, and the exit says so.
    ASSERT_EQ(ctl({u"group"_qs, u"add"_qs, u"Floor 2"_qs, m_silent}).exit, 0);
    r = ctl(put(u"Floor 2"_qs));
    EXPECT_EQ(r.exit, 1) << r.out.toStdString();
    EXPECT_EQ(r.out.count(u'\n'), 4) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(m_silent + u"\t0\t"_qs)) << r.out.toStdString();
    r = ctl({u"status"_qs, u"--group"_qs, u"Floor 2"_qs});
    EXPECT_EQ(r.exit, 1) << r.out.toStdString();

    ASSERT_EQ(ctl({u"group"_qs, u"remove"_qs, u"Floor 2"_qs, m_silent}).exit, 0);
    r = ctl({u"group"_qs, u"list"_qs});
    EXPECT_EQ(r.out, u"Floor 2\t"_qs + m_members.join(u'\t') + u'\n');
    ASSERT_EQ(ctl({u"group"_qs, u"remove"_qs, u"FLOOR 2"_qs}).exit, 0);
    r = ctl({u"group"_qs, u"list"_qs});
    EXPECT_EQ(r.out, CatalogText(msg::CtlNoGroups) + u'\n');
}

TEST_F(GroupCommand, UnknownGroupsAndAddressesAreRefusedWithExitTwo) {
    ASSERT_EQ(ctl({u"group"_qs, u"add"_qs, u"Lab"_qs, m_members[0]}).exit, 0);
    const QByteArray before = readAll(ProjectorGroups::pathFor(m_ini));
    const QList<std::pair<QStringList, QString>> bad{
        {{u"group"_qs, u"add"_qs, u"Lab"_qs, u"10.9.9.9"_qs},
         CatalogText(msg::CtlGroupAddressNotListed, {u"10.9.9.9"_qs})},
        {{u"group"_qs, u"add"_qs, u"a\u202Eb"_qs, m_members[1]}, CatalogText(msg::GroupNameInvisible)},
        {{u"group"_qs, u"add"_qs, u"   "_qs, m_members[1]}, CatalogText(msg::GroupNameEmpty)},
        {{u"group"_qs, u"remove"_qs, u"Nope"_qs}, CatalogText(msg::CtlGroupUnknown, {u"Nope"_qs})},
        {{u"group"_qs, u"remove"_qs, u"Lab"_qs, m_members[2]},
         CatalogText(msg::CtlGroupNotMember, {m_members[2], u"Lab"_qs})},
        {{u"group"_qs, u"rename"_qs, u"Lab"_qs}, CatalogText(msg::CtlGroupUsage)},
        {put(u"Nope"_qs), CatalogText(msg::CtlGroupUnknown, {u"Nope"_qs})},
        {{u"put"_qs, m_picture, m_members[0], u"--group"_qs, u"Lab"_qs, u"--store"_qs, u"1"_qs},
         CatalogText(msg::CtlGroupAndAddresses)},
        {{u"status"_qs, u"--group"_qs, u"Nope"_qs}, CatalogText(msg::CtlGroupUnknown, {u"Nope"_qs})},
    };
    for (const auto& [args, message] : bad) {
        const CtlRun r = ctl(args);
        EXPECT_EQ(r.exit, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(message)) << args.join(u' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_EQ(readAll(ProjectorGroups::pathFor(m_ini)), before);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_emus.at(i)->connections(), 0) << "nothing was sent for a refused command";
    }

    // A group left empty is not a target; a damaged file is named, not sent to.
    ASSERT_EQ(ctl({u"group"_qs, u"remove"_qs, u"Lab"_qs, m_members[0]}).exit, 0);
    CtlRun r = ctl(put(u"Lab"_qs));
    EXPECT_EQ(r.exit, 2);
    EXPECT_TRUE(r.err.contains(CatalogText(msg::CtlGroupEmpty, {u"Lab"_qs}))) << r.err.toStdString();
    QFile damaged(ProjectorGroups::pathFor(m_ini));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("tessavel-groups 1\nLab\t300.1.1.1\n");
    damaged.close();
    r = ctl(put(u"Lab"_qs));
    EXPECT_EQ(r.exit, 2);
    EXPECT_TRUE(r.err.contains(CatalogText(msg::GroupsReasonLine, {u"2"_qs}))) << r.err.toStdString();
}
