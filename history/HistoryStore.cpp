#include "history/HistoryStore.h"

#include "history/HistoryThumbnail.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>

#include <utility>

namespace {

// Every connection has a name of its own, so two threads never share one.
QString newConnectionName() {
    static std::atomic<quint64> counter{0};
    return QStringLiteral("tessavel-history-%1").arg(++counter);
}

class Connection final {
public:
    Connection(const QString& path, int busyMs, bool readOnly) : m_name(newConnectionName()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyMs);
        if (readOnly) {
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        }
        db.setConnectOptions(options);
    }
    ~Connection() {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    [[nodiscard]] QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

// The primary SQLite result code behind an error, -1 when there is none.
int sqliteCode(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : -1;
}

HistoryProblem classify(const QSqlError& error) {
    switch (sqliteCode(error)) {
    case 11: // corrupt
    case 26: // not a database
        return HistoryProblem::Damaged;
    case 5: // busy
    case 6: // locked
        return HistoryProblem::Locked;
    default: // read-only, cannot open, disk full, I/O: the file itself may be sound
        return HistoryProblem::Unwritable;
    }
}

bool exec(QSqlQuery& q, const QString& sql) {
    return q.exec(sql);
}

// WAL mode, the table, and pruning; the first error, if any.
std::optional<QSqlError> prepareFile(QSqlDatabase db, int keepDays, int busyMs) {
    if (!db.open()) {
        return db.lastError();
    }
    QSqlQuery q(db);
    const QStringList statements{
        QStringLiteral("PRAGMA journal_mode=WAL"),
        QStringLiteral("PRAGMA synchronous=NORMAL"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS history(id INTEGER PRIMARY KEY, at INTEGER NOT NULL, user TEXT,"
            " name TEXT, address TEXT, mac TEXT, command TEXT, store INTEGER, path TEXT, file TEXT,"
            " length INTEGER, sha256 TEXT, thumbnail BLOB, result INTEGER, ok INTEGER, result_text TEXT,"
            " took_ms INTEGER)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS history_at ON history(at)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS history_address ON history(address, at)"),
    };
    // Two writers opening a new file at once race to switch it to WAL, and SQLite answers the
    // loser "busy" at once instead of waiting; so that switch is retried up to the busy limit.
    QDeadlineTimer deadline(busyMs);
    for (const QString& s : statements) {
        while (!exec(q, s)) {
            if (classify(q.lastError()) != HistoryProblem::Locked || deadline.hasExpired()) {
                return q.lastError();
            }
            QThread::msleep(10);
        }
    }
    if (keepDays > 0) {
        q.prepare(QStringLiteral("DELETE FROM history WHERE at < ?"));
        q.addBindValue(QDateTime::currentDateTimeUtc().addDays(-keepDays).toMSecsSinceEpoch());
        if (!q.exec()) {
            return q.lastError();
        }
    }
    return std::nullopt;
}

std::optional<QSqlError> insertBatch(QSqlDatabase db, const std::deque<HistoryRecord>& batch) {
    if (!db.transaction()) {
        return db.lastError();
    }
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("INSERT INTO history(at, user, name, address, mac, command, store, path, file, length,"
                       " sha256, thumbnail, result, ok, result_text, took_ms)"
                       " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const HistoryRecord& r : batch) {
        const QDateTime at = r.time.isValid() ? r.time : QDateTime::currentDateTimeUtc();
        q.addBindValue(at.toMSecsSinceEpoch());
        q.addBindValue(r.user);
        q.addBindValue(r.projectorName);
        q.addBindValue(r.address);
        q.addBindValue(r.mac);
        q.addBindValue(r.command);
        q.addBindValue(r.store);
        q.addBindValue(r.filePath);
        q.addBindValue(r.fileName);
        q.addBindValue(r.fileLength);
        q.addBindValue(r.sha256);
        q.addBindValue(r.thumbnail);
        q.addBindValue(r.result);
        q.addBindValue(r.ok ? 1 : 0);
        q.addBindValue(r.resultText);
        q.addBindValue(r.tookMs);
        if (!q.exec()) {
            QSqlError e = q.lastError();
            q.finish();
            db.rollback();
            return e;
        }
    }
    q.finish();
    if (!db.commit()) {
        QSqlError e = db.lastError();
        db.rollback();
        return e;
    }
    return std::nullopt;
}

} // namespace

HistoryStore::HistoryStore(QString path, int keepDays, int busyMs)
    : m_path(std::move(path)), m_keepDays(keepDays), m_busyMs(busyMs) {
    m_writer = std::thread([this] { run(); });
}

HistoryStore::~HistoryStore() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_writer.join();
}

void HistoryStore::append(HistoryRecord record) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(record));
        ++m_appended;
    }
    m_wake.notify_one();
}

