#include "registry/ProjectorStore.h"

#include "common/InstallLayout.h"
#include "common/PrivateFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <SimpleIni.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kListSection = "Projector List";
constexpr const char* kAuthSection = "Authentication";
constexpr int kValueBuffer = 255; // the profile reader's 256-byte buffer

QString readValue(const CSimpleIniA& ini, const char* key, const char* fallback) {
    const char* raw = ini.GetValue(kListSection, key, fallback);
    return QString::fromUtf8(raw).left(kValueBuffer);
}

// One line per value: a line break inside a name from the network must not become a key.
std::string flatValue(const QString& text) {
    QString flat = text;
    for (QChar& c : flat) {
        if (c == u'\r' || c == u'\n' || c == QChar(0)) {
            c = u' ';
        }
    }
    return flat.toStdString();
}

IoResult readExisting(const QString& path, QByteArray& data) {
    if (!QFileInfo::exists(path)) {
        data.clear();
        return IoResult::success();
    }
    return PrivateFile::read(path, ProjectorStore::kMaxIniSize, data);
}

} // namespace

ProjectorStore::ProjectorStore(QString iniPath) : m_iniPath(std::move(iniPath)) {}

QString ProjectorStore::iniPathFor(const QString& executablePath) {
    const QFileInfo info(executablePath);
    const QString fileName = info.fileName();
    // Only a dot in the file name counts: one in a folder name would give a stray path.
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString base = dot >= 0 ? fileName.left(dot + 1) : fileName + u'.';
    return info.dir().filePath(base + QStringLiteral("INI"));
}

QString ProjectorStore::chooseIniPath(const QString& executablePath, bool executableFolderWritable,
                                     const QString& configDir) {
    const QString beside = iniPathFor(executablePath);
    if (executableFolderWritable) {
        return beside;
    }
    return QDir(configDir).filePath(QFileInfo(beside).fileName());
}

QString ProjectorStore::defaultIniPath() {
    const QString exe = QCoreApplication::applicationFilePath();
    const QString exeDir = QFileInfo(exe).absolutePath();
    // An installed program's folder is shared by every user, root included.
    const bool writable = QFileInfo(exeDir).isWritable() && !InstallLayout::isInstalledBinDir(exeDir);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (!writable) {
        QDir().mkpath(config);
    }
    return chooseIniPath(exe, writable, config);
}

IoResult ProjectorStore::load() {
    m_list.clear();
    QByteArray data;
    if (const IoResult read = readExisting(m_iniPath, data); !read.ok()) {
        return read;
    }
    CSimpleIniA ini(false, true, false); // several equal keys: the first one counts
    if (ini.LoadData(data.constData(), static_cast<size_t>(data.size())) < 0) {
        return IoResult::failure(IoResult::Code::BadContent, QStringLiteral("unreadable INI file"));
    }
    int count = TextRules::toInt(readValue(ini, "COUNT", ""));
    if (count < 1) {
        return IoResult::success();
    }
    count = qMin(count, kMaxProjectors);
    m_list.reserve(count);
    for (int n = 1; n <= count; ++n) {
        auto key = [n](const char* stem) { return QByteArray(stem) + '-' + QByteArray::number(n); };
        ProjectorRecord r;
        r.name = readValue(ini, key("NAME").constData(), "").left(ProjectorRecord::kMaxName);
        r.mac = readValue(ini, key("MAC").constData(), "").left(ProjectorRecord::kMaxMac);
        r.address = Ipv4::toOctets(Ipv4::parseClassic(readValue(ini, key("IP").constData(), "").toUtf8()));
        r.authMark = readValue(ini, key("AUTH").constData(), "1").left(1);
        r.password = readValue(ini, key("PASS").constData(), "");
        m_list.append(std::move(r));
    }
    return IoResult::success();
}

IoResult ProjectorStore::saveProjectors(const ProjectorList& list) {
    m_list = list.first(qMin<qsizetype>(list.size(), kMaxProjectors));
    return rewrite(&m_list, nullptr);
}

ProjectorStore::AuthSetting ProjectorStore::authSetting() const {
    QMutexLocker lock(&m_authMutex);
    return m_auth;
}

IoResult ProjectorStore::setAuthSetting(const QString& password, int authOff) {
    AuthSetting copy;
    {
        QMutexLocker lock(&m_authMutex);
        m_auth.password = password;
        m_auth.authOff = authOff;
        copy = m_auth;
    }
    return rewrite(nullptr, &copy);
}

void ProjectorStore::noteConnection(int authenticate, const QString& password) {
    QMutexLocker lock(&m_authMutex);
    m_auth.authOff = authenticate == 0 ? 1 : 0;
    m_auth.password = password;
}

IoResult ProjectorStore::rewrite(const ProjectorList* list, const AuthSetting* auth) const {
    QByteArray data;
    // Re-read so that keys written by others since the start are kept; a file that cannot
    // be read is not replaced blindly.
    if (const IoResult read = readExisting(m_iniPath, data); !read.ok()) {
        return read;
    }
    CSimpleIniA ini(false, false, false);
    ini.SetSpaces(false);
    if (ini.LoadData(data.constData(), static_cast<size_t>(data.size())) < 0) {
        return IoResult::failure(IoResult::Code::BadContent, QStringLiteral("unreadable INI file"));
    }
    if (list != nullptr) {
        const auto count = static_cast<int>(list->size());
        ini.SetValue(kListSection, "COUNT", std::to_string(count).c_str());
        for (int n = 1; n <= count; ++n) {
            const ProjectorRecord& r = list->at(n - 1);
            auto put = [&](const char* stem, const std::string& value) {
                const std::string key = std::string(stem) + '-' + std::to_string(n);
                ini.SetValue(kListSection, key.c_str(), value.c_str());
            };
            put("NAME", flatValue(r.name));
            put("MAC", flatValue(r.mac));
            put("IP", Ipv4::toText(r.address).toStdString());
            put("AUTH", flatValue(r.authMark));
            put("PASS", flatValue(r.password));
        }
        // Keys of records beyond the new count would keep a deleted projector's password.
        static const QRegularExpression recordKey(QStringLiteral("^(NAME|MAC|IP|AUTH|PASS)-(\\d+)$"),
                                                  QRegularExpression::CaseInsensitiveOption);
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(kListSection, keys);
        std::vector<std::string> stale;
        for (const auto& k : keys) {
            const auto m = recordKey.match(QString::fromUtf8(k.pItem));
            if (m.hasMatch()) {
                bool ok = false;
                const int n = m.captured(2).toInt(&ok);
                if (!ok || n < 1 || n > count) {
                    stale.emplace_back(k.pItem);
                }
            }
        }
        for (const std::string& k : stale) {
            ini.Delete(kListSection, k.c_str());
        }
    }
    if (auth != nullptr) {
        ini.SetValue(kAuthSection, "FLAG", std::to_string(auth->authOff).c_str());
        ini.SetValue(kAuthSection, "PASSWORD", flatValue(auth->password).c_str());
    }
    std::string out;
    if (ini.Save(out, false) < 0) {
        return IoResult::failure(IoResult::Code::WriteFailed, QStringLiteral("INI formatting failed"));
    }
    return PrivateFile::write(m_iniPath, QByteArray::fromStdString(out));
}
