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

#include <algorithm>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// The history names every projector and file a user sent to: owner only. SQLite gives its
// -wal and -shm files the database's own mode when it makes them, so the database is
// created (or narrowed) first. Failures are left for SQLite's open to report.
void makePrivate(const QString& path) {
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) {
        (void)::fchmod(fd, S_IRUSR | S_IWUSR);
        ::close(fd);
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        (void)::chmod((native + suffix).constData(), S_IRUSR | S_IWUSR);
    }
#else
    Q_UNUSED(path);
#endif
}

bool hasColumn(const QSqlDatabase& db, const QString& column) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(history)"))) {
        return false;
    }
    while (q.next()) {
        if (q.value(1).toString() == column) {
            return true;
        }
    }
    return false;
}

// Columns later versions added; older programs read and write the file as before.
std::optional<QSqlError> addColumns(const QSqlDatabase& db) {
    const std::pair<QString, QString> added[] = {
        {QStringLiteral("repeats"), QStringLiteral("INTEGER NOT NULL DEFAULT 1")},
        {QStringLiteral("last_at"), QStringLiteral("INTEGER")},
    };
    for (const auto& [column, type] : added) {
        if (hasColumn(db, column)) {
            continue;
        }
        QSqlQuery q(db);
        // Another writer may have added it meanwhile; only a column still missing is an error.
        if (!q.exec(QStringLiteral("ALTER TABLE history ADD COLUMN %1 %2").arg(column, type)) &&
            !hasColumn(db, column)) {
            return q.lastError();
        }
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS history_notes(key TEXT PRIMARY KEY, value INTEGER)"))) {
        return q.lastError();
    }
    return std::nullopt;
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
    if (std::optional<QSqlError> e = addColumns(db)) {
        return e;
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

// The newest command record of r's projector, when it is a failure that r repeats word for
// word. An alert raised between two identical failures does not part them.
std::optional<qint64> repeatedRecord(QSqlQuery& find, const HistoryRecord& r) {
    if (r.ok) {
        return std::nullopt;
    }
    find.bindValue(0, r.address);
    if (!find.exec() || !find.next()) {
        find.finish();
        return std::nullopt;
    }
    const bool same = find.value(1).toInt() == 0 && find.value(2).toString() == r.user &&
                      find.value(3).toString() == r.command && find.value(4).toInt() == r.store &&
                      find.value(5).toString() == r.filePath && find.value(6).toString() == r.fileName &&
                      find.value(7).toLongLong() == r.fileLength && find.value(8).toString() == r.sha256 &&
                      find.value(9).toInt() == r.result && find.value(10).toString() == r.resultText;
    const qint64 id = find.value(0).toLongLong();
    find.finish();
    return same ? std::optional<qint64>(id) : std::nullopt;
}

std::optional<QSqlError> insertBatch(QSqlDatabase db, const std::deque<HistoryRecord>& batch) {
    if (!db.transaction()) {
        return db.lastError();
    }
    QSqlQuery find(db);
    find.prepare(
        QStringLiteral("SELECT id, ok, user, command, store, path, file, length, sha256, result, result_text"
                       " FROM history WHERE address = ? AND command <> 'ALERT'"
                       " ORDER BY at DESC, id DESC LIMIT 1"));
    QSqlQuery repeat(db);
    repeat.prepare(QStringLiteral("UPDATE history SET repeats = repeats + 1,"
                                  " last_at = MAX(COALESCE(last_at, at), ?), took_ms = ? WHERE id = ?"));
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("INSERT INTO history(at, user, name, address, mac, command, store, path, file, length,"
                       " sha256, thumbnail, result, ok, result_text, took_ms, repeats, last_at)"
                       " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    auto fail = [&db](QSqlQuery& failed) {
        QSqlError e = failed.lastError();
        failed.finish();
        db.rollback();
        return e;
    };
    for (const HistoryRecord& r : batch) {
        const QDateTime at = r.time.isValid() ? r.time : QDateTime::currentDateTimeUtc();
        if (const std::optional<qint64> id = repeatedRecord(find, r)) {
            const QDateTime last = r.lastTime.isValid() ? r.lastTime : at;
            repeat.addBindValue(last.toMSecsSinceEpoch());
            repeat.addBindValue(r.tookMs);
            repeat.addBindValue(*id);
            if (!repeat.exec()) {
                return fail(repeat);
            }
            continue;
        }
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
        q.addBindValue(std::max(1, r.repeats));
        q.addBindValue(r.lastTime.isValid() ? QVariant(r.lastTime.toMSecsSinceEpoch()) : QVariant());
        if (!q.exec()) {
            return fail(q);
        }
    }
    find.finish();
    repeat.finish();
    q.finish();
    if (!db.commit()) {
        QSqlError e = db.lastError();
        db.rollback();
        return e;
    }
    return std::nullopt;
}

// Drops the oldest records while the file is past a limit. It goes a little below the limit,
// so a full history is not trimmed (and counted) again after every batch.
std::optional<QSqlError> trim(QSqlDatabase db, const HistoryLimits& limits) {
    if (limits.maxRecords <= 0 && limits.maxBytes <= 0) {
        return std::nullopt;
    }
    QSqlQuery q(db);
    auto scalar = [&q](const QString& sql, qint64& out) {
        if (!q.exec(sql) || !q.next()) {
            return false;
        }
        out = q.value(0).toLongLong();
        q.finish();
        return true;
    };
    qint64 dropped = 0;
    auto dropOldest = [&q, &dropped](qint64 n) {
        q.prepare(
            QStringLiteral("DELETE FROM history WHERE id IN (SELECT id FROM history ORDER BY id LIMIT ?)"));
        q.addBindValue(n);
        if (!q.exec()) {
            return false;
        }
        dropped += std::max(0, q.numRowsAffected());
        return true;
    };
    if (!db.transaction()) {
        return db.lastError();
    }
    auto fail = [&] {
        QSqlError e = q.lastError();
        q.finish();
        db.rollback();
        return e;
    };
    qint64 count = 0;
    if (limits.maxRecords > 0) {
        // Ids only grow and the oldest go first, so the span bounds the count cheaply.
        qint64 span = 0;
        if (!scalar(QStringLiteral("SELECT COALESCE(MAX(id) - MIN(id) + 1, 0) FROM history"), span)) {
            return fail();
        }
        if (span > limits.maxRecords) {
            if (!scalar(QStringLiteral("SELECT COUNT(*) FROM history"), count)) {
                return fail();
            }
            const qint64 keep = limits.maxRecords - limits.maxRecords / 100;
            if (count > limits.maxRecords && !dropOldest(count - keep)) {
                return fail();
            }
        }
    }
    for (int round = 0; limits.maxBytes > 0 && round < 64; ++round) {
        qint64 pages = 0;
        qint64 freePages = 0;
        qint64 pageSize = 0;
        if (!scalar(QStringLiteral("PRAGMA page_count"), pages) ||
            !scalar(QStringLiteral("PRAGMA freelist_count"), freePages) ||
            !scalar(QStringLiteral("PRAGMA page_size"), pageSize)) {
            return fail();
        }
        // Freed pages are used again before the file grows, so the pages in use are what counts.
        const qint64 used = (pages - freePages) * pageSize;
        const qint64 target = limits.maxBytes - limits.maxBytes / 20;
        if (used <= (round == 0 ? limits.maxBytes : target)) {
            break;
        }
        if (!scalar(QStringLiteral("SELECT COUNT(*) FROM history"), count)) {
            return fail();
        }
        if (count == 0) {
            break;
        }
        const qint64 share =
            used > 0 ? static_cast<qint64>(static_cast<double>(count) * static_cast<double>(used - target) /
                                           static_cast<double>(used))
                     : 0;
        if (!dropOldest(std::clamp<qint64>(share, 1, count))) {
            return fail();
        }
    }
    if (dropped > 0) {
        const std::pair<QString, qint64> notes[] = {
            {QStringLiteral("last_drop"), QDateTime::currentMSecsSinceEpoch()},
            {QStringLiteral("max_records"), limits.maxRecords},
            {QStringLiteral("max_bytes"), limits.maxBytes},
        };
        q.prepare(QStringLiteral("INSERT INTO history_notes(key, value) VALUES('dropped', ?)"
                                 " ON CONFLICT(key) DO UPDATE SET value = value + excluded.value"));
        q.addBindValue(dropped);
        if (!q.exec()) {
            return fail();
        }
        for (const auto& [key, value] : notes) {
            q.prepare(QStringLiteral("INSERT OR REPLACE INTO history_notes(key, value) VALUES(?, ?)"));
            q.addBindValue(key);
            q.addBindValue(value);
            if (!q.exec()) {
                return fail();
            }
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

void HistoryStore::setLimits(const HistoryLimits& limits) {
    std::lock_guard lock(m_mutex);
    m_limits = limits;
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
            makePrivate(m_path);
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
            // A failed upload showed nothing, and a projector left on a loop would make one
            // picture per attempt.
            if (!r.ok) {
                r.wantsThumbnail = false;
                r.thumbnail.clear();
            }
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
            if (!error) {
                HistoryLimits limits;
                {
                    std::lock_guard lock(m_mutex);
                    limits = m_limits;
                }
                error = trim(connection->db(), limits);
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
    // A file no newer program has opened yet has no repeat columns: every record is single.
    const bool repeats = hasColumn(db, QStringLiteral("repeats"));
    QString sql =
        QStringLiteral(
            "SELECT id, at, user, name, address, mac, command, store, path, file, length, sha256, %1,"
            " result, ok, result_text, took_ms, %2 FROM history WHERE 1=1")
            .arg(filter.withThumbnails ? QStringLiteral("thumbnail") : QStringLiteral("NULL"),
                 repeats ? QStringLiteral("repeats, last_at") : QStringLiteral("1, NULL"));
    QVariantList binds;
    if (filter.since.isValid()) {
        // A failure that began earlier but repeated since belongs to the period too.
        sql += repeats ? QStringLiteral(" AND COALESCE(last_at, at) >= ?") : QStringLiteral(" AND at >= ?");
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
        r.repeats = std::max(1, q.value(17).toInt());
        if (!q.value(18).isNull()) {
            r.lastTime = QDateTime::fromMSecsSinceEpoch(q.value(18).toLongLong(), Qt::UTC);
        }
        out.append(std::move(r));
    }
    const bool failed = q.lastError().isValid();
    q.finish();
    if (failed) {
        return std::nullopt;
    }
    return out;
}

std::optional<HistoryDropNote> HistoryStore::dropNote(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return std::nullopt;
    }
    Connection connection(path, kDefaultBusyMs, true);
    QSqlDatabase db = connection.db();
    if (!db.open()) {
        return std::nullopt;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // No notes table: an older file, from which nothing was ever dropped.
    if (!q.exec(QStringLiteral("SELECT key, value FROM history_notes"))) {
        return std::nullopt;
    }
    HistoryDropNote note;
    while (q.next()) {
        const QString key = q.value(0).toString();
        const qint64 value = q.value(1).toLongLong();
        if (key == u"dropped") {
            note.dropped = value;
        } else if (key == u"last_drop") {
            note.lastDrop = QDateTime::fromMSecsSinceEpoch(value, Qt::UTC);
        } else if (key == u"max_records") {
            note.limits.maxRecords = value;
        } else if (key == u"max_bytes") {
            note.limits.maxBytes = value;
        }
    }
    q.finish();
    if (note.dropped <= 0) {
        return std::nullopt;
    }
    return note;
}

QString HistoryStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/history.sqlite");
}
