#include "CtlOptions.h"

#include "history/HistorySettings.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "registry/ProjectorIni.h"
#include "registry/ProjectorStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
constexpr qint64 kMaxPasswordFile = 64 * 1024; // far beyond any password; a wrong file is not slurped

const QStringList kValued = {u"--ini"_qs,
                             u"--password"_qs,
                             u"--password-file"_qs,
                             u"--store"_qs,
                             u"--local"_qs,
                             u"--connect-timeout"_qs,
                             u"--reply-timeout"_qs,
                             u"--search-wait"_qs,
                             u"--step-ms"_qs,
                             u"--history-max-records"_qs,
                             u"--history-max-mb"_qs,
                             u"--on-alert"_qs,
                             u"--alert-after"_qs,
                             u"--group"_qs};
} // namespace

CtlOptions CtlOptions::parse(const QStringList& args) {
    CtlOptions o;
    o.iniPath = DefaultIniPath();
    QString passwordSource; // a file, "-", or empty when the password was on the command line
    int passwordsGiven = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(u"--") || a == u"--") {
            if (o.command.isEmpty()) {
                o.command = a;
            } else {
                o.operands << a;
            }
            continue;
        }
        if (a == u"--no-auth") {
            o.noAuth = true;
        } else if (a == u"--json") {
            o.json = true;
        } else if (a == u"--loop") {
            o.loop = true;
        } else if (!kValued.contains(a)) {
            o.error = CatalogText(msg::CtlUnknownOption, {a});
            return o;
        } else if (i + 1 >= args.size()) {
            o.error = CatalogText(msg::CtlMissingValue, {a});
            return o;
        } else {
            const QString v = args[++i];
            bool ok = true;
            auto number = [&] {
                const int n = v.toInt(&ok);
                ok = ok && n >= 0;
                return n;
            };
            if (a == u"--ini") {
                o.iniPath = v;
            } else if (a == u"--password" || a == u"--password-file") {
                ++passwordsGiven;
                if (a == u"--password" && v != u"-") {
                    o.password = v;
                    o.warnings << CatalogText(msg::CtlPasswordOnCommandLine);
                } else {
                    passwordSource = v;
                }
            } else if (a == u"--local") {
                o.local = v;
            } else if (a == u"--group") {
                o.group = v;
            } else if (a == u"--store") {
                o.store = number();
                if (!ok) {
                    o.store = -1;
                    ok = true;
                }
            } else if (a == u"--connect-timeout") {
                o.connectTimeoutMs = number();
            } else if (a == u"--reply-timeout") {
                o.replyTimeoutMs = number();
            } else if (a == u"--search-wait") {
                o.searchWaitMs = number();
            } else if (a == u"--history-max-records") {
                o.historyMaxRecords = number();
            } else if (a == u"--history-max-mb") {
                o.historyMaxMegabytes = number();
            } else if (a == u"--on-alert") {
                o.onAlert = v;
            } else if (a == u"--alert-after") {
                o.alertAfterMinutes = number();
            } else {
                o.stepMs = number();
            }
            if (!ok) {
                o.error = CatalogText(msg::CtlMissingValue, {a});
                return o;
            }
        }
    }
    if (passwordsGiven > 1) {
        o.error = CatalogText(msg::CtlPasswordTwice);
        return o;
    }
    if (passwordsGiven == 1 && o.noAuth) {
        o.error = CatalogText(msg::CtlAuthConflict);
        return o;
    }
    if (!passwordSource.isEmpty()) {
        QString password;
        if (!ReadPasswordFrom(passwordSource, password, o.error)) {
            return o;
        }
        o.password = password;
    }
    return o;
}

HistoryLimits CtlOptions::historyLimits() const {
    HistoryLimits limits = HistorySettings::fromIni(iniPath);
    if (historyMaxRecords >= 0) {
        limits.maxRecords = historyMaxRecords;
    }
    if (historyMaxMegabytes >= 0) {
        limits.maxBytes = qint64{historyMaxMegabytes} * 1024 * 1024;
    }
    return limits;
}

