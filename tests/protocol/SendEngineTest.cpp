#include "protocol/SendEngine.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/AsyncExchange.h"
#include "protocol/ExchangeLoop.h"
#include "protocol/ImageInfoQuery.h"
#include "protocol/ImageUpload.h"
#include "support/Emulators.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace {

using Stage = SendEngine::Stage;

// Polls a condition for up to timeoutMs; true once it holds.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

QByteArray picture(int n) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) {
        b[i] = static_cast<char>((i * 13 + i / 97) & 0xFF);
    }
    return b;
}

// One exchange carried by a loop of its own, to its end.
ExchangeResult runOnLoop(const CommandTarget& target, const CommandContext& context,
                         const ExchangeRequest& request) {
    ExchangeLoop loop;
    std::promise<ExchangeResult> ended;
    loop.post([&] {
        loop.add(std::make_unique<AsyncExchange>(target, context, request,
                                                 [&](const ExchangeResult& x) { ended.set_value(x); }));
    });
    loop.start();
    std::future<ExchangeResult> result = ended.get_future();
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "the exchange never ended";
        return {};
    }
    return result.get();
}

class Send : public ::testing::Test {
protected:
    void SetUp() override { UseBuiltCatalog(); }

    ProjectorEmulator* emulator(EmulatorFaults faults = {}, bool authenticate = false) {
        EmulatorConfig c;
        c.faults = faults;
        c.authenticate = authenticate;
        c.password = "secret";
        ProjectorEmulator* e = m_emus.add(c);
        EXPECT_NE(e, nullptr);
        return e;
    }
    SendEngine::Job job(const QByteArray& content = picture(40000)) const {
        SendEngine::Job j;
        j.fileName = "slide.qv1";
        j.content = content;
        j.storeNumber = 2;
        j.context = FastContext();
        // Room for the slow and the split verdicts; the mute ones still end in 1.2 s.
        j.context.timeouts.putReplyWaits = 12;
        j.context.timeouts.infoReplyMs = 5000;
        return j;
    }
    static CommandTarget target(ProjectorEmulator* e, int auth = 0, const QString& pw = {}) {
        return CommandTarget{e->address(), auth, pw};
    }
    // Every descriptor the runs opened is closed again once the emulators are done.
    void expectNoDescriptorLeft(int before) {
        EXPECT_TRUE(waitFor([&] { return OpenDescriptorCount() <= before; }))
            << OpenDescriptorCount() << " > " << before;
    }

    Emulators m_emus;
};

} // namespace

TEST_F(Send, DeliversToEveryTargetInParallelAndVerifiesEach) {
    EmulatorFaults slow;
    slow.storeDelayMs = 4000; // long enough for all six to be seen waiting at once
    QList<CommandTarget> targets;
    QList<ProjectorEmulator*> emus;
    for (int i = 0; i < 6; ++i) {
        emus << emulator(slow);
        targets << target(emus.back());
    }
    const int before = OpenDescriptorCount();
    SendEngine::Job j = job();
    j.context.timeouts.putReplyWaits = 200; // 20 s
    SendEngine engine(j, targets);
    engine.start();
    // All six wait for their verdicts at the same time: nobody queues behind a slow one.
    EXPECT_TRUE(waitFor([&] {
        int waiting = 0;
        for (const auto& s : engine.snapshot()) {
            waiting += s.stage == Stage::Verdict ? 1 : 0;
        }
        return waiting == 6;
    }));
    ASSERT_TRUE(engine.wait(30000));
    for (int i = 0; i < 6; ++i) {
        const auto s = engine.state(i);
        EXPECT_EQ(s.stage, Stage::Verified) << i;
        EXPECT_EQ(s.result, 0);
        EXPECT_EQ(s.sent, s.total);
        EXPECT_GT(s.total, 40000);
        const auto stored = emus[i]->stores().image(2);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->data, picture(40000));
        EXPECT_EQ(SendEngine::stageText(s, FastTimeouts()), CatalogText(msg::SendRowVerified));
        ASSERT_TRUE(emus[i]->waitForServed(2, 20000));
        // The emulator notes a connection when its thread ends, so the two may come in either order.
        QList<QByteArray> commands;
        for (const EmulatorRequest& r : emus[i]->requests()) {
            commands << r.command.left(13);
        }
        std::sort(commands.begin(), commands.end());
        EXPECT_EQ(commands, (QList<QByteArray>{"INFO 2", "PUT slide.qv1"}));
    }
    expectNoDescriptorLeft(before);
}

