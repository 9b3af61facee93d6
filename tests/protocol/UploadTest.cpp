#include "i18n/CatalogIds.h"
#include "protocol/ImageUpload.h"
#include "registry/ProjectorStore.h"
#include "support/Emulators.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class Upload : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& content) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    ProjectorEmulator* emulator(EmulatorFaults faults = {}, bool authenticate = false,
                                QByteArray password = "pw") {
        EmulatorConfig c;
        c.faults = faults;
        c.authenticate = authenticate;
        c.password = std::move(password);
        ProjectorEmulator* e = m_emus.add(c);
        EXPECT_NE(e, nullptr);
        return e;
    }
    int put(const QString& path, int store, ProjectorEmulator* e, int auth = 0,
            const QString& pw = u"pw"_qs) {
        return UploadImage(path, store, CommandTarget{e->address(), auth, pw}, m_ctx);
    }
    int putWithReply(const QByteArray& reply, EmulatorFaults faults = {}) {
        faults.replyOverride = reply;
        return put(file(u"r.qv1"_qs, "data"), 1, emulator(faults));
    }
    static QByteArray pattern(int n) {
        QByteArray b(n, '\0');
        for (int i = 0; i < n; ++i) {
            b[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
        }
        return b;
    }

    QTemporaryDir m_dir;
    Emulators m_emus;
    CommandContext m_ctx = FastContext();
};

} // namespace

TEST_F(Upload, SendsHeaderAndFileInOneBlockAndTheProjectorStoresIt) {
    ProjectorEmulator* e = emulator();
    const QByteArray content = pattern(1000);
    EXPECT_EQ(put(file(u"a.qv1"_qs, content), 2, e), 0);
    ASSERT_TRUE(e->waitForServed(1, 20000));
    const EmulatorRequest r = e->requests().at(0);
    EXPECT_EQ(r.block, "PUT a.qv1\r\nFile-Length:1000\r\nSave-ID:2\r\n\r\n" + content);
    const auto stored = e->stores().image(2);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->name, "a.qv1");
    EXPECT_EQ(stored->data, content);
    EXPECT_EQ(e->stores().state(2), EmulatorStores::Completed);
}

TEST_F(Upload, WithAuthenticationThePrefixStandsDirectlyBeforePut) {
    ProjectorEmulator* e = emulator({}, true, "pw");
    EXPECT_EQ(put(file(u"b.qv1"_qs, "12345"), 3, e, 1, u"pw"_qs), 0);
    ASSERT_TRUE(e->waitForServed(1, 20000));
    const EmulatorRequest r = e->requests().at(0);
    EXPECT_TRUE(r.prefixOk);
    EXPECT_EQ(r.block.mid(32), "PUT b.qv1\r\nFile-Length:5\r\nSave-ID:3\r\n\r\n12345");
    // A wrong password: the projector's "PUT 9".
    EXPECT_EQ(put(file(u"b.qv1"_qs, "12345"), 3, e, 1, u"wrong"_qs), UploadResult::Reply9);
    // Record passwords are used whole, all 255 characters.
    const QByteArray longPw(255, 'p');
    ProjectorEmulator* l = emulator({}, true, longPw);
    EXPECT_EQ(put(file(u"c.qv1"_qs, "x"), 1, l, 1, QString::fromLatin1(longPw)), 0);
}

TEST_F(Upload, BaseNameRules) {
    EXPECT_EQ(ImageUpload::baseName(u"C:\\img\\a.qv1"_qs), u"a.qv1");
    EXPECT_EQ(ImageUpload::baseName(u"a.qv1"_qs), u"a.qv1");
    EXPECT_EQ(ImageUpload::baseName(u"/home/op/pictures/a.qv1"_qs), u"a.qv1");
    EXPECT_EQ(ImageUpload::baseName(u"C:\\x/y\\z.qv1"_qs), u"z.qv1");
    EXPECT_EQ(ImageUpload::header("a.qv1", 1000, 2), "PUT a.qv1\r\nFile-Length:1000\r\nSave-ID:2\r\n\r\n");
    // A name the "PUT" line cannot hold is refused before anything goes out.
    ProjectorEmulator* e = emulator();
    EXPECT_EQ(put(file(QString(249, u'n'), "x"), 1, e), 0);
    EXPECT_EQ(put(file(QString(250, u'n'), "x"), 1, e), UploadResult::FileUnreadable);
    EXPECT_TRUE(e->waitForServed(1, 20000));
    EXPECT_EQ(e->connections(), 1);
}

