#include "users/UserStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

void expectPrivate(const QString& path);

namespace {

using Role = UserStore::Role;
using Status = UserStore::Status;
using Check = UserStore::Check;

constexpr auto kFast = UserStore::HashCost::LowForTests;

class UserStoreTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(u"tessavel.users"_qs);

    UserStore store(UserStore::HashCost cost = kFast) { return UserStore(m_path, cost); }

    QByteArray contents() const {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeRaw(const QByteArray& data) const {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(data), data.size());
    }
    // A store with an administrator "root" (password "rootpass1") and a user "ann" ("annpass12").
    UserStore seeded() {
        UserStore s = store();
        EXPECT_TRUE(s.add(u"root"_qs, Role::Administrator, u"rootpass1"_qs).ok());
        EXPECT_TRUE(s.add(u"ann"_qs, Role::User, u"annpass12"_qs).ok());
        return s;
    }
};

} // namespace

TEST(UserStorePath, ExtensionOfTheIniFileIsReplaced) {
    EXPECT_EQ(UserStore::pathForIni(u"/opt/t/tessavel.INI"_qs), u"/opt/t/tessavel.users");
    EXPECT_EQ(UserStore::pathForIni(u"/opt/t.d/tessavel"_qs), u"/opt/t.d/tessavel.users");
    EXPECT_EQ(UserStore::pathForIni(u"/opt/t/a.b.INI"_qs), u"/opt/t/a.b.users");
    QTemporaryDir dir;
    EXPECT_EQ(UserStore::defaultPathForProgram(dir.filePath(u"tessavel"_qs)),
              dir.filePath(u"tessavel.users"_qs));
    EXPECT_EQ(UserStore::defaultPathForProgram(dir.filePath(u"tessavel.exe"_qs)),
              dir.filePath(u"tessavel.users"_qs));
}

