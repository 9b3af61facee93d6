#include "registry/ProjectorGroups.h"

#include "common/PrivateFile.h"
#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <utility>

namespace {

// The first line; a later format gets a new number, which this one refuses as damaged.
constexpr QByteArrayView kHeader = "tessavel-groups 1";

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool listed(const ProjectorList& list, quint32 address) {
    return std::any_of(list.cbegin(), list.cend(),
                       [address](const ProjectorRecord& r) { return r.hostAddress() == address; });
}

} // namespace

ProjectorGroups::ProjectorGroups(QString path) : m_path(std::move(path)) {}

QString ProjectorGroups::pathFor(const QString& iniPath) {
    return iniPath + QStringLiteral(".groups");
}

ProjectorGroups::NameCheck ProjectorGroups::checkName(const QString& cleaned) {
    if (cleaned.isEmpty()) {
        return NameCheck::Empty;
    }
    if (cleaned.size() > kMaxName) {
        return NameCheck::TooLong;
    }
    // Tabs and line ends would break the file's lines; the rest would hide what the name says.
    if (VisibleText::containsInvisible(cleaned) || cleaned.contains(QChar::ReplacementCharacter)) {
        return NameCheck::Invisible;
    }
    return NameCheck::Ok;
}

QString ProjectorGroups::nameProblemText(NameCheck check) {
    switch (check) {
    case NameCheck::Empty:
        return CatalogText(msg::GroupNameEmpty);
    case NameCheck::TooLong:
        return CatalogText(msg::GroupNameTooLong, {QString::number(kMaxName)});
    case NameCheck::Invisible:
        return CatalogText(msg::GroupNameInvisible);
    case NameCheck::Ok:
        break;
    }
    return {};
}

ProjectorGroups::Parsed ProjectorGroups::parse(QByteArrayView data) {
    Parsed out;
    if (data.size() > kMaxFileSize) {
        return out;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (utf8.hasError()) {
        return out;
    }
    QStringList lines = text.split(u'\n');
    if (lines.size() > 1 && lines.last().isEmpty()) {
        lines.removeLast(); // the final line end
    }
    if (lines.isEmpty() || lines.first() != QLatin1StringView(kHeader.data(), kHeader.size())) {
        out.badLine = 1;
        return out;
    }
    QList<Group> groups;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i + 1);
        if (groups.size() >= kMaxGroups) {
            out.tooMany = true;
            out.badLine = lineNumber;
            return out;
        }
        const QStringList fields = lines[i].split(u'\t');
        Group g;
        g.name = fields.first();
        const bool nameOk = g.name == cleanName(g.name) && checkName(g.name) == NameCheck::Ok;
        const bool unique = std::none_of(groups.cbegin(), groups.cend(),
                                         [&](const Group& other) { return sameName(other.name, g.name); });
        if (!nameOk || !unique || fields.size() - 1 > kMaxProjectors) {
            out.badLine = lineNumber;
            return out;
        }
        for (qsizetype f = 1; f < fields.size(); ++f) {
            Ipv4::Octets o{};
            // Only the form this program writes: "1..2.3" or "01.2.3.4" are not addresses here.
            if (ParseDottedAddress(fields[f], o) != 0 || Ipv4::toText(o) != fields[f]) {
                out.badLine = lineNumber;
                return out;
            }
            const quint32 address = Ipv4::toHost(o);
            if (address == 0 || g.members.contains(address)) {
                out.badLine = lineNumber;
                return out;
            }
            g.members << address;
        }
        groups << g;
    }
    out.ok = true;
    out.groups = std::move(groups);
    return out;
}

QByteArray ProjectorGroups::render(const QList<Group>& groups) {
    QString text = QLatin1StringView(kHeader.data(), kHeader.size()) + u'\n';
    for (const Group& g : groups) {
        text += g.name;
        for (const quint32 a : g.members) {
            text += u'\t' + Ipv4::toText(a);
        }
        text += u'\n';
    }
    return text.toUtf8();
}

ProjectorGroups::LoadOutcome ProjectorGroups::load(const ProjectorList& list) {
    m_groups.clear();
    if (!QFileInfo::exists(m_path)) {
        return {};
    }
    QByteArray data;
    const IoResult read = PrivateFile::read(m_path, kMaxFileSize, data);
    if (read.code == IoResult::Code::TooLarge) {
        LoadOutcome out;
        out.status = LoadOutcome::Status::Damaged;
        out.text =
            CatalogText(msg::GroupsDamaged,
                        {m_path, CatalogText(msg::GroupsReasonTooLarge, {QString::number(kMaxFileSize)})});
        return out;
    }
    if (!read.ok()) {
        LoadOutcome out;
        out.status = LoadOutcome::Status::Unreadable;
        out.text = CatalogText(msg::GroupsUnreadable, {m_path, FileErrorReason::ofSystemText(read.detail)});
        return out;
    }
    return loadFromData(data, list);
}

