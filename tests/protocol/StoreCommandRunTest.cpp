#include "protocol/StoreCommandRun.h"
#include "support/RecordingObserver.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/ImageInfoQuery.h"
#include "support/Emulators.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMutex>
#include <QThread>

#include <memory>
#include <optional>

namespace {

// Far beyond what a stop takes on a loaded machine, far below the waits it cuts short.
constexpr int kLimitMs = 20000;

template <typename Done> bool runEventsUntil(Done done) {
    const QDeadlineTimer deadline(kLimitMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// What a run told its owner, in order.
struct Heard {
    QStringList order;
    QList<QVariant> outcomes;
    std::optional<bool> stopped;
    void listen(StoreCommandRun& run) {
        QObject::connect(&run, &StoreCommandRun::stepStarted,
                         [this](int i) { order << u"start %1"_qs.arg(i); });
        QObject::connect(&run, &StoreCommandRun::stepFinished, [this](int i, const QVariant& outcome) {
            order << u"done %1"_qs.arg(i);
            outcomes << outcome;
        });
        QObject::connect(&run, &StoreCommandRun::finished, [this](bool s) {
            order << u"end"_qs;
            stopped = s;
        });
    }
};

// A context whose reply waits are far longer than any test may take.
CommandContext patientContext(CommandObserver* observer) {
    CommandContext c = FastContext();
    c.timeouts.infoReplyMs = 120000;
    c.observer = observer;
    return c;
}

StoreCommandRun::Step infoStep(quint32 address) {
    return [address](const CommandContext& context) {
        return QVariant::fromValue(QueryImageInfo(1, CommandTarget{address, 0, {}}, context));
    };
}

} // namespace

TEST(StoreCommandRun, StepsRunOneAtATimeOffTheOwnersThreadEachAfterTheOwnerHeardTheLast) {
    StoreCommandRun run(CommandContext{});
    Heard heard;
    heard.listen(run);
    std::atomic<int> handled{0}; // stepFinished handlers that have returned
    QObject::connect(&run, &StoreCommandRun::stepFinished, [&handled](int) { ++handled; });
    QThread* owner = QThread::currentThread();
    QList<StoreCommandRun::Step> steps;
    for (int i = 0; i < 3; ++i) {
        steps << [&handled, owner](const CommandContext& c) {
            // What the step saw: how many answers the owner had taken, whether it ran elsewhere,
            // and that it carries the run's stop flag.
            return QVariant(
                QVariantList{handled.load(), QThread::currentThread() != owner, c.stop != nullptr});
        };
    }
    EXPECT_FALSE(run.start({})) << "nothing to run";
    ASSERT_TRUE(run.start(steps));
    EXPECT_TRUE(run.isRunning());
    EXPECT_FALSE(run.start(steps)) << "one run at a time";
    ASSERT_TRUE(runEventsUntil([&] { return heard.stopped.has_value(); }));
    EXPECT_FALSE(*heard.stopped);
    EXPECT_FALSE(run.isRunning());
    EXPECT_EQ(heard.order, (QStringList{u"start 0"_qs, u"done 0"_qs, u"start 1"_qs, u"done 1"_qs,
                                        u"start 2"_qs, u"done 2"_qs, u"end"_qs}));
    ASSERT_EQ(heard.outcomes.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(heard.outcomes[i].toList(), (QVariantList{i, true, true})) << i;
    }
}

TEST(StoreCommandRun, AStopAskedForWhileTheOwnerHearsAStepStartsNoMore) {
    StoreCommandRun run(CommandContext{});
    Heard heard;
    heard.listen(run);
    QObject::connect(&run, &StoreCommandRun::stepFinished, &run, [&run](int i) {
        if (i == 0) {
            run.stop();
        }
    });
    std::atomic<int> ran{0};
    const StoreCommandRun::Step step = [&ran](const CommandContext&) { return QVariant(++ran); };
    ASSERT_TRUE(run.start({step, step, step}));
    ASSERT_TRUE(runEventsUntil([&] { return heard.stopped.has_value(); }));
    EXPECT_TRUE(*heard.stopped);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(heard.order, (QStringList{u"start 0"_qs, u"done 0"_qs, u"end"_qs}));
}

TEST(StoreCommandRun, StopAbandonsASilentProjectorAtOnceAndTheRunCanStartAgain) {
    UseBuiltCatalog();
    Emulators emus;
    EmulatorConfig mute;
    mute.faults.neverReply = true; // accepts, reads the command, never answers
    QList<ProjectorEmulator*> silent;
    for (int i = 0; i < 3; ++i) {
        silent << emus.add(mute);
        ASSERT_NE(silent.last(), nullptr);
    }
    ProjectorEmulator* answering = emus.add();
    ASSERT_NE(answering, nullptr);
    RecordingObserver history;
    StoreCommandRun run(patientContext(&history));
    Heard heard;
    heard.listen(run);
    ASSERT_TRUE(run.start(
        {infoStep(silent[0]->address()), infoStep(silent[1]->address()), infoStep(silent[2]->address())}));
    ASSERT_TRUE(runEventsUntil([&] { return silent[0]->connections() == 1; }));
    QElapsedTimer took;
    took.start();
    run.stop();
    EXPECT_TRUE(run.stopRequested());
    ASSERT_TRUE(runEventsUntil([&] { return heard.stopped.has_value(); })) << "the stop did not end the wait";
    ::testing::Test::RecordProperty("stopToEndMs", static_cast<int>(took.elapsed()));
    EXPECT_LT(took.elapsed(), kLimitMs);
    EXPECT_TRUE(*heard.stopped);
    EXPECT_EQ(heard.order, (QStringList{u"start 0"_qs, u"end"_qs})) << "a stopped step has no outcome";
    EXPECT_TRUE(silent[0]->waitForServed(1, kLimitMs)) << "the socket was closed from our side";
    EXPECT_EQ(silent[1]->connections(), 0);
    EXPECT_EQ(silent[2]->connections(), 0);
    QList<CommandEvent> events = history.events();
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].command, u"INFO");
    EXPECT_FALSE(events[0].ok);
    EXPECT_FALSE(events[0].text.isEmpty());
    EXPECT_EQ(events[0].text, CatalogText(msg::CommandStopped));