TEST_F(Send, NeverRunsMoreTransfersThanTheGivenNumberAtOnce) {
    QList<CommandTarget> targets;
    for (int i = 0; i < 6; ++i) {
        targets << target(emulator({}, true), 1, u"secret"_qs);
    }
    SendEngine::Job j = job();
    j.maxParallel = 2;
    j.verify = false;
    SendEngine engine(j, targets);
    // Every change as the engine makes it, on its own thread: no change between two looks
    // can go unseen.
    std::vector<Stage> stages(6, Stage::Waiting);
    int most = 0;
    QObject::connect(
        &engine, &SendEngine::targetChanged, &engine,
        [&](int index, const SendEngine::TargetState& s) {
            stages[static_cast<size_t>(index)] = s.stage;
            const auto busy = std::count_if(stages.begin(), stages.end(), [](Stage st) {
                return st == Stage::Connecting || st == Stage::Sending;
            });
            most = std::max(most, static_cast<int>(busy));
        },
        Qt::DirectConnection);
    engine.start();
    ASSERT_TRUE(engine.wait(30000));
    EXPECT_EQ(most, 2);
    for (const auto& s : engine.snapshot()) {
        EXPECT_EQ(s.stage, Stage::Delivered);
    }
}

TEST_F(Send, AProjectorStoringItsFileHoldsNoTransfer) {
    // Both store for far longer than the test waits. With one transfer at a time the second
    // file can only arrive while the first projector is still storing its own.
    EmulatorFaults storing;
    storing.storeDelayMs = 120000;
    ProjectorEmulator* first = emulator(storing);
    ProjectorEmulator* second = emulator(storing);
    SendEngine::Job j = job();
    j.maxParallel = 1;
    j.context.timeouts.putReplyWaits = 600; // three minutes
    SendEngine engine(j, {target(first), target(second)});
    engine.start();
    // An emulator marks the store Writing once the whole file is in, and sends its verdict
    // only when it has stored it.
    EXPECT_TRUE(waitFor([&] {
        return first->stores().state(2) == EmulatorStores::Writing &&
               second->stores().state(2) == EmulatorStores::Writing;
    })) << first->stores().state(2)
        << " " << second->stores().state(2);
    // Neither has served its connection to the end, which it does only after its verdict.
    EXPECT_FALSE(first->waitForServed(1, 0));
    EXPECT_FALSE(second->waitForServed(1, 0));
    EXPECT_EQ(engine.state(0).stage, Stage::Verdict);
    EXPECT_EQ(engine.state(1).stage, Stage::Verdict);
    engine.stop();
    ASSERT_TRUE(engine.wait(5000));
    EXPECT_EQ(engine.state(0).stage, Stage::Stopped);
    EXPECT_EQ(engine.state(1).stage, Stage::Stopped);
}

