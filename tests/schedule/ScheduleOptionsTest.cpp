#include "schedule/ScheduleOptions.h"
#include "schedule/ScheduleFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SideFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString schedule = dir.filePath(u"week.sch"_qs);

    void writeSide(const QByteArray& bytes) {
        QFile f(ScheduleOptions::sidePath(schedule));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray readSide() const {
        QFile f(ScheduleOptions::sidePath(schedule));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static ScheduleOptions bothOn() { return {true, true}; }
};

} // namespace

TEST_F(SideFile, LivesBesideTheScheduleFile) {
    EXPECT_EQ(ScheduleOptions::sidePath(u"/a/b/week.sch"_qs), u"/a/b/week.sch.options");
}

TEST_F(SideFile, RoundTripsEveryCombinationAndWritesPlainLines) {
    for (const ScheduleOptions& o : {ScheduleOptions{true, false}, ScheduleOptions{false, true}, bothOn(),
                                     ScheduleOptions{false, false}}) {
        ASSERT_TRUE(ScheduleOptions::save(schedule, o).ok());
        ScheduleOptions back = o.verify ? ScheduleOptions{} : bothOn(); // differs from what was saved
        ASSERT_TRUE(ScheduleOptions::load(schedule, back).ok());
        EXPECT_EQ(back, o) << o.verify << o.retry;
    }
    // Both off over an existing file writes it anew rather than leaving the old "on".
    EXPECT_EQ(readSide(), QByteArray("verify=off\nretry=off\n"));
    ASSERT_TRUE(ScheduleOptions::save(schedule, {true, false}).ok());
    EXPECT_EQ(readSide(), QByteArray("verify=on\nretry=off\n"));
}

TEST_F(SideFile, BothOffWithoutASideFileWritesNothing) {
    ASSERT_TRUE(ScheduleOptions::save(schedule, {}).ok());
    EXPECT_FALSE(QFile::exists(ScheduleOptions::sidePath(schedule)));
}

TEST_F(SideFile, TheScheduleFileKeepsItsExactBytes) {
    ScheduleTable table;
    ASSERT_EQ(table.AddScheduleEntry(u"127.0.0.9"_qs, u"/p/pic.qv1"_qs, u"2"_qs, u"5"_qs, false, 0, {}),
              ScheduleTable::AddResult::Added);
    ASSERT_TRUE(ScheduleFile::save(schedule, table).ok());
    ASSERT_TRUE(ScheduleOptions::save(schedule, bothOn()).ok());
    QFile f(schedule);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), table.toBytes());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{u"week.sch"_qs, u"week.sch.options"_qs}));
    ScheduleTable back;
    ASSERT_TRUE(ScheduleFile::load(schedule, back).ok());
    EXPECT_EQ(back, table);
}

TEST_F(SideFile, AMissingFileMeansBothOffWithoutError) {
    ScheduleOptions o = bothOn();
    const IoResult r = ScheduleOptions::load(schedule, o);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(o, ScheduleOptions{});
}

TEST_F(SideFile, ToleratesCommentsSpacesCaseAndCarriageReturns) {
    writeSide("# written by hand\r\n\r\n  Verify = ON \r\nretry=off\r\n");
    ScheduleOptions o;
    ASSERT_TRUE(ScheduleOptions::load(schedule, o).ok());
    EXPECT_EQ(o, (ScheduleOptions{true, false}));
    writeSide("retry=on"); // one key, no line end
    ASSERT_TRUE(ScheduleOptions::load(schedule, o).ok());
    EXPECT_EQ(o, (ScheduleOptions{false, true}));
}

TEST_F(SideFile, AGarbledFileMeansBothOffAndSaysSo) {
    const QList<QByteArray> garbled{
        "verify=yes\n",            // a value that is neither on nor off
        "verify on\n",             // no '='
        "=on\n",                   // no key
        "colour=on\n",             // a key we do not know
        "verify=on\nverify=off\n", // a key twice
        QByteArray("verify=on\0\n", 11),
        "verify=on\n" + QByteArray(ScheduleOptions::kMaxFileSize, '#'), // more than a side file ever holds
        QByteArray("\x89PNG\r\n\x1a\n", 8),
    };
    for (const QByteArray& text : garbled) {
        writeSide(text);
        ScheduleOptions o = bothOn();
        const IoResult r = ScheduleOptions::load(schedule, o);
        EXPECT_EQ(r.code, IoResult::Code::BadContent) << text.left(40).toStdString();
        EXPECT_EQ(o, ScheduleOptions{}) << text.left(40).toStdString();
    }
}

TEST_F(SideFile, AnUnreadableFileMeansBothOffAndSaysWhy) {
    // A folder where the file should be cannot be read, also by an administrator.
    ASSERT_TRUE(QDir().mkpath(ScheduleOptions::sidePath(schedule)));
    ScheduleOptions o = bothOn();
    const IoResult r = ScheduleOptions::load(schedule, o);
    EXPECT_TRUE(r.code == IoResult::Code::OpenFailed || r.code == IoResult::Code::ReadFailed)
        << static_cast<int>(r.code);
    EXPECT_FALSE(r.detail.isEmpty());
    EXPECT_EQ(o, ScheduleOptions{});
    // Nor can it be written over.
    EXPECT_FALSE(ScheduleOptions::save(schedule, bothOn()).ok());
}

TEST_F(SideFile, ASaveIntoAMissingFolderFailsAndLeavesNothing) {
    const QString elsewhere = dir.filePath(u"no/such/week.sch"_qs);
    const IoResult r = ScheduleOptions::save(elsewhere, bothOn());
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.detail.isEmpty());
    EXPECT_FALSE(QFile::exists(ScheduleOptions::sidePath(elsewhere)));
}
