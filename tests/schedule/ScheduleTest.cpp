#include "schedule/ScheduleFile.h"
#include "schedule/ScheduleTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

void expectPrivate(const QString& path);

namespace {

using Add = ScheduleTable::AddResult;

Add add(ScheduleTable& t, const QString& addr = u"192.168.0.10"_qs, const QString& file = u"/img/a.qv1"_qs,
        const QString& store = u"2"_qs, const QString& interval = u"5"_qs, bool temporary = false) {
    return t.AddScheduleEntry(addr, file, store, interval, temporary, 1, QStringLiteral("pw"));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

} // namespace

TEST(ScheduleTableTest, AddValidatesInOrder) {
    ScheduleTable t;
    EXPECT_EQ(add(t, u"1.2.3"_qs), Add::BadAddress);
    EXPECT_EQ(add(t, u"1.2.3.256"_qs), Add::BadAddress);
    EXPECT_EQ(add(t, u"1.2.3"_qs, QString()), Add::BadAddress) << "the address is checked first";
    EXPECT_EQ(add(t, u"1.2.3.4"_qs, QString()), Add::NoImageFile);
    EXPECT_EQ(add(t, u"1.2.3.4"_qs, QString(256, u'f')), Add::ImageFileTooLong);
    for (const char16_t* store : {u"0", u"5", u"x"}) {
        EXPECT_EQ(add(t, u"1.2.3.4"_qs, u"/a.qv1"_qs, QString::fromUtf16(store)), Add::BadStore);
    }
    EXPECT_EQ(t.count, 0);
    EXPECT_EQ(t, ScheduleTable{});

    EXPECT_EQ(add(t, u"1.2.3.4"_qs, QString(255, u'f')), Add::Added);
    EXPECT_EQ(add(t, u"10.0.0.1"_qs, u"/b.qv1"_qs, u"3"_qs, u"not a number"_qs, true), Add::Added);
    ASSERT_EQ(t.count, 2);
    const ScheduleEntry& e = t.entries[1];
    EXPECT_EQ(e.address, (Ipv4::Octets{10, 0, 0, 1}));
    EXPECT_EQ(e.saveId, 7);
    EXPECT_EQ(e.temporary, 1);
    EXPECT_EQ(e.interval, 0);
    EXPECT_EQ(e.authentication, 1);
    EXPECT_EQ(e.passwordText(), u"pw");
    EXPECT_EQ(e.imageFilePath(), u"/b.qv1");
    EXPECT_EQ(t.entries[0].imageFilePath().size(), 255);
    EXPECT_EQ(t.entries[0].saveId, 2);
}

TEST(ScheduleTableTest, PathAndPasswordAreMeasuredInStoredBytesAndNeverCut) {
    ScheduleTable t;
    auto addWith = [&t](const QString& file, const QString& password) {
        return t.AddScheduleEntry(u"1.2.3.4"_qs, file, u"1"_qs, u"0"_qs, false, 1, password);
    };
    // 86 characters, 85 of them three bytes long: 256 bytes, far fewer than 255 characters.
    EXPECT_EQ(addWith(u"/"_qs + QString(85, QChar(0x56FE)), u"pw"_qs), Add::ImageFileTooLong);
    EXPECT_EQ(addWith(u"/img/a.qv1"_qs, QString(86, QChar(0x5BC6))), Add::PasswordTooLong);
    EXPECT_EQ(addWith(u"/img/a.qv1"_qs, QString(256, u'p')), Add::PasswordTooLong);
    EXPECT_EQ(t.count, 0);
    EXPECT_EQ(t, ScheduleTable{}) << "a refused entry leaves the table as it was";

    const QString widePassword(85, QChar(0x5BC6));                           // exactly 255 bytes
    const QString widePath = u"/"_qs + QString(84, QChar(0x56FE)) + u"a"_qs; // 254 bytes
    ASSERT_EQ(addWith(widePath, widePassword), Add::Added);
    EXPECT_EQ(t.entries[0].passwordText(), widePassword);
    EXPECT_EQ(t.entries[0].imageFilePath(), widePath);
    ASSERT_EQ(addWith(u"/img/b.qv1"_qs, QString(255, u'p')), Add::Added);
    EXPECT_EQ(t.entries[1].passwordText(), QString(255, u'p'));
}

TEST(ScheduleTableTest, FullTableAndDeleteChecked) {
    ScheduleTable t;
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(add(t, QStringLiteral("10.0.0.%1").arg(i)), Add::Added);
    }
    EXPECT_EQ(add(t), Add::TableFull);
    EXPECT_EQ(t.count, 30);

    ScheduleTable unchanged = t;
    unchanged.deleteChecked({});
    EXPECT_EQ(unchanged, t);

    QList<bool> checked(30, false);
    checked[1] = checked[3] = true;
    t.deleteChecked(checked);
    ASSERT_EQ(t.count, 28);
    EXPECT_EQ(t.entries[0].address[3], 0);
    EXPECT_EQ(t.entries[1].address[3], 2);
    EXPECT_EQ(t.entries[2].address[3], 4);
    EXPECT_EQ(t.entries[28], ScheduleEntry{}) << "freed slots are zero";

    t.deleteChecked(QList<bool>(28, true));
    EXPECT_EQ(t, ScheduleTable{});
}

