#include "protocol/CommandConnection.h"
#include "i18n/Catalog.h"
#include "protocol/ChallengeResponse.h"
#include "protocol/CommandExchange.h"
#include "registry/ProjectorStore.h"
#include "support/Emulators.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

CommandTarget target(quint32 address, int authenticate = 0, const QString& password = {}) {
    return {address, authenticate, password};
}

EmulatorConfig authConfig(const QByteArray& password) {
    EmulatorConfig c;
    c.authenticate = true;
    c.password = password;
    return c;
}

// A listener whose accept queue is full, so a further connect is never answered: the way a
// projector that hangs in its network stack looks from here.
class StalledListener final {
public:
    explicit StalledListener(quint32 address) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(kCommandPort);
        at.sin_addr.s_addr = htonl(address);
        const int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        m_ok =
            ::bind(m_listen, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && ::listen(m_listen, 0) == 0;
        m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
        m_ok = m_ok && ::connect(m_filler, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    }
    ~StalledListener() {
        ::close(m_filler);
        ::close(m_listen);
    }
    [[nodiscard]] bool ok() const { return m_ok; }

private:
    int m_listen = -1;
    int m_filler = -1;
    bool m_ok = false;
};

} // namespace

TEST(CommandConnection, WithoutAuthenticationNothingIsReadAndTheBlockStartsWithTheCommand) {
    Emulators emus;
    // This emulator greets, but a connection that does not authenticate must not read it.
    ProjectorEmulator* e = emus.add(authConfig("pw"));
    ASSERT_NE(e, nullptr);
    CommandConnection c = OpenCommandConnection(target(e->address(), 0), FastContext());
    ASSERT_EQ(c.result, 0);
    EXPECT_TRUE(c.prefix.isEmpty());
    ASSERT_EQ(c.socket.waitReadable(20000), TcpSocket::Wait::Readable);
    char greeting[64];
    EXPECT_EQ(c.socket.readOnce(greeting, sizeof greeting), 8); // still all there

    ProjectorEmulator* plain = emus.add();
    ExchangeRequest info;
    info.commandText = "INFO 1\r\n";
    info.waitStepMs = 2000;
    const ExchangeResult x = RunCommandExchange(target(plain->address(), 0), FastContext(), info);
    EXPECT_EQ(x.stage, ExchangeResult::Stage::Replied);
    ASSERT_TRUE(plain->waitForServed(1, 20000));
    EXPECT_EQ(plain->requests().at(0).block, "INFO 1\r\n");
}

TEST(CommandConnection, AuthenticatesWithTheUpperCasePrefixDirectlyBeforeTheCommand) {
    Emulators emus;
    ProjectorEmulator* e = emus.add(authConfig("secret"));
    ASSERT_NE(e, nullptr);
    ExchangeRequest info;
    info.commandText = "INFO 2\r\n";
    info.waitStepMs = 2000;
    const ExchangeResult x = RunCommandExchange(target(e->address(), 1, u"secret"_qs), FastContext(), info);
    EXPECT_EQ(x.stage, ExchangeResult::Stage::Replied);
    EXPECT_TRUE(x.reply.startsWith("INFO 0\r\n")) << x.reply.constData();
    ASSERT_TRUE(e->waitForServed(1, 20000));
    const EmulatorRequest r = e->requests().at(0);
    EXPECT_TRUE(r.prefixOk);
    ASSERT_EQ(r.block.size(), 32 + 8);
    EXPECT_EQ(r.block.mid(32), "INFO 2\r\n");
    EXPECT_EQ(r.block.left(32), r.block.left(32).toUpper());

    // A wrong password gives a wrong prefix, which the projector refuses.
    const ExchangeResult bad = RunCommandExchange(target(e->address(), 1, u"Secret"_qs), FastContext(), info);
    EXPECT_EQ(bad.reply, "INFO 9\r\n");
}

