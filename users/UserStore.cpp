#include "users/UserStore.h"

#include "common/InstallLayout.h"
#include "common/PrivateFile.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "registry/ProjectorStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

#include <sodium.h>

#include <algorithm>

namespace {

constexpr char kHashPrefix[] = "$argon2id$";

// Keeps a byte copy of a password and wipes it when it goes.
class SecretBytes final {
public:
    explicit SecretBytes(const QString& text) : m_bytes(text.toUtf8()) {}
    ~SecretBytes() {
        if (!m_bytes.isEmpty()) {
            sodium_memzero(m_bytes.data(), static_cast<size_t>(m_bytes.size()));
        }
    }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    [[nodiscard]] const char* data() const { return m_bytes.constData(); }
    [[nodiscard]] unsigned long long size() const { return static_cast<unsigned long long>(m_bytes.size()); }

private:
    QByteArray m_bytes;
};

QByteArray roleText(UserStore::Role role) {
    return role == UserStore::Role::Administrator ? QByteArrayLiteral("admin") : QByteArrayLiteral("user");
}

bool isWellFormedHash(const QByteArray& hash) {
    if (!hash.startsWith(kHashPrefix) || hash.size() >= static_cast<qsizetype>(crypto_pwhash_STRBYTES)) {
        return false;
    }
    // needs_rehash parses the whole string and answers -1 when it is not a valid one.
    return crypto_pwhash_str_needs_rehash(hash.constData(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != -1;
}

} // namespace

UserStore::UserStore(QString path, HashCost cost) : m_path(std::move(path)), m_cost(cost) {}

QString UserStore::pathForIni(const QString& iniPath) {
    const QFileInfo info(iniPath);
    const QString fileName = info.fileName();
    // As for the INI file itself, only a dot in the file name counts.
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString base = dot >= 0 ? fileName.left(dot + 1) : fileName + u'.';
    return info.dir().filePath(base + QStringLiteral("users"));
}

QString UserStore::defaultPath() {
    return pathForIni(ProjectorStore::defaultIniPath());
}

QString UserStore::defaultPathForProgram(const QString& programPath) {
    const QString beside = ProjectorStore::iniPathFor(programPath);
    const QString programDir = QFileInfo(programPath).absolutePath();
    if (QFileInfo(programDir).isWritable() && !InstallLayout::isInstalledBinDir(programDir)) {
        return pathForIni(beside);
    }
    // The same folder the program falls back to for its INI file.
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(dir);
    return pathForIni(QDir(dir).filePath(QFileInfo(beside).fileName()));
}

bool UserStore::isValidName(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxNameLength || name.startsWith(u'#')) {
        return false;
    }
    for (const QChar c : name) {
        const auto category = c.category();
        if (c.isSpace() || c == u':' || category == QChar::Other_Control || category == QChar::Other_Format) {
            return false;
        }
    }
    // Lone surrogates would not survive the trip through UTF-8.
    return QString::fromUtf8(name.toUtf8()) == name;
}

bool UserStore::isValidPassword(const QString& password) {
    return password.size() >= kMinPasswordLength && password.size() <= kMaxPasswordLength;
}

bool UserStore::initialiseCrypto() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

IoResult UserStore::load() {
    m_entries.clear();
    m_corrupt = false;
    m_problem.clear();
    auto refuse = [this](IoResult::Code code, const QString& why) {
        m_entries.clear();
        m_corrupt = true;
        m_problem = why;
        return IoResult::failure(code, why);
    };

    QByteArray data;
    if (const IoResult read = PrivateFile::read(m_path, kMaxFileSize, data); !read.ok()) {
        if (read.code == IoResult::Code::OpenFailed && !QFileInfo::exists(m_path)) {
            return IoResult::success();
        }
        return refuse(read.code, read.detail);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (utf8.hasError()) {
        return refuse(IoResult::Code::BadContent, QStringLiteral("not UTF-8 text"));
    }

    const QStringList lines = text.split(u'\n');
    std::vector<Entry> entries;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        const QString where = QStringLiteral("line %1").arg(i + 1);
        if (i == 0) {
            if (line != QLatin1String(kHeader)) {
                return refuse(IoResult::Code::BadContent, where + QStringLiteral(": not a users file"));
            }
            continue;
        }
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const QStringList fields = line.split(u':');
        if (fields.size() != 3) {
            return refuse(IoResult::Code::BadContent, where + QStringLiteral(": not NAME:ROLE:HASH"));
        }
        Entry e;
        e.name = fields[0];
        if (!isValidName(e.name)) {
            return refuse(IoResult::Code::BadContent, where + QStringLiteral(": invalid user name"));
        }
        if (fields[1] == u"admin") {
            e.role = Role::Administrator;
        } else if (fields[1] == u"user") {
            e.role = Role::User;
        } else {
            return refuse(IoResult::Code::BadContent, where + QStringLiteral(": unknown role"));
        }
        e.hash = fields[2].toLatin1();
        if (!isWellFormedHash(e.hash)) {
            return refuse(IoResult::Code::BadContent, where + QStringLiteral(": not an Argon2id hash"));
        }
        for (const Entry& other : entries) {
            if (other.name == e.name) {
                return refuse(IoResult::Code::BadContent, where + QStringLiteral(": user listed twice"));
            }
        }
        entries.push_back(std::move(e));
    }
    m_entries = std::move(entries);
    return IoResult::success();
}

QList<UserStore::User> UserStore::users() const {
    QList<User> list;
    list.reserve(static_cast<qsizetype>(m_entries.size()));
    for (const Entry& e : m_entries) {
        list.append({e.name, e.role});
    }
    return list;
}

std::optional<UserStore::User> UserStore::find(const QString& name) const {
    if (const Entry* e = entry(name)) {
        return User{e->name, e->role};
    }
    return std::nullopt;
}

int UserStore::administratorCount() const {
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(),
                                          [](const Entry& e) { return e.role == Role::Administrator; }));
}

