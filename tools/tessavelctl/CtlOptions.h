#pragma once

#include "common/TextCodec.h"
#include "history/HistoryStore.h"
#include "protocol/CommandConnection.h"
#include "registry/ProjectorRecord.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

// Exit statuses of tessavelctl.
namespace CtlExit {
inline constexpr int Ok = 0;
inline constexpr int ProjectorFailed = 1;
inline constexpr int BadUsage = 2;
} // namespace CtlExit

// The command line after the command word: operands and the options every command shares.
struct CtlOptions final {
    QString command;      // "list", "info", ...
    QStringList operands; // what follows the command word, options taken out
    QString iniPath;
    std::optional<QString> password; // --password or --password-file: authenticate with this one
    QStringList warnings;            // for standard error; parsing went on
    bool noAuth = false;
    bool json = false;
    bool loop = false;
    int store = 0; // --store, 0 when not given
    QString local; // --local
    QString group; // --group: the members of this group instead of addresses
    int connectTimeoutMs = -1;
    int replyTimeoutMs = -1;
    int searchWaitMs = -1;        // one wait of a discovery search
    int stepMs = -1;              // one step of a schedule interval
    int historyMaxRecords = -1;   // --history-max-records; -1: as the INI file says
    int historyMaxMegabytes = -1; // --history-max-mb
    QString onAlert;              // --on-alert: a shell command run once per alert raised or cleared
    int alertAfterMinutes = 2;    // --alert-after: silent this long before a projector counts as offline
    QString error;                // the usage error, already a catalog text
    // The code page loadProjectors found: the records' passwords are hashed in it.
    mutable TextCodec::Encoding listEncoding = TextCodec::Encoding::Utf8;

    // Parses everything; error is set on the first unknown option or missing value. A
    // password comes from --password-file FILE or, with --password -, from standard input
    // (the first line of either); --password P still works, with a warning.
    static CtlOptions parse(const QStringList& args);

    [[nodiscard]] CommandContext context() const;
    // The INI file's history limits, overridden by the command line's.
    [[nodiscard]] HistoryLimits historyLimits() const;
    // The projector list of the INI file; false (with the message written) when unreadable.
    bool loadProjectors(ProjectorList& list, QTextStream& err) const;
    // The record's authentication and password, overridden by --password and --no-auth.
    [[nodiscard]] CommandTarget targetFor(quint32 address, const ProjectorList& list) const;
    // Dotted addresses of the operands from index first on; false with the message written.
    bool addresses(int first, QList<quint32>& out, QTextStream& err) const;
    // --store within min..max; false with the message written.
    bool storeIn(int min, int max, QTextStream& err) const;
};

// The desktop program's INI file, which the client shares.
QString DefaultIniPath();

// The first line of a password file or of standard input ("-"), without its line end.
// False with a catalog text in error when it cannot be read or holds nothing at all.
bool ReadPasswordFrom(const QString& source, QString& password, QString& error);

// Text from a projector made safe for one line of a terminal.
QString OneLine(const QString& text);
