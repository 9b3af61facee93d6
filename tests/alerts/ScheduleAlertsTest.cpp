#include "schedule/ScheduleFile.h"
#include "schedule/ScheduleOptions.h"
#include "support/Emulators.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& condition, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > limitMs) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The headless service as the user unit starts it, English texts, with a hook that notes
// each alert in a file and says a word on its output.
class ScheduleAlerts : public ::testing::Test {
protected:
    void SetUp() override {
        QFile f(m_picture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2000, 'q'));
    }
    void addEntries(quint32 address, int count, int interval = 0) {
        for (int i = 0; i < count; ++i) {
            ScheduleEntry& e = m_table.entries[m_table.count++];
            e.address = Ipv4::toOctets(address);
            ScheduleEntry::setField(e.imageFile, m_picture.toUtf8());
            e.saveId = 1;
            e.interval = interval;
        }
    }
    void save(bool retry) {
        ASSERT_TRUE(ScheduleFile::save(m_schedule, m_table).ok());
        ScheduleOptions checks;
        checks.retry = retry;
        ASSERT_TRUE(ScheduleOptions::save(m_schedule, checks).ok());
    }
    // A history of the test's own, so earlier runs' alerts never count.
    QProcessEnvironment english() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_qs, m_dir.filePath(u"data"_qs));
        env.insert(u"LANG"_qs, u"C.UTF-8"_qs);
        env.insert(u"LC_ALL"_qs, u"C.UTF-8"_qs);
        env.remove(u"LANGUAGE"_qs);
        return env;
    }
    void start(const QStringList& more) {
        m_ctl.setProcessEnvironment(english());
        const QString hook =
            u"echo \"$TESSAVEL_ALERT_KIND $TESSAVEL_ALERT_STATE $TESSAVEL_ALERT_ADDRESS\" >> '%1'; "
            "echo \"heard $TESSAVEL_ALERT_KIND $TESSAVEL_ALERT_STATE\""_qs.arg(m_noted);
        m_ctl.start(QStringLiteral(TESSAVELCTL_PATH),
                    QStringList{u"--ini"_qs, m_dir.filePath(u"none.INI"_qs), u"schedule"_qs, u"run"_qs,
                                m_schedule, u"--step-ms"_qs, u"10"_qs, u"--connect-timeout"_qs, u"2000"_qs,
                                u"--alert-after"_qs, u"0"_qs, u"--on-alert"_qs, hook} +
                        more);
        ASSERT_TRUE(m_ctl.waitForStarted(20000));
    }
    // Every note the hook made, one alert raised or cleared a line.
    QStringList noted() const {
        QFile f(m_noted);
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    bool finished(int limitMs) {
        if (!m_ctl.waitForFinished(limitMs)) {
            m_ctl.kill();
            m_ctl.waitForFinished();
            return false;
        }
        m_out = QString::fromUtf8(m_ctl.readAllStandardOutput());
        m_err = QString::fromUtf8(m_ctl.readAllStandardError());
        return m_ctl.exitStatus() == QProcess::NormalExit;
    }

    QTemporaryDir m_dir;
    QString m_picture = m_dir.filePath(u"pic.qv1"_qs);
    QString m_schedule = m_dir.filePath(u"lobby.sch"_qs);
    QString m_noted = m_dir.filePath(u"noted.txt"_qs);
    ScheduleTable m_table;
    QProcess m_ctl;
    QString m_out;
    QString m_err;
};

} // namespace

TEST_F(ScheduleAlerts, AProjectorThatNeverAnswersRaisesOneAlertOfEachKind) {
    Emulators range(0x7F000D01u, 0x7F000D0Au); // 127.0.13.1-10
    const quint32 silent = range.unusedAddress();
    const QString address = Ipv4::toText(silent);
    addEntries(silent, 3); // three entries, each failing four times
    save(true);
    start({});
    ASSERT_TRUE(finished(120000)) << "tessavelctl did not finish";
    EXPECT_EQ(m_ctl.exitCode(), 1) << m_err.toStdString();

    const QStringList notes = noted();
    EXPECT_EQ(notes.count(u"upload-failed raised "_qs + address), 1) << notes.join(u'|').toStdString();
    EXPECT_EQ(notes.count(u"offline raised "_qs + address), 1) << notes.join(u'|').toStdString();
    EXPECT_EQ(notes.size(), 2) << notes.join(u'|').toStdString();
    // The journal has each once, at error level; the hook's words show in the service's output.
    const QStringList errors = m_err.split(u'\n').filter(u"<3>Alert "_qs);
    EXPECT_EQ(errors.size(), 2) << m_err.toStdString();
    const QString failed =
        u"<3>Alert 2 raised (Upload failed, %1): A scheduled upload to %1, store 1, failed after "
        "its retries: %2: could not connect"_qs.arg(address, m_picture);
    EXPECT_EQ(errors.filter(failed).size(), 1) << m_err.toStdString();
    EXPECT_TRUE(m_out.contains(u"] heard upload-failed raised\n"_qs)) << m_out.toStdString();
    EXPECT_TRUE(m_out.contains(u"] heard offline raised\n"_qs)) << m_out.toStdString();

    // Both went into the history that tessavelctl keeps.
    QProcess history;
    history.setProcessEnvironment(english());
    history.start(QStringLiteral(TESSAVELCTL_PATH), {u"history"_qs, u"--projector"_qs, address});
    ASSERT_TRUE(history.waitForFinished(60000));
    const QStringList records =
        QString::fromUtf8(history.readAllStandardOutput()).split(u'\n').filter(u"\tALERT\t"_qs);
    EXPECT_EQ(records.size(), 2) << records.join(u'|').toStdString();
    EXPECT_EQ(records.filter(u"failed after its retries"_qs).size(), 1) << records.join(u'|').toStdString();
}

TEST_F(ScheduleAlerts, AProjectorThatAnswersAgainClearsItsAlertsOnce) {
    Emulators range(0x7F000D0Bu, 0x7F000D14u); // 127.0.13.11-20
    ProjectorEmulator* projector = range.add();
    ASSERT_NE(projector, nullptr);
    projector->stop();
    const QString address = Ipv4::toText(projector->address());
    addEntries(projector->address(), 1, 1); // a minute is 60 steps of 10 ms here
    save(false);
    start({u"--loop"_qs});
    ASSERT_TRUE(waitFor([&] { return noted().contains(u"upload-failed raised "_qs + address); }, 60000))
        << noted().join(u'|').toStdString();
    ASSERT_TRUE(projector->start());
    // The run leaves the projector alone for a few seconds after each failure.
    EXPECT_TRUE(waitFor([&] { return noted().contains(u"upload-failed cleared "_qs + address); }, 90000))
        << noted().join(u'|').toStdString();
    EXPECT_TRUE(waitFor([&] { return noted().contains(u"offline cleared "_qs + address); }, 20000))
        << noted().join(u'|').toStdString();
    m_ctl.terminate(); // as the unit's stop
    ASSERT_TRUE(finished(60000));

    const QStringList notes = noted();
    for (const QString& kind : {u"upload-failed"_qs, u"offline"_qs}) {
        EXPECT_EQ(notes.count(kind + u" raised "_qs + address), 1) << notes.join(u'|').toStdString();
        EXPECT_EQ(notes.count(kind + u" cleared "_qs + address), 1) << notes.join(u'|').toStdString();
    }
    EXPECT_EQ(m_err.split(u'\n').filter(u"<5>Alert "_qs).size(), 2) << m_err.toStdString();
    EXPECT_GE(projector->stores().image(1) ? projector->stores().image(1)->data.size() : 0, 2000);
}
