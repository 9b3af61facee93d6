#include "history/HistoryStore.h"

#include "imaging/PictureLoader.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <thread>

namespace {

HistoryRecord record(const QString& address, const QString& command, bool ok, QDateTime at = {}) {
    HistoryRecord r;
    r.time = at.isValid() ? at : QDateTime::currentDateTimeUtc();
    r.user = QStringLiteral("operator");
    r.projectorName = QStringLiteral("Hall ") + address;
    r.address = address;
    r.mac = QStringLiteral("00-1a-2b-3c-4d-5e");
    r.command = command;
    r.store = 2;
    r.ok = ok;
    r.result = ok ? 0 : -3;
    r.resultText = ok ? QStringLiteral("done") : QStringLiteral("refused");
    r.tookMs = 42;
    return r;
}

qsizetype countAll(const QString& path) {
    const auto rows = HistoryStore::query(path, {});
    return rows ? rows->size() : -1;
}

// A database of many records, closed and checkpointed, so every page is in the main file.
void fillDatabase(const QString& path, int count) {
    HistoryStore store(path);
    for (int i = 0; i < count; ++i) {
        HistoryRecord r = record(QStringLiteral("127.0.0.%1").arg(2 + i % 50), QStringLiteral("INFO"), true);
        r.resultText = QString(200, QLatin1Char('x'));
        store.append(std::move(r));
    }
    store.flush();
}

} // namespace

TEST(HistoryStoreTest, WritesInWalModeAndReadsBackNewestFirstWithFilters) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/history.sqlite"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    {
        HistoryStore store(path);
        store.append(record(QStringLiteral("127.0.0.2"), QStringLiteral("INFO"), true, now.addSecs(-30)));
        store.append(record(QStringLiteral("127.0.0.3"), QStringLiteral("PUT"), false, now.addSecs(-20)));
        HistoryRecord upload =
            record(QStringLiteral("127.0.0.2"), QStringLiteral("PUT"), true, now.addSecs(-10));
        QFile file(dir.filePath(QStringLiteral("pic.qv1")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("abc");
        file.close();
        upload.describeUpload(file.fileName());
        store.append(upload);
        store.flush();
        EXPECT_EQ(store.takeProblem(), HistoryProblem::None);
    }
    const auto all = HistoryStore::query(path, {});
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), 3);
    EXPECT_EQ(all->at(0).command, u"PUT");
    EXPECT_EQ(all->at(0).fileName, u"pic.qv1");
    EXPECT_EQ(all->at(0).fileLength, 3);
    EXPECT_EQ(all->at(0).sha256, u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(all->at(0).time.toMSecsSinceEpoch(), now.addSecs(-10).toMSecsSinceEpoch());
    EXPECT_EQ(all->at(2).address, u"127.0.0.2");
    EXPECT_EQ(all->at(2).mac, u"00-1a-2b-3c-4d-5e");
    EXPECT_EQ(all->at(2).tookMs, 42);

    HistoryFilter byAddress;
    byAddress.address = QStringLiteral("127.0.0.2");
    EXPECT_EQ(HistoryStore::query(path, byAddress)->size(), 2);
    HistoryFilter failedPuts;
    failedPuts.command = QStringLiteral("PUT");
    failedPuts.outcome = HistoryFilter::Outcome::Failed;
    const auto failed = HistoryStore::query(path, failedPuts);
    ASSERT_EQ(failed->size(), 1);
    EXPECT_EQ(failed->at(0).address, u"127.0.0.3");
    EXPECT_EQ(failed->at(0).resultText, u"refused");
    HistoryFilter recent;
    recent.since = now.addSecs(-25);
    EXPECT_EQ(HistoryStore::query(path, recent)->size(), 2);

    // WAL mode stays with the file.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wal-check"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        EXPECT_EQ(q.value(0).toString(), u"wal");
    }
    QSqlDatabase::removeDatabase(QStringLiteral("wal-check"));
}

TEST(HistoryStoreTest, PrunesRecordsOlderThanTheLimitAtOpen) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    {
        HistoryStore store(path, 0); // 0 keeps everything
        store.append(record(QStringLiteral("127.0.0.2"), QStringLiteral("INFO"), true, now.addDays(-400)));
        store.append(record(QStringLiteral("127.0.0.2"), QStringLiteral("STAT"), true, now.addDays(-100)));
        store.flush();
    }
    EXPECT_EQ(countAll(path), 2);
    {
        HistoryStore store(path, 365);
        store.flush();
    }
    const auto left = HistoryStore::query(path, {});
    ASSERT_EQ(left->size(), 1);
    EXPECT_EQ(left->at(0).command, u"STAT");
}