void HistoryStore::flush() {
    std::unique_lock lock(m_mutex);
    const quint64 target = m_appended;
    m_drained.wait(lock, [&] { return m_written >= target; });
}

void HistoryStore::setProblemObserver(std::function<void()> observer) {
    std::lock_guard lock(m_mutex);
    m_problemObserver = std::move(observer);
}

HistoryProblem HistoryStore::takeProblem() {
    const auto p = static_cast<HistoryProblem>(m_problem.load());
    if (p == HistoryProblem::None || m_problemTaken.exchange(true)) {
        return HistoryProblem::None;
    }
    return p;
}

QString HistoryStore::setAsidePath() const {
    std::lock_guard lock(const_cast<std::mutex&>(m_mutex));
    return m_setAside;
}

void HistoryStore::run() {
    std::optional<Connection> connection;
    auto report = [this](HistoryProblem p) {
        int none = static_cast<int>(HistoryProblem::None);
        if (m_problem.compare_exchange_strong(none, static_cast<int>(p))) {
            std::function<void()> observer;
            {
                std::lock_guard lock(m_mutex);
                observer = m_problemObserver;
            }
            if (observer) {
                observer();
            }
        }
    };
    // Moves a damaged file (and its journal files) aside under a name that keeps it for a look.
    auto setAside = [this]() {
        const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString target = m_path + QStringLiteral(".damaged-") + stamp;
        for (int n = 2; QFileInfo::exists(target); ++n) {
            target = m_path + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
        }
        if (!QFile::rename(m_path, target)) {
            return false;
        }
        for (const char* suffix : {"-wal", "-shm"}) {
            const QString side = m_path + QLatin1String(suffix);
            if (QFileInfo::exists(side)) {
                QFile::rename(side, target + QLatin1String(suffix));
            }
        }
        std::lock_guard lock(m_mutex);
        m_setAside = target;
        return true;
    };
    // Opens the file, and begins a new one when the old one turns out damaged.
    auto open = [&]() {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!QFileInfo(m_path).absoluteDir().mkpath(QStringLiteral("."))) {
                report(HistoryProblem::Unwritable);
                return false;
            }
            connection.emplace(m_path, m_busyMs, false);
            const std::optional<QSqlError> error = prepareFile(connection->db(), m_keepDays, m_busyMs);
            if (!error) {
                return true;
            }
            connection.reset();
            const HistoryProblem p = classify(*error);
            report(p);
            if (p != HistoryProblem::Damaged || !setAside()) {
                return false;
            }
        }
        return false;
    };
    bool usable = open();

    for (;;) {
        std::deque<HistoryRecord> batch;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
            if (m_queue.empty()) {
                break;
            }
            batch.swap(m_queue);
        }
        for (HistoryRecord& r : batch) {
            if (r.wantsThumbnail && r.thumbnail.isEmpty()) {
                r.thumbnail = r.thumbnailSource.isEmpty() ? HistoryThumbnail::make(r.filePath)
                                                          : HistoryThumbnail::makeFromData(r.thumbnailSource);
            }
            r.thumbnailSource.clear();
        }
        if (!usable) {
            usable = open();
        }
        if (usable) {
            std::optional<QSqlError> error = insertBatch(connection->db(), batch);
            if (error && classify(*error) == HistoryProblem::Damaged) {
                connection.reset();
                report(HistoryProblem::Damaged);
                usable = setAside() && open();
                if (usable) {
                    error = insertBatch(connection->db(), batch);
                }
            }
            if (error) {
                report(classify(*error));
            }
        }
        {
            std::lock_guard lock(m_mutex);
            m_written += batch.size();
        }
        m_drained.notify_all();
    }
    connection.reset();
}

