// A long looping schedule in the headless service: 30 entries, no interval, against 64
// emulated projectors on loopback, a quarter of which fail in turn (refusing, silent, busy).
// It checks that the service neither grows (memory, descriptors) nor floods (attempts at a
// failing projector, history records). Run by hand:
//
//   ninja -C build ScheduleSoakBench tessavelctl tessavel-emulator
//   build/bench/ScheduleSoakBench                 # the full 20 minutes
//   build/bench/ScheduleSoakBench --minutes 3     # a quick look
//
// Every address is 127.x: the projectors are emulators of this machine.
#include "history/HistoryStore.h"
#include "schedule/ScheduleFile.h"
#include "schedule/ScheduleTable.h"
#include "schedule/UploadBackoff.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kProjectors = 64;
constexpr int kGroups = 4; // one group at a time fails
constexpr int kPerGroup = kProjectors / kGroups;
constexpr int kEntries = 30;

struct Settings {
    double minutes = 20;
    QString build;
    quint32 firstHost = 0x7F000801u; // 127.0.8.1
    int interval = 0;                // minutes, for every entry
    int historyMaxRecords = 20000;   // small, so a run reaches it
};

enum class Failure { Refuse, Silent, Busy };

const char* failureName(Failure f) {
    switch (f) {
    case Failure::Refuse:
        return "refusing";
    case Failure::Silent:
        return "silent";
    case Failure::Busy:
        return "busy";
    }
    return "?";
}

QString hostText(quint32 host) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(host >> 24)
        .arg((host >> 16) & 0xFF)
        .arg((host >> 8) & 0xFF)
        .arg(host & 0xFF);
}

void usage() {
    std::printf("ScheduleSoakBench [--minutes M] [--build DIR] [--first 127.0.8.1] [--interval MIN]\n"
                "                  [--history-max-records N]\n"
                "Runs `tessavelctl schedule run --loop` for M minutes (default 20) with 30 entries\n"
                "against 64 emulators from --first on (loopback only), a quarter failing in turn, and\n"
                "prints resident memory, descriptors, history size and attempts per failing projector\n"
                "with a pass or fail for each. DIR holds tessavelctl and tessavel-emulator (default:\n"
                "the build folder this program belongs to).\n");
}

bool parse(const QStringList& args, Settings& s) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--help") {
            usage();
            std::exit(0);
        }
        if (i + 1 >= args.size()) {
            return false;
        }
        const QString v = args[++i];
        bool ok = true;
        if (a == u"--minutes") {
            s.minutes = v.toDouble(&ok);
            ok = ok && s.minutes > 0;
        } else if (a == u"--build") {
            s.build = v;
        } else if (a == u"--first") {
            const QStringList parts = v.split(u'.');
            ok = parts.size() == 4 && parts[0] == u"127";
            s.firstHost = 0;
            for (const QString& p : parts) {
                s.firstHost = (s.firstHost << 8) | (p.toUInt() & 0xFF);
            }
            ok = ok && (s.firstHost & 0xFF) >= 1 && (s.firstHost & 0xFF) + kProjectors <= 255;
        } else if (a == u"--interval") {
            s.interval = v.toInt(&ok);
        } else if (a == u"--history-max-records") {
            s.historyMaxRecords = v.toInt(&ok);
        } else {
            return false;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

qint64 residentKb(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

int descriptors(qint64 pid) {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot).size());
}