TEST(HistoryStoreTest, AFileThatIsNotADatabaseIsSetAsideAndANewOneBegun) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    QByteArray junk;
    for (int i = 0; i < 200; ++i) {
        junk += "these are not the pages of a database\n";
    }
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(junk);
    }
    HistoryStore store(path);
    store.append(record(QStringLiteral("127.0.0.4"), QStringLiteral("CANCEL"), true));
    store.flush();
    EXPECT_EQ(store.takeProblem(), HistoryProblem::Damaged);
    EXPECT_EQ(store.takeProblem(), HistoryProblem::None) << "the caller is told once";
    const QString aside = store.setAsidePath();
    ASSERT_FALSE(aside.isEmpty());
    QFile kept(aside);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), junk);
    const auto rows = HistoryStore::query(path, {});
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 1);
    EXPECT_EQ(rows->at(0).command, u"CANCEL");
}

TEST(HistoryStoreTest, ATruncatedFileLosesNoNewRecord) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    fillDatabase(path, 3000);
    ASSERT_FALSE(QFileInfo::exists(path + QStringLiteral("-wal")));
    const qint64 size = QFileInfo(path).size();
    ASSERT_GT(size, 100000);
    ASSERT_TRUE(QFile::resize(path, size / 3));

    HistoryStore store(path);
    for (int i = 0; i < 20; ++i) {
        store.append(record(QStringLiteral("127.0.0.9"), QStringLiteral("PUT"), true));
    }
    store.flush();
    EXPECT_EQ(store.takeProblem(), HistoryProblem::Damaged);
    EXPECT_FALSE(store.setAsidePath().isEmpty());
    HistoryFilter mine;
    mine.address = QStringLiteral("127.0.0.9");
    const auto rows = HistoryStore::query(path, mine);
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(rows->size(), 20);
}

