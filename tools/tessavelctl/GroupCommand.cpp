#include "CtlCommands.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "registry/ProjectorGroups.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

// The groups beside the INI file. A warning (members no longer listed) goes to standard error
// and the command goes on; a damaged file is refused for reading only, since the next change
// replaces it, as in the window.
bool loadGroups(const ProjectorList& list, ProjectorGroups& groups, bool forReading, QTextStream& err) {
    const ProjectorGroups::LoadOutcome out = groups.load(list);
    if (!out.ok()) {
        err << out.text << '\n';
    }
    using Status = ProjectorGroups::LoadOutcome::Status;
    return !forReading || out.status == Status::Ok || out.status == Status::UnknownMembers;
}

bool saveGroups(ProjectorGroups& groups, QTextStream& err) {
    const IoResult r = groups.save();
    if (!r.ok()) {
        err << CatalogText(msg::GroupsSaveFailed, {groups.path(), FileErrorReason::ofSystemText(r.detail)})
            << '\n';
    }
    return r.ok();
}

bool listed(const ProjectorList& list, quint32 address) {
    return std::any_of(list.cbegin(), list.cend(),
                       [address](const ProjectorRecord& r) { return r.hostAddress() == address; });
}

int usage(QTextStream& err) {
    err << CatalogText(msg::CtlGroupUsage) << '\n';
    return CtlExit::BadUsage;
}

int listGroups(const CtlOptions& options, const ProjectorGroups& groups, QTextStream& out) {
    if (options.json) {
        QJsonArray rows;
        for (const ProjectorGroups::Group& g : groups.groups()) {
            QJsonArray members;
            for (const quint32 a : g.members) {
                members.append(Ipv4::toText(a));
            }
            rows.append(QJsonObject{{u"name"_qs, g.name}, {u"members"_qs, members}});
        }
        PrintJson(out, rows);
        return CtlExit::Ok;
    }
    if (groups.groups().isEmpty()) {
        out << CatalogText(msg::CtlNoGroups) << '\n';
    }
    for (const ProjectorGroups::Group& g : groups.groups()) {
        out << VisibleText::shown(g.name);
        for (const quint32 a : g.members) {
            out << '\t' << Ipv4::toText(a);
        }
        out << '\n';
    }
    return CtlExit::Ok;
}

} // namespace

int RunGroupCommand(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    const QString verb = options.operands.value(0);
    const bool isList = verb == u"list" && options.operands.size() == 1;
    const bool isAdd = verb == u"add" && options.operands.size() >= 3;
    const bool isRemove = verb == u"remove" && options.operands.size() >= 2;
    if (!isList && !isAdd && !isRemove) {
        return usage(err);
    }
    ProjectorList list;
    if (!options.loadProjectors(list, err)) {
        return CtlExit::BadUsage;
    }
    ProjectorGroups groups(ProjectorGroups::pathFor(options.iniPath));
    if (!loadGroups(list, groups, isList, err)) {
        return CtlExit::BadUsage;
    }
    if (isList) {
        return listGroups(options, groups, out);
    }
    const QString name = options.operands.at(1);
    QList<quint32> addresses;
    if (options.operands.size() > 2 && !options.addresses(2, addresses, err)) {
        return CtlExit::BadUsage;
    }
    if (isAdd) {
        for (const quint32 a : std::as_const(addresses)) {
            if (!listed(list, a)) {
                err << CatalogText(msg::CtlGroupAddressNotListed, {Ipv4::toText(a)}) << '\n';
                return CtlExit::BadUsage;
            }
        }
        switch (groups.add(name, addresses)) {
        case ProjectorGroups::Change::BadName:
            err << ProjectorGroups::nameProblemText(
                       ProjectorGroups::checkName(ProjectorGroups::cleanName(name)))
                << '\n';
            return CtlExit::BadUsage;
        case ProjectorGroups::Change::Full:
            err << CatalogText(msg::GroupsFull, {QString::number(ProjectorGroups::kMaxGroups)}) << '\n';
            return CtlExit::BadUsage;
        default:
            break;
        }
        return saveGroups(groups, err) ? CtlExit::Ok : CtlExit::BadUsage;
    }
    const std::optional<QList<quint32>> members = groups.membersOf(name);
    if (!members) {
        err << CatalogText(msg::CtlGroupUnknown, {VisibleText::shown(name)}) << '\n';
        return CtlExit::BadUsage;
    }
    if (addresses.isEmpty()) {
        groups.removeGroup(name);
    } else {
        for (const quint32 a : std::as_const(addresses)) {
            if (!members->contains(a)) {
                err << CatalogText(
                           msg::CtlGroupNotMember,
                           {Ipv4::toText(a), VisibleText::shown(groups.groups()[groups.indexOf(name)].name)})
                    << '\n';
                return CtlExit::BadUsage;
            }
        }
        groups.removeMembers(name, addresses);
    }
    return saveGroups(groups, err) ? CtlExit::Ok : CtlExit::BadUsage;
}

bool GroupMembers(const CtlOptions& options, const ProjectorList& list, QList<quint32>& out,
                  QTextStream& err) {
    ProjectorGroups groups(ProjectorGroups::pathFor(options.iniPath));
    if (!loadGroups(list, groups, true, err)) {
        return false;
    }
    const std::optional<QList<quint32>> members = groups.membersOf(options.group);
    if (!members) {
        err << CatalogText(msg::CtlGroupUnknown, {VisibleText::shown(options.group)}) << '\n';
        return false;
    }
    if (members->isEmpty()) {
        err << CatalogText(msg::CtlGroupEmpty, {VisibleText::shown(options.group)}) << '\n';
        return false;
    }
    out = *members;
    return true;
}