TEST(CommandConnection, RecordPasswordsOf255CharactersAuthenticateWhole) {
    Emulators emus;
    QByteArray longPassword;
    for (int i = 0; i < 255; ++i) {
        longPassword.append(static_cast<char>('A' + i % 26));
    }
    ProjectorEmulator* whole = emus.add(authConfig(longPassword));
    ProjectorEmulator* cut = emus.add(authConfig(longPassword.left(64)));
    ASSERT_TRUE(whole && cut);
    ExchangeRequest info;
    info.commandText = "INFO 1\r\n";
    info.waitStepMs = 2000;
    const CommandTarget t = target(0, 1, QString::fromLatin1(longPassword));
    CommandTarget toWhole = t;
    toWhole.address = whole->address();
    CommandTarget toCut = t;
    toCut.address = cut->address();
    EXPECT_TRUE(RunCommandExchange(toWhole, FastContext(), info).reply.startsWith("INFO 0\r\n"));
    EXPECT_EQ(RunCommandExchange(toCut, FastContext(), info).reply, "INFO 9\r\n");
}

TEST(CommandConnection, PasswordsAreHashedInTheCodePageTheirFileIsWrittenIn) {
    Emulators emus;
    const QByteArray western("caf\xE9");          // "café" in Windows-1252
    const QByteArray chinese("\xC3\xDC\xC2\xEB"); // "密码" in GBK
    ProjectorEmulator* w = emus.add(authConfig(western));
    ProjectorEmulator* c = emus.add(authConfig(chinese));
    ASSERT_TRUE(w && c);
    ExchangeRequest info;
    info.commandText = "INFO 1\r\n";
    info.waitStepMs = 2000;
    const auto listOf = [](ProjectorEmulator* e, const QByteArray& password) {
        return "[Projector List]\r\nCOUNT=1\r\nNAME-1=p\r\nIP-1=" + Ipv4::toText(e->address()).toLatin1() +
               "\r\nAUTH-1=1\r\nPASS-1=" + password + "\r\n";
    };
    QTemporaryDir dir;
    struct Case {
        ProjectorEmulator* emulator;
        QByteArray password;
        quint32 language;
    };
    for (const Case& k :
         {Case{w, western, Catalog::kEnglish}, Case{c, chinese, Catalog::kSimplifiedChinese}}) {
        ProjectorStore store(dir.filePath(u"t.INI"_qs));
        store.setCatalogLanguage(k.language);
        ASSERT_TRUE(store.loadFromData(listOf(k.emulator, k.password)).ok());
        ASSERT_NE(store.encoding(), TextCodec::Encoding::Utf8);
        const ProjectorRecord r = store.projectors().at(0);
        CommandContext context = FastContext();
        context.store = &store;
        const CommandTarget t{r.hostAddress(), r.authenticate(), r.password};
        EXPECT_TRUE(RunCommandExchange(t, context, info).reply.startsWith("INFO 0\r\n")) << k.language;
        // Hashed as UTF-8, the same password is refused: the projector was set in the code page.
        EXPECT_EQ(RunCommandExchange(t, FastContext(), info).reply, "INFO 9\r\n") << k.language;
    }

    // A schedule keeps its password as bytes, which win over any list's code page.
    CommandTarget fromSchedule{c->address(), 1, QString::fromUtf8(chinese)};
    fromSchedule.passwordBytes = chinese;
    EXPECT_TRUE(RunCommandExchange(fromSchedule, FastContext(), info).reply.startsWith("INFO 0\r\n"));
}

TEST(CommandConnection, FailureCodes) {
    Emulators emus;
    // Nobody listens: -102 at once, not a time-out.
    const CommandConnection none =
        OpenCommandConnection(target(Emulators::silentAddress(), 1, u"pw"_qs), FastContext());
    EXPECT_EQ(none.result, ConnectResult::ConnectFailed);
    EXPECT_FALSE(none.connectTimedOut);
    EXPECT_FALSE(none.socket.isOpen());

    // Authenticating and no greeting within the wait: -103.
    EmulatorConfig silent = authConfig("pw");
    silent.faults.neverGreet = true;
    ProjectorEmulator* mute = emus.add(silent);
    const CommandConnection c103 = OpenCommandConnection(target(mute->address(), 1, u"pw"_qs), FastContext());
    EXPECT_EQ(c103.result, ConnectResult::NoGreeting);
    EXPECT_FALSE(c103.socket.isOpen());

    // A greeting that comes late is a missing greeting too.
    EmulatorConfig late = authConfig("pw");
    late.faults.greetingDelayMs = 3 * FastTimeouts().greetingMs;
    ProjectorEmulator* slow = emus.add(late);
    EXPECT_EQ(OpenCommandConnection(target(slow->address(), 1, u"pw"_qs), FastContext()).result,
              ConnectResult::NoGreeting);

    // The projector closes before greeting: -1.
    EmulatorConfig closing = authConfig("pw");
    closing.faults.closeEarly = EmulatorFaults::Close::BeforeGreeting;
    ProjectorEmulator* gone = emus.add(closing);
    const CommandConnection c1 = OpenCommandConnection(target(gone->address(), 1, u"pw"_qs), FastContext());
    EXPECT_EQ(c1.result, ConnectResult::GreetingReadFailed);
    EXPECT_FALSE(c1.socket.isOpen());
}

