#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CancelCommand.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/TransStateQuery.h"
#include "support/Emulators.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

class CommandRuns : public ::testing::Test {
protected:
    void SetUp() override { UseBuiltCatalog(); }

    // An emulator that answers every command with exactly these bytes.
    CommandTarget replying(const QByteArray& reply, EmulatorFaults faults = {}) {
        EmulatorConfig c;
        faults.replyOverride = reply;
        c.faults = faults;
        ProjectorEmulator* e = m_emus.add(c);
        EXPECT_NE(e, nullptr);
        return {e ? e->address() : 0, 0, {}};
    }
    CommandTarget faulty(const EmulatorFaults& faults, bool authenticate = false) {
        EmulatorConfig c;
        c.faults = faults;
        c.authenticate = authenticate;
        c.password = "pw";
        ProjectorEmulator* e = m_emus.add(c);
        EXPECT_NE(e, nullptr);
        return {e ? e->address() : 0, authenticate ? 1 : 0, u"pw"_qs};
    }

    Emulators m_emus;
    CommandContext m_ctx = FastContext();
};

qint64 msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t)
        .count();
}

} // namespace

TEST_F(CommandRuns, ImageInfoOfEmptyAndFilledStores) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    const CommandTarget t{e->address(), 0, {}};
    const RunReport empty = QueryImageInfo(1, t, m_ctx);
    EXPECT_EQ(empty.result, 0);
    EXPECT_EQ(empty.icon, MessageIcon::Information);
    EXPECT_EQ(empty.text, msg::StoreEmpty);
    const StoreInfo emptyStore = QueryStoreInfo(1, t, m_ctx);
    EXPECT_EQ(emptyStore.result, 1);
    EXPECT_EQ(emptyStore.name, CatalogText(msg::StoreEmpty));
    EXPECT_EQ(emptyStore.size, CatalogText(msg::StoreSizeNone));

    const CommandTarget img = replying("INFO 0\r\nFile-Name:img.qv1\r\nFile-Length:1000\r\n");
    const RunReport shown = QueryImageInfo(2, img, m_ctx);
    EXPECT_EQ(shown.result, 0);
    EXPECT_EQ(shown.icon, MessageIcon::Information);
    EXPECT_EQ(shown.body, u"File-Name:img.qv1\r\nFile-Length:1000");
    EXPECT_EQ(shown.text, msg::LengthUnit);
    EXPECT_EQ(shown.message(), u"File-Name:img.qv1\r\nFile-Length:1000"_qs + CatalogText(msg::LengthUnit));
    const StoreInfo s = QueryStoreInfo(2, img, m_ctx);
    EXPECT_EQ(s.result, 2);
    EXPECT_EQ(s.name, u"img.qv1");
    EXPECT_EQ(s.size, CatalogText(msg::StoreSizeText, {u"1,000"_qs}));
    EXPECT_EQ(s.lengthText, u"1000");
}

TEST_F(CommandRuns, ImageInfoReplyCodes) {
    const struct {
        const char* reply;
        CatalogId id;
    } cases[] = {{"INFO 1\r\n", msg::CommandRejected},  {"INFO 2\r\n", msg::StoreInfoUnreadable},
                 {"INFO 3\r\n", msg::ProjectorBusy},    {"INFO 8\r\n", msg::ReplyTimeout},
                 {"INFO 9\r\n", msg::AccessDenied},     {"INFO 0 \r\n", msg::ReplyNotUnderstood},
                 {"HELLO\r\n", msg::ReplyNotUnderstood}};
    for (const auto& c : cases) {
        const CommandTarget t = replying(c.reply);
        const RunReport r = QueryImageInfo(1, t, m_ctx);
        EXPECT_EQ(r.result, -1) << c.reply;
        EXPECT_EQ(r.icon, MessageIcon::Stop) << c.reply;
        EXPECT_EQ(r.text, c.id) << c.reply;
        const StoreInfo s = QueryStoreInfo(1, t, m_ctx);
        EXPECT_EQ(s.result, -1);
        EXPECT_EQ(s.nameId, c.id) << c.reply;
        EXPECT_EQ(s.size, CatalogText(msg::StoreSizeNone));
    }
    // A body that lacks its line ends names no file for the store list.
    const StoreInfo bare = QueryStoreInfo(1, replying("INFO 0\r\nFile-Name:x"), m_ctx);
    EXPECT_EQ(bare.result, -1);
    EXPECT_EQ(bare.nameId, msg::ReplyNotUnderstood);
}