TEST_F(Send, EachFaultEndsAsItsOwnFailureAndNeverAsDelivered) {
    EmulatorFaults mute;
    mute.neverReply = true;
    EmulatorFaults split;
    split.splitBytes = 2;
    split.splitPauseMs = 20;
    EmulatorFaults closing;
    closing.closeEarly = EmulatorFaults::Close::BeforeReply;
    ProjectorEmulator* locked = emulator({}, true);
    ProjectorEmulator* silentOne = emulator(mute);
    ProjectorEmulator* splitter = emulator(split);
    ProjectorEmulator* closer = emulator(closing);
    ProjectorEmulator* guarded = emulator({}, true);
    const QList<CommandTarget> targets{target(locked, 1, u"wrong"_qs),
                                       target(silentOne),
                                       CommandTarget{Emulators::silentAddress(), 0, {}},
                                       target(splitter),
                                       target(closer),
                                       target(guarded, 1, u"secret"_qs)};
    const int before = OpenDescriptorCount();
    SendEngine engine(job(), targets);
    engine.start();
    // The row of the mute projector counts its wait up towards the limit.
    EXPECT_TRUE(waitFor([&] {
        const auto s = engine.state(1);
        return s.stage == Stage::Verdict && s.waitedMs >= 200;
    }));
    ASSERT_TRUE(engine.wait(30000));
    const auto states = engine.snapshot();
    EXPECT_EQ(states[0].stage, Stage::Failed);
    EXPECT_EQ(states[0].result, UploadResult::Reply9);
    EXPECT_EQ(states[1].stage, Stage::Failed);
    EXPECT_EQ(states[1].result, UploadResult::NoReply);
    EXPECT_EQ(states[2].stage, Stage::Failed);
    EXPECT_EQ(states[2].result, ConnectResult::ConnectFailed);
    EXPECT_EQ(states[3].stage, Stage::Verified);
    EXPECT_EQ(states[4].stage, Stage::Failed);
    EXPECT_EQ(states[4].result, UploadResult::ReadFailed);
    EXPECT_EQ(states[5].stage, Stage::Verified);
    const CommandTimeouts t = engine.job().context.timeouts;
    EXPECT_EQ(SendEngine::stageText(states[0], t), CatalogText(msg::SendOutAccessRefused, {u"-13"_qs}));
    EXPECT_EQ(SendEngine::stageText(states[1], t),
              CatalogText(msg::SendOutTimeout,
                          {QString::number(t.putReplyWaits * t.putWaitStepMs / 1000), u"-8"_qs}));
    EXPECT_EQ(SendEngine::stageText(states[2], t), CatalogText(msg::SendOutNoConnect, {u"-102"_qs}));
    EXPECT_EQ(SendEngine::stageText(states[4], t), CatalogText(msg::SendOutClosed, {u"-9"_qs}));
    EXPECT_FALSE(locked->stores().image(2).has_value());
    m_emus.stopAll();
    expectNoDescriptorLeft(before);
}

TEST_F(Send, StopEndsUploadsInFlightAndStartsNoMore) {
    // Two projectors take the file and never give a verdict; the others never greet, so
    // three of them hold every transfer and three wait their turn.
    EmulatorFaults mute;
    mute.neverReply = true;
    EmulatorFaults silentGreeter;
    silentGreeter.neverGreet = true;
    QList<CommandTarget> targets;
    QList<ProjectorEmulator*> emus;
    for (int i = 0; i < 8; ++i) {
        const bool greets = i < 2;
        emus << emulator(greets ? mute : silentGreeter, !greets);
        targets << target(emus.back(), greets ? 0 : 1, u"secret"_qs);
    }
    SendEngine::Job j = job();
    j.maxParallel = 3;
    j.context.timeouts.putReplyWaits = 300;
    j.context.timeouts.putWaitStepMs = 1000;
    j.context.timeouts.greetingMs = 300000;
    const int before = OpenDescriptorCount();
    SendEngine engine(j, targets);
    engine.start();
    auto connections = [&] {
        int n = 0;
        for (ProjectorEmulator* e : emus) {
            n += e->connections();
        }
        return n;
    };
    auto inStage = [&](Stage stage) {
        int n = 0;
        for (const auto& s : engine.snapshot()) {
            n += s.stage == stage ? 1 : 0;
        }
        return n;
    };
    ASSERT_TRUE(waitFor([&] {
        return inStage(Stage::Verdict) == 2 && inStage(Stage::Connecting) == 3 && connections() == 5;
    })) << inStage(Stage::Verdict)
        << " " << inStage(Stage::Connecting) << " " << connections();
    engine.stop();
    // Far inside the five-minute waits; the benchmark measures the real figure.
    ASSERT_TRUE(engine.wait(5000));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(engine.state(i).stage, Stage::Stopped) << i;
        EXPECT_EQ(SendEngine::stageText(engine.state(i), j.context.timeouts),
                  CatalogText(msg::SendRowStopped));
    }
    EXPECT_EQ(connections(), 5);
    m_emus.stopAll();
    expectNoDescriptorLeft(before);
}

