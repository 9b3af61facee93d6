#include "history/HistorySettings.h"
#include "history/HistoryStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

void expectPrivate(const QString& path);

namespace {

const QDateTime kStart = QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);

HistoryRecord failedPut(const QString& address, int second, int result = -102) {
    HistoryRecord r;
    r.time = kStart.addSecs(second);
    r.user = QStringLiteral("operator");
    r.address = address;
    r.command = QStringLiteral("PUT");
    r.store = 1;
    r.fileName = QStringLiteral("hall.qv1");
    r.fileLength = 1234;
    r.result = result;
    r.ok = false;
    r.resultText = QStringLiteral("refused");
    r.tookMs = second;
    return r;
}

HistoryRecords all(const QString& path) {
    const auto rows = HistoryStore::query(path, {});
    EXPECT_TRUE(rows.has_value());
    return rows.value_or(HistoryRecords{});
}

// A picture a thumbnail could be made of.
QString writePicture(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("pic.ppm"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("P6\n64 48\n255\n");
    f.write(QByteArray(64 * 48 * 3, '\x7f'));
    return path;
}

} // namespace

TEST(HistoryBounds, IdenticalFailuresInARowBecomeOneRecordWithACountAndBothTimes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    const QString picture = writePicture(dir);
    {
        HistoryStore store(path);
        for (int i = 0; i < 40; ++i) {
            HistoryRecord r = failedPut(QStringLiteral("127.0.0.2"), i);
            r.describeUpload(picture); // a failed upload of a real picture still gets no thumbnail
            store.append(r);
            // Another projector's failures in between do not break the run.
            store.append(failedPut(QStringLiteral("127.0.0.3"), i));
            if (i == 20) {
                // Nor does an alert about that projector: it is no command.
                HistoryRecord alert = failedPut(QStringLiteral("127.0.0.3"), i);
                alert.command = QStringLiteral("ALERT");
                alert.fileName.clear();
                store.append(alert);
            }
        }
        // A different failure, then a success, then the first failure again: three new records.
        HistoryRecord other = failedPut(QStringLiteral("127.0.0.2"), 100, -8);
        other.describeUpload(picture);
        store.append(other);
        HistoryRecord ok = failedPut(QStringLiteral("127.0.0.2"), 101, 0);
        ok.describeUpload(picture);
        ok.ok = true;
        store.append(ok);
        HistoryRecord again = failedPut(QStringLiteral("127.0.0.2"), 102);
        again.describeUpload(picture);
        store.append(again);
        store.flush();
        EXPECT_EQ(store.takeProblem(), HistoryProblem::None);
    }
    HistoryFilter one;
    one.address = QStringLiteral("127.0.0.2");
    one.withThumbnails = true;
    const auto rows = HistoryStore::query(path, one);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 4);
    // Newest first.
    EXPECT_EQ(rows->at(0).repeats, 1);
    EXPECT_FALSE(rows->at(0).lastTime.isValid());
    EXPECT_TRUE(rows->at(1).ok);
    EXPECT_FALSE(rows->at(1).thumbnail.isEmpty()) << "a success keeps its picture";
    EXPECT_EQ(rows->at(2).result, -8);
    const HistoryRecord& run = rows->at(3);
    EXPECT_EQ(run.repeats, 40);
    EXPECT_EQ(run.time, kStart);
    EXPECT_EQ(run.lastTime, kStart.addSecs(39));
    EXPECT_EQ(run.tookMs, 39) << "the last attempt's duration";
    for (const HistoryRecord& r : *rows) {
        if (!r.ok) {
            EXPECT_TRUE(r.thumbnail.isEmpty()) << r.result;
        }
    }
    one.address = QStringLiteral("127.0.0.3");
    one.command = QStringLiteral("PUT");
    ASSERT_EQ(HistoryStore::query(path, one)->size(), 1);
    EXPECT_EQ(HistoryStore::query(path, one)->at(0).repeats, 40);
    one.command = QStringLiteral("ALERT");
    EXPECT_EQ(HistoryStore::query(path, one)->size(), 1);

    // A period that only the repeats reach still finds the record.
    HistoryFilter late;
    late.address = QStringLiteral("127.0.0.3");
    late.since = kStart.addSecs(30);
    EXPECT_EQ(HistoryStore::query(path, late)->size(), 1);
}