    // The flag is the run's, raised for one run only: the next one goes through, and its
    // outcomes reach the observer as they were.
    Heard again;
    again.listen(run);
    ASSERT_TRUE(run.start({infoStep(answering->address())}));
    ASSERT_TRUE(runEventsUntil([&] { return again.stopped.has_value(); }));
    EXPECT_FALSE(*again.stopped);
    ASSERT_EQ(again.outcomes.size(), 1);
    const auto report = again.outcomes[0].value<RunReport>();
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(report.message(), CatalogText(msg::StoreEmpty));
    events = history.events();
    ASSERT_EQ(events.size(), 2);
    EXPECT_TRUE(events[1].ok);
    EXPECT_EQ(events[1].text, CatalogText(msg::StoreEmpty));
}

TEST(StoreCommandRun, DestroyingARunEndsItsStepAtOnce) {
    Emulators emus;
    EmulatorConfig mute;
    mute.faults.neverReply = true;
    ProjectorEmulator* silent = emus.add(mute);
    ASSERT_NE(silent, nullptr);
    auto run = std::make_unique<StoreCommandRun>(patientContext(nullptr));
    ASSERT_TRUE(run->start({infoStep(silent->address())}));
    ASSERT_TRUE(runEventsUntil([&] { return silent->connections() == 1; }));
    QElapsedTimer took;
    took.start();
    run.reset();
    EXPECT_LT(took.elapsed(), kLimitMs);
    EXPECT_TRUE(silent->waitForServed(1, kLimitMs));
}