qint64 historyBytes(const QString& root) {
    qint64 total = 0;
    QDirIterator it(root, {QStringLiteral("history.sqlite*")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        total += QFileInfo(it.next()).size();
    }
    return total;
}

QString historyPath(const QString& root) {
    QDirIterator it(root, {QStringLiteral("history.sqlite")}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

bool listening(quint32 host) {
    QTcpSocket s;
    s.connectToHost(hostText(host), 9716);
    const bool ok = s.waitForConnected(500);
    s.abort();
    return ok;
}

// One emulator process for a group of 16 projectors, healthy or failing one way.
class Group {
public:
    Group(QString program, quint32 firstHost) : m_program(std::move(program)), m_first(firstHost) {}
    ~Group() { stop(); }
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

    bool run(std::optional<Failure> failure) {
        stop();
        if (failure == Failure::Refuse) {
            return true; // nobody listens: every connection is refused
        }
        QStringList args{QStringLiteral("--address"), hostText(m_first), QStringLiteral("--count"),
                         QString::number(kPerGroup)};
        if (failure == Failure::Silent) {
            args << QStringLiteral("--never-reply");
        } else if (failure == Failure::Busy) {
            args << QStringLiteral("--reply") << QStringLiteral("PUT 3\\r\\n");
        }
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process->setStandardOutputFile(QProcess::nullDevice());
        m_process->start(m_program, args);
        if (!m_process->waitForStarted(10000)) {
            return false;
        }
        QElapsedTimer t;
        t.start();
        while (!listening(m_first + kPerGroup - 1)) {
            if (t.elapsed() > 20000 || m_process->state() != QProcess::Running) {
                return false;
            }
            QThread::msleep(50);
        }
        return true;
    }
    void stop() {
        if (m_process) {
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(5000);
            }
            m_process.reset();
        }
    }

private:
    QString m_program;
    quint32 m_first;
    std::unique_ptr<QProcess> m_process;
};

// The most attempts a projector failing for this long can see: the first, then one after
// each back-off that has run out, one more for a phase boundary.
int attemptBound(qint64 failingMs) {
    int attempts = 1;
    qint64 elapsed = 0;
    for (int n = 1;; ++n) {
        elapsed += UploadBackoff::delayAfter(n);
        if (elapsed > failingMs) {
            break;
        }
        ++attempts;
    }
    return attempts + 1;
}

struct Sample {
    qint64 rssKb = 0;
    int fds = 0;
};

// The middle value, so one sample taken while an upload holds its socket does not decide.
template <typename T> T median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? T{} : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Settings s;
    if (!parse(app.arguments(), s)) {
        usage();
        return 2;
    }
    if (s.build.isEmpty()) {
        const QDir here(QCoreApplication::applicationDirPath());
        s.build = QFileInfo::exists(here.filePath(QStringLiteral("tessavelctl")))
                      ? here.path()
                      : here.filePath(QStringLiteral(".."));
    }
    const QString ctl = QDir(s.build).filePath(QStringLiteral("tessavelctl"));
    const QString emulator = QDir(s.build).filePath(QStringLiteral("tessavel-emulator"));
    if (!QFileInfo(ctl).isExecutable() || !QFileInfo(emulator).isExecutable()) {
        std::fprintf(stderr, "tessavelctl or tessavel-emulator not found in %s\n", qPrintable(s.build));
        return 2;
    }

    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("slide.qv1"));
    {
        QFile f(image);
        if (!f.open(QIODevice::WriteOnly)) {
            return 2;
        }
        f.write(QByteArray(40000, 's'));
    }
    // Entries spread over all four groups; entry i uploads to projector i * 64 / 30.
    ScheduleTable table;
    std::vector<quint32> entryHost;
    for (int i = 0; i < kEntries; ++i) {
        const quint32 host = s.firstHost + static_cast<quint32>(i * kProjectors / kEntries);
        entryHost.push_back(host);
        if (table.AddScheduleEntry(hostText(host), image, QString::number(1 + i % 4),
                                   QString::number(s.interval), false, 0,
                                   {}) != ScheduleTable::AddResult::Added) {
            std::fprintf(stderr, "entry %d refused\n", i);
            return 2;
        }
    }
    const QString schedule = dir.filePath(QStringLiteral("soak.sch"));
    if (!ScheduleFile::save(schedule, table).ok()) {
        return 2;
    }

    std::vector<std::unique_ptr<Group>> groups;
    for (int g = 0; g < kGroups; ++g) {
        groups.push_back(
            std::make_unique<Group>(emulator, s.firstHost + static_cast<quint32>(g * kPerGroup)));
        if (!groups.back()->run(std::nullopt)) {
            std::fprintf(stderr, "emulator group %d did not start\n", g);
            return 2;
        }
    }

    // The service runs with folders of its own, so its history is this run's alone.
    QProcess service;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    service.setProcessEnvironment(env);
    service.setStandardErrorFile(dir.filePath(QStringLiteral("service.err")));
    std::map<QString, int> executing; // attempts begun, per address
    QByteArray pending;
    service.start(ctl, {QStringLiteral("--ini"), dir.filePath(QStringLiteral("none.INI")),
                        QStringLiteral("--json"), QStringLiteral("--history-max-records"),
                        QString::number(s.historyMaxRecords), QStringLiteral("schedule"),
                        QStringLiteral("run"), schedule, QStringLiteral("--loop")});
    if (!service.waitForStarted(10000)) {
        std::fprintf(stderr, "tessavelctl did not start\n");
        return 2;
    }
    QObject::connect(&service, &QProcess::readyReadStandardOutput, [&] {
        pending += service.readAllStandardOutput();
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            // {"address":"127.0.8.1",...,"status":1,...}: status 1 is Executing, an attempt beginning.
            if (!line.contains("\"status\":1")) {
                continue;
            }
            const qsizetype a = line.indexOf("\"address\":\"");
            if (a >= 0) {
                const qsizetype from = a + 11;
                ++executing[QString::fromLatin1(line.mid(from, line.indexOf('"', from) - from))];
            }
        }
    });

    const qint64 totalMs = static_cast<qint64>(s.minutes * 60000);
    const qint64 warmMs = std::min<qint64>(30000, totalMs / 6);
    const qint64 phaseMs = std::max<qint64>(30000, totalMs / 8);
    std::printf(
        "soak: %.1f min, 30 entries, 64 emulators from %s, a group of 16 failing in turn every %lld s\n",
        s.minutes, qPrintable(hostText(s.firstHost)), static_cast<long long>(phaseMs / 1000));
    std::fflush(stdout);

    QElapsedTimer clock;
    clock.start();
    std::vector<Sample> early;
    std::vector<Sample> late;
    // Attempts at failing projectors, per failing episode (projector and phase).
    struct Episode {
        QString address;
        Failure failure;
        qint64 ms = 0;
        int before = 0;
        int attempts = 0;
    };
    std::vector<Episode> episodes;
    std::vector<size_t> open; // episodes of the phase under way
    int phase = -1;
    qint64 phaseStart = 0;
    qint64 nextSample = 0;
    // Reads what the service has written so far, so counts are taken at this moment.
    auto drain = [&] {
        service.waitForReadyRead(50);
        QCoreApplication::processEvents();
    };
    auto closeEpisodes = [&](qint64 now) {
        for (size_t i : open) {
            episodes[i].attempts = executing[episodes[i].address] - episodes[i].before;
            episodes[i].ms = now - phaseStart;
        }
        open.clear();
    };
    bool serviceEnded = false;
    while (clock.elapsed() < totalMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        if (service.state() != QProcess::Running) {
            serviceEnded = true;
            break;
        }
        const qint64 now = clock.elapsed();
        const int wanted = static_cast<int>(now / phaseMs);
        if (wanted != phase) {
            drain();
            closeEpisodes(clock.elapsed());
            if (phase >= 0 && !groups[static_cast<size_t>(phase % kGroups)]->run(std::nullopt)) {
                std::fprintf(stderr, "emulator group %d did not come back\n", phase % kGroups);
                return 2;
            }
            phase = wanted;
            phaseStart = clock.elapsed();
            const int g = phase % kGroups;
            const auto failure = static_cast<Failure>(phase % 3);
            if (!groups[static_cast<size_t>(g)]->run(failure)) {
                std::fprintf(stderr, "emulator group %d did not start failing\n", g);
                return 2;
            }
            // Lines the service wrote while the groups changed are read now and belong to
            // neither phase: the group was healthy for part of that time.
            drain();
            for (size_t e = 0; e < entryHost.size(); ++e) {
                const quint32 first = s.firstHost + static_cast<quint32>(g * kPerGroup);
                if (entryHost[e] >= first && entryHost[e] < first + kPerGroup) {
                    const QString a = hostText(entryHost[e]);
                    episodes.push_back({a, failure, 0, executing[a], 0});
                    open.push_back(episodes.size() - 1);
                }
            }
            std::printf("%6.1f min: group %d (%s..) %s\n", static_cast<double>(now) / 60000.0, g,
                        qPrintable(hostText(s.firstHost + static_cast<quint32>(g * kPerGroup))),
                        failureName(failure));
            std::fflush(stdout);
        }
        if (now >= nextSample) {
            nextSample = now + 2000;
            const Sample sample{residentKb(service.processId()), descriptors(service.processId())};
            if (now >= warmMs && now < warmMs + 60000) {
                early.push_back(sample);
            }
            if (now >= totalMs - 60000 && now >= warmMs + 60000) {
                late.push_back(sample);
            }
        }
    }
    drain();
    const qint64 endMs = clock.elapsed();
    closeEpisodes(endMs);
    if (late.empty() && !early.empty()) {
        late.push_back(early.back()); // a run shorter than two minutes compares within its minute
    }
    service.terminate(); // SIGTERM: the service stops its run and writes its history
    if (!service.waitForFinished(60000)) {
        service.kill();
        service.waitForFinished(5000);
    }
    for (auto& g : groups) {
        g->stop();
    }
    if (serviceEnded || early.empty()) {
        std::fprintf(stderr, "the service ended early (see %s)\n",
                     qPrintable(dir.filePath(u"service.err"_qs)));
        dir.setAutoRemove(false);
        return 2;
    }

    std::vector<qint64> rssEarly;
    std::vector<qint64> rssLate;
    std::vector<int> fdEarly;
    std::vector<int> fdLate;
    for (const Sample& x : early) {
        rssEarly.push_back(x.rssKb);
        fdEarly.push_back(x.fds);
    }
    for (const Sample& x : late) {
        rssLate.push_back(x.rssKb);
        fdLate.push_back(x.fds);
    }
    const qint64 rss0 = median(rssEarly);
    const qint64 rss1 = median(rssLate);
    const int fd0 = median(fdEarly);
    const int fd1 = median(fdLate);
    const double rssGrowth =
        rss0 > 0 ? 100.0 * static_cast<double>(rss1 - rss0) / static_cast<double>(rss0) : 0;
    const double fdGrowth = fd0 > 0 ? 100.0 * (fd1 - fd0) / fd0 : 0;

    const QString history = historyPath(dir.filePath(QStringLiteral("data")));
    const qint64 bytes = historyBytes(dir.filePath(QStringLiteral("data")));
    qint64 rows = 0;
    qint64 failedRows = 0;
    qint64 failedAttemptsRecorded = 0;
    if (const auto records = HistoryStore::query(history, {})) {
        rows = records->size();
        for (const HistoryRecord& r : *records) {
            if (!r.ok) {
                ++failedRows;
                failedAttemptsRecorded += r.repeats;
            }
        }
    }
    const std::optional<HistoryDropNote> dropped = HistoryStore::dropNote(history);

    int worstOver = 0;
    int attemptsSum = 0;
    std::printf("\nattempts per failing projector (episode: address, kind, seconds, attempts, bound)\n");
    for (const Episode& e : episodes) {
        const int bound = attemptBound(e.ms);
        attemptsSum += e.attempts;
        worstOver = std::max(worstOver, e.attempts - bound);
        std::printf("  %-12s %-9s %4lld s %3d (<= %d)\n", qPrintable(e.address), failureName(e.failure),
                    static_cast<long long>(e.ms / 1000), e.attempts, bound);
    }
    const bool rssOk = rssGrowth < 5.0;
    const bool fdOk = fdGrowth < 5.0;
    const bool attemptsOk = worstOver <= 0;
    // Each failing episode starts at most a couple of failure runs (a group can change its
    // answer as it goes down), and the record cap holds.
    const bool historyOk = failedRows <= static_cast<qint64>(episodes.size()) * 3 + kEntries &&
                           (s.historyMaxRecords <= 0 || rows <= s.historyMaxRecords);
    std::printf("\nran %.1f min\n", static_cast<double>(endMs) / 60000.0);
    std::printf("resident memory   %lld kB -> %lld kB (%+.1f %%)   %s\n", static_cast<long long>(rss0),
                static_cast<long long>(rss1), rssGrowth, rssOk ? "pass" : "FAIL");
    std::printf("open descriptors  %d -> %d (%+.1f %%)   %s\n", fd0, fd1, fdGrowth, fdOk ? "pass" : "FAIL");
    std::printf("failing attempts  %d in %zu episodes, worst %+d against the back-off bound   %s\n",
                attemptsSum, episodes.size(), worstOver, attemptsOk ? "pass" : "FAIL");
    std::printf("history           %lld bytes, %lld records (cap %d), %lld failure records holding %lld "
                "failures, %lld dropped   %s\n",
                static_cast<long long>(bytes), static_cast<long long>(rows), s.historyMaxRecords,
                static_cast<long long>(failedRows), static_cast<long long>(failedAttemptsRecorded),
                static_cast<long long>(dropped ? dropped->dropped : 0), historyOk ? "pass" : "FAIL");
    const bool pass = rssOk && fdOk && attemptsOk && historyOk;
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