TEST(HistoryBounds, PastEitherLimitTheOldestRecordsGoAndTheFileSaysSo) {
    QTemporaryDir dir;
    const QString byCount = dir.filePath(QStringLiteral("count.sqlite"));
    {
        HistoryStore store(byCount);
        store.setLimits({100, 0});
        for (int i = 0; i < 250; ++i) {
            HistoryRecord r = failedPut(QStringLiteral("127.0.0.2"), i, 0);
            r.ok = true;
            r.resultText = QString::number(i);
            store.append(r);
            if (i % 40 == 0) {
                store.flush(); // several batches, as a long run writes them
            }
        }
        store.flush();
    }
    HistoryRecords rows = all(byCount);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_LE(rows.size(), 100);
    EXPECT_GE(rows.size(), 90);
    EXPECT_EQ(rows.first().resultText, u"249") << "the newest stays";
    EXPECT_GT(rows.last().resultText.toInt(), 140) << "the oldest went";
    const std::optional<HistoryDropNote> note = HistoryStore::dropNote(byCount);
    ASSERT_TRUE(note.has_value());
    EXPECT_EQ(note->dropped, 250 - rows.size());
    EXPECT_EQ(note->limits.maxRecords, 100);
    EXPECT_TRUE(note->lastDrop.isValid());

    // By size: records of 20 KB against a 1 MB limit.
    const QString bySize = dir.filePath(QStringLiteral("size.sqlite"));
    {
        HistoryStore store(bySize);
        store.setLimits({0, 1024 * 1024});
        for (int i = 0; i < 200; ++i) {
            HistoryRecord r = failedPut(QStringLiteral("127.0.0.2"), i, 0);
            r.ok = true;
            r.resultText = QString::number(i) + QString(20000, QLatin1Char('x'));
            store.append(r);
            if (i % 25 == 0) {
                store.flush();
            }
        }
        store.flush();
    }
    rows = all(bySize);
    EXPECT_LE(rows.size(), 1024 * 1024 / 20000);
    EXPECT_GT(rows.size(), 10);
    EXPECT_TRUE(rows.first().resultText.startsWith(u"199x"));
    EXPECT_TRUE(HistoryStore::dropNote(bySize).has_value());

    // Within the limits nothing goes and nothing is noted.
    const QString small = dir.filePath(QStringLiteral("small.sqlite"));
    {
        HistoryStore store(small);
        store.append(failedPut(QStringLiteral("127.0.0.2"), 1));
        store.flush();
    }
    EXPECT_FALSE(HistoryStore::dropNote(small).has_value());
}

TEST(HistoryBounds, TheFileAndItsJournalAreTheOwnersOnlyWhateverTheUmask) {
    QTemporaryDir dir;
    const mode_t before = ::umask(022);
    const QString fresh = dir.filePath(QStringLiteral("fresh/history.sqlite"));
    const QString old = dir.filePath(QStringLiteral("old.sqlite"));
    {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)); // an empty file is an empty database
    }
    ASSERT_TRUE(QFile::setPermissions(old, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ReadGroup | QFileDevice::ReadOther));
    for (const QString& path : {fresh, old}) {
        HistoryStore store(path);
        store.append(failedPut(QStringLiteral("127.0.0.2"), 1));
        store.flush();
        EXPECT_EQ(store.takeProblem(), HistoryProblem::None);
        expectPrivate(path);
        ASSERT_TRUE(QFileInfo::exists(path + QStringLiteral("-wal")));
        expectPrivate(path + QStringLiteral("-wal"));
    }
    ::umask(before);
}

TEST(HistoryBounds, AFileOfTheEarlierFormatIsReadAsSingleRecordsAndThenExtended) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "CREATE TABLE history(id INTEGER PRIMARY KEY, at INTEGER NOT NULL, user TEXT, name TEXT,"
            " address TEXT, mac TEXT, command TEXT, store INTEGER, path TEXT, file TEXT, length INTEGER,"
            " sha256 TEXT, thumbnail BLOB, result INTEGER, ok INTEGER, result_text TEXT, took_ms INTEGER)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO history(at, user, address, command, store, result, ok,"
                                          " result_text, took_ms) VALUES(%1, 'operator', '127.0.0.2', 'PUT',"
                                          " 1, -102, 0, 'refused', 5)")
                               .arg(kStart.toMSecsSinceEpoch())));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("older"));

    HistoryRecords rows = all(path);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].repeats, 1);
    EXPECT_FALSE(rows[0].lastTime.isValid());

    // The writer adds its columns; the old record then gathers the repeats that follow it.
    {
        HistoryStore store(path, 0);
        HistoryRecord r = failedPut(QStringLiteral("127.0.0.2"), 60);
        r.fileName.clear();
        r.fileLength = 0;
        r.filePath.clear();
        store.append(r);
        store.flush();
        EXPECT_EQ(store.takeProblem(), HistoryProblem::None);
    }
    rows = all(path);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].repeats, 2);
    EXPECT_EQ(rows[0].lastTime, kStart.addSecs(60));
}

TEST(HistoryBounds, LimitsComeFromTheIniFileWithDefaultsForWhatIsMissingOrWrong) {
    const HistoryLimits defaults = HistorySettings::fromIniText({});
    EXPECT_EQ(defaults.maxRecords, 200000);
    EXPECT_EQ(defaults.maxBytes, qint64{200} * 1024 * 1024);
    const HistoryLimits set =
        HistorySettings::fromIniText("[Projector List]\nCount=0\n[History]\nMaxRecords=5000\n"
                                     "MaxMegabytes=0\n");
    EXPECT_EQ(set.maxRecords, 5000);
    EXPECT_EQ(set.maxBytes, 0);
    const HistoryLimits wrong = HistorySettings::fromIniText("[History]\nMaxRecords=-4\nMaxMegabytes=lots\n");
    EXPECT_EQ(wrong.maxRecords, 200000);
    EXPECT_EQ(wrong.maxBytes, qint64{200} * 1024 * 1024);
}