ProjectorGroups::LoadOutcome ProjectorGroups::loadFromData(QByteArrayView data, const ProjectorList& list) {
    m_groups.clear();
    LoadOutcome out;
    const Parsed parsed = parse(data);
    if (!parsed.ok) {
        out.status = LoadOutcome::Status::Damaged;
        QString reason;
        if (data.size() > kMaxFileSize) {
            reason = CatalogText(msg::GroupsReasonTooLarge, {QString::number(kMaxFileSize)});
        } else if (parsed.tooMany) {
            reason = CatalogText(msg::GroupsReasonTooMany, {QString::number(kMaxGroups)});
        } else if (parsed.badLine > 0) {
            reason = CatalogText(msg::GroupsReasonLine, {QString::number(parsed.badLine)});
        } else {
            reason = CatalogText(msg::GroupsReasonNotText);
        }
        out.text = CatalogText(msg::GroupsDamaged, {m_path, reason});
        return out;
    }
    m_groups = parsed.groups;
    for (Group& g : m_groups) {
        for (const quint32 a : std::as_const(g.members)) {
            if (!listed(list, a) && !out.leftOut.contains(a)) {
                out.leftOut << a;
            }
        }
    }
    if (!out.leftOut.isEmpty()) {
        keepOnly(list);
        QStringList shown;
        for (const quint32 a : std::as_const(out.leftOut)) {
            shown << Ipv4::toText(a);
        }
        out.status = LoadOutcome::Status::UnknownMembers;
        out.text = CatalogText(msg::GroupsUnknownMembers, {m_path, shown.join(QStringLiteral(", "))});
    }
    return out;
}

IoResult ProjectorGroups::save() {
    const IoResult r = PrivateFile::write(m_path, render(m_groups));
    if (m_observer) {
        m_observer();
    }
    return r;
}

QStringList ProjectorGroups::names() const {
    QStringList out;
    for (const Group& g : m_groups) {
        out << g.name;
    }
    return out;
}

int ProjectorGroups::indexOf(const QString& name) const {
    const QString wanted = cleanName(name);
    for (int i = 0; i < m_groups.size(); ++i) {
        if (sameName(m_groups[i].name, wanted)) {
            return i;
        }
    }
    return -1;
}

std::optional<QList<quint32>> ProjectorGroups::membersOf(const QString& name) const {
    const int i = indexOf(name);
    if (i < 0) {
        return std::nullopt;
    }
    return m_groups[i].members;
}

QStringList ProjectorGroups::groupsOf(quint32 address) const {
    QStringList out;
    for (const Group& g : m_groups) {
        if (g.members.contains(address)) {
            out << g.name;
        }
    }
    return out;
}

ProjectorGroups::Change ProjectorGroups::add(const QString& name, const QList<quint32>& addresses) {
    int i = indexOf(name);
    if (i < 0) {
        const QString cleaned = cleanName(name);
        if (checkName(cleaned) != NameCheck::Ok) {
            return Change::BadName;
        }
        if (m_groups.size() >= kMaxGroups) {
            return Change::Full;
        }
        m_groups.append(Group{cleaned, {}});
        i = static_cast<int>(m_groups.size() - 1);
    }
    QList<quint32>& members = m_groups[i].members;
    for (const quint32 a : addresses) {
        if (!members.contains(a) && members.size() < kMaxProjectors) {
            members << a;
        }
    }
    return Change::Done;
}

ProjectorGroups::Change ProjectorGroups::removeGroup(const QString& name) {
    const int i = indexOf(name);
    if (i < 0) {
        return Change::NoSuchGroup;
    }
    m_groups.removeAt(i);
    return Change::Done;
}

ProjectorGroups::Change ProjectorGroups::removeMembers(const QString& name, const QList<quint32>& addresses) {
    const int i = indexOf(name);
    if (i < 0) {
        return Change::NoSuchGroup;
    }
    m_groups[i].members.removeIf([&](quint32 a) { return addresses.contains(a); });
    return Change::Done;
}

ProjectorGroups::Change ProjectorGroups::setGroupsOf(quint32 address, const QStringList& names) {
    // Every name is checked before anything changes, so a refused one leaves the groups as
    // they were.
    qsizetype created = 0;
    for (const QString& n : names) {
        if (indexOf(n) < 0) {
            if (checkName(cleanName(n)) != NameCheck::Ok) {
                return Change::BadName;
            }
            ++created;
        }
    }
    if (m_groups.size() + created > kMaxGroups) {
        return Change::Full;
    }
    for (Group& g : m_groups) {
        const bool wanted = std::any_of(names.cbegin(), names.cend(),
                                        [&](const QString& n) { return sameName(cleanName(n), g.name); });
        if (!wanted) {
            g.members.removeAll(address);
        }
    }
    for (const QString& n : names) {
        add(n, {address});
    }
    return Change::Done;
}

void ProjectorGroups::moveMember(quint32 from, quint32 to) {
    if (from == to) {
        return;
    }
    for (Group& g : m_groups) {
        const qsizetype at = g.members.indexOf(from);
        if (at < 0) {
            continue;
        }
        if (g.members.contains(to)) {
            g.members.removeAt(at);
        } else {
            g.members[at] = to;
        }
    }
}

bool ProjectorGroups::keepOnly(const ProjectorList& list) {
    bool dropped = false;
    for (Group& g : m_groups) {
        dropped = g.members.removeIf([&](quint32 a) { return !listed(list, a); }) > 0 || dropped;
    }
    return dropped;
}