TEST_F(Send, ReportsEveryChangeQueuedAndTheEndOnce) {
    EmulatorFaults busy;
    busy.replyOverride = "PUT 3\r\n";
    ProjectorEmulator* good = emulator();
    ProjectorEmulator* refusing = emulator(busy);
    const QList<CommandTarget> targets{target(good), target(refusing),
                                       CommandTarget{Emulators::silentAddress(), 0, {}}};
    SendEngine engine(job(picture(130816)), targets);
    // The receiver lives on this thread: reports arrive here, queued, in the order made.
    QObject receiver;
    std::vector<std::vector<Stage>> seen(3);
    std::vector<SendEngine::TargetState> last(3);
    bool wrongThread = false;
    int finished = 0;
    bool finishedBeforeLastChange = false;
    QObject::connect(&engine, &SendEngine::targetChanged, &receiver,
                     [&](int i, const SendEngine::TargetState& s) {
                         wrongThread = wrongThread || QThread::currentThread() != receiver.thread();
                         finishedBeforeLastChange = finishedBeforeLastChange || finished > 0;
                         auto& stages = seen[static_cast<size_t>(i)];
                         if (stages.empty() || stages.back() != s.stage) {
                             stages.push_back(s.stage);
                         }
                         last[static_cast<size_t>(i)] = s;
                     });
    QObject::connect(&engine, &SendEngine::finished, &receiver, [&] { ++finished; });
    engine.start();
    const QDeadlineTimer deadline(30000);
    while (finished == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ASSERT_EQ(finished, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(wrongThread);
    EXPECT_FALSE(finishedBeforeLastChange);
    EXPECT_EQ(seen[0], (std::vector<Stage>{Stage::Connecting, Stage::Sending, Stage::Verdict,
                                           Stage::Verifying, Stage::Verified}));
    EXPECT_EQ(last[0].sent, last[0].total);
    EXPECT_EQ(seen[1].back(), Stage::Failed);
    EXPECT_EQ(last[1].result, UploadResult::Reply3);
    EXPECT_EQ(seen[2], (std::vector<Stage>{Stage::Connecting, Stage::Failed}));
    EXPECT_EQ(last[2].result, ConnectResult::ConnectFailed);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(last[static_cast<size_t>(i)].stage, engine.state(i).stage) << i;
    }
}

TEST_F(Send, ThirtyTwoProjectorsOfWhichHalfFail) {
    QList<CommandTarget> targets;
    for (int i = 0; i < 32; ++i) {
        const bool good = i % 2 == 0;
        ProjectorEmulator* e = emulator({}, true);
        ASSERT_NE(e, nullptr);
        targets << target(e, 1, good ? u"secret"_qs : u"nope"_qs);
    }
    const int before = OpenDescriptorCount();
    SendEngine engine(job(picture(130816)), targets);
    engine.start();
    ASSERT_TRUE(engine.wait(60000));
    for (int i = 0; i < 32; ++i) {
        const auto s = engine.state(i);
        if (i % 2 == 0) {
            EXPECT_EQ(s.stage, Stage::Verified) << i;
        } else {
            EXPECT_EQ(s.stage, Stage::Failed) << i;
            EXPECT_FALSE(SendEngine::isDelivered(s.stage));
            EXPECT_EQ(s.result, UploadResult::Reply9);
        }
    }
    m_emus.stopAll();
    expectNoDescriptorLeft(before);
}

// Fault by fault, an exchange on the loop ends exactly as the blocking one does: the same
// stage, connection code and reply bytes.
TEST_F(Send, ALoopExchangeEndsAsTheBlockingOneDoes) {
    struct Case {
        const char* name;
        EmulatorFaults faults;
        bool authenticate = false;
        QString password;
        bool put = false;
        bool timesOut = false; // waits are shortened for these
    };
    EmulatorFaults mute;
    mute.neverReply = true;
    EmulatorFaults noGreeting;
    noGreeting.neverGreet = true;
    EmulatorFaults closesFirst;
    closesFirst.closeEarly = EmulatorFaults::Close::BeforeGreeting;
    EmulatorFaults closesBeforeReply;
    closesBeforeReply.closeEarly = EmulatorFaults::Close::BeforeReply;
    EmulatorFaults split;
    split.splitBytes = 3;
    split.splitPauseMs = 15;
    EmulatorFaults extra;
    extra.extraBytes = "TRAILING";
    EmulatorFaults odd;
    odd.infoReplyOverride = "INFO 0\r\nFile-Name:x.qv1\r\nFile-Length:12\r\n";
    EmulatorFaults busy;
    busy.replyOverride = "PUT 3\r\n";
    const QString pw = u"secret"_qs;
    const std::vector<Case> cases{
        {"plain", {}, false, {}, false, false},
        {"authenticated", {}, true, pw, false, false},
        {"wrong password", {}, true, u"wrong"_qs, false, false},
        {"mute", mute, false, {}, false, true},
        {"no greeting", noGreeting, true, pw, false, true},
        {"closes before the greeting", closesFirst, true, pw, false, false},
        {"closes before the reply", closesBeforeReply, false, {}, false, false},
        {"split reply", split, false, {}, false, false},
        {"bytes behind the reply", extra, false, {}, false, false},
        {"store override", odd, false, {}, false, false},
        {"upload", {}, false, {}, true, false},
        {"upload, authenticated", {}, true, pw, true, false},
        {"upload refused", busy, false, {}, true, false},
        {"upload, mute", mute, false, {}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProjectorEmulator* e = emulator(c.faults, c.authenticate);
        ASSERT_NE(e, nullptr);
        CommandContext context = FastContext();
        if (c.timesOut) {
            context.timeouts.greetingMs = 300;
            context.timeouts.infoReplyMs = 400;
            context.timeouts.putReplyWaits = 2;
            context.timeouts.putWaitStepMs = 200;
        }
        ExchangeRequest request = StoreInfoRequest(3, context.timeouts);
        if (c.put) {
            request.kind = CommandKind::Put;
            request.commandText = ImageUpload::header("p.qv1", 50000, 3) + picture(50000);
            request.replyWaits = context.timeouts.putReplyWaits;
            request.waitStepMs = context.timeouts.putWaitStepMs;
        }
        const CommandTarget t = target(e, c.authenticate ? 1 : 0, c.password);
        const ExchangeResult blocking = RunCommandExchange(t, context, request);
        qint64 lastSent = 0;
        qint64 total = 0;
        ExchangeRequest pieces = request;
        pieces.onSent = [&](qint64 sent, qint64 all) {
            EXPECT_GT(sent, lastSent);
            lastSent = sent;
            total = all;
        };
        const ExchangeResult looped = runOnLoop(t, context, c.put ? pieces : request);
        EXPECT_EQ(looped.stage, blocking.stage);
        EXPECT_EQ(looped.connectResult, blocking.connectResult);
        EXPECT_EQ(looped.connectTimedOut, blocking.connectTimedOut);
        EXPECT_EQ(looped.reply, blocking.reply);
        if (c.put && looped.stage != ExchangeResult::Stage::ConnectFailed) {
            EXPECT_EQ(lastSent, total);
            EXPECT_EQ(total, request.commandText.size() + (c.authenticate ? 32 : 0));
        }
    }
    // Nothing listens there.
    const CommandTarget nobody{Emulators::silentAddress(), 0, {}};
    const ExchangeResult refused = runOnLoop(nobody, FastContext(), StoreInfoRequest(1, FastTimeouts()));
    EXPECT_EQ(refused.stage, ExchangeResult::Stage::ConnectFailed);
    EXPECT_EQ(refused.connectResult,
              RunCommandExchange(nobody, FastContext(), StoreInfoRequest(1, FastTimeouts())).connectResult);
}

TEST(SendOutcome, EveryResultCodeReadsAsATextWithTheCodeBehindIt) {
    UseBuiltCatalog();
    const CommandTimeouts t;
    for (int code : {-1, -2, -7, -8, -9, -10, -11, -12, -13, -14, -15, -101, -102, -103, -105, -42}) {
        const QString text = SendEngine::outcomeText(code, t);
        EXPECT_TRUE(text.contains(u'[' + QString::number(code) + u']')) << code << " " << text.toStdString();
        EXPECT_GT(text.size(), QString::number(code).size() + 6) << code;
        EXPECT_NE(text, CatalogText(msg::SendRowDelivered));
    }
    EXPECT_EQ(SendEngine::outcomeText(0, t), CatalogText(msg::SendRowDelivered));
}

TEST_F(Send, ARaisedStopFlagEndsASocketWaitAndClosesTheSocket) {
    EmulatorFaults mute;
    mute.neverReply = true;
    ProjectorEmulator* e = emulator(mute);
    std::atomic<bool> stop{false};
    TcpSocket socket;
    ASSERT_TRUE(socket.create());
    socket.setStopFlag(&stop);
    ASSERT_EQ(socket.connectTo(e->address(), kCommandPort, 5000), TcpSocket::Connect::Ok);
    std::thread raiser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.store(true);
    });
    const auto begin = std::chrono::steady_clock::now();
    // Nothing ever arrives: only the flag can end this wait before its minute is up.
    EXPECT_EQ(socket.waitReadable(60000), TcpSocket::Wait::Failed);
    raiser.join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(30));
    EXPECT_FALSE(socket.isOpen());
    EXPECT_FALSE(socket.sendInPieces("PUT", 1000, 16, {}));
}