TEST(ScheduleFileTest, LayoutIsBitExact) {
    ScheduleTable t;
    ASSERT_EQ(add(t, u"192.168.0.10"_qs, u"/img/a.qv1"_qs, u"3"_qs, u"2"_qs), Add::Added);
    t.entries[0].status = ScheduleEntry::Failed;
    const QByteArray b = t.toBytes();
    ASSERT_EQ(b.size(), 16084);
    EXPECT_EQ(qFromLittleEndian<qint32>(b.constData()), 1);
    const char* e = b.constData() + 4;
    EXPECT_EQ(QByteArray(e, 4), QByteArray("\xc0\xa8\x00\x0a", 4));
    EXPECT_EQ(QByteArray(e + 4), QByteArray("/img/a.qv1"));
    EXPECT_EQ(QByteArray(e + 4, 256).count('\0'), 256 - 10);
    EXPECT_EQ(qFromLittleEndian<qint32>(e + 260), 3);
    EXPECT_EQ(qFromLittleEndian<qint32>(e + 264), 2);
    EXPECT_EQ(qFromLittleEndian<qint32>(e + 268), -1);
    EXPECT_EQ(qFromLittleEndian<qint32>(e + 272), 0);
    EXPECT_EQ(qFromLittleEndian<qint32>(e + 276), 1);
    EXPECT_EQ(QByteArray(e + 280), QByteArray("pw"));
    EXPECT_EQ(b.mid(4 + 536), QByteArray(29 * 536, '\0'));
}

TEST(ScheduleFileTest, RoundTripIsByteForByte) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.sch"));
    // A file as another writer may leave it: garbage after the zeros, busy slots past the count.
    QByteArray raw(16084, '\0');
    for (int i = 4; i < raw.size(); ++i) {
        raw[i] = static_cast<char>((i * 7) & 0xFF);
    }
    qToLittleEndian<qint32>(2, raw.data());
    writeAll(path, raw);
    ScheduleTable t;
    ASSERT_TRUE(ScheduleFile::load(path, t).ok());
    EXPECT_EQ(t.count, 2);
    EXPECT_LE(t.entries[0].imageFilePath().size(), 256) << "a text without its zero is cut at the field";
    const QString copy = dir.filePath(QStringLiteral("copy.sch"));
    ASSERT_TRUE(ScheduleFile::save(copy, t).ok());
    EXPECT_EQ(readAll(copy), raw);
    expectPrivate(copy);
}

TEST(ScheduleFileTest, BadFilesChangeNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.sch"));
    ScheduleTable original;
    ASSERT_EQ(add(original), Add::Added);

    auto loadInto = [&](const QByteArray& data) {
        writeAll(path, data);
        ScheduleTable t = original;
        const IoResult r = ScheduleFile::load(path, t);
        EXPECT_EQ(t, original);
        return r.code;
    };
    ScheduleTable empty;
    EXPECT_EQ(loadInto(empty.toBytes()), IoResult::Code::BadContent) << "an empty schedule loads as nothing";
    EXPECT_EQ(loadInto(QByteArray()), IoResult::Code::BadContent);
    EXPECT_EQ(loadInto(QByteArray("\x01\x00", 2)), IoResult::Code::BadContent);
    for (qint32 count : {31, 0, -1, 0x7FFFFFFF}) {
        QByteArray b = original.toBytes();
        qToLittleEndian<qint32>(count, b.data());
        EXPECT_EQ(loadInto(b), IoResult::Code::BadContent) << count;
    }
    QByteArray three = original.toBytes();
    qToLittleEndian<qint32>(3, three.data());
    EXPECT_EQ(loadInto(three.left(4 + 2 * 536 + 100)), IoResult::Code::Truncated);

    ScheduleTable t;
    EXPECT_EQ(ScheduleFile::load(dir.filePath(QStringLiteral("missing.sch")), t).code,
              IoResult::Code::OpenFailed);
}

TEST(ScheduleFileTest, ShortButSufficientFileFillsZeros) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.sch"));
    ScheduleTable full;
    ASSERT_EQ(add(full), Add::Added);
    writeAll(path, full.toBytes().left(4 + 536));
    ScheduleTable t;
    ASSERT_TRUE(ScheduleFile::load(path, t).ok());
    EXPECT_EQ(t, full);

    QByteArray thirty(16084, '\0');
    qToLittleEndian<qint32>(30, thirty.data());
    writeAll(path, thirty + QByteArray(5000, 'x'));
    ASSERT_TRUE(ScheduleFile::load(path, t).ok());
    EXPECT_EQ(t.count, 30);
}

TEST(ScheduleFileTest, FailedWriteIsReported) {
    QTemporaryDir dir;
    ScheduleTable t;
    const IoResult r = ScheduleFile::save(dir.filePath(QStringLiteral("missing/dir/x.sch")), t);
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.detail.isEmpty());
}

// The fuzz seeds must stay real schedule files, or the fuzzer is back at the length check.
TEST(ScheduleFileTest, FuzzSeedsAreWholeScheduleFilesThatRoundTrip) {
    const QDir seeds(QStringLiteral(TESSAVEL_SOURCE_DIR "/tests/fuzz/corpus/fuzz_schedule_loader"));
    const QStringList names = seeds.entryList(QDir::Files);
    ASSERT_GE(names.size(), 4);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = readAll(seeds.filePath(name));
        EXPECT_EQ(bytes.size(), ScheduleTable::kFileSize);
        ScheduleTable t;
        ASSERT_EQ(t.fromBytes(bytes), ScheduleTable::ParseResult::Loaded);
        EXPECT_EQ(t.toBytes(), bytes);
    }
}
