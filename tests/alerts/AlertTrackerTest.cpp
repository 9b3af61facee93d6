#include "alerts/AlertTracker.h"
#include "alerts/AlertText.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

constexpr quint32 kA = 0x7F000102; // 127.0.1.2
constexpr quint32 kB = 0x7F000103;

const QDateTime t0 = QDateTime(QDate(2026, 3, 2), QTime(9, 0), QTimeZone::utc());

QDateTime at(qint64 seconds) {
    return t0.addSecs(seconds);
}

// Raises (+) and clears (-) with their kinds, in order, to compare with a table.
QString summary(const AlertTracker::Changes& changes) {
    QStringList parts;
    for (const AlertTracker::Change& c : changes) {
        parts << (c.raised ? u"+"_qs : u"-"_qs) + Alert::kindName(c.alert.kind);
    }
    return parts.join(u' ');
}

TEST(AlertTracker, SilenceBecomesOfflineOnlyAfterTheAlertTimeAndClearsOnceWhenItAnswers) {
    AlertTracker tracker;
    EXPECT_TRUE(tracker.silent(kA, u"Hall"_qs, u"no answer"_qs, at(0)).empty());
    EXPECT_EQ(tracker.nextDue(), at(120));
    // Further silence within the alert time keeps the first moment.
    EXPECT_TRUE(tracker.silent(kA, u"Hall"_qs, u"no answer"_qs, at(90)).empty());
    EXPECT_TRUE(tracker.tick(at(119)).empty());

    const AlertTracker::Changes raised = tracker.tick(at(120));
    ASSERT_EQ(summary(raised), u"+offline"_qs);
    EXPECT_EQ(raised[0].alert.projector, u"Hall"_qs);
    EXPECT_EQ(raised[0].alert.detail, u"no answer"_qs);
    EXPECT_TRUE(tracker.anyOffline());
    // Still silent: no second alert, and nothing further waits.
    EXPECT_TRUE(tracker.silent(kA, u"Hall"_qs, u"no answer"_qs, at(300)).empty());
    EXPECT_TRUE(tracker.tick(at(900)).empty());
    EXPECT_FALSE(tracker.nextDue().isValid());

    const AlertTracker::Changes cleared = tracker.answered(kA, u"Hall"_qs, at(1000));
    ASSERT_EQ(summary(cleared), u"-offline"_qs);
    EXPECT_EQ(cleared[0].alert.id, raised[0].alert.id);
    EXPECT_EQ(cleared[0].alert.cleared, at(1000));
    EXPECT_TRUE(tracker.answered(kA, u"Hall"_qs, at(1001)).empty());
    EXPECT_FALSE(tracker.anyOffline());
    ASSERT_EQ(tracker.alerts().size(), 1);
    EXPECT_TRUE(tracker.alerts()[0].isClear());
}

TEST(AlertTracker, AnAnswerWithinTheAlertTimeRaisesNothing) {
    AlertTracker tracker;
    tracker.silent(kA, u"Hall"_qs, {}, at(0));
    EXPECT_TRUE(tracker.answered(kA, u"Hall"_qs, at(100)).empty());
    // The next silence starts a clock of its own.
    tracker.silent(kA, u"Hall"_qs, {}, at(110));
    EXPECT_TRUE(tracker.tick(at(200)).empty());
    EXPECT_EQ(summary(tracker.tick(at(230))), u"+offline"_qs);
}

TEST(AlertTracker, AFlappingProjectorRaisesAtMostOneOfflineAlertInTheFlapWindow) {
    AlertTracker tracker;
    int raises = 0;
    int clears = 0;
    // Three minutes silent, one minute answering, over and over for 40 minutes.
    for (qint64 s = 0; s < 40 * 60; s += 30) {
        const bool answering = (s / 60) % 4 == 3;
        const AlertTracker::Changes c =
            answering ? tracker.answered(kA, {}, at(s)) : tracker.silent(kA, {}, u"gone"_qs, at(s));
        for (const AlertTracker::Change& change : c) {
            (change.raised ? raises : clears)++;
        }
    }
    // Without the flap window each cycle would raise one (ten in all); with it, one at 2
    // minutes, then 14, 26 and 38.
    EXPECT_EQ(raises, 4);
    EXPECT_EQ(clears, 4);
    QDateTime previous;
    for (const Alert& a : tracker.alerts()) {
        if (previous.isValid()) {
            EXPECT_GE(previous.secsTo(a.raised), 10 * 60);
        }
        previous = a.raised;
    }
}

