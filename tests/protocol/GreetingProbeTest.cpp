#include "protocol/GreetingProbe.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandConnection.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "protocol/ResultExplanation.h"
#include "support/CatalogFixture.h"
#include "support/Emulators.h"

#include <gtest/gtest.h>

#include <set>

namespace {

EmulatorConfig withPassword(const QByteArray& password) {
    EmulatorConfig c;
    c.authenticate = true;
    c.password = password;
    return c;
}

} // namespace

TEST(GreetingResult, JudgesTheWaitAndTheReadAsTheConnectionDoes) {
    EXPECT_EQ(GreetingResult(TcpSocket::Wait::Readable, 8), ConnectResult::Ok);
    EXPECT_EQ(GreetingResult(TcpSocket::Wait::Readable, 1), ConnectResult::Ok) << "a short greeting counts";
    EXPECT_EQ(GreetingResult(TcpSocket::Wait::Readable, 0), ConnectResult::GreetingReadFailed) << "closed";
    EXPECT_EQ(GreetingResult(TcpSocket::Wait::Readable, -1), ConnectResult::GreetingReadFailed);
    EXPECT_EQ(GreetingResult(TcpSocket::Wait::TimedOut, 0), ConnectResult::NoGreeting);
    EXPECT_EQ(GreetingResult(TcpSocket::Wait::Failed, 0), ConnectResult::WaitFailed);

    using V = GreetingProbe::Verdict;
    EXPECT_EQ(GreetingProbe::verdictOf(ConnectResult::Ok), V::Challenge);
    EXPECT_EQ(GreetingProbe::verdictOf(ConnectResult::NoGreeting), V::NoChallenge);
    for (int code : {ConnectResult::ConnectFailed, ConnectResult::SocketFailed, ConnectResult::WaitFailed,
                     ConnectResult::GreetingReadFailed}) {
        EXPECT_EQ(GreetingProbe::verdictOf(code), V::Unreachable) << code;
    }
}

// The probe tells a projector that demands a password from one that does not, against
// emulators, and says when nobody is there.
TEST(GreetingProbe, TellsChallengeFromSilenceAndFromNobody) {
    Emulators emus;
    ProjectorEmulator* locked = emus.add(withPassword("secret"));
    ProjectorEmulator* open = emus.add();
    ASSERT_NE(locked, nullptr);
    ASSERT_NE(open, nullptr);
    const CommandTimeouts t = FastTimeouts();
    using V = GreetingProbe::Verdict;
    EXPECT_EQ(GreetingProbe::probe(locked->address(), t), V::Challenge);
    EXPECT_EQ(GreetingProbe::probe(open->address(), t), V::NoChallenge);
    EXPECT_EQ(GreetingProbe::probe(Emulators::silentAddress(), t), V::Unreachable);

    QList<int> progress;
    const QList<V> all = GreetingProbe::probeAll({open->address(), locked->address()}, t, nullptr,
                                                 [&progress](int done) { progress << done; });
    EXPECT_EQ(all, (QList<V>{V::NoChallenge, V::Challenge}));
    EXPECT_EQ(progress, (QList<int>{1, 2}));

    // A stop raised before the run leaves every address unasked.
    const std::atomic<bool> stop{true};
    EXPECT_EQ(GreetingProbe::probeAll({open->address(), locked->address()}, t, &stop),
              (QList<V>{V::Stopped, V::Stopped}));
}

TEST(ResultExplanation, EachResultHasItsOwnTextWithTheCodeInBrackets) {
    ShippedCatalog catalog;
    struct Case {
        int code;
        bool timedOut;
        CatalogId id;
    };
    const Case cases[] = {
        {ConnectResult::NoGreeting, false, msg::ExplainNoGreeting},
        {ConnectResult::ConnectFailed, false, msg::ExplainRefused},
        {ConnectResult::ConnectFailed, true, msg::ExplainConnectTimeout},
        {ConnectResult::WaitFailed, false, msg::ExplainWaitFailed},
        {ConnectResult::GreetingReadFailed, false, msg::ExplainClosedBeforeGreeting},
        {ConnectResult::SocketFailed, false, msg::ExplainNoSocket},
        {UploadResult::Reply9, false, msg::ExplainWrongPassword},
        {UploadResult::Reply3, false, msg::ExplainBusy},
        {UploadResult::NoReply, false, msg::ExplainSilence},
        {UploadResult::WaitFailed, false, msg::ExplainSilence},
        {UploadResult::SendFailed, false, msg::ExplainOther},
    };
    std::set<std::pair<quint32, quint32>> distinct;
    for (const Case& c : cases) {
        const ResultExplanation e = ResultExplanation::of(c.code, c.timedOut);
        EXPECT_EQ(e.id, c.id) << c.code;
        const QString text = e.text();
        EXPECT_TRUE(text.endsWith(u"[%1]"_qs.arg(c.code))) << text.toStdString();
        EXPECT_GT(text.size(), 30) << "more than the code: " << text.toStdString();
        distinct.insert({c.id.group, c.id.number});
    }
    EXPECT_EQ(distinct.size(), 10u) << "one text per kind of failure";
    // The missing greeting points at the Authentication tick of the list.
    EXPECT_TRUE(ResultExplanation::of(-103).text().contains(CatalogText(msg::CheckAuthentication).trimmed()));
    // Uploads tell the same.
    EXPECT_EQ(ImageUpload::textFor(ConnectResult::NoGreeting).id, msg::ExplainNoGreeting);
    EXPECT_EQ(ImageUpload::textFor(UploadResult::Reply9).inserts, QStringList{u"-13"_qs});
}

// A record that authenticates, for a projector that does not: the command says so and
// what to untick, rather than "could not connect".
TEST(ResultExplanation, ACommandToAProjectorWithoutAuthenticationExplainsTheMissingChallenge) {
    ShippedCatalog catalog;
    Emulators emus;
    ProjectorEmulator* open = emus.add();
    ASSERT_NE(open, nullptr);
    CommandContext ctx = FastContext();
    const RunReport r = QueryImageInfo(1, CommandTarget{open->address(), 1, {}}, ctx);
    ASSERT_TRUE(r.text.has_value());
    EXPECT_EQ(*r.text, msg::ExplainNoGreeting);
    EXPECT_EQ(r.message(), CatalogText(msg::ExplainNoGreeting, {u"-103"_qs}));

    const RunReport nobody = QueryImageInfo(1, CommandTarget{Emulators::silentAddress(), 0, {}}, ctx);
    ASSERT_TRUE(nobody.text.has_value());
    EXPECT_EQ(*nobody.text, msg::ExplainRefused);
}
