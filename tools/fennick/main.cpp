// Fennick: lists and edits the users of the program's users file.
//
//   Fennick [--users FILE] list
//   Fennick [--users FILE] add NAME [--admin]
//   Fennick [--users FILE] remove NAME
//   Fennick [--users FILE] passwd NAME
//
// Passwords come from standard input, one line; at a terminal they are not echoed and are
// asked twice. Without --users the tool works on the users file of the program that sits
// in its own folder. Exit codes: 0 done, 1 refused, 2 usage or file problem.
#include "common/CommandLineManners.h"
#include "users/UserStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <sodium.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace {

constexpr int kOk = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;

const char kUsageText[] = "usage: Fennick [--users FILE] list\n"
                          "       Fennick [--users FILE] add NAME [--admin]\n"
                          "       Fennick [--users FILE] remove NAME\n"
                          "       Fennick [--users FILE] passwd NAME\n"
                          "       Fennick --help | --version\n"
                          "Passwords are read from standard input, one line.\n";

bool stdinIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin)) != 0;
#else
    return ::isatty(STDIN_FILENO) != 0;
#endif
}

// Turns terminal echo off for as long as it lives.
class NoEcho final {
public:
    NoEcho() {
#ifdef Q_OS_WIN
        m_handle = GetStdHandle(STD_INPUT_HANDLE);
        m_active = GetConsoleMode(m_handle, &m_mode) && SetConsoleMode(m_handle, m_mode & ~ENABLE_ECHO_INPUT);
#else
        if (::tcgetattr(STDIN_FILENO, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            m_active = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
#endif
    }
    ~NoEcho() {
        if (!m_active) {
            return;
        }
#ifdef Q_OS_WIN
        SetConsoleMode(m_handle, m_mode);
#else
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
#endif
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    bool m_active = false;
#ifdef Q_OS_WIN
    HANDLE m_handle = nullptr;
    DWORD m_mode = 0;
#else
    termios m_saved{};
#endif
};

void wipe(std::string& s) {
    if (!s.empty()) {
        sodium_memzero(s.data(), s.size());
    }
    s.clear();
}

// One line of standard input without its line end; nothing at end of input.
std::optional<QString> readLine() {
    std::string line;
    int c = 0;
    bool any = false;
    while ((c = std::getchar()) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!any) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    wipe(line);
    return text;
}

std::optional<QString> readPassword() {
    if (!stdinIsTerminal()) {
        return readLine();
    }
    std::optional<QString> first;
    std::optional<QString> second;
    {
        const NoEcho quiet;
        std::cerr << "Password: " << std::flush;
        first = readLine();
        std::cerr << "\nRepeat password: " << std::flush;
        second = readLine();
        std::cerr << '\n';
    }
    if (!first || !second || *first != *second) {
        std::cerr << "Fennick: the passwords do not match.\n";
        return std::nullopt;
    }
    return first;
}

QString defaultUsersFile() {
    return UserStore::defaultPathForProgram(
        QDir(QCoreApplication::applicationDirPath()).filePath(u"tessavel"_qs));
}

const char* roleWord(UserStore::Role role) {
    return role == UserStore::Role::Administrator ? "admin" : "user";
}

// The tool has no catalog of its own to rely on, so it speaks plain English.
int explain(const UserStore& store, const UserStore::Result& r) {
    const std::string name = r.subject.toStdString();
    const std::string file = store.path().toStdString();
    switch (r.status) {
    case UserStore::Status::Ok:
        return kOk;
    case UserStore::Status::InvalidName:
        std::cerr << "Fennick: a user name has 1 to " << UserStore::kMaxNameLength
                  << " characters, does not start with '#' and has no blanks, control characters or ':'.\n";
        return kRefused;
    case UserStore::Status::DuplicateName:
        std::cerr << "Fennick: a user named \"" << name << "\" already exists.\n";
        return kRefused;
    case UserStore::Status::UnknownUser:
        std::cerr << "Fennick: no user named \"" << name << "\" exists.\n";
        return kRefused;
    case UserStore::Status::LastAdministrator:
        std::cerr << "Fennick: the last administrator cannot be removed.\n";
        return kRefused;
    case UserStore::Status::FirstUserNotAdministrator:
        std::cerr << "Fennick: the first user must be an administrator (add --admin).\n";
        return kRefused;
    case UserStore::Status::UsersExist:
        std::cerr << "Fennick: users exist already.\n";
        return kRefused;
    case UserStore::Status::InvalidPassword:
        std::cerr << "Fennick: a password has " << UserStore::kMinPasswordLength << " to "
                  << UserStore::kMaxPasswordLength << " characters.\n";
        return kRefused;
    case UserStore::Status::Corrupt:
        std::cerr << "Fennick: the users file " << file << " cannot be used (" << r.detail.toStdString()
                  << "); it was left unchanged.\n";
        return kUsage;
    case UserStore::Status::WriteFailed:
        std::cerr << "Fennick: the users file " << file << " could not be written: " << r.detail.toStdString()
                  << '\n';
        return kUsage;
    case UserStore::Status::HashFailed:
        std::cerr << "Fennick: the password could not be hashed: " << r.detail.toStdString() << '\n';
        return kUsage;
    }
    return kUsage;
}

int usage() {
    std::cerr << kUsageText;
    return kUsage;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // The same names as the program, so the fallback configuration folder is the same one.
    QCoreApplication::setOrganizationName(u"Tessavel"_qs);
    QCoreApplication::setApplicationName(u"Tessavel"_qs);

    QStringList args = QCoreApplication::arguments().mid(1);
    const EarlyOptions early = EarlyOptions::check(args);
    if (early.answer == EarlyOptions::Answer::Version) {
        std::cout << VersionLine(u"Fennick"_qs).toStdString() << '\n';
        return kOk;
    }
    if (early.answer == EarlyOptions::Answer::Misuse) {
        std::cerr << "Fennick: " << early.option.toStdString()
                  << " cannot be combined with other arguments.\n";
        return usage();
    }
    QString usersFile;
    bool admin = false;
    QStringList words;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--users") {
            if (i + 1 >= args.size()) {
                return usage();
            }
            usersFile = args[++i];
        } else if (a == u"--admin") {
            admin = true;
        } else if (a == u"--help" || a == u"-h") {
            std::cout << kUsageText;
            return kOk;
        } else if (a.startsWith(u"--")) {
            return usage();
        } else {
            words.append(a);
        }
    }
    if (words.isEmpty()) {
        return usage();
    }
    const QString command = words.takeFirst();
    const bool takesName = command == u"add" || command == u"remove" || command == u"passwd";
    if ((command == u"list" && !words.isEmpty()) || (takesName && words.size() != 1) ||
        (!takesName && command != u"list") || (admin && command != u"add")) {
        return usage();
    }

    UserStore store(usersFile.isEmpty() ? defaultUsersFile() : usersFile);
    if (command == u"list") {
        if (!store.load().ok()) {
            std::cerr << "Fennick: the users file " << store.path().toStdString() << " cannot be used ("
                      << store.problem().toStdString() << ").\n";
            return kUsage;
        }
        for (const UserStore::User& u : store.users()) {
            std::cout << u.name.toStdString() << ' ' << roleWord(u.role) << '\n';
        }
        return kOk;
    }

    const QString name = words.first();
    if (command == u"remove") {
        return explain(store, store.remove(name));
    }
    // Refusals that need no password come before asking for one; the store checks again.
    if (!store.load().ok()) {
        return explain(store, {UserStore::Status::Corrupt, name, store.problem()});
    }
    if (command == u"add" && !UserStore::isValidName(name)) {
        return explain(store, {UserStore::Status::InvalidName, name, {}});
    }
    if (command == u"add" && store.find(name)) {
        return explain(store, {UserStore::Status::DuplicateName, name, {}});
    }
    if (command == u"passwd" && !store.find(name)) {
        return explain(store, {UserStore::Status::UnknownUser, name, {}});
    }
    const std::optional<QString> password = readPassword();
    if (!password) {
        std::cerr << "Fennick: no password on standard input.\n";
        return kUsage;
    }
    if (command == u"add") {
        return explain(store, store.add(name, admin ? UserStore::Role::Administrator : UserStore::Role::User,
                                        *password));
    }
    return explain(store, store.setPassword(name, *password));
}
