#include "EmulatorOptions.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "support/Emulators.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace {

// Sends raw bytes to an emulator and returns everything it answers until it closes.
QByteArray rawExchange(quint32 address, const QByteArray& bytes) {
    TcpSocket s;
    if (!s.create() || s.connectTo(address, kCommandPort, 1000) != TcpSocket::Connect::Ok) {
        return "no connection";
    }
    s.sendAll(bytes, 1000);
    QByteArray reply;
    char chunk[4096];
    while (s.waitReadable(2000) == TcpSocket::Wait::Readable) {
        const qint64 n = s.readOnce(chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        reply.append(chunk, n);
    }
    return reply;
}

} // namespace

TEST(EmulatorProtocol, AnswersMalformedCommandsWithErrors) {
    Emulators emus;
    ProjectorEmulator* e = emus.add();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(rawExchange(e->address(), "HELLO\r\n"), "ERROR 1\r\n");
    EXPECT_EQ(rawExchange(e->address(), "INFO 7\r\n"), "INFO 1\r\n");
    EXPECT_EQ(rawExchange(e->address(), "INFO x\r\n"), "INFO 1\r\n");
    EXPECT_EQ(rawExchange(e->address(), "STAT 9\r\n"), "STAT 1\r\n");
    EXPECT_EQ(rawExchange(e->address(), "STAT 5\r\n"), "STAT 0\r\nSave-ID:5\r\nStatus:0\r\n");
    EXPECT_EQ(rawExchange(e->address(), "PUT a\r\nFile-Length:0\r\nSave-ID:1\r\n\r\n"), "PUT 1\r\n");
    EXPECT_EQ(rawExchange(e->address(), "PUT a\r\nFile-Length:3\r\nSave-ID:9\r\n\r\nabc"), "PUT 1\r\n");
    EXPECT_EQ(rawExchange(e->address(), QByteArray(3000, 'z')), "ERROR 1\r\n");
    EXPECT_EQ(rawExchange(e->address(), "PUT a\r\nFile-Length:3\r\nSave-ID:4\r\n\r\nabc"), "PUT 0\r\n");
    EXPECT_EQ(e->stores().image(4)->data, "abc");
}

TEST(EmulatorProtocol, ChecksThePrefixAndChallengesPrintably) {
    Emulators emus;
    EmulatorConfig c;
    c.authenticate = true;
    c.password = "pw";
    ProjectorEmulator* e = emus.add(c);
    ASSERT_NE(e, nullptr);
    const QByteArray reply = rawExchange(e->address(), QByteArray(32, 'A') + "STAT 1\r\n");
    ASSERT_GE(reply.size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(reply[i] >= '!' && reply[i] <= '~');
    }
    EXPECT_EQ(reply.mid(8), "STAT 9\r\n");
    ASSERT_TRUE(e->waitForServed(1, 20000));
    EXPECT_FALSE(e->requests().last().prefixOk);
}

TEST(EmulatorProtocol, BusyStoreAndFolderStores) {
    QTemporaryDir dir;
    Emulators emus;
    EmulatorConfig c;
    c.storeDir = dir.path();
    c.faults.storeDelayMs = 300;
    ProjectorEmulator* e = emus.add(c);
    ASSERT_NE(e, nullptr);
    const QString path = dir.filePath(u"keep.qv1"_qs);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kept bytes");
    }
    int first = 1;
    std::thread t([&] { first = UploadImage(path, 3, CommandTarget{e->address(), 0, {}}, FastContext()); });
    while (e->stores().state(3) != EmulatorStores::Writing) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(UploadImage(path, 3, CommandTarget{e->address(), 0, {}}, FastContext()), UploadResult::Reply3);
    t.join();
    EXPECT_EQ(first, 0);
    emus.stopAll();
    // A new emulator on the same folder still holds the image.
    EmulatorStores reopened(dir.path());
    ASSERT_TRUE(reopened.image(3).has_value());
    EXPECT_EQ(reopened.image(3)->name, "keep.qv1");
    EXPECT_EQ(reopened.image(3)->data, "kept bytes");
}

