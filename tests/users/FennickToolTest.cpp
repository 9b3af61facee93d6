#include "users/UserStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

void expectPrivate(const QString& path);

namespace {

struct ToolRun final {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun fennick(const QStringList& args, const QByteArray& input = {},
                const QString& program = QStringLiteral(FENNICK_PATH), bool closeInput = true) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000)) {
        ADD_FAILURE() << "Fennick did not start: " << program.toStdString();
        return {};
    }
    p.write(input);
    if (closeInput) {
        p.closeWriteChannel();
    }
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "Fennick did not finish";
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

class FennickTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString m_users = m_dir.filePath(u"t.users"_qs);

    ToolRun run(QStringList args, const QByteArray& input = {}) {
        args.prepend(m_users);
        args.prepend(u"--users"_qs);
        return fennick(args, input);
    }
    QByteArray contents() const {
        QFile f(m_users);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(FennickTest, AddsListsChangesAndRemovesUsers) {
    ToolRun r = run({u"list"_qs});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");

    r = run({u"add"_qs, u"bob"_qs}, "bobpass12\n");
    EXPECT_EQ(r.exitCode, 1) << "the first user must be an administrator";
    EXPECT_FALSE(QFile::exists(m_users));

    r = run({u"add"_qs, u"alice"_qs, u"--admin"_qs}, "alicepass1\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    expectPrivate(m_users);
    EXPECT_TRUE(contents().contains("alice:admin:$argon2id$v=19$m=65536,t=2,p=1$"));
    EXPECT_FALSE(contents().contains("alicepass1"));

    r = run({u"add"_qs, u"bob"_qs}, "bobpass12\r\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = run({u"add"_qs, u"bob"_qs}, "otherpass\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("bob"));

    r = run({u"list"_qs});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "alice admin\nbob user\n");

    UserStore store(m_users);
    EXPECT_EQ(store.verify(u"alice"_qs, u"alicepass1"_qs), UserStore::Check::Ok);
    EXPECT_EQ(store.verify(u"bob"_qs, u"bobpass12"_qs), UserStore::Check::Ok)
        << "line end is not the password";

    r = run({u"passwd"_qs, u"bob"_qs}, "newbobpass\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(store.verify(u"bob"_qs, u"bobpass12"_qs), UserStore::Check::WrongPassword);
    EXPECT_EQ(store.verify(u"bob"_qs, u"newbobpass"_qs), UserStore::Check::Ok);
    EXPECT_EQ(run({u"passwd"_qs, u"bob"_qs}, "short\n").exitCode, 1);
    EXPECT_EQ(run({u"passwd"_qs, u"carl"_qs}, "carlpass12\n").exitCode, 1);

    EXPECT_EQ(run({u"remove"_qs, u"alice"_qs}).exitCode, 1) << "the last administrator stays";
    EXPECT_EQ(run({u"remove"_qs, u"carl"_qs}).exitCode, 1);
    EXPECT_EQ(run({u"remove"_qs, u"bob"_qs}).exitCode, 0);
    EXPECT_EQ(run({u"list"_qs}).out, "alice admin\n");
}

TEST_F(FennickTest, UsageErrorsAndMissingPasswords) {
    EXPECT_EQ(fennick({}).exitCode, 2);
    EXPECT_EQ(run({u"frobnicate"_qs}).exitCode, 2);
    EXPECT_EQ(run({u"add"_qs}, "password1\n").exitCode, 2);
    EXPECT_EQ(run({u"add"_qs, u"a"_qs, u"b"_qs}, "password1\n").exitCode, 2);
    EXPECT_EQ(run({u"list"_qs, u"--admin"_qs}).exitCode, 2);
    EXPECT_EQ(run({u"add"_qs, u"a"_qs, u"--colour"_qs}, "password1\n").exitCode, 2);
    EXPECT_EQ(fennick({u"list"_qs, u"--users"_qs}).exitCode, 2);
    // Nothing at all on standard input is no password, not an empty one.
    EXPECT_EQ(run({u"add"_qs, u"alice"_qs, u"--admin"_qs}, "").exitCode, 2);
    EXPECT_FALSE(QFile::exists(m_users));
    EXPECT_EQ(run({u"add"_qs, u"alice"_qs, u"--admin"_qs}, "\n").exitCode, 1) << "empty password refused";
    // A bad name is refused before any password is asked for.
    EXPECT_EQ(run({u"add"_qs, u"a b"_qs, u"--admin"_qs}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(m_users));
    const ToolRun help = fennick({u"--help"_qs});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("passwd NAME"));
}

TEST_F(FennickTest, CorruptFileIsReportedAndLeftAlone) {
    const QByteArray bad = "tessavel-users 1\nalice:admin:not-a-hash\n";
    {
        QFile f(m_users);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bad);
    }
    ToolRun r = run({u"list"_qs});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("line 2")) << r.err.toStdString();
    EXPECT_EQ(run({u"add"_qs, u"eve"_qs, u"--admin"_qs}, "evepass123\n").exitCode, 2);
    EXPECT_EQ(run({u"passwd"_qs, u"alice"_qs}, "evepass123\n").exitCode, 2);
    EXPECT_EQ(run({u"remove"_qs, u"alice"_qs}).exitCode, 2);
    EXPECT_EQ(contents(), bad);
}

TEST(FennickDefaultFile, UsesTheProgramsUsersFileInItsOwnFolder) {
    QTemporaryDir dir;
    const QString tool = dir.filePath(QFileInfo(QStringLiteral(FENNICK_PATH)).fileName());
    ASSERT_TRUE(QFile::copy(QStringLiteral(FENNICK_PATH), tool));
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const ToolRun r = fennick({u"add"_qs, u"root"_qs, u"--admin"_qs}, "rootpass1\n", tool);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    UserStore store(dir.filePath(u"tessavel.users"_qs));
    ASSERT_TRUE(store.load().ok());
    EXPECT_EQ(store.verify(u"root"_qs, u"rootpass1"_qs), UserStore::Check::Ok);
    EXPECT_EQ(fennick({u"list"_qs}, {}, tool).out, "root admin\n");
}
