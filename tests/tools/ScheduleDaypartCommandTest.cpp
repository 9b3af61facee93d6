#include "schedule/ScheduleFile.h"
#include "schedule/ScheduleOptions.h"
#include "support/CtlProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

// tessavelctl as a script runs it: Berlin time, English texts.
const QString kZone = QStringLiteral("Europe/Berlin");

CtlRun ctl(const QStringList& args) {
    return RunCtl(args, {}, kZone);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class ScheduleDaypartCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_table.AddScheduleEntry(u"127.0.5.1"_qs, u"/pics/morning.qv1"_qs, u"1"_qs, u"30"_qs, false,
                                           0, {}),
                  ScheduleTable::AddResult::Added);
        ASSERT_EQ(
            m_table.AddScheduleEntry(u"127.0.5.1"_qs, u"/pics/noon.qv1"_qs, u"1"_qs, u"60"_qs, false, 0, {}),
            ScheduleTable::AddResult::Added);
        ASSERT_TRUE(ScheduleFile::save(m_schedule, m_table).ok());
        m_scheduleBytes = readAll(m_schedule);
    }
    QStringList plan(QStringList more) const {
        return QStringList{u"schedule"_qs, u"plan"_qs, m_schedule, u"--start"_qs, u"2026-12-07T06:00"_qs} +
               more;
    }
    QStringList edit(QStringList more) const {
        return QStringList{u"schedule"_qs, u"edit"_qs, m_schedule} + more;
    }

    QTemporaryDir m_dir;
    QString m_schedule = m_dir.filePath(u"week.sch"_qs);
    QString m_side = ScheduleOptions::sidePath(m_schedule);
    ScheduleTable m_table;
    QByteArray m_scheduleBytes;
};

} // namespace

TEST_F(ScheduleDaypartCommand, EditSetsTheOptionsFileAndPlanFollowsIt) {
    CtlRun r =
        ctl(edit({u"--entry"_qs, u"1"_qs, u"--days"_qs, u"mon-fri"_qs, u"--window"_qs, u"07:00-08:00"_qs,
                  u"--window"_qs, u"22:00-02:00"_qs, u"--from"_qs, u"2026-12-01"_qs}));
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u"mon-fri")) << r.out.toStdString();
    r = ctl(edit({u"--entry"_qs, u"2"_qs, u"--window"_qs, u"07:30-13:00"_qs}));
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(m_side),
              QByteArrayLiteral("verify=off\nretry=off\n"
                                "entry.1.days=mon-fri\nentry.1.windows=07:00-08:00,22:00-02:00\n"
                                "entry.1.from=2026-12-01\nentry.2.windows=07:30-13:00\n"));
    EXPECT_EQ(readAll(m_schedule), m_scheduleBytes) << "the schedule file itself never changes";

    // --json may also stand before the command word, as for the other commands.
    r = ctl(QStringList{u"--json"_qs} + plan({u"--days"_qs, u"1"_qs}));
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonArray uploads = doc.value(u"uploads"_qs).toArray();
    ASSERT_EQ(uploads.size(), 2) << r.out.toStdString();
    const QJsonObject first = uploads[0].toObject();
    EXPECT_EQ(first.value(u"time"_qs).toString(), u"2026-12-07T07:00:00+01:00");
    EXPECT_EQ(first.value(u"entry"_qs).toInt(), 1);
    EXPECT_EQ(first.value(u"file"_qs).toString(), u"/pics/morning.qv1");
    EXPECT_EQ(first.value(u"address"_qs).toString(), u"127.0.5.1");
    EXPECT_EQ(first.value(u"store"_qs).toInt(), 1);
    EXPECT_EQ(uploads[1].toObject().value(u"time"_qs).toString(), u"2026-12-07T07:30:00+01:00");
    EXPECT_EQ(uploads[1].toObject().value(u"entry"_qs).toInt(), 2);
    // Both write store 1 of 127.0.5.1 and their windows meet at 07:30.
    const QJsonArray collisions = doc.value(u"collisions"_qs).toArray();
    ASSERT_EQ(collisions.size(), 1);
    EXPECT_EQ(collisions[0].toObject().value(u"from"_qs).toString(), u"2026-12-07T07:30:00+01:00");
    EXPECT_TRUE(r.err.contains(u"Warning")) << r.err.toStdString();

    // Text: labelled columns, one upload a line.
    r = ctl(plan({u"--days"_qs, u"1"_qs}));
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    for (const char16_t* label : {u"Time", u"Entry", u"Address", u"Store", u"Picture"}) {
        EXPECT_TRUE(lines[0].contains(label)) << lines[0].toStdString();
    }
    EXPECT_TRUE(lines[1].startsWith(u"2026-12-07T07:00:00+01:00")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(u"/pics/morning.qv1"));

    r = ctl(edit({u"--entry"_qs, u"1"_qs, u"--clear"_qs}));
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    r = ctl(plan({u"--json"_qs, u"--days"_qs, u"1"_qs}));
    const QJsonArray cleared =
        QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"uploads"_qs).toArray();
    ASSERT_FALSE(cleared.isEmpty());
    EXPECT_EQ(cleared[0].toObject().value(u"time"_qs).toString(), u"2026-12-07T06:00:00+01:00");
}