TEST_F(UserStoreTest, MissingFileMeansFirstStartAndNoPasswordWorks) {
    UserStore s = store();
    ASSERT_TRUE(s.load().ok());
    EXPECT_FALSE(s.isCorrupt());
    EXPECT_TRUE(s.isFirstStart());
    EXPECT_TRUE(s.users().isEmpty());
    // There is no built-in account of any kind.
    for (const QString& name : {u"admin"_qs, u"Administrator"_qs, u"root"_qs, u""_qs}) {
        for (const QString& pw : {u""_qs, u"admin"_qs, u"password"_qs, name}) {
            EXPECT_EQ(s.verify(name, pw), Check::UnknownUser) << name.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(m_path)) << "looking must not create the file";
}

TEST_F(UserStoreTest, AddWritesArgon2idHashesToAPrivateFile) {
    UserStore s = store(UserStore::HashCost::Interactive);
    const auto r = s.add(u"alice"_qs, Role::Administrator, u"correct horse"_qs);
    ASSERT_TRUE(r.ok()) << r.detail.toStdString();
    expectPrivate(m_path);
    const QByteArray data = contents();
    EXPECT_TRUE(data.startsWith("tessavel-users 1\n"));
    const QList<QByteArray> lines = data.split('\n');
    const auto user =
        std::find_if(lines.begin(), lines.end(), [](const QByteArray& l) { return l.startsWith("alice:"); });
    ASSERT_NE(user, lines.end());
    EXPECT_TRUE(user->startsWith("alice:admin:$argon2id$v=19$m=65536,t=2,p=1$")) << user->toStdString();
    EXPECT_FALSE(data.contains("correct horse"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{u"tessavel.users"_qs})
        << "no temporary left";

    UserStore fresh = store();
    ASSERT_TRUE(fresh.load().ok());
    EXPECT_EQ(fresh.users(), (QList<UserStore::User>{{u"alice"_qs, Role::Administrator}}));
    EXPECT_EQ(fresh.verify(u"alice"_qs, u"correct horse"_qs), Check::Ok);
}

TEST_F(UserStoreTest, LowCostIsStillArgon2id) {
    UserStore s = store();
    ASSERT_TRUE(s.add(u"alice"_qs, Role::Administrator, u"12345678"_qs).ok());
    EXPECT_TRUE(contents().contains("alice:admin:$argon2id$v=19$"));
}

TEST_F(UserStoreTest, WritesReplaceTheFileWhole) {
    UserStore s = seeded();
    const QByteArray before = contents();
    QFile old(m_path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    ASSERT_TRUE(s.add(u"bea"_qs, Role::User, u"beapass12"_qs).ok());
    // The open handle still sees the old file: the new one was renamed over it, not rewritten.
    EXPECT_EQ(old.readAll(), before);
    EXPECT_TRUE(contents().contains("\nbea:user:$argon2id$"));
    expectPrivate(m_path);
}

TEST_F(UserStoreTest, FailedWriteKeepsFileAndMemory) {
    UserStore s = seeded();
    const QByteArray before = contents();
    ASSERT_FALSE(before.isEmpty());
    // An atomic write makes a temporary whose name is longer than the file's own: near the
    // file-name limit the file can be read but not replaced, even by a privileged user.
    const QString longPath = m_dir.filePath(QString(252, u'u'));
    ASSERT_TRUE(QFile::rename(m_path, longPath));
    m_path = longPath;
    UserStore again = store();
    const auto r = again.add(u"bea"_qs, Role::User, u"beapass12"_qs);
    ASSERT_EQ(r.status, Status::WriteFailed);
    EXPECT_FALSE(r.detail.isEmpty());
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(again.users().size(), 2);
    EXPECT_FALSE(again.find(u"bea"_qs));
    EXPECT_EQ(again.verify(u"bea"_qs, u"beapass12"_qs), Check::UnknownUser);
}

TEST_F(UserStoreTest, NameRules) {
    UserStore s = store();
    for (const QString& bad : {u""_qs, u"a b"_qs, u"a:b"_qs, u"a\tb"_qs, u"a\u0001b"_qs, u"#x"_qs, u" a"_qs,
                               u"a\u200bb"_qs, QString(65, u'n')}) {
        EXPECT_FALSE(UserStore::isValidName(bad)) << bad.toStdString();
        EXPECT_EQ(s.add(bad, Role::Administrator, u"password1"_qs).status, Status::InvalidName);
    }
    EXPECT_FALSE(QFile::exists(m_path));
    for (const QString& good : {QString(64, u'n'), u"x#"_qs, u"张伟"_qs, u"o'neil.2"_qs}) {
        EXPECT_TRUE(UserStore::isValidName(good)) << good.toStdString();
    }
    ASSERT_TRUE(s.add(QString(64, u'n'), Role::Administrator, u"password1"_qs).ok());
    ASSERT_TRUE(s.add(u"张伟"_qs, Role::User, u"password1"_qs).ok());
    UserStore fresh = store();
    ASSERT_TRUE(fresh.load().ok());
    EXPECT_TRUE(fresh.find(u"张伟"_qs));
}

TEST_F(UserStoreTest, PasswordRules) {
    UserStore s = store();
    EXPECT_EQ(s.add(u"a"_qs, Role::Administrator, u"1234567"_qs).status, Status::InvalidPassword);
    EXPECT_EQ(s.add(u"a"_qs, Role::Administrator, QString(256, u'p')).status, Status::InvalidPassword);
    EXPECT_FALSE(QFile::exists(m_path));
    EXPECT_TRUE(s.add(u"a"_qs, Role::Administrator, QString(255, u'p')).ok());
    EXPECT_TRUE(s.add(u"b"_qs, Role::User, u"12345678"_qs).ok());
    EXPECT_EQ(s.setPassword(u"b"_qs, u"short"_qs).status, Status::InvalidPassword);
    EXPECT_EQ(s.verify(u"b"_qs, u"12345678"_qs), Check::Ok);
}

TEST_F(UserStoreTest, FirstUserMustBeAnAdministratorAndNamesAreUnique) {
    UserStore s = store();
    EXPECT_EQ(s.add(u"ann"_qs, Role::User, u"annpass12"_qs).status, Status::FirstUserNotAdministrator);
    EXPECT_FALSE(QFile::exists(m_path));
    ASSERT_TRUE(s.add(u"root"_qs, Role::Administrator, u"rootpass1"_qs).ok());
    ASSERT_TRUE(s.add(u"ann"_qs, Role::User, u"annpass12"_qs).ok());
    const auto dup = s.add(u"ann"_qs, Role::Administrator, u"otherpass"_qs);
    EXPECT_EQ(dup.status, Status::DuplicateName);
    EXPECT_EQ(dup.subject, u"ann");
    EXPECT_EQ(s.verify(u"ann"_qs, u"annpass12"_qs), Check::Ok) << "the duplicate must not replace the user";
    EXPECT_EQ(s.users(),
              (QList<UserStore::User>{{u"root"_qs, Role::Administrator}, {u"ann"_qs, Role::User}}));
    EXPECT_EQ(s.administratorCount(), 1);
}

TEST_F(UserStoreTest, VerifyOutcomes) {
    UserStore s = seeded();
    EXPECT_EQ(s.verify(u"root"_qs, u"rootpass1"_qs), Check::Ok);
    EXPECT_EQ(s.verify(u"ann"_qs, u"annpass12"_qs), Check::Ok);
    EXPECT_EQ(s.verify(u"root"_qs, u"annpass12"_qs), Check::WrongPassword);
    EXPECT_EQ(s.verify(u"root"_qs, u"ROOTPASS1"_qs), Check::WrongPassword);
    EXPECT_EQ(s.verify(u"root"_qs, u""_qs), Check::WrongPassword);
    EXPECT_EQ(s.verify(u"Root"_qs, u"rootpass1"_qs), Check::UnknownUser);
    // An unknown name with the password of the user whose hash it is compared with.
    EXPECT_EQ(s.verify(u"nobody"_qs, u"rootpass1"_qs), Check::UnknownUser);
}

TEST_F(UserStoreTest, WrongPasswordAndUnknownNameTakeAsLongAsARightOne) {
    UserStore s = store(UserStore::HashCost::Interactive);
    ASSERT_TRUE(s.add(u"root"_qs, Role::Administrator, u"rootpass1"_qs).ok());
    auto fastest = [&](const QString& name, const QString& pw, Check expected) {
        qint64 best = std::numeric_limits<qint64>::max();
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer t;
            t.start();
            EXPECT_EQ(s.verify(name, pw), expected);
            best = std::min(best, t.nsecsElapsed());
        }
        return best;
    };
    const qint64 right = fastest(u"root"_qs, u"rootpass1"_qs, Check::Ok);
    const qint64 wrong = fastest(u"root"_qs, u"wrongpass"_qs, Check::WrongPassword);
    const qint64 unknown = fastest(u"nobody"_qs, u"wrongpass"_qs, Check::UnknownUser);
    // An interactive hash takes tens of milliseconds; skipping it would take microseconds, a
    // thousand times less. The bounds leave room for a loaded machine's noise.
    EXPECT_GT(right, 5'000'000);
    EXPECT_GT(wrong * 10, right);
    EXPECT_GT(unknown * 10, right);
    EXPECT_GT(right * 10, unknown);
}

TEST_F(UserStoreTest, TheLastAdministratorStays) {
    UserStore s = seeded();
    EXPECT_EQ(s.remove(u"root"_qs).status, Status::LastAdministrator);
    EXPECT_EQ(s.remove(u"ghost"_qs).status, Status::UnknownUser);
    ASSERT_TRUE(s.add(u"boss"_qs, Role::Administrator, u"bosspass1"_qs).ok());
    ASSERT_TRUE(s.remove(u"root"_qs).ok());
    EXPECT_EQ(s.remove(u"boss"_qs).status, Status::LastAdministrator);
    ASSERT_TRUE(s.remove(u"ann"_qs).ok());
    UserStore fresh = store();
    ASSERT_TRUE(fresh.load().ok());
    EXPECT_EQ(fresh.users(), (QList<UserStore::User>{{u"boss"_qs, Role::Administrator}}));
    EXPECT_EQ(fresh.verify(u"root"_qs, u"rootpass1"_qs), Check::UnknownUser);
}

TEST_F(UserStoreTest, SetPasswordReplacesOnlyThatUsersHash) {
    UserStore s = seeded();
    ASSERT_TRUE(s.setPassword(u"ann"_qs, u"newpass123"_qs).ok());
    EXPECT_EQ(s.verify(u"ann"_qs, u"annpass12"_qs), Check::WrongPassword);
    EXPECT_EQ(s.verify(u"ann"_qs, u"newpass123"_qs), Check::Ok);
    EXPECT_EQ(s.verify(u"root"_qs, u"rootpass1"_qs), Check::Ok);
    EXPECT_EQ(s.find(u"ann"_qs)->role, Role::User);
    EXPECT_EQ(s.setPassword(u"ghost"_qs, u"newpass123"_qs).status, Status::UnknownUser);
}

TEST_F(UserStoreTest, FirstAdministratorOnlyWhileThereAreNoUsers) {
    UserStore s = store();
    ASSERT_TRUE(s.createFirstAdministrator(u"root"_qs, u"rootpass1"_qs).ok());
    EXPECT_EQ(s.find(u"root"_qs)->role, Role::Administrator);
    EXPECT_FALSE(s.isFirstStart());
    // A second dialog that still believes in a first start must not add another administrator.
    UserStore late = store();
    EXPECT_EQ(late.createFirstAdministrator(u"intruder"_qs, u"intruder1"_qs).status, Status::UsersExist);
    EXPECT_FALSE(late.find(u"intruder"_qs));
    EXPECT_FALSE(contents().contains("intruder"));
}

TEST_F(UserStoreTest, EveryCallReadsTheFileAfresh) {
    UserStore a = seeded();
    UserStore b = store();
    ASSERT_TRUE(b.load().ok());
    ASSERT_TRUE(a.add(u"bea"_qs, Role::User, u"beapass12"_qs).ok());
    EXPECT_EQ(b.verify(u"bea"_qs, u"beapass12"_qs), Check::Ok);
    ASSERT_TRUE(b.add(u"cid"_qs, Role::User, u"cidpass12"_qs).ok());
    UserStore fresh = store();
    ASSERT_TRUE(fresh.load().ok());
    EXPECT_EQ(fresh.users().size(), 4) << "a change from elsewhere must not be lost";
}

TEST_F(UserStoreTest, CommentsBlankLinesAndCrLfAreRead) {
    UserStore s = seeded();
    QByteArray data = contents();
    data.replace("\n", "\r\n");
    data.append("\r\n# a note\r\n\r\n");
    writeRaw(data);
    UserStore again = store();
    ASSERT_TRUE(again.load().ok()) << again.problem().toStdString();
    EXPECT_EQ(again.users().size(), 2);
    EXPECT_EQ(again.verify(u"ann"_qs, u"annpass12"_qs), Check::Ok);
}

TEST_F(UserStoreTest, CorruptFileRefusesEveryLoginAndIsNeverOverwritten) {
    QByteArray good;
    {
        UserStore s = seeded();
        good = contents();
    }
    const QList<QByteArray> lines = good.split('\n');
    const QByteArray rootLine =
        *std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.startsWith("root:"); });
    const QByteArray hash = rootLine.mid(rootLine.indexOf("$argon2id$"));
    const QList<QByteArray> corrupt = {
        QByteArray(),
        "garbage\n",
        "tessavel-users 2\n" + rootLine + "\n",
        rootLine + "\n",
        "tessavel-users 1\nroot:owner:" + hash + "\n",
        "tessavel-users 1\nroot:admin\n",
        "tessavel-users 1\nroot:admin:" + hash + ":extra\n",
        "tessavel-users 1\nroot:admin:rootpass1\n",
        "tessavel-users 1\nroot:admin:" + hash.left(hash.size() - 10) + "\n",
        "tessavel-users 1\nroot:admin:" + QByteArray(hash).replace("$argon2id$", "$argon2i$") + "\n",
        "tessavel-users 1\nroot:admin:" + hash + "\nroot:user:" + hash + "\n",
        "tessavel-users 1\nro ot:admin:" + hash + "\n",
        "tessavel-users 1\n\xff\xfe:admin:" + hash + "\n",
        good + QByteArray(UserStore::kMaxFileSize, '#'),
    };
    for (const QByteArray& bad : corrupt) {
        SCOPED_TRACE(bad.left(80).toStdString());
        writeRaw(bad);
        UserStore s = store();
        EXPECT_FALSE(s.load().ok());
        EXPECT_TRUE(s.isCorrupt());
        EXPECT_FALSE(s.isFirstStart()) << "a damaged file must not invite a new first administrator";
        EXPECT_FALSE(s.problem().isEmpty());
        EXPECT_EQ(s.verify(u"root"_qs, u"rootpass1"_qs), Check::Corrupt);
        EXPECT_EQ(s.verify(u"nobody"_qs, u"x"_qs), Check::Corrupt);
        EXPECT_EQ(s.add(u"new"_qs, Role::Administrator, u"newpass12"_qs).status, Status::Corrupt);
        EXPECT_EQ(s.createFirstAdministrator(u"new"_qs, u"newpass12"_qs).status, Status::Corrupt);
        EXPECT_EQ(s.remove(u"root"_qs).status, Status::Corrupt);
        EXPECT_EQ(s.setPassword(u"root"_qs, u"newpass12"_qs).status, Status::Corrupt);
        EXPECT_EQ(contents(), bad);
    }
    // Repaired by hand, it works again.
    writeRaw(good);
    UserStore s = store();
    EXPECT_TRUE(s.load().ok());
    EXPECT_EQ(s.verify(u"root"_qs, u"rootpass1"_qs), Check::Ok);
}

TEST_F(UserStoreTest, UnreadableFileCountsAsCorrupt) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(u"tessavel.users"_qs));
    UserStore s = store();
    EXPECT_FALSE(s.load().ok());
    EXPECT_TRUE(s.isCorrupt());
    EXPECT_EQ(s.verify(u"a"_qs, u"b"_qs), Check::Corrupt);
    EXPECT_EQ(s.createFirstAdministrator(u"a"_qs, u"password1"_qs).status, Status::Corrupt);
}

TEST(UserStoreCrypto, InitialisesOnceFromManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> ready{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] { ready += UserStore::initialiseCrypto() ? 1 : 0; });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(ready.load(), 8);
}