std::optional<HistoryRecords> HistoryStore::query(const QString& path, const HistoryFilter& filter) {
    if (!QFileInfo::exists(path)) {
        return HistoryRecords{};
    }
    Connection connection(path, kDefaultBusyMs, true);
    QSqlDatabase db = connection.db();
    if (!db.open()) {
        return std::nullopt;
    }
    QString sql =
        QStringLiteral(
            "SELECT id, at, user, name, address, mac, command, store, path, file, length, sha256, %1,"
            " result, ok, result_text, took_ms FROM history WHERE 1=1")
            .arg(filter.withThumbnails ? QStringLiteral("thumbnail") : QStringLiteral("NULL"));
    QVariantList binds;
    if (filter.since.isValid()) {
        sql += QStringLiteral(" AND at >= ?");
        binds << filter.since.toMSecsSinceEpoch();
    }
    if (filter.until.isValid()) {
        sql += QStringLiteral(" AND at < ?");
        binds << filter.until.toMSecsSinceEpoch();
    }
    if (!filter.address.isEmpty()) {
        sql += QStringLiteral(" AND address = ?");
        binds << filter.address;
    }
    if (!filter.command.isEmpty()) {
        sql += QStringLiteral(" AND command = ?");
        binds << filter.command;
    }
    if (filter.store > 0) {
        sql += QStringLiteral(" AND store = ?");
        binds << filter.store;
    }
    if (!filter.fileName.isEmpty()) {
        sql += QStringLiteral(" AND file = ?");
        binds << filter.fileName;
    }
    if (filter.fileLength >= 0) {
        sql += QStringLiteral(" AND length = ?");
        binds << filter.fileLength;
    }
    if (filter.outcome != HistoryFilter::Outcome::Any) {
        sql += QStringLiteral(" AND ok = ?");
        binds << (filter.outcome == HistoryFilter::Outcome::Succeeded ? 1 : 0);
    }
    sql += QStringLiteral(" ORDER BY at DESC, id DESC");
    if (filter.limit > 0) {
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& b : binds) {
        q.addBindValue(b);
    }
    if (!q.exec()) {
        return std::nullopt;
    }
    HistoryRecords out;
    while (q.next()) {
        HistoryRecord r;
        r.id = q.value(0).toLongLong();
        r.time = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong(), Qt::UTC);
        r.user = q.value(2).toString();
        r.projectorName = q.value(3).toString();
        r.address = q.value(4).toString();
        r.mac = q.value(5).toString();
        r.command = q.value(6).toString();
        r.store = q.value(7).toInt();
        r.filePath = q.value(8).toString();
        r.fileName = q.value(9).toString();
        r.fileLength = q.value(10).toLongLong();
        r.sha256 = q.value(11).toString();
        r.thumbnail = q.value(12).toByteArray();
        r.result = q.value(13).toInt();
        r.ok = q.value(14).toInt() != 0;
        r.resultText = q.value(15).toString();
        r.tookMs = q.value(16).toLongLong();
        out.append(std::move(r));
    }
    const bool failed = q.lastError().isValid();
    q.finish();
    if (failed) {
        return std::nullopt;
    }
    return out;
}

QString HistoryStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/history.sqlite");
}