TEST(CommandConnection, ConnectHasItsOwnTimeOut) {
    // An address of its own: the silent one must stay silent for tests running alongside.
    const quint32 address = 0x7F0000F9u; // 127.0.0.249
    StalledListener stalled(address);
    ASSERT_TRUE(stalled.ok());
    CommandContext context = FastContext();
    context.timeouts.connectMs = 300;
    const auto begin = std::chrono::steady_clock::now();
    const CommandConnection c = OpenCommandConnection(target(address), context);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin)
            .count();
    EXPECT_EQ(c.result, ConnectResult::ConnectFailed);
    EXPECT_TRUE(c.connectTimedOut);
    EXPECT_FALSE(c.socket.isOpen());
    EXPECT_GE(ms, 250);   // it waited for the connect
    EXPECT_LT(ms, 20000); // and gave up long before the platform's own two minutes
}

TEST(CommandConnection, SocketCreationFailureIsMinus101) {
    // In a child whose descriptor limit leaves room for no socket at all.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_NOFILE, &none);
        const CommandConnection c = OpenCommandConnection(target(0x7F000002u), FastContext());
        ::_exit(c.result == ConnectResult::SocketFailed && !c.socket.isOpen() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CommandConnection, EveryConnectionNotesItsAuthenticationFields) {
    QTemporaryDir dir;
    ProjectorStore store(dir.filePath(u"t.INI"_qs));
    CommandContext context = FastContext();
    context.store = &store;
    // Noted at the start, even when the connection then fails.
    OpenCommandConnection(target(Emulators::silentAddress(), 0, u"first"_qs), context);
    EXPECT_EQ(store.authSetting().authOff, 1);
    EXPECT_EQ(store.authSetting().password, u"first");
    OpenCommandConnection(target(Emulators::silentAddress(), 1, u"second"_qs), context);
    EXPECT_EQ(store.authSetting().authOff, 0);
    EXPECT_EQ(store.authSetting().password, u"second");
}

TEST(CommandConnection, WaitOutcomesAreJudgedAsASelectReadSetWould) {
    EXPECT_EQ(TcpSocket::classifyPoll(0, 0), TcpSocket::Wait::TimedOut);
    EXPECT_EQ(TcpSocket::classifyPoll(-1, 0), TcpSocket::Wait::Failed);
    EXPECT_EQ(TcpSocket::classifyPoll(1, POLLIN), TcpSocket::Wait::Readable);
    EXPECT_EQ(TcpSocket::classifyPoll(1, POLLHUP), TcpSocket::Wait::Readable);
    EXPECT_EQ(TcpSocket::classifyPoll(1, POLLERR), TcpSocket::Wait::Readable);
    EXPECT_EQ(TcpSocket::classifyPoll(1, POLLNVAL), TcpSocket::Wait::Failed);
    EXPECT_EQ(TcpSocket::classifyPoll(1, POLLOUT), TcpSocket::Wait::Failed);
}

TEST(CommandConnection, DefaultTimeOutsAreTheProtocols) {
    const CommandTimeouts t;
    EXPECT_EQ(t.greetingMs, 1000);
    EXPECT_EQ(t.infoReplyMs, 30000);
    EXPECT_EQ(t.statReplyMs, 3000);
    EXPECT_EQ(t.cancelReplyMs, 30000);
    EXPECT_EQ(t.putReplyWaits, 300);
    EXPECT_EQ(t.putWaitStepMs, 1000);
    // A few seconds of its own rather than the platform's minutes.
    EXPECT_GE(t.connectMs, 2000);
    EXPECT_LE(t.connectMs, 10000);
    EXPECT_EQ(kCommandPort, 9716);
    EXPECT_EQ(CommandBlock("P", "INFO 1\r\n"), "PINFO 1\r\n");
}