TEST_F(Upload, FileFailuresMakeNoConnection) {
    ProjectorEmulator* e = emulator();
    EXPECT_EQ(put(m_dir.filePath(u"missing.qv1"_qs), 1, e), UploadResult::FileUnreadable);
    EXPECT_EQ(put(file(u"empty.qv1"_qs, {}), 1, e), UploadResult::FileEmpty);
    EXPECT_EQ(put(m_dir.path(), 1, e), UploadResult::FileUnreadable); // a folder
    EXPECT_EQ(e->connections(), 0);
}

TEST_F(Upload, AShortReadFailsInsteadOfSendingZeros) {
    // A kernel attribute file claims 4096 bytes and delivers a few: a real short read.
    const QString attribute = u"/sys/class/net/lo/address"_qs;
    if (QFileInfo(attribute).size() != 4096) {
        GTEST_SKIP() << "no attribute file that reads short";
    }
    ProjectorEmulator* e = emulator();
    EXPECT_EQ(put(attribute, 1, e), UploadResult::FileUnreadable);
    EXPECT_EQ(e->connections(), 0);
    EXPECT_FALSE(e->stores().image(1).has_value());
}

TEST_F(Upload, ReplyCodes) {
    EXPECT_EQ(putWithReply("PUT 0\r\n"), 0);
    EXPECT_EQ(putWithReply("PUT 1\r\n"), UploadResult::Reply1);
    EXPECT_EQ(putWithReply("PUT 2\r\n"), UploadResult::Reply2);
    EXPECT_EQ(putWithReply("PUT 3\r\n"), UploadResult::Reply3);
    EXPECT_EQ(putWithReply("PUT 9\r\n"), UploadResult::Reply9);
    EXPECT_EQ(putWithReply("PUT 5\r\n"), UploadResult::OtherReply);
    EXPECT_EQ(putWithReply("PUT 0\r\nmore"), UploadResult::OtherReply);
    EXPECT_EQ(putWithReply("PUT 0\n"), UploadResult::OtherReply);
    EmulatorFaults extra;
    extra.extraBytes = "!";
    extra.splitBytes = 3;
    extra.splitPauseMs = 5;
    EXPECT_EQ(putWithReply("PUT 0\r\n", extra), UploadResult::OtherReply); // "\r\n!" together
    EmulatorFaults huge;
    huge.garbageBytes = 1 << 20;
    EXPECT_EQ(put(file(u"g.qv1"_qs, "x"), 1, emulator(huge)), UploadResult::OtherReply);
}

TEST_F(Upload, SplitVerdictIsJudgedWhole) {
    for (const int piece : {1, 2, 4}) {
        EmulatorFaults split;
        split.splitBytes = piece;
        split.splitPauseMs = 10;
        ProjectorEmulator* e = emulator(split);
        EXPECT_EQ(put(file(u"s.qv1"_qs, pattern(5000)), 1, e), 0) << piece;
        EXPECT_EQ(e->stores().image(1)->data, pattern(5000));
    }
}

TEST_F(Upload, WaitsCloseAndConnectionCodes) {
    // The verdict comes after two of six waits: still in time.
    EmulatorFaults slow;
    slow.storeDelayMs = 2 * m_ctx.timeouts.putWaitStepMs + 50;
    EXPECT_EQ(put(file(u"w.qv1"_qs, "x"), 1, emulator(slow)), 0);
    // No verdict within the six waits: -8.
    EmulatorFaults never;
    never.neverReply = true;
    EXPECT_EQ(put(file(u"w.qv1"_qs, "x"), 1, emulator(never)), UploadResult::NoReply);
    EmulatorFaults late;
    late.verdictDelayMs = 3 * m_ctx.timeouts.putReplyWaits * m_ctx.timeouts.putWaitStepMs;
    EXPECT_EQ(put(file(u"w.qv1"_qs, "x"), 1, emulator(late)), UploadResult::NoReply);
    // Closed without a verdict: -9.
    EmulatorFaults close;
    close.closeEarly = EmulatorFaults::Close::BeforeReply;
    EXPECT_EQ(put(file(u"w.qv1"_qs, "x"), 1, emulator(close)), UploadResult::ReadFailed);
    // Connection codes come back unchanged.
    const QString f = file(u"w.qv1"_qs, "x");
    EXPECT_EQ(UploadImage(f, 1, CommandTarget{Emulators::silentAddress(), 0, {}}, m_ctx),
              ConnectResult::ConnectFailed);
    EmulatorFaults mute;
    mute.neverGreet = true;
    EXPECT_EQ(put(f, 1, emulator(mute, true), 1), ConnectResult::NoGreeting);
    EmulatorFaults gone;
    gone.closeEarly = EmulatorFaults::Close::BeforeGreeting;
    EXPECT_EQ(put(f, 1, emulator(gone, true), 1), ConnectResult::GreetingReadFailed);
}

