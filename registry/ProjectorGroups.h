#pragma once

#include "common/IoResult.h"
#include "registry/ProjectorRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <optional>

// Named groups of projectors ("Floor 2", "Lecture halls"), kept in a file of their own beside
// the INI file so the INI stays as other programs wrote it. A member is a projector's address:
// a rename keeps its groups, and an address changed in the list is moved by the list itself.
// Names keep the case they were typed in but compare without it, so "floor 2" finds "Floor 2".
class ProjectorGroups final {
public:
    static constexpr int kMaxGroups = 100;
    static constexpr int kMaxName = 64;
    static constexpr qint64 kMaxFileSize = 256 * 1024;

    struct Group {
        QString name;
        QList<quint32> members; // host order, in the order they joined
        // Element by element: QList's own == hands an empty list's null data to memcmp.
        friend bool operator==(const Group& a, const Group& b) {
            return a.name == b.name && std::ranges::equal(a.members, b.members);
        }
    };

    enum class NameCheck { Ok, Empty, TooLong, Invisible };

    // How the last load went; text is the catalog text for the user, empty when Ok.
    struct LoadOutcome {
        enum class Status { Ok, UnknownMembers, Damaged, Unreadable };
        Status status = Status::Ok;
        QString text;
        QList<quint32> leftOut; // with UnknownMembers: addresses not in the list
        [[nodiscard]] bool ok() const { return status == Status::Ok; }
    };

    // What the file's bytes hold; on failure no groups, and the first bad line (0: the whole
    // file).
    struct Parsed {
        bool ok = false;
        QList<Group> groups;
        int badLine = 0;
        bool tooMany = false;
    };

    explicit ProjectorGroups(QString path);

    // "Projectors.INI" -> "Projectors.INI.groups".
    static QString pathFor(const QString& iniPath);
    [[nodiscard]] const QString& path() const { return m_path; }

    static Parsed parse(QByteArrayView data);
    static QByteArray render(const QList<Group>& groups);
    // Trimmed; the checks a name passes before it becomes a group.
    static QString cleanName(const QString& name) { return name.trimmed(); }
    static NameCheck checkName(const QString& cleaned);
    // The catalog text telling why a name is refused; empty for Ok.
    static QString nameProblemText(NameCheck check);

    // Reads the file; members not in list are left out with a warning. A missing file is no
    // groups. A damaged file gives no groups and an error; the next save replaces it.
    LoadOutcome load(const ProjectorList& list);
    LoadOutcome loadFromData(QByteArrayView data, const ProjectorList& list);
    // Writes every group, mode 0600, whole or not at all, and tells the observer.
    IoResult save();
    // Told after every save, written or not.
    void setObserver(std::function<void()> observer) { m_observer = std::move(observer); }

    [[nodiscard]] const QList<Group>& groups() const { return m_groups; }
    [[nodiscard]] QStringList names() const;
    // The group's index, the name compared without case; -1 when there is none.
    [[nodiscard]] int indexOf(const QString& name) const;
    [[nodiscard]] std::optional<QList<quint32>> membersOf(const QString& name) const;
    // The names of the groups the address is in, in group order.
    [[nodiscard]] QStringList groupsOf(quint32 address) const;

    enum class Change { Done, BadName, Full, NoSuchGroup };
    // Creates the group when it is new and adds the addresses it does not hold yet.
    Change add(const QString& name, const QList<quint32>& addresses);
    Change removeGroup(const QString& name);
    Change removeMembers(const QString& name, const QList<quint32>& addresses);
    // Makes the address a member of exactly these groups, creating those that are new.
    Change setGroupsOf(quint32 address, const QStringList& names);
    // A projector's address changed: it keeps its groups under the new one.
    void moveMember(quint32 from, quint32 to);
    // Drops members no longer in the list; true when one was dropped.
    bool keepOnly(const ProjectorList& list);

private:
    QString m_path;
    QList<Group> m_groups;
    std::function<void()> m_observer;
};