TEST_F(CommandRuns, TransStateAndStoreState) {
    const CommandTarget t = replying("STAT 0\r\nSave-ID:1\r\nStatus:3\r\n");
    const RunReport r = QueryTransState(1, t, m_ctx);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.icon, MessageIcon::Information);
    EXPECT_EQ(r.message(), u"Save-ID:1\r\nStatus:3\r\n"_qs + CatalogText(msg::TransStateStoring));
    const StoreText s = QueryStoreState(1, t, m_ctx);
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(s.text, CatalogText(msg::TransStateStoring));

    const CommandTarget x = replying("STAT 0\r\nSave-ID:1\r\nStatus:x\r\n");
    EXPECT_EQ(QueryTransState(1, x, m_ctx).message(), u"Save-ID:1\r\nStatus:x\r\n");
    EXPECT_EQ(QueryStoreState(1, x, m_ctx).result, 0);
    EXPECT_EQ(QueryStoreState(1, x, m_ctx).text, u"");
    // "STAT 0" and its line end alone, from a projector that then closes.
    EXPECT_EQ(QueryStoreState(1, replying("STAT 0\r\n"), m_ctx).text, u"");

    EXPECT_EQ(QueryTransState(1, replying("STAT 1\r\n"), m_ctx).text, msg::StateUnavailable);
    EXPECT_EQ(QueryTransState(1, replying("STAT 9\r\n"), m_ctx).text, msg::AccessDenied);
    const RunReport two = QueryTransState(1, replying("STAT 2\r\n"), m_ctx);
    EXPECT_EQ(two.text, msg::ReplyNotUnderstood);
    EXPECT_EQ(two.icon, MessageIcon::Stop);
    EXPECT_EQ(QueryStoreState(1, replying("STAT 2\r\n"), m_ctx).id, msg::ReplyNotUnderstood);
}

TEST_F(CommandRuns, CancelComparesTheWholeReply) {
    const RunReport ok = CancelTransmission(1, replying("CANCEL 0\r\n"), m_ctx);
    EXPECT_EQ(ok.result, 0);
    EXPECT_EQ(ok.icon, MessageIcon::Information);
    EXPECT_EQ(ok.text, msg::CancelSucceeded);
    EXPECT_EQ(CancelTransmission(1, replying("CANCEL 8\r\n"), m_ctx).text, msg::ReplyTimeout);
    EXPECT_EQ(CancelTransmission(1, replying("CANCEL 2\r\n"), m_ctx).text, msg::CancelRefused);
    EXPECT_EQ(CancelTransmission(1, replying("CANCEL 0\n"), m_ctx).text, msg::ReplyNotUnderstood);
    EXPECT_EQ(CancelStoreTransmission(1, replying("CANCEL 3\r\n"), m_ctx).id, msg::ProjectorBusy);
    EXPECT_EQ(CancelStoreTransmission(1, replying("CANCEL 0\r\n"), m_ctx).result, 0);
}

TEST_F(CommandRuns, ExtraBytesBehindAnExactReplyStillFail) {
    EmulatorFaults extra;
    extra.extraBytes = "X";
    EXPECT_EQ(CancelTransmission(1, replying("CANCEL 0\r\n", extra), m_ctx).text, msg::ReplyNotUnderstood);
    // Split, with the extra byte in the piece that completes the line.
    EmulatorFaults later = extra;
    later.splitBytes = 6;
    EXPECT_EQ(CancelStoreTransmission(1, replying("CANCEL 0\r\n", later), m_ctx).id, msg::ReplyNotUnderstood);
    const StoreInfo notEmpty =
        QueryStoreInfo(1, replying("INFO 0\r\nFile-Name:EMPTY\r\nFile-Length:0\r\n", extra), m_ctx);
    EXPECT_EQ(notEmpty.result, 2);
    EXPECT_EQ(notEmpty.name, u"EMPTY");
}

TEST_F(CommandRuns, SplitRepliesAreJudgedWhole) {
    for (const int piece : {1, 3, 7}) {
        EmulatorFaults split;
        split.splitBytes = piece;
        split.splitPauseMs = 5;
        EXPECT_EQ(CancelTransmission(1, replying("CANCEL 0\r\n", split), m_ctx).result, 0) << piece;
        const StoreInfo s =
            QueryStoreInfo(1, replying("INFO 0\r\nFile-Name:a.qv1\r\nFile-Length:12\r\n", split), m_ctx);
        EXPECT_EQ(s.result, 2) << piece;
        EXPECT_EQ(s.name, u"a.qv1");
        EXPECT_EQ(QueryStoreState(1, replying("STAT 0\r\nSave-ID:1\r\nStatus:4\r\n", split), m_ctx).id,
                  msg::TransStateCompleted)
            << piece;
    }
    // Against the real emulator logic with authentication, in pieces of two bytes.
    EmulatorFaults split;
    split.splitBytes = 2;
    split.splitPauseMs = 5;
    const CommandTarget t = faulty(split, true);
    EXPECT_EQ(QueryStoreInfo(3, t, m_ctx).result, 1);
}