TEST_F(Upload, ProgressAndNotedAuthentication) {
    ProjectorStore store(m_dir.filePath(u"p.INI"_qs));
    m_ctx.store = &store;
    EmulatorFaults slow;
    slow.storeDelayMs = 2 * m_ctx.timeouts.putWaitStepMs + 150; // two waits pass before the verdict
    ProjectorEmulator* e = emulator(slow);
    std::vector<ImageUpload::Phase> phases;
    int maxSteps = 0;
    const int r = UploadImage(file(u"p.qv1"_qs, "abc"), 4, CommandTarget{e->address(), 0, u"x"_qs}, m_ctx,
                              [&](ImageUpload::Phase p, int steps) {
                                  if (phases.empty() || phases.back() != p) {
                                      phases.push_back(p);
                                  }
                                  maxSteps = qMax(maxSteps, steps);
                              });
    EXPECT_EQ(r, 0);
    const std::vector<ImageUpload::Phase> expected{ImageUpload::Phase::Connecting, ImageUpload::Phase::Sent,
                                                   ImageUpload::Phase::Waiting, ImageUpload::Phase::Done};
    EXPECT_EQ(phases, expected);
    EXPECT_GE(maxSteps, 2);
    EXPECT_EQ(store.authSetting().authOff, 1);
    EXPECT_EQ(store.authSetting().password, u"x");
}