TEST(HistoryStoreTest, AFolderThatCannotBeWrittenNeverHoldsUpTheCaller) {
    QTemporaryDir dir;
    // A file where the folder should be: nothing can be made there, whoever runs the test.
    const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    HistoryStore store(blocker + QStringLiteral("/history.sqlite"));
    for (int i = 0; i < 5; ++i) {
        store.append(record(QStringLiteral("127.0.0.2"), QStringLiteral("INFO"), true));
    }
    store.flush();
    EXPECT_EQ(store.takeProblem(), HistoryProblem::Unwritable);
    EXPECT_EQ(store.takeProblem(), HistoryProblem::None);

    // A folder without write permission, where permissions apply to the one running the test.
    const QString locked = dir.filePath(QStringLiteral("read-only"));
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QFile probe(locked + QStringLiteral("/probe"));
    const bool permissionsApply = !probe.open(QIODevice::WriteOnly);
    if (permissionsApply) {
        HistoryStore second(locked + QStringLiteral("/history.sqlite"));
        second.append(record(QStringLiteral("127.0.0.2"), QStringLiteral("INFO"), true));
        second.flush();
        EXPECT_EQ(second.takeProblem(), HistoryProblem::Unwritable);
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(HistoryStoreTest, ALockedFileIsReportedOnceAndWritingGoesOnAfterwards) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    HistoryStore store(path, HistoryStore::kDefaultKeepDays, 200);
    store.append(record(QStringLiteral("127.0.0.2"), QStringLiteral("INFO"), true));
    store.flush();
    ASSERT_EQ(store.takeProblem(), HistoryProblem::None);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        store.append(record(QStringLiteral("127.0.0.3"), QStringLiteral("INFO"), true));
        store.flush();
        EXPECT_EQ(store.takeProblem(), HistoryProblem::Locked);
        ASSERT_TRUE(q.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    store.append(record(QStringLiteral("127.0.0.4"), QStringLiteral("INFO"), true));
    store.flush();
    HistoryFilter after;
    after.address = QStringLiteral("127.0.0.4");
    EXPECT_EQ(HistoryStore::query(path, after)->size(), 1);
    EXPECT_EQ(store.takeProblem(), HistoryProblem::None);
}

TEST(HistoryStoreTest, TwoWritersOnOneFileLoseNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    {
        HistoryStore first(path);
        HistoryStore second(path);
        auto write = [](HistoryStore& store, const QString& address) {
            for (int i = 0; i < 400; ++i) {
                store.append(record(address, QStringLiteral("STAT"), true));
                if (i % 50 == 0) {
                    std::this_thread::yield();
                }
            }
            store.flush();
        };
        std::thread a([&] { write(first, QStringLiteral("127.0.0.2")); });
        std::thread b([&] { write(second, QStringLiteral("127.0.0.3")); });
        a.join();
        b.join();
        EXPECT_EQ(first.takeProblem(), HistoryProblem::None);
        EXPECT_EQ(second.takeProblem(), HistoryProblem::None);
    }
    HistoryFilter one;
    one.address = QStringLiteral("127.0.0.2");
    EXPECT_EQ(HistoryStore::query(path, one)->size(), 400);
    one.address = QStringLiteral("127.0.0.3");
    EXPECT_EQ(HistoryStore::query(path, one)->size(), 400);
}

// A new file still in rollback mode, with a write pending in another connection: switching it to
// WAL is answered "busy" at once, not after the busy wait, and must be tried again.
TEST(HistoryStoreTest, ANewFileHeldByAnotherWriterIsOpenedOnceItIsFree) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("starter"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE other(x)")));
        ASSERT_TRUE(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
        HistoryStore store(path);
        store.append(record(QStringLiteral("127.0.0.2"), QStringLiteral("INFO"), true));
        // The store's thread meets the pending write; any moment will do, the store must wait either way.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(q.exec(QStringLiteral("COMMIT")));
        store.flush();
        EXPECT_EQ(store.takeProblem(), HistoryProblem::None);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("starter"));
    EXPECT_EQ(countAll(path), 1);
}

TEST(HistoryStoreTest, AnUploadGetsAThumbnailOfItsOwnFileAndAnythingElseNone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    // A 320 x 200 picture in the plainest format there is.
    const QString picture = dir.filePath(QStringLiteral("wide.ppm"));
    {
        QFile f(picture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("P6\n320 200\n255\n");
        QByteArray pixels(320 * 200 * 3, '\0');
        for (qsizetype i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<char>(i % 251);
        }
        f.write(pixels);
    }
    const QString notAPicture = dir.filePath(QStringLiteral("notes.qv1"));
    {
        QFile f(notAPicture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a picture at all");
    }
    {
        HistoryStore store(path);
        for (const QString& file : {picture, notAPicture}) {
            HistoryRecord r = record(QStringLiteral("127.0.0.2"), QStringLiteral("PUT"), true);
            r.describeUpload(file);
            store.append(r);
        }
        store.flush();
    }
    HistoryFilter withThumbnails;
    withThumbnails.withThumbnails = true;
    const auto rows = HistoryStore::query(path, withThumbnails);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 2);
    for (const HistoryRecord& r : *rows) {
        if (r.fileName == u"notes.qv1") {
            EXPECT_TRUE(r.thumbnail.isEmpty());
            continue;
        }
        ASSERT_TRUE(r.thumbnail.startsWith("\x89PNG"));
        Picture thumb;
        ASSERT_TRUE(PictureLoader::loadFromMemory(r.thumbnail, thumb).ok());
        EXPECT_EQ(thumb.width(), 160);
        EXPECT_EQ(thumb.height(), 100);
    }
    EXPECT_TRUE(HistoryStore::query(path, {})->at(0).thumbnail.isEmpty()) << "left out unless asked for";
}

TEST(HistoryStoreTest, FindsTheNewestUploadOfOneFileToOneStore) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto upload = [&](int store, const QString& file, qint64 length, int secondsAgo, const QString& text) {
        HistoryRecord r =
            record(QStringLiteral("127.0.0.2"), QStringLiteral("PUT"), true, now.addSecs(-secondsAgo));
        r.store = store;
        r.fileName = file;
        r.fileLength = length;
        r.resultText = text;
        return r;
    };
    {
        HistoryStore store(path);
        store.append(upload(2, u"hall.qv1"_qs, 5000, 50, u"older"_qs));
        store.append(upload(2, u"hall.qv1"_qs, 5000, 40, u"newer"_qs));
        store.append(upload(3, u"hall.qv1"_qs, 5000, 30, u"other store"_qs));
        store.append(upload(2, u"hall.qv1"_qs, 4999, 20, u"other length"_qs));
        store.append(upload(2, u"Hall.qv1"_qs, 5000, 10, u"other name"_qs));
        store.flush();
    }
    HistoryFilter f;
    f.address = u"127.0.0.2"_qs;
    f.command = u"PUT"_qs;
    f.store = 2;
    f.fileName = u"hall.qv1"_qs;
    f.fileLength = 5000;
    f.limit = 1;
    const auto found = HistoryStore::query(path, f);
    ASSERT_TRUE(found.has_value());
    ASSERT_EQ(found->size(), 1);
    EXPECT_EQ(found->front().resultText, u"newer");

    f.limit = 0;
    f.fileLength = -1; // any length
    EXPECT_EQ(HistoryStore::query(path, f)->size(), 3);
    f.store = 0; // any store
    EXPECT_EQ(HistoryStore::query(path, f)->size(), 4);
    f.fileName = u"nothing.qv1"_qs;
    EXPECT_TRUE(HistoryStore::query(path, f)->isEmpty());
}