TEST_F(Send, PiecesReportTheRunningTotalUpToTheWholeBlock) {
    ProjectorEmulator* e = emulator();
    QList<qint64> totals;
    const QByteArray content = picture(70000);
    const int rc =
        UploadImageData("p.qv1", content, 1, target(e), FastContext(), {}, [&](qint64 sent, qint64 total) {
            EXPECT_EQ(total, ImageUpload::header("p.qv1", 70000, 1).size() + 70000);
            totals << sent;
        });
    EXPECT_EQ(rc, 0);
    ASSERT_GE(totals.size(), 5); // 16 KiB pieces
    EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()));
    EXPECT_EQ(totals.back(), ImageUpload::header("p.qv1", 70000, 1).size() + 70000);
    ASSERT_TRUE(e->waitForServed(1, 20000));
    EXPECT_EQ(e->stores().image(1)->data, content);
}

TEST(SendOutcome, AStoreThatDisagreesIsShownAsItReportsAndNotAsDelivered) {
    UseBuiltCatalog();
    SendEngine::TargetState s;
    s.stage = Stage::Mismatch;
    s.verifyResult = 2;
    s.reportedName = u"other.qv1"_qs;
    s.reportedLength = u"12"_qs;
    const CommandTimeouts t;
    EXPECT_EQ(SendEngine::stageText(s, t), CatalogText(msg::SendRowMismatch, {u"other.qv1"_qs, u"12"_qs}));
    s.verifyResult = 1;
    EXPECT_EQ(SendEngine::stageText(s, t), CatalogText(msg::SendRowEmptyStore));
    s.verifyResult = -1;
    s.reportedName = CatalogText(msg::ReplyTimeout);
    EXPECT_EQ(SendEngine::stageText(s, t),
              CatalogText(msg::SendRowCheckFailed, {CatalogText(msg::ReplyTimeout)}));
    EXPECT_FALSE(SendEngine::isDelivered(Stage::Mismatch));
    EXPECT_FALSE(SendEngine::isDelivered(Stage::Failed));
    EXPECT_FALSE(SendEngine::isDelivered(Stage::Stopped));
    EXPECT_TRUE(SendEngine::isDelivered(Stage::Verified));
    s.stage = Stage::Verdict;
    s.waitedMs = 7400;
    s.verdictLimitMs = 300000;
    EXPECT_EQ(SendEngine::stageText(s, t), CatalogText(msg::SendRowVerdict, {u"7"_qs, u"300"_qs}));
}