TEST_F(ScheduleDaypartCommand, BadInputIsExitTwoAndLeavesTheFileAsItWas) {
    ASSERT_EQ(ctl(edit({u"--entry"_qs, u"2"_qs, u"--days"_qs, u"sat,sun"_qs})).exit, 0);
    const QByteArray before = readAll(m_side);
    const QList<std::pair<QStringList, const char16_t*>> bad = {
        {{u"--entry"_qs, u"1"_qs, u"--window"_qs, u"25:00-26:00"_qs}, u"25:00-26:00"},
        {{u"--entry"_qs, u"1"_qs, u"--days"_qs, u"weekdays"_qs}, u"weekdays"},
        {{u"--entry"_qs, u"1"_qs, u"--from"_qs, u"2026-02-30"_qs}, u"2026-02-30"},
        {{u"--entry"_qs, u"3"_qs, u"--days"_qs, u"mon"_qs}, u"1 to 2"},
        {{u"--entry"_qs, u"x"_qs, u"--days"_qs, u"mon"_qs}, u"1 to 2"},
        {{u"--entry"_qs, u"2"_qs, u"--from"_qs, u"2026-12-10"_qs, u"--until"_qs, u"2026-12-01"_qs},
         u"2026-12-01"},
        {{u"--entry"_qs, u"2"_qs}, u"--clear"},
        {{u"--entry"_qs, u"2"_qs, u"--window"_qs}, u"--window"},
        {{u"--entry"_qs, u"2"_qs, u"--weekdays"_qs, u"mon"_qs}, u"--weekdays"},
    };
    for (const auto& [args, says] : bad) {
        const CtlRun r = ctl(edit(args));
        EXPECT_EQ(r.exit, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(says)) << r.err.toStdString();
        EXPECT_EQ(readAll(m_side), before) << args.join(u' ').toStdString();
    }
    EXPECT_EQ(readAll(m_schedule), m_scheduleBytes);

    CtlRun r = ctl(plan({u"--days"_qs, u"0"_qs}));
    EXPECT_EQ(r.exit, 2);
    EXPECT_TRUE(r.err.contains(u"number of days")) << r.err.toStdString();
    r = ctl(plan({u"--start"_qs, u"soon"_qs}));
    EXPECT_EQ(r.exit, 2);
    r = ctl({u"schedule"_qs, u"plan"_qs, m_dir.filePath(u"none.sch"_qs)});
    EXPECT_EQ(r.exit, 2);
    EXPECT_TRUE(r.err.contains(u"none.sch")) << r.err.toStdString();

    // A damaged options file is named with its line, and neither planned from nor overwritten.
    QFile side(m_side);
    ASSERT_TRUE(side.open(QIODevice::WriteOnly));
    side.write("verify=on\nentry.2.windows=07:00-\xe2\x80\xae"
               "08:00\n");
    side.close();
    const QByteArray damaged = readAll(m_side);
    r = ctl(plan({}));
    EXPECT_EQ(r.exit, 2);
    EXPECT_TRUE(r.err.contains(u"Line 2")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"\\u202E")) << r.err.toStdString();
    EXPECT_EQ(ctl(edit({u"--entry"_qs, u"1"_qs, u"--clear"_qs})).exit, 2);
    EXPECT_EQ(readAll(m_side), damaged);
}

// A run passes over an entry whose windows are over, says so, and says until when it waits
// for the next entry's window; a terminate then ends it as Ctrl+C would.
TEST_F(ScheduleDaypartCommand, RunSaysWhichEntryItSkipsAndWhenItsWaitEnds) {
    ScheduleTable table;
    for (const char* address : {"127.0.9.2", "127.0.9.3"}) {
        ASSERT_EQ(table.AddScheduleEntry(QString::fromLatin1(address), m_dir.filePath(u"p.qv1"_qs), u"1"_qs,
                                         u"0"_qs, false, 0, {}),
                  ScheduleTable::AddResult::Added);
    }
    ASSERT_TRUE(ScheduleFile::save(m_schedule, table).ok());
    ScheduleOptions options;
    options.dayparts[0].windows = {{7 * 60, 11 * 60}};
    options.dayparts[0].last = QDate(2020, 1, 31);
    const QDate first = QDate::currentDate().addDays(100);
    options.dayparts[1].first = first;
    ASSERT_TRUE(ScheduleOptions::save(m_schedule, options).ok());

    QProcess p;
    StartCtl(p, {u"schedule"_qs, u"run"_qs, m_schedule}, {}, kZone);
    ASSERT_TRUE(p.waitForStarted(20000));
    QString out;
    QDeadlineTimer limit(20000);
    while (!out.contains(u"window at"_qs) && !limit.hasExpired() && p.state() == QProcess::Running) {
        p.waitForReadyRead(500);
        out += QString::fromUtf8(p.readAllStandardOutput());
    }
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(20000));
    out += QString::fromUtf8(p.readAllStandardOutput());
    const QString opens =
        QDateTime(first, QTime(0, 0), QTimeZone(QByteArrayLiteral("Europe/Berlin"))).toString(Qt::ISODate);
    EXPECT_EQ(out, u"Entry 1 is passed over: its windows do not open again.\n"
                   u"Waiting for entry 2's window at %1\n"
                   u"The schedule was stopped.\n"_qs.arg(opens));
    EXPECT_EQ(p.exitCode(), 0);
}