TEST_F(CommandRuns, CompleteRepliesDoNotWaitForTheClose) {
    // The projector keeps the connection open long after its reply; the run ends at the reply.
    EmulatorFaults hold;
    hold.holdAfterReplyMs = 12000;
    CommandContext ctx = m_ctx;
    ctx.timeouts.statReplyMs = 10000;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(QueryStoreState(1, faulty(hold), ctx).result, 0);
    EXPECT_LT(msSince(begin), 8000);
}

TEST_F(CommandRuns, ShortRepliesAndEarlyCloses) {
    // Half a reply, then the projector closes: judged as what arrived.
    EXPECT_EQ(CancelTransmission(1, replying("CANCEL 0\r"), m_ctx).text, msg::ReplyNotUnderstood);
    EXPECT_EQ(QueryStoreState(1, replying("STAT 0\r\nSave"), m_ctx).result, 0);
    // Closed before any reply: silent in the dialog runs, the send text in the list runs.
    EmulatorFaults close;
    close.closeEarly = EmulatorFaults::Close::BeforeReply;
    const CommandTarget t = faulty(close);
    const RunReport r = QueryImageInfo(1, t, m_ctx);
    EXPECT_EQ(r.result, -1);
    EXPECT_FALSE(r.showsMessage);
    EXPECT_FALSE(QueryTransState(1, t, m_ctx).showsMessage);
    EXPECT_FALSE(CancelTransmission(1, t, m_ctx).showsMessage);
    EXPECT_EQ(QueryStoreInfo(1, t, m_ctx).nameId, msg::SendFailed);
    EXPECT_EQ(QueryStoreState(1, t, m_ctx).id, msg::ReplyTimeout);
    EXPECT_EQ(CancelStoreTransmission(1, t, m_ctx).id, msg::SendFailed);
    // Greeting read failed (-1): silent as well.
    EmulatorFaults gone;
    gone.closeEarly = EmulatorFaults::Close::BeforeGreeting;
    const RunReport g = QueryImageInfo(1, faulty(gone, true), m_ctx);
    EXPECT_EQ(g.result, -1);
    EXPECT_FALSE(g.showsMessage);
}

TEST_F(CommandRuns, OversizedAndGarbageRepliesFailInsideTheBuffer) {
    EmulatorFaults huge;
    huge.garbageBytes = 1 << 20;
    const CommandTarget t = faulty(huge);
    EXPECT_EQ(QueryImageInfo(1, t, m_ctx).text, msg::ReplyNotUnderstood);
    EXPECT_EQ(QueryStoreState(1, t, m_ctx).result, -1);
    EXPECT_EQ(CancelTransmission(1, t, m_ctx).result, -1);
    // A long body is cut to what the message holds.
    const QByteArray name(400, 'n');
    const RunReport r =
        QueryImageInfo(1, replying("INFO 0\r\nFile-Name:" + name + "\r\nFile-Length:1\r\n"), m_ctx);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.body.size(), 255);
    EXPECT_FALSE(r.text.has_value());
}

TEST_F(CommandRuns, NoReplyInTimeEndsAtTheTimeOut) {
    EmulatorFaults never;
    never.neverReply = true;
    const CommandTarget t = faulty(never, true);
    const auto begin = std::chrono::steady_clock::now();
    const RunReport info = QueryImageInfo(1, t, m_ctx);
    EXPECT_EQ(info.text, msg::ReplyTimeout);
    EXPECT_EQ(info.icon, MessageIcon::Stop);
    EXPECT_EQ(QueryTransState(1, t, m_ctx).text, msg::StateReplyTimeout);
    EXPECT_EQ(QueryStoreState(1, t, m_ctx).id, msg::ReplyTimeout);
    EXPECT_EQ(CancelTransmission(1, t, m_ctx).text, msg::ReplyTimeout);
    EXPECT_EQ(CancelStoreTransmission(1, t, m_ctx).id, msg::ReplyTimeout);
    EXPECT_EQ(QueryStoreInfo(1, t, m_ctx).nameId, msg::ReplyTimeout);
    EXPECT_LT(msSince(begin), 6 * m_ctx.timeouts.infoReplyMs + 10000); // six waits, nothing longer

    // A reply that comes only after the wait is a missing reply.
    EmulatorFaults late;
    late.verdictDelayMs = 3 * m_ctx.timeouts.statReplyMs;
    EXPECT_EQ(QueryTransState(1, faulty(late), m_ctx).text, msg::StateReplyTimeout);
}