const UserStore::Entry* UserStore::entry(const QString& name) const {
    for (const Entry& e : m_entries) {
        if (e.name == name) {
            return &e;
        }
    }
    return nullptr;
}

std::optional<UserStore::Result> UserStore::refuseIfUnusable(const QString& name) {
    load();
    if (m_corrupt) {
        return Result{Status::Corrupt, name, m_problem};
    }
    return std::nullopt;
}

UserStore::Result UserStore::hashInto(const QString& name, const QString& password, QByteArray& hash) const {
    if (!isValidPassword(password)) {
        return {Status::InvalidPassword, name, {}};
    }
    if (!initialiseCrypto()) {
        return {Status::HashFailed, name, QStringLiteral("libsodium could not be initialised")};
    }
    const bool interactive = m_cost == HashCost::Interactive;
    const unsigned long long ops =
        interactive ? crypto_pwhash_OPSLIMIT_INTERACTIVE : crypto_pwhash_OPSLIMIT_MIN;
    const size_t mem = interactive ? crypto_pwhash_MEMLIMIT_INTERACTIVE : crypto_pwhash_MEMLIMIT_MIN;
    const SecretBytes secret(password);
    char out[crypto_pwhash_STRBYTES] = {};
    if (crypto_pwhash_str(out, secret.data(), secret.size(), ops, mem) != 0) {
        return {Status::HashFailed, name, QStringLiteral("out of memory")};
    }
    hash = QByteArray(out);
    return {Status::Ok, name, {}};
}

UserStore::Result UserStore::write(std::vector<Entry> entries, const QString& name) {
    QByteArray data(kHeader);
    data += "\n# One user per line: NAME:ROLE:HASH. ROLE is admin or user, HASH an Argon2id string.\n"
            "# Change users with the program's user administration or the Fennick tool.\n";
    for (const Entry& e : entries) {
        data += e.name.toUtf8() + ':' + roleText(e.role) + ':' + e.hash + '\n';
    }
    if (const IoResult written = PrivateFile::write(m_path, data); !written.ok()) {
        return {Status::WriteFailed, name, written.detail};
    }
    m_entries = std::move(entries);
    return {Status::Ok, name, {}};
}