TEST(AlertTracker, OneAlertPerProjectorAndKindUntilItClears) {
    AlertTracker tracker;
    EXPECT_EQ(summary(tracker.uploadFailed(kA, {}, 2, u"refused"_qs, at(0))), u"+upload-failed"_qs);
    EXPECT_TRUE(tracker.uploadFailed(kA, {}, 2, u"refused"_qs, at(60)).empty());
    EXPECT_TRUE(tracker.uploadFailed(kA, {}, 3, u"refused"_qs, at(61)).empty());
    // Another projector, and another kind of the same projector, are alerts of their own.
    EXPECT_EQ(summary(tracker.uploadFailed(kB, {}, 2, {}, at(62))), u"+upload-failed"_qs);
    EXPECT_EQ(summary(tracker.storeChanged(kA, {}, 1, u"b.qv1"_qs, at(63))), u"+store-changed"_qs);
    EXPECT_TRUE(tracker.storeChanged(kA, {}, 1, u"c.qv1"_qs, at(64)).empty());

    // A success into another store says nothing about the failed one.
    EXPECT_TRUE(tracker.uploadSucceeded(kA, {}, 4, at(70)).empty());
    EXPECT_EQ(summary(tracker.uploadSucceeded(kA, {}, 2, at(71))), u"-upload-failed"_qs);
    EXPECT_EQ(summary(tracker.uploadSucceeded(kA, {}, 1, at(72))), u"-store-changed"_qs);
    // Any upload of ours clears a foreign change, but a failed schedule waits for its own success.
    tracker.uploadFailed(kA, {}, 1, {}, at(73));
    tracker.storeChanged(kA, {}, 1, {}, at(74));
    EXPECT_EQ(summary(tracker.storeWritten(kA, 1, at(75))), u"-store-changed"_qs);
    EXPECT_EQ(summary(tracker.uploadSucceeded(kA, {}, 1, at(76))), u"-upload-failed"_qs);
    // Cleared, the same failure is news again.
    EXPECT_EQ(summary(tracker.uploadFailed(kA, {}, 2, {}, at(80))), u"+upload-failed"_qs);
}

TEST(AlertTracker, ForgettingAProjectorClearsItsAlertsAndItsClock) {
    AlertTracker tracker;
    tracker.silent(kA, {}, {}, at(0));
    tracker.tick(at(120));
    tracker.uploadFailed(kA, {}, 1, {}, at(121));
    tracker.silent(kB, {}, {}, at(100));
    EXPECT_EQ(summary(tracker.forget(kA, at(130))), u"-offline -upload-failed"_qs);
    EXPECT_EQ(tracker.nextDue(), at(220)); // only kB still waits
    EXPECT_EQ(summary(tracker.tick(at(220))), u"+offline"_qs);
}

TEST(AlertTracker, KeepsABoundedListAndStillClearsWhatItHolds) {
    AlertTracker tracker(AlertTracker::Settings{120000, 600000, 3});
    for (quint32 i = 0; i < 5; ++i) {
        tracker.uploadFailed(kA + i, {}, 1, {}, at(i));
    }
    const QList<Alert> kept = tracker.alerts();
    ASSERT_EQ(kept.size(), 3);
    EXPECT_EQ(kept.front().address, kA + 2);
    // One pushed out clears silently; one kept clears as usual.
    EXPECT_TRUE(tracker.uploadSucceeded(kA, {}, 1, at(10)).empty());
    EXPECT_EQ(summary(tracker.uploadSucceeded(kA + 4, {}, 1, at(11))), u"-upload-failed"_qs);
    EXPECT_EQ(summary(tracker.uploadFailed(kA, {}, 1, {}, at(12))), u"+upload-failed"_qs);
}

TEST(AlertText, SpellsOutInvisibleCharactersAndRecordsRaiseAndClear) {
    Alert a;
    a.kind = Alert::Kind::Offline;
    a.address = kA;
    a.projector = QStringLiteral("Hall\u202E1");
    a.detail = QStringLiteral("line\nbreak");
    a.raised = at(0);
    a.cleared = at(5);
    const QString text = AlertText::describe(a, true);
    EXPECT_FALSE(text.contains(QChar(0x202E)));
    EXPECT_FALSE(text.contains(u'\n'));
    const HistoryRecord raised = AlertText::historyRecord(a, true);
    EXPECT_EQ(raised.command, u"ALERT"_qs);
    EXPECT_EQ(raised.address, u"127.0.1.2"_qs);
    EXPECT_EQ(raised.time, at(0));
    EXPECT_FALSE(raised.ok);
    const HistoryRecord cleared = AlertText::historyRecord(a, false);
    EXPECT_EQ(cleared.time, at(5));
    EXPECT_TRUE(cleared.ok);
}

} // namespace
