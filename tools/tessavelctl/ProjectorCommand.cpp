#include "CtlCommands.h"

#include "common/PrivateFile.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "registry/ProjectorCsv.h"
#include "registry/ProjectorStore.h"

namespace {

int exportList(const CtlOptions& options, const QString& path, QTextStream& out, QTextStream& err) {
    ProjectorList list;
    if (!options.loadProjectors(list, err)) {
        return CtlExit::BadUsage;
    }
    const IoResult r = PrivateFile::write(path, ProjectorCsv::write(list));
    if (!r.ok()) {
        err << CatalogText(msg::CsvWriteFailed, {path, FileErrorReason::ofSystemText(r.detail)}) << '\n';
        return CtlExit::ProjectorFailed;
    }
    out << CatalogText(msg::CsvExported, {QString::number(list.size()), path}) << '\n';
    return CtlExit::Ok;
}

int importList(const CtlOptions& options, const QString& path, QTextStream& out, QTextStream& err) {
    QByteArray data;
    const IoResult read = PrivateFile::read(path, ProjectorCsv::kMaxFileSize, data);
    if (read.code == IoResult::Code::TooLarge) {
        err << CatalogText(msg::CsvNotAList) << '\n';
        return CtlExit::BadUsage;
    }
    if (!read.ok()) {
        err << CatalogText(msg::CsvReadFailed, {path, FileErrorReason::ofSystemText(read.detail)}) << '\n';
        return CtlExit::BadUsage;
    }
    ProjectorStore store(options.iniPath);
    const IoResult loaded = store.load();
    if (!loaded.ok()) {
        err << CatalogText(msg::CtlInputUnreadable,
                           {options.iniPath, FileErrorReason::ofSystemText(loaded.detail)})
            << '\n';
        return CtlExit::BadUsage;
    }
    const ProjectorCsv::Plan plan = ProjectorCsv::plan(data, store.projectors());
    if (!plan.readable) {
        err << CatalogText(msg::CsvNotAList) << '\n';
        return CtlExit::BadUsage;
    }
    if (plan.rows.isEmpty()) {
        err << CatalogText(msg::CsvNoRows) << '\n';
        return CtlExit::BadUsage;
    }
    for (const ProjectorCsv::Row& row : plan.rows) {
        (row.accepted() ? out : err) << OneLine(CatalogText(row.text(), row.inserts())) << '\n';
    }
    const int accepted = plan.acceptedCount();
    if (accepted > 0) {
        const IoResult saved = store.saveProjectors(plan.result);
        if (!saved.ok()) {
            err << CatalogText(msg::ProjectorListSaveFailed,
                               {options.iniPath, FileErrorReason::ofSystemText(saved.detail)})
                << '\n';
            return CtlExit::ProjectorFailed;
        }
    }
    out << CatalogText(msg::CsvImported,
                       {QString::number(accepted), QString::number(plan.rows.size() - accepted)})
        << '\n';
    return accepted == plan.rows.size() ? CtlExit::Ok : CtlExit::ProjectorFailed;
}

} // namespace

int RunProjectorCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    if (options.operands.size() != 2 ||
        (options.operands[0] != u"import" && options.operands[0] != u"export")) {
        err << CatalogText(msg::CtlProjectorUsage) << '\n';
        return CtlExit::BadUsage;
    }
    const QString& path = options.operands[1];
    return options.operands[0] == u"import" ? importList(options, path, out, err)
                                            : exportList(options, path, out, err);
}