UserStore::Result UserStore::add(const QString& name, Role role, const QString& password) {
    if (auto refused = refuseIfUnusable(name)) {
        return *refused;
    }
    if (!isValidName(name)) {
        return {Status::InvalidName, name, {}};
    }
    if (entry(name) != nullptr) {
        return {Status::DuplicateName, name, {}};
    }
    if (m_entries.empty() && role != Role::Administrator) {
        return {Status::FirstUserNotAdministrator, name, {}};
    }
    Entry e{name, role, {}};
    if (Result hashed = hashInto(name, password, e.hash); !hashed.ok()) {
        return hashed;
    }
    std::vector<Entry> entries = m_entries;
    entries.push_back(std::move(e));
    return write(std::move(entries), name);
}

UserStore::Result UserStore::createFirstAdministrator(const QString& name, const QString& password) {
    if (auto refused = refuseIfUnusable(name)) {
        return *refused;
    }
    if (!m_entries.empty()) {
        return {Status::UsersExist, name, {}};
    }
    return add(name, Role::Administrator, password);
}

UserStore::Result UserStore::remove(const QString& name) {
    if (auto refused = refuseIfUnusable(name)) {
        return *refused;
    }
    const Entry* e = entry(name);
    if (e == nullptr) {
        return {Status::UnknownUser, name, {}};
    }
    if (e->role == Role::Administrator && administratorCount() == 1) {
        return {Status::LastAdministrator, name, {}};
    }
    std::vector<Entry> entries;
    for (const Entry& other : m_entries) {
        if (other.name != name) {
            entries.push_back(other);
        }
    }
    return write(std::move(entries), name);
}

UserStore::Result UserStore::setPassword(const QString& name, const QString& password) {
    if (auto refused = refuseIfUnusable(name)) {
        return *refused;
    }
    if (entry(name) == nullptr) {
        return {Status::UnknownUser, name, {}};
    }
    QByteArray hash;
    if (Result hashed = hashInto(name, password, hash); !hashed.ok()) {
        return hashed;
    }
    std::vector<Entry> entries = m_entries;
    for (Entry& e : entries) {
        if (e.name == name) {
            e.hash = hash;
        }
    }
    return write(std::move(entries), name);
}

UserStore::Check UserStore::verify(const QString& name, const QString& password) {
    load();
    if (m_corrupt) {
        return Check::Corrupt;
    }
    if (m_entries.empty() || !initialiseCrypto()) {
        return Check::UnknownUser;
    }
    const Entry* e = entry(name);
    // An unknown name is checked against another user's hash and the answer thrown away:
    // the same Argon2id parameters give the same work, so timing does not tell names apart.
    const QByteArray& hash = e != nullptr ? e->hash : m_entries.front().hash;
    const SecretBytes secret(password);
    const bool match = crypto_pwhash_str_verify(hash.constData(), secret.data(), secret.size()) == 0;
    if (e == nullptr) {
        return Check::UnknownUser;
    }
    return match ? Check::Ok : Check::WrongPassword;
}

QString UserStore::describe(const Result& r) const {
    switch (r.status) {
    case Status::Ok:
        return {};
    case Status::InvalidName:
        return CatalogText(msg::UserNameRules, {QString::number(kMaxNameLength)});
    case Status::DuplicateName:
        return CatalogText(msg::UserExists, {r.subject});
    case Status::UnknownUser:
        return CatalogText(msg::UserUnknown, {r.subject});
    case Status::LastAdministrator:
        return CatalogText(msg::LastAdministrator);
    case Status::FirstUserNotAdministrator:
        return CatalogText(msg::FirstUserMustBeAdministrator);
    case Status::UsersExist:
        return CatalogText(msg::UsersAlreadyCreated);
    case Status::InvalidPassword:
        return CatalogText(msg::PasswordRules,
                           {QString::number(kMinPasswordLength), QString::number(kMaxPasswordLength)});
    case Status::Corrupt:
        return CatalogText(msg::UsersFileUnusable, {m_path, r.detail});
    case Status::WriteFailed:
        return CatalogText(msg::UsersSaveFailed, {m_path, FileErrorReason::ofSystemText(r.detail)});
    case Status::HashFailed:
        return CatalogText(msg::PasswordHashFailed, {r.detail});
    }
    return {};
}

QString UserStore::corruptMessage() const {
    return CatalogText(msg::UsersFileUnusable, {m_path, m_problem});
}