TEST_F(CommandRuns, ConnectionFailuresSayWhyInTheMessagesAndTheStoreColumns) {
    const CommandTarget nobody{Emulators::silentAddress(), 0, {}};
    const RunReport info = QueryImageInfo(1, nobody, m_ctx);
    EXPECT_EQ(info.text, msg::ExplainRefused);
    EXPECT_EQ(info.inserts, QStringList{u"-102"_qs});
    EXPECT_EQ(info.icon, MessageIcon::Stop);
    const RunReport stat = QueryTransState(1, nobody, m_ctx);
    EXPECT_EQ(stat.text, msg::ExplainRefused);
    EXPECT_EQ(stat.icon, MessageIcon::None); // OK button, no icon
    EXPECT_EQ(CancelTransmission(1, nobody, m_ctx).text, msg::ExplainRefused);
    EXPECT_EQ(QueryStoreInfo(1, nobody, m_ctx).nameId, msg::ExplainRefused);
    EXPECT_EQ(QueryStoreInfo(1, nobody, m_ctx).name, CatalogText(msg::ExplainRefused, {u"-102"_qs}));
    EXPECT_EQ(QueryStoreState(1, nobody, m_ctx).id, msg::ExplainRefused);
    EXPECT_EQ(CancelStoreTransmission(1, nobody, m_ctx).text, CatalogText(msg::ExplainRefused, {u"-102"_qs}));
    // No greeting (-103) says that the projector's authentication is probably off.
    EmulatorFaults mute;
    mute.neverGreet = true;
    EXPECT_EQ(QueryImageInfo(1, faulty(mute, true), m_ctx).text, msg::ExplainNoGreeting);
}

TEST_F(CommandRuns, EmulatedCancelStopsARunningTransmission) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    const CommandTarget t{e->address(), 0, {}};
    EXPECT_EQ(CancelTransmission(2, t, m_ctx).text, msg::CancelRefused); // nothing runs
    e->stores().begin(2);
    EXPECT_EQ(QueryStoreState(2, t, m_ctx).id, msg::TransStateReceiving);
    EXPECT_EQ(CancelTransmission(2, t, m_ctx).result, 0);
    EXPECT_TRUE(e->stores().cancelRequested(2));
}

namespace {

QList<QByteArray> commandsSeenBy(const ProjectorEmulator& e) {
    QList<QByteArray> seen;
    for (const EmulatorRequest& r : e.requests()) {
        seen << r.command;
    }
    return seen;
}

} // namespace

// Cancel Transmit asks each store's state first and sends CANCEL only where one runs.
TEST_F(CommandRuns, CancelGoesOnlyToAStoreWhoseStateShowsATransmission) {
    ProjectorEmulator* e = m_emus.add();
    ASSERT_NE(e, nullptr);
    const CommandTarget t{e->address(), 0, {}};
    ASSERT_TRUE(e->stores().begin(2));
    ASSERT_TRUE(e->stores().begin(3));
    e->stores().setState(3, EmulatorStores::Completed);
    ASSERT_TRUE(e->stores().begin(4));
    e->stores().fail(4);

    QList<StoreCancel> got;
    for (int store = 1; store <= 4; ++store) {
        got << CancelStoreIfRunning(store, t, m_ctx);
    }
    const QList<std::optional<CatalogId>> states{msg::TransStateIdle, msg::TransStateReceiving,
                                                 msg::TransStateCompleted, msg::TransStateFailed};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(got[i].state.id, states[i]) << "store " << i + 1;
        EXPECT_EQ(got[i].sent, i == 1) << "store " << i + 1;
        EXPECT_EQ(got[i].outcome.result, 0) << "store " << i + 1;
        EXPECT_EQ(got[i].outcome.id, i == 1 ? msg::CancelSucceeded : msg::NothingToCancel) << i + 1;
    }
    EXPECT_TRUE(e->stores().cancelRequested(2));
    EXPECT_EQ(commandsSeenBy(*e), (QList<QByteArray>{"STAT 1", "STAT 2", "CANCEL 2", "STAT 3", "STAT 4"}));

    // The Cancel dialog's run: the same rule, told in a message box.
    const RunReport quiet = CancelIfRunning(1, t, m_ctx);
    EXPECT_EQ(quiet.result, 0);
    EXPECT_EQ(quiet.icon, MessageIcon::Information);
    EXPECT_EQ(quiet.message(), CatalogText(msg::NothingToCancelState, {CatalogText(msg::TransStateIdle)}));
    EXPECT_FALSE(commandsSeenBy(*e).contains("CANCEL 1"));
}