CommandContext CtlOptions::context() const {
    CommandContext c;
    if (connectTimeoutMs > 0) {
        c.timeouts.connectMs = connectTimeoutMs;
    }
    if (replyTimeoutMs > 0) {
        c.timeouts.infoReplyMs = c.timeouts.statReplyMs = c.timeouts.cancelReplyMs = replyTimeoutMs;
        c.timeouts.putWaitStepMs = qMin(1000, replyTimeoutMs);
        c.timeouts.putReplyWaits = qMax(1, replyTimeoutMs / c.timeouts.putWaitStepMs);
    }
    return c;
}

bool CtlOptions::loadProjectors(ProjectorList& list, QTextStream& err) const {
    ProjectorStore projectors(iniPath);
    const IoResult r = projectors.load();
    if (!r.ok()) {
        err << CatalogText(msg::CtlInputUnreadable, {iniPath, FileErrorReason::ofSystemText(r.detail)})
            << '\n';
        return false;
    }
    list = projectors.projectors();
    listEncoding = projectors.encoding();
    return true;
}

CommandTarget CtlOptions::targetFor(quint32 address, const ProjectorList& list) const {
    CommandTarget t;
    t.address = address;
    for (const ProjectorRecord& r : list) {
        if (r.hostAddress() == address) {
            t.authenticate = r.authenticate();
            t.password = r.password;
            t.passwordBytes = ProjectorIni::passwordBytes(r.password, listEncoding);
            break;
        }
    }
    if (password) {
        t.authenticate = 1;
        t.password = *password;
        t.passwordBytes.reset();
    }
    if (noAuth) {
        t.authenticate = 0;
    }
    return t;
}

bool CtlOptions::addresses(int first, QList<quint32>& out, QTextStream& err) const {
    for (qsizetype i = first; i < operands.size(); ++i) {
        Ipv4::Octets o{};
        if (ParseDottedAddress(operands[i], o) != 0) {
            err << CatalogText(msg::CtlBadAddress, {operands[i]}) << '\n';
            return false;
        }
        out << Ipv4::toHost(o);
    }
    if (out.isEmpty()) {
        err << CatalogText(msg::CtlNoAddress) << '\n';
        return false;
    }
    return true;
}

bool CtlOptions::storeIn(int min, int max, QTextStream& err) const {
    if (store < min || store > max) {
        err << CatalogText(msg::CtlBadStore, {QString::number(min), QString::number(max)}) << '\n';
        return false;
    }
    return true;
}

QString DefaultIniPath() {
    // The desktop program keeps its list beside itself, or in the user's configuration
    // folder when it is installed where it cannot write.
    const QString beside =
        ProjectorStore::iniPathFor(QDir(QCoreApplication::applicationDirPath()).filePath(u"tessavel"_qs));
    if (QFileInfo::exists(beside)) {
        return beside;
    }
    const QString config = QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
                               .filePath(QFileInfo(beside).fileName());
    return QFileInfo::exists(config) ? config : beside;
}

bool ReadPasswordFrom(const QString& source, QString& password, QString& error) {
    QFile file;
    const bool standardInput = source == u"-";
    const bool opened = standardInput ? file.open(stdin, QIODevice::ReadOnly) : [&] {
        file.setFileName(source);
        return file.open(QIODevice::ReadOnly);
    }();
    const QString name = standardInput ? CatalogText(msg::CtlStandardInput) : source;
    if (!opened) {
        error = CatalogText(msg::CtlPasswordUnreadable, {name, FileErrorReason::of(file)});
        return false;
    }
    QByteArray line = file.readLine(kMaxPasswordFile);
    if (line.isEmpty()) {
        error = CatalogText(msg::CtlPasswordUnreadable, {name, file.error() != QFileDevice::NoError
                                                                   ? FileErrorReason::of(file)
                                                                   : CatalogText(msg::CtlPasswordMissing)});
        return false;
    }
    if (line.endsWith('\n')) {
        line.chop(1);
        if (line.endsWith('\r')) {
            line.chop(1); // written on the original platform
        }
    }
    password = QString::fromUtf8(line);
    return true;
}

QString OneLine(const QString& text) {
    QString s = text;
    for (QChar& c : s) {
        if (c.category() == QChar::Other_Control) {
            c = c == u'\r' || c == u'\n' || c == u'\t' ? u' ' : u'?';
        }
    }
    return s.trimmed();
}