TEST(EmulatorOptionsTest, ParsesProjectorsAndFaults) {
    const EmulatorOptions o = EmulatorOptions::parse(
        {u"--address"_qs, u"127.0.0.5"_qs, u"--count"_qs, u"3"_qs, u"--password"_qs, u"pw"_qs, u"--split"_qs,
         u"2"_qs, u"--extra"_qs, u"x\\r\\n\\x01"_qs, u"--close-early"_qs, u"reply"_qs, u"--wl"_qs});
    ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    ASSERT_EQ(o.projectors.size(), 3);
    EXPECT_EQ(o.projectors[2].address, 0x7F000007u);
    EXPECT_NE(o.projectors[0].mac, o.projectors[1].mac);
    EXPECT_TRUE(o.projectors[0].authenticate);
    EXPECT_EQ(o.projectors[0].password, "pw");
    EXPECT_EQ(o.projectors[0].faults.splitBytes, 2);
    EXPECT_EQ(o.projectors[0].faults.extraBytes, "x\r\n\x01");
    EXPECT_EQ(o.projectors[0].faults.closeEarly, EmulatorFaults::Close::BeforeReply);
    EXPECT_TRUE(o.projectors[0].faults.answerTaggedWL);
    EXPECT_FALSE(EmulatorOptions::parse({u"--address"_qs, u"1.2.3"_qs}).error.isEmpty());
    EXPECT_FALSE(EmulatorOptions::parse({u"--split"_qs}).error.isEmpty());
    EXPECT_FALSE(EmulatorOptions::parse({u"--bogus"_qs, u"1"_qs}).error.isEmpty());
    EXPECT_EQ(EmulatorOptions::parse({}).projectors.size(), 1);
    EXPECT_EQ(o.warnings.size(), 1) << "a password on the command line is warned about";
    const EmulatorOptions checks = EmulatorOptions::parse(
        {u"--drop-uploads"_qs, u"--info-reply"_qs, u"INFO 1\\r\\n"_qs, u"--info-delay"_qs, u"70"_qs});
    ASSERT_TRUE(checks.error.isEmpty()) << checks.error.toStdString();
    EXPECT_TRUE(checks.projectors[0].faults.dropUploads);
    EXPECT_EQ(checks.projectors[0].faults.infoReplyOverride, "INFO 1\r\n");
    EXPECT_EQ(checks.projectors[0].faults.infoDelayMs, 70);
    EXPECT_FALSE(EmulatorOptions::parse({u"--info-reply"_qs}).error.isEmpty());
}

TEST(EmulatorOptionsTest, PasswordFromAFileTakesItsFirstLineWithoutWarning) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"pw"_qs);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("two words\r\nsecond line\n");
    f.close();
    const EmulatorOptions o = EmulatorOptions::parse({u"--password-file"_qs, path, u"--never-read"_qs});
    ASSERT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_TRUE(o.warnings.isEmpty());
    ASSERT_EQ(o.projectors.size(), 1);
    EXPECT_TRUE(o.projectors[0].authenticate);
    EXPECT_EQ(o.projectors[0].password, "two words");
    EXPECT_TRUE(o.projectors[0].faults.neverRead);
    EXPECT_FALSE(EmulatorOptions::parse({u"--password-file"_qs, dir.filePath(u"none"_qs)}).error.isEmpty());
    QFile empty(dir.filePath(u"empty"_qs));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_FALSE(EmulatorOptions::parse({u"--password-file"_qs, empty.fileName()}).error.isEmpty());
}

TEST(EmulatorProtocol, NeverReadHoldsTheConnectionWithoutReading) {
    EmulatorConfig c;
    c.faults.neverRead = true;
    Emulators emus;
    ProjectorEmulator* e = emus.add(c);
    ASSERT_NE(e, nullptr);
    TcpSocket s;
    ASSERT_TRUE(s.create());
    ASSERT_EQ(s.connectTo(e->address(), kCommandPort, 5000), TcpSocket::Connect::Ok);
    // Far more than both ends buffer: the send runs into its time-out.
    EXPECT_FALSE(s.sendAll(QByteArray(48 << 20, 'x'), 300));
    EXPECT_EQ(s.waitReadable(100), TcpSocket::Wait::TimedOut) << "no reply and no close";
}

// The session's record lands well after the client has its reply and has gone; the log
// must still hold every exchange the client finished.
TEST(EmulatorProtocol, TheRequestLogWaitsForSessionsThatHaveNotRecordedYet) {
    Emulators emus;
    EmulatorConfig c;
    c.faults.recordDelayMs = 600;
    ProjectorEmulator* e = emus.add(c);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(rawExchange(e->address(), "STAT 1\r\n"), "STAT 0\r\nSave-ID:1\r\nStatus:0\r\n");
    EXPECT_TRUE(rawExchange(e->address(), "INFO 1\r\n").startsWith("INFO 0\r\n"));
    const QList<EmulatorRequest> got = e->requests();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].command, "STAT 1");
    EXPECT_EQ(got[1].command, "INFO 1");
}