TEST_F(CommandRuns, AStateThatCannotBeToldStillGetsItsCancelButAnUnreachableProjectorDoesNot) {
    // Answers it cannot read leave the CANCEL to decide; here the CANCEL gets the same bytes.
    for (const QByteArray& reply : {QByteArray("STAT 0\r\nSave-ID:1\r\nStatus:x\r\n"),
                                    QByteArray("STAT 1\r\n"), QByteArray("STAT 2\r\n")}) {
        const CommandTarget t = replying(reply);
        const StoreCancel c = CancelStoreIfRunning(1, t, m_ctx);
        EXPECT_TRUE(c.sent) << reply.constData();
        EXPECT_EQ(c.outcome.id, msg::ReplyNotUnderstood) << reply.constData();
    }
    EXPECT_EQ(CancelIfRunning(1, replying("STAT 1\r\n"), m_ctx).text, msg::ReplyNotUnderstood);

    // Nothing listens: the state's failure says why, and no second connection is tried.
    const CommandTarget nobody{Emulators::silentAddress(), 0, {}};
    const StoreCancel c = CancelStoreIfRunning(1, nobody, m_ctx);
    EXPECT_FALSE(c.sent);
    EXPECT_EQ(c.outcome.text, CatalogText(msg::ExplainRefused, {u"-102"_qs}));
    const RunReport r = CancelIfRunning(1, nobody, m_ctx);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.icon, MessageIcon::Stop);
    EXPECT_EQ(r.message(), CatalogText(msg::ExplainRefused, {u"-102"_qs}));

    // A projector that refuses the password for STAT would refuse the CANCEL too.
    EmulatorConfig locked;
    locked.authenticate = true;
    locked.password = "right";
    ProjectorEmulator* e = m_emus.add(locked);
    ASSERT_NE(e, nullptr);
    const StoreCancel denied = CancelStoreIfRunning(1, CommandTarget{e->address(), 1, u"wrong"_qs}, m_ctx);
    EXPECT_FALSE(denied.sent);
    EXPECT_EQ(denied.outcome.id, msg::AccessDenied);
    EXPECT_FALSE(commandsSeenBy(*e).contains("CANCEL 1"));
}

// Whatever the projector does, a run leaves no descriptor behind.
TEST_F(CommandRuns, NoDescriptorsLeftAfterABatchOfFailingRuns) {
    // Failing runs only: the shortest waits do.
    m_ctx.timeouts.greetingMs = 150;
    m_ctx.timeouts.infoReplyMs = m_ctx.timeouts.statReplyMs = m_ctx.timeouts.cancelReplyMs = 150;
    QueryStoreState(1, CommandTarget{Emulators::silentAddress(), 0, {}}, m_ctx); // warm-up
    const int before = OpenDescriptorCount();
    ASSERT_GT(before, 0);
    {
        Emulators emus;
        auto add = [&](auto tweak, bool auth = false) {
            EmulatorConfig c;
            c.authenticate = auth;
            c.password = "pw";
            tweak(c.faults);
            return CommandTarget{emus.add(c)->address(), auth ? 1 : 0, u"pw"_qs};
        };
        const CommandTarget targets[] = {
            add([](EmulatorFaults& f) { f.garbageBytes = 100000; }),
            add([](EmulatorFaults& f) { f.neverReply = true; }),
            add([](EmulatorFaults& f) { f.neverGreet = true; }, true),
            add([](EmulatorFaults& f) { f.closeEarly = EmulatorFaults::Close::BeforeGreeting; }, true),
            add([](EmulatorFaults& f) { f.closeEarly = EmulatorFaults::Close::BeforeReply; }),
            add([](EmulatorFaults& f) { f.replyOverride = QByteArray("\0\0\0", 3); }),
            add([](EmulatorFaults& f) {
                f.splitBytes = 1;
                f.splitPauseMs = 1;
                f.replyOverride = "STAT 0\r\nxx";
            }),
            CommandTarget{Emulators::silentAddress(), 0, {}},
        };
        for (const CommandTarget& t : targets) {
            QueryImageInfo(1, t, m_ctx);
            QueryStoreInfo(1, t, m_ctx);
            QueryTransState(1, t, m_ctx);
            QueryStoreState(1, t, m_ctx);
            CancelTransmission(1, t, m_ctx);
            CancelStoreTransmission(1, t, m_ctx);
        }
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}
