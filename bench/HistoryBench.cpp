// The command history: what writing costs the command that records, and how fast the History
// window opens on a large file. Baselines from the same run: records written one transaction
// each on the caller's thread, and the bare read of all records.
#include "history/CHistoryDlg.h"
#include "history/HistoryStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

HistoryRecord sampleRecord(int i) {
    HistoryRecord r;
    r.time = QDateTime::currentDateTimeUtc().addSecs(-i);
    r.user = QStringLiteral("operator");
    r.projectorName = QStringLiteral("Hall %1").arg(i % 256);
    r.address = QStringLiteral("127.0.%1.%2").arg(i % 256 / 250).arg(i % 250 + 1); // the 256 of a full list
    r.mac = QStringLiteral("00-1a-2b-3c-4d-5e");
    r.command = i % 4 == 0 ? QStringLiteral("PUT") : QStringLiteral("INFO");
    r.store = 1 + i % 4;
    r.fileName = QStringLiteral("picture%1.qv1").arg(i % 100);
    r.fileLength = 130816;
    r.sha256 = QString(64, QLatin1Char('a'));
    r.ok = i % 7 != 0;
    r.resultText = QStringLiteral("The image was sent.");
    r.tookMs = 1200;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    constexpr int kWrites = 10000;
    constexpr int kRead = 100000;

    // Writing: the caller's share, and the time until everything is on disk.
    const QString writePath = dir.filePath(QStringLiteral("write.sqlite"));
    qint64 appendMs = 0;
    qint64 totalMs = 0;
    {
        HistoryStore store(writePath);
        store.flush(); // opened and prepared before timing
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kWrites; ++i) {
            store.append(sampleRecord(i));
        }
        appendMs = t.elapsed();
        store.flush();
        totalMs = t.elapsed();
    }
    // Baseline: the same records, each in its own transaction on the caller's thread.
    qint64 baselineMs = 0;
    {
        HistoryStore prepare(dir.filePath(QStringLiteral("baseline.sqlite")));
        prepare.flush();
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("baseline"));
        db.setDatabaseName(dir.filePath(QStringLiteral("baseline.sqlite")));
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        q.prepare(QStringLiteral(
            "INSERT INTO history(at, user, name, address, mac, command, store, file, length, sha256,"
            " result, ok, result_text, took_ms) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kWrites; ++i) {
            const HistoryRecord r = sampleRecord(i);
            for (const QVariant& v :
                 {QVariant(r.time.toMSecsSinceEpoch()), QVariant(r.user), QVariant(r.projectorName),
                  QVariant(r.address), QVariant(r.mac), QVariant(r.command), QVariant(r.store),
                  QVariant(r.fileName), QVariant(r.fileLength), QVariant(r.sha256), QVariant(r.result),
                  QVariant(r.ok ? 1 : 0), QVariant(r.resultText), QVariant(r.tookMs)}) {
                q.addBindValue(v);
            }
            q.exec();
        }
        baselineMs = t.elapsed();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("baseline"));
    std::printf("history write: %d records, caller held %lld ms, on disk after %lld ms (goal < 2000 ms); "
                "one transaction each on the caller: %lld ms; ratio %.2f\n",
                kWrites, static_cast<long long>(appendMs), static_cast<long long>(totalMs),
                static_cast<long long>(baselineMs),
                static_cast<double>(totalMs) / static_cast<double>(std::max<qint64>(baselineMs, 1)));

    // Opening the window on a large file.
    const QString readPath = dir.filePath(QStringLiteral("read.sqlite"));
    {
        HistoryStore store(readPath);
        for (int i = 0; i < kRead; ++i) {
            store.append(sampleRecord(i));
        }
        store.flush();
    }
    QElapsedTimer q;
    q.start();
    const auto rows = HistoryStore::query(readPath, {});
    const qint64 queryMs = q.elapsed();
    QElapsedTimer t;
    t.start();
    CHistoryDlg dlg(readPath);
    dlg.show();
    while (!dlg.isLoaded()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    QCoreApplication::processEvents(); // the first paint of the filled table
    const qint64 openMs = t.elapsed();
    std::printf(
        "history window: %lld records shown in %lld ms (goal < 1000 ms); bare read %lld ms; ratio %.2f\n",
        static_cast<long long>(rows ? rows->size() : -1), static_cast<long long>(openMs),
        static_cast<long long>(queryMs),
        static_cast<double>(openMs) / static_cast<double>(std::max<qint64>(queryMs, 1)));
    return 0;
}
