#pragma once

#include "common/IoResult.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// The users who may log in, kept in the users file beside the INI file.
//
// File format (UTF-8, lines end in "\n"; a "\r" before it is ignored):
//   tessavel-users 1                 first line, exactly
//   # comment                        comment lines and blank lines are skipped
//   NAME:ROLE:HASH                   one line per user
// NAME follows isValidName(), ROLE is "admin" or "user", HASH is a libsodium
// crypto_pwhash_str string (Argon2id, "$argon2id$..."). Names are unique and compared
// exactly. A rewrite keeps the users in order and replaces comments with its own.
//
// Any other content makes the file corrupt: it then refuses every login and no change is
// ever written over it, so a damaged file is repaired by a person, not replaced by us.
// Every check and change reads the file afresh, so what another program (the user tool)
// wrote counts at once. Writes are atomic and leave the file readable by its owner only.
class UserStore final {
public:
    enum class Role { Administrator, User };
    // Interactive is what the program and the tool use; the low cost keeps tests fast.
    enum class HashCost { Interactive, LowForTests };

    struct User final {
        QString name;
        Role role = Role::User;
        friend bool operator==(const User&, const User&) = default;
    };

    enum class Status {
        Ok,
        InvalidName,
        DuplicateName,
        UnknownUser,
        LastAdministrator,
        FirstUserNotAdministrator,
        UsersExist, // the first administrator was asked for, but users exist by now
        InvalidPassword,
        Corrupt,
        WriteFailed,
        HashFailed,
    };
    struct Result final {
        Status status = Status::Ok;
        QString subject; // the user name the change was about
        QString detail;  // the system's error text or what is wrong with the file
        [[nodiscard]] bool ok() const { return status == Status::Ok; }
    };

    enum class Check { Ok, WrongPassword, UnknownUser, Corrupt };

    static constexpr int kMaxNameLength = 64;
    static constexpr int kMinPasswordLength = 8;
    static constexpr int kMaxPasswordLength = 255;
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    static constexpr char kHeader[] = "tessavel-users 1";

    explicit UserStore(QString path, HashCost cost = HashCost::Interactive);

    // The INI path with its extension replaced: "/opt/t/tessavel.INI" -> "/opt/t/tessavel.users".
    static QString pathForIni(const QString& iniPath);
    // The users file of the running program.
    static QString defaultPath();
    // The users file that the program at programPath uses: beside its INI file, or in the
    // user's configuration folder when the program's folder is not writable.
    static QString defaultPathForProgram(const QString& programPath);

    static bool isValidName(const QString& name);
    static bool isValidPassword(const QString& password);

    // libsodium's one-time set-up; safe from any thread. False when it cannot be used.
    static bool initialiseCrypto();

    [[nodiscard]] const QString& path() const { return m_path; }

    // A missing file means no users yet. On failure the store is corrupt.
    IoResult load();
    [[nodiscard]] bool isCorrupt() const { return m_corrupt; }
    // What made the file unusable, for the message shown to the user.
    [[nodiscard]] const QString& problem() const { return m_problem; }
    // Loaded, usable and without users: the first administrator is still to be chosen.
    [[nodiscard]] bool isFirstStart() const { return !m_corrupt && m_entries.empty(); }

    [[nodiscard]] QList<User> users() const;
    [[nodiscard]] std::optional<User> find(const QString& name) const;
    [[nodiscard]] int administratorCount() const;

    // The first user must be an administrator.
    Result add(const QString& name, Role role, const QString& password);
    // Only while there are no users at all.
    Result createFirstAdministrator(const QString& name, const QString& password);
    // The last administrator stays.
    Result remove(const QString& name);
    Result setPassword(const QString& name, const QString& password);

    // A wrong password and an unknown name cost the same Argon2id work as a right one.
    Check verify(const QString& name, const QString& password);

    // The catalog text that tells the user what a refused change means.
    [[nodiscard]] QString describe(const Result& result) const;
    // The catalog text that says the file is unusable and why.
    [[nodiscard]] QString corruptMessage() const;

private:
    struct Entry final {
        QString name;
        Role role = Role::User;
        QByteArray hash;
    };

    [[nodiscard]] const Entry* entry(const QString& name) const;
    std::optional<Result> refuseIfUnusable(const QString& name);
    Result hashInto(const QString& name, const QString& password, QByteArray& hash) const;
    Result write(std::vector<Entry> entries, const QString& name);

    QString m_path;
    HashCost m_cost;
    std::vector<Entry> m_entries;
    bool m_corrupt = false;
    QString m_problem;
};