TEST_F(Upload, ParallelUploadsToSeveralProjectors) {
    std::vector<ProjectorEmulator*> targets;
    for (int i = 0; i < 6; ++i) {
        EmulatorFaults f;
        f.storeDelayMs = 100;
        targets.push_back(emulator(f));
    }
    const QByteArray content = pattern(130816);
    const QString path = file(u"big.qv1"_qs, content);
    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    for (ProjectorEmulator* e : targets) {
        threads.emplace_back([&, e] {
            if (UploadImage(path, 1, CommandTarget{e->address(), 0, {}}, m_ctx) == 0) {
                ok.fetch_add(1);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(ok.load(), 6);
    for (ProjectorEmulator* e : targets) {
        EXPECT_EQ(e->stores().image(1)->data, content);
    }
}

TEST_F(Upload, ResultTexts) {
    EXPECT_EQ(ImageUpload::textFor(0).id, msg::UploadSucceeded);
    EXPECT_EQ(ImageUpload::textFor(-1).id, msg::UploadFileUnreadable);
    EXPECT_EQ(ImageUpload::textFor(-2).id, msg::UploadFileEmpty);
    EXPECT_EQ(ImageUpload::textFor(-8).id, msg::ExplainSilence);
    EXPECT_EQ(ImageUpload::textFor(-13).id, msg::ExplainWrongPassword);
    EXPECT_EQ(ImageUpload::textFor(-14).id, msg::ReplyNotUnderstood);
    EXPECT_EQ(ImageUpload::textFor(-102).id, msg::ExplainRefused);
    EXPECT_EQ(ImageUpload::textFor(-102).inserts, QStringList{u"-102"_qs});
    EXPECT_EQ(ImageUpload::textFor(-11).inserts, QStringList{u"-11"_qs});
    EXPECT_EQ(ImageUpload::textFor(UploadResult::Stopped).id, msg::UploadStopped);
}

TEST_F(Upload, NoDescriptorsLeftAfterFailingUploads) {
    const QString path = file(u"f.qv1"_qs, pattern(20000));
    m_ctx.timeouts.putReplyWaits = 2;
    UploadImage(path, 1, CommandTarget{Emulators::silentAddress(), 0, {}}, m_ctx); // warm-up
    const int before = OpenDescriptorCount();
    {
        Emulators emus;
        std::vector<CommandTarget> targets;
        for (int k = 0; k < 6; ++k) {
            EmulatorConfig c;
            c.authenticate = k % 2 == 1;
            c.password = "pw";
            switch (k) {
            case 0:
                c.faults.neverReply = true;
                break;
            case 1:
                c.faults.neverGreet = true;
                break;
            case 2:
                c.faults.garbageBytes = 50000;
                break;
            case 3:
                c.faults.closeEarly = EmulatorFaults::Close::BeforeGreeting;
                break;
            case 4:
                c.faults.closeEarly = EmulatorFaults::Close::BeforeReply;
                break;
            default:
                c.faults.replyOverride = "PUT 0\r";
                break;
            }
            targets.push_back({emus.add(c)->address(), c.authenticate ? 1 : 0, u"pw"_qs});
        }
        targets.push_back({Emulators::silentAddress(), 0, {}});
        for (const CommandTarget& t : targets) {
            EXPECT_NE(UploadImage(path, 1, t, m_ctx), 0);
            EXPECT_NE(UploadImage(m_dir.filePath(u"none"_qs), 1, t, m_ctx), 0);
        }
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

// A projector that accepts and then never reads: the send gives up after its own time-out.
TEST_F(Upload, SendFailsWhenTheProjectorStopsReading) {
    // An address of its own: the silent one must stay silent for tests running alongside.
    const quint32 address = 0x7F0000F8u; // 127.0.0.248
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(kCommandPort);
    at.sin_addr.s_addr = htonl(address);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(listener, 4), 0); // connections complete in the queue, nobody reads
    const QString path = file(u"huge.qv1"_qs, QByteArray(48 << 20, 'h'));
    m_ctx.timeouts.sendMs = 300;
    EXPECT_EQ(UploadImage(path, 1, CommandTarget{address, 0, {}}, m_ctx), UploadResult::SendFailed);
    // With a stop flag that is never raised the send keeps its own time-out as well.
    const std::atomic<bool> never{false};
    m_ctx.stop = &never;
    EXPECT_EQ(UploadImage(path, 1, CommandTarget{address, 0, {}}, m_ctx), UploadResult::SendFailed);
    ::close(listener);
}

namespace {

using Clock = std::chrono::steady_clock;

bool waitFor(const std::function<bool()>& condition) {
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs an upload with the protocol's own time-outs on a thread of its own, raises the stop
// flag once ready() holds, and gives the result and how long the upload took after the stop.
struct StoppedUpload {
    int result = 1;
    Clock::duration afterStop{};
};
StoppedUpload uploadAndStop(const QString& path, const CommandTarget& target,
                            const std::function<bool()>& ready) {
    std::atomic<bool> stop{false};
    CommandContext ctx;
    ctx.stop = &stop;
    std::atomic<int> result{1};
    std::atomic<bool> done{false};
    std::thread t([&] {
        result.store(UploadImage(path, 1, target, ctx));
        done.store(true);
    });
    StoppedUpload out;
    EXPECT_TRUE(waitFor(ready));
    const auto stopAt = Clock::now();
    stop.store(true);
    EXPECT_TRUE(waitFor([&] { return done.load(); }));
    out.afterStop = Clock::now() - stopAt;
    t.join();
    out.result = result.load();
    return out;
}

} // namespace

TEST_F(Upload, AStopFlagAbandonsTheWaitForASilentProjector) {
    const QString path = file(u"s.qv1"_qs, pattern(5000));
    const int before = OpenDescriptorCount();
    EmulatorFaults f;
    f.neverReply = true;
    ProjectorEmulator* e = emulator(f);
    const StoppedUpload r =
        uploadAndStop(path, {e->address(), 0, {}}, [&] { return e->stores().image(1).has_value(); });
    EXPECT_EQ(r.result, UploadResult::Stopped);
    EXPECT_LT(r.afterStop, std::chrono::seconds(5)); // not the 300 s of the protocol
    m_emus.stopAll(); // the emulator's own descriptors live in this process too
    EXPECT_EQ(OpenDescriptorCount(), before) << "the socket is closed on the uploading thread";
}

TEST_F(Upload, AStopFlagAbandonsASendThatCannotGoOn) {
    EmulatorFaults f;
    f.neverRead = true;
    ProjectorEmulator* e = emulator(f);
    const QString path = file(u"big.qv1"_qs, QByteArray(48 << 20, 'b'));
    const StoppedUpload r = uploadAndStop(path, {e->address(), 0, {}}, [&] { return e->connections() >= 1; });
    EXPECT_EQ(r.result, UploadResult::Stopped);
    EXPECT_LT(r.afterStop, std::chrono::seconds(5)); // not the 30 s send time-out
}

TEST_F(Upload, AStopFlagAbandonsTheWaitForAGreeting) {
    EmulatorFaults f;
    f.neverGreet = true;
    ProjectorEmulator* e = emulator(f, true);
    const QString path = file(u"g.qv1"_qs, pattern(100));
    const StoppedUpload r =
        uploadAndStop(path, {e->address(), 1, u"pw"_qs}, [&] { return e->connections() >= 1; });
    EXPECT_EQ(r.result, UploadResult::Stopped);
    EXPECT_LT(r.afterStop, std::chrono::seconds(5));
}

TEST_F(Upload, ARaisedStopFlagMakesNoConnectionAndALoweredOneChangesNothing) {
    ProjectorEmulator* e = emulator();
    const QString path = file(u"n.qv1"_qs, pattern(100));
    std::atomic<bool> stop{true};
    m_ctx.stop = &stop;
    EXPECT_EQ(put(path, 1, e), UploadResult::Stopped);
    EXPECT_EQ(e->connections(), 0);
    stop.store(false);
    EXPECT_EQ(put(path, 2, e), UploadResult::Ok);
    ASSERT_TRUE(e->stores().image(2).has_value());
    EXPECT_EQ(e->stores().image(2)->data, pattern(100));
}
