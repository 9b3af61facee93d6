#include "registry/ProjectorStore.h"

#include "common/InstallLayout.h"
#include "common/PrivateFile.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "registry/ProjectorIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace {

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
    return loadFromData(data);
}

IoResult ProjectorStore::loadFromData(QByteArrayView data) {
    ProjectorIni::Parsed parsed = ProjectorIni::parse(data, legacyEncoding());
    m_encoding = parsed.encoding;
    m_list = std::move(parsed.list);
    if (!parsed.ok) {
        return IoResult::failure(IoResult::Code::BadContent, QStringLiteral("unreadable INI file"));
    }
    return IoResult::success();
}

TextCodec::Encoding ProjectorStore::legacyEncoding() const {
    if (m_language != 0) {
        return ProjectorIni::legacyEncodingFor(m_language);
    }
    // The language the catalog shows its texts in; a forced Chinese wins as it does there.
    const CatalogEnvironment env = CatalogEnvironment::current();
    const quint32 language = env.forceChinese   ? Catalog::kSimplifiedChinese
                             : env.forceEnglish ? Catalog::kEnglish
                                                : env.systemLanguage;
    return ProjectorIni::legacyEncodingFor(language);
}

QString ProjectorStore::takeEncodingNotice() {
    return std::exchange(m_encodingNotice, QString());
}

IoResult ProjectorStore::saveProjectors(const ProjectorList& list) {
    m_list = list.first(qMin<qsizetype>(list.size(), kMaxProjectors));
    const IoResult r = rewrite(&m_list, nullptr);
    if (m_listObserver) {
        m_listObserver();
    }
    return r;
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

QByteArray ProjectorStore::passwordBytes(const QString& password) const {
    return ProjectorIni::passwordBytes(password, m_encoding.load());
}

void ProjectorStore::noteConnection(int authenticate, const QString& password) {
    QMutexLocker lock(&m_authMutex);
    m_auth.authOff = authenticate == 0 ? 1 : 0;
    m_auth.password = password;
}

IoResult ProjectorStore::rewrite(const ProjectorList* list, const AuthSetting* auth) {
    QByteArray data;
    // Re-read so that keys written by others since the start are kept; a file that cannot
    // be read is not replaced blindly.
    if (const IoResult read = readExisting(m_iniPath, data); !read.ok()) {
        return read;
    }
    ProjectorIni::AuthValues authValues;
    if (auth != nullptr) {
        authValues.password = auth->password;
        authValues.authOff = auth->authOff;
    }
    const ProjectorIni::Rendered out =
        ProjectorIni::render(data, legacyEncoding(), list, auth != nullptr ? &authValues : nullptr);
    if (!out.ok) {
        return IoResult::failure(IoResult::Code::BadContent, QStringLiteral("unreadable INI file"));
    }
    const IoResult written = PrivateFile::write(m_iniPath, out.bytes);
    if (written.ok()) {
        m_encoding = out.encoding;
        if (out.changedToUtf8 && !m_toldEncoding) {
            m_toldEncoding = true;
            m_encodingNotice = CatalogText(msg::IniSavedAsUtf8, {m_iniPath, TextCodec::name(out.previous)});
        }
    }
    return written;
}
