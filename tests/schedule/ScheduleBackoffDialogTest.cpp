#include "app/AppState.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/ImageUpload.h"
#include "schedule/CScheduleDlg.h"
#include "support/CatalogFixture.h"
#include "support/DialogDriver.h"
#include "support/Emulators.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// This file's own loopback range, so that it never meets another test's emulators.
constexpr quint32 kFirstHost = 0x7F000101u; // 127.0.1.1
constexpr quint32 kLastHost = 0x7F00013Cu;  // 127.0.1.60
constexpr int kStatusColumn = 4;
const QString kClock = QStringLiteral("HH:mm:ss");

class ScheduleBackoffDialog : public ::testing::Test {
protected:
    ShippedCatalog catalog;
    QTemporaryDir dir;
    Emulators emus{kFirstHost, kLastHost};
    std::unique_ptr<AppState> state;
    QString image;

    void SetUp() override {
        state = std::make_unique<AppState>(dir.filePath(u"t.INI"_qs), dir.filePath(u"history.sqlite"_qs));
        image = dir.filePath(u"pic.qv1"_qs);
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, 'g'));
    }
    void TearDown() override { ASSERT_TRUE(StopScheduleAndWait(state->schedule())); }

    static QString label(CScheduleDlg& d) { return Child<QLabel>(d, "nextUploadLabel")->text(); }
    static QTableWidgetItem* status(CScheduleDlg& d, int row) {
        return Child<QTableWidget>(d, "scheduleTable")->item(row, kStatusColumn);
    }
    // The countdown's text for a planned time and the seconds left.
    static QString countdown(const QDateTime& at, qint64 left) {
        const QString clock = at.toString(kClock);
        return left < 60 ? CatalogText(msg::ScheduleNextUploadSeconds, {clock, QString::number(left)})
                         : CatalogText(msg::ScheduleNextUploadMinutes,
                                       {clock, QString::number(left / 60), QString::number(left % 60)});
    }
    // The seconds the label counts down to, or -1 when it shows something else.
    static qint64 secondsShown(const QString& text, const QDateTime& at) {
        for (qint64 left = 0; left <= 120; ++left) {
            if (text == countdown(at, left)) {
                return left;
            }
        }
        return -1;
    }
};

} // namespace

TEST_F(ScheduleBackoffDialog, WhileAnIntervalRunsTheDialogCountsDownToTheNextUpload) {
    ProjectorEmulator* live = emus.add();
    ASSERT_NE(live, nullptr);
    CScheduleDlg d(state->schedule(), state->projectors());
    d.show();
    ASSERT_EQ(d.AddScheduleEntry(Ipv4::toText(live->address()), image, u"1"_qs, u"1"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    ASSERT_EQ(d.AddScheduleEntry(Ipv4::toText(live->address()), image, u"2"_qs, u"1"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    EXPECT_TRUE(label(d).isEmpty());
    const QDateTime started = QDateTime::currentDateTime();
    Click(d, "executeButton");

    ASSERT_TRUE(QTest::qWaitFor([&] { return !label(d).isEmpty(); }, 20000));
    const QDateTime at = state->schedule().nextUpload();
    ASSERT_TRUE(at.isValid());
    // One minute after the first upload, which began after Execute.
    EXPECT_GE(started.secsTo(at), 59);
    EXPECT_LE(started.secsTo(at), 60 + 20);
    const qint64 first = secondsShown(label(d), at);
    ASSERT_GE(first, 1) << label(d).toStdString();
    EXPECT_LE(first, 60);
    EXPECT_EQ(status(d, 0)->text(), CatalogText(msg::EntryStatusDone));

    // The display clock moves the count on; the run itself is not asked.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const qint64 now = secondsShown(label(d), at);
            return now >= 0 && now < first;
        },
        20000))
        << label(d).toStdString();

    Click(d, "stopButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state->schedule().isRunning(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(d).isEmpty(); }, 20000));
}

TEST_F(ScheduleBackoffDialog, ALoopingEntryOfADeadProjectorSaysWhenItIsTriedAgainAndTickBoxesAreNamed) {
    const quint32 dead = emus.unusedAddress();
    const QString deadText = Ipv4::toText(dead);
    CScheduleDlg d(state->schedule(), state->projectors());
    d.show();
    ASSERT_EQ(d.AddScheduleEntry(deadText, image, u"1"_qs, u"0"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);

    auto* list = Child<QTableWidget>(d, "scheduleTable");
    const QTableWidgetItem* tick = list->item(0, 0);
    ASSERT_NE(tick, nullptr);
    EXPECT_TRUE(tick->flags().testFlag(Qt::ItemIsUserCheckable));
    EXPECT_EQ(tick->toolTip(), CatalogText(msg::EntryCheckToolTip, {u"1"_qs}));
    EXPECT_EQ(tick->data(Qt::AccessibleTextRole).toString(),
              CatalogText(msg::EntryCheckName, {u"1"_qs, deadText}));
    for (const char* box : {"loopCheck", "verifyCheck", "retryCheck"}) {
        EXPECT_FALSE(Child<QCheckBox>(d, box)->accessibleName().isEmpty()) << box;
    }

    Child<QCheckBox>(d, "loopCheck")->setChecked(true);
    Click(d, "executeButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return state->schedule().backoff(0).until.isValid(); }, 20000));
    const ScheduleControl::Backoff b = state->schedule().backoff(0);
    EXPECT_EQ(b.result, ConnectResult::ConnectFailed);
    EXPECT_EQ(status(d, 0)->text(), CatalogText(msg::EntryNextTry, {CatalogText(msg::BackoffCouldNotConnect),
                                                                    b.until.toString(kClock)}));
    const ImageUpload::ResultText why = ImageUpload::textFor(b.result);
    EXPECT_EQ(status(d, 0)->toolTip(), CatalogText(why.id, why.inserts));
    // Resting, the run still tells when it will go on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !label(d).isEmpty(); }, 20000));
    EXPECT_EQ(state->schedule().runner().uploadsMade(), 1);

    // A dialog opened during the rest shows the same row.
    CScheduleDlg reopened(state->schedule(), state->projectors());
    EXPECT_EQ(status(reopened, 0)->text(), status(d, 0)->text());
}
