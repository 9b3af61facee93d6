// tessavelctl: projector commands for scripts and operators who automate.
#include "ConsoleCommands.h"
#include "ConvertCommand.h"
#include "CtlCommands.h"
#include "DaypartCommands.h"

#include "common/CommandLineManners.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cstdio>

void PrintJson(QTextStream& out, const QJsonValue& value) {
    const QJsonDocument doc =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    out << doc.toJson(QJsonDocument::Compact) << Qt::endl;
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(u"Tessavel"_qs);
    QCoreApplication::setApplicationName(u"Tessavel"_qs);
    LoadCatalog();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    const EarlyOptions early = EarlyOptions::check(args);
    if (early.answer != EarlyOptions::Answer::None) {
        int rc = CtlExit::Ok;
        if (early.answer == EarlyOptions::Answer::Version) {
            out << VersionLine(u"tessavelctl"_qs) << '\n';
        } else if (early.answer == EarlyOptions::Answer::Help) {
            out << CatalogText(msg::CtlUsage) << '\n';
        } else {
            err << CatalogText(msg::OptionStandsAlone, {early.option}) << '\n'
                << CatalogText(msg::CtlUsage) << '\n';
            rc = CtlExit::BadUsage;
        }
        out.flush();
        err.flush();
        UnloadCatalog();
        return rc;
    }

    // The convert command parses its own arguments: everything after its word goes to it.
    qsizetype word = 0;
    while (word < args.size() && args.at(word).startsWith(u"--")) {
        // The global options that take a value; convert itself uses none of them.
        const QString& a = args.at(word);
        word += (a == u"--ini" || a == u"--password" || a == u"--password-file") ? 2 : 1;
    }
    // schedule plan and edit take options of their own (--days means days of the week to edit).
    if (word + 1 < args.size() && args.at(word) == u"schedule" &&
        (args.at(word + 1) == u"plan" || args.at(word + 1) == u"edit")) {
        QStringList own = args.mid(word + 2);
        const bool plan = args.at(word + 1) == u"plan";
        // --json and --loop may stand before the command word, as for the other commands.
        for (qsizetype i = 0; plan && i < word; ++i) {
            if (args.at(i) == u"--json" || args.at(i) == u"--loop") {
                own << args.at(i);
            }
        }
        const int status =
            plan ? RunSchedulePlanCommand(own, out, err) : RunScheduleEditCommand(own, out, err);
        out.flush();
        err.flush();
        UnloadCatalog();
        return status;
    }
    if (word < args.size() && (args.at(word) == u"convert" || args.at(word) == u"history")) {
        const int status = args.at(word) == u"convert" ? RunConvertCommand(args.mid(word + 1), out, err)
                                                       : RunHistoryCommand(args.mid(word + 1), out, err);
        out.flush();
        err.flush();
        UnloadCatalog();
        return status;
    }

    const CtlOptions options = CtlOptions::parse(args);
    for (const QString& warning : options.warnings) {
        err << warning << Qt::endl;
    }
    int rc = CtlExit::BadUsage;
    if (!options.error.isEmpty()) {
        err << options.error << '\n' << CatalogText(msg::CtlUsage) << '\n';
    } else if (options.command == u"list") {
        rc = RunListCommand(options, out, err);
    } else if (options.command == u"info" || options.command == u"stat" || options.command == u"cancel") {
        rc = RunQueryCommand(options, out, err);
    } else if (options.command == u"put") {
        rc = RunPutCommand(options, out, err);
    } else if (options.command == u"status") {
        rc = RunStatusCommand(options, out, err);
    } else if (options.command == u"discover") {
        rc = RunDiscoverCommand(options, out, err);
    } else if (options.command == u"schedule") {
        rc = RunScheduleCommand(options, out, err);
    } else if (options.command == u"projector") {
        rc = RunProjectorCommand(options, out, err);
    } else if (options.command == u"group") {
        rc = RunGroupCommand(options, out, err);
    } else if (options.command.isEmpty() || options.command == u"help") {
        (options.command.isEmpty() ? err : out) << CatalogText(msg::CtlUsage) << '\n';
        rc = options.command.isEmpty() ? CtlExit::BadUsage : CtlExit::Ok;
    } else {
        err << CatalogText(msg::CtlUnknownCommand, {options.command}) << '\n'
            << CatalogText(msg::CtlUsage) << '\n';
    }
    out.flush();
    err.flush();
    UnloadCatalog();
    return rc;
}
