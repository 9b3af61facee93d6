#pragma once

#include "common/IoResult.h"
#include "common/TextCodec.h"
#include "registry/ProjectorRecord.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>

// The projector list, the current projector and the authentication setting, kept for the
// whole run and written back to the INI file whenever a whole new list is handed in.
class ProjectorStore final {
public:
    static constexpr qint64 kMaxIniSize = 1024 * 1024;

    explicit ProjectorStore(QString iniPath);

    // Beside the executable with the extension "INI"; in the user's configuration folder
    // when the executable's folder is not writable.
    static QString defaultIniPath();
    // The rule alone: "tool.exe" -> "tool.INI", "tessavel" -> "tessavel.INI".
    static QString iniPathFor(const QString& executablePath);
    // Beside the executable, or under configDir when the executable's folder is read-only.
    static QString chooseIniPath(const QString& executablePath, bool executableFolderWritable,
                                 const QString& configDir);

    [[nodiscard]] const QString& iniPath() const { return m_iniPath; }

    // Reads the list; a missing file, section or key gives the defaults. A file too large to
    // be a projector list is refused and left alone. A file that is not valid UTF-8 is read in
    // the legacy code page of the catalog language, and later writes keep that code page.
    IoResult load();
    // The same from the file's bytes.
    IoResult loadFromData(QByteArrayView data);
    // The encoding the last load found.
    [[nodiscard]] TextCodec::Encoding encoding() const { return m_encoding.load(); }
    // A password as this file's code page writes it; UTF-8 when the code page cannot. Safe
    // from any thread.
    [[nodiscard]] QByteArray passwordBytes(const QString& password) const;

    // The catalog language whose legacy code page reads files that are not UTF-8; 0 (the
    // default) follows the catalog's language at each read and write.
    void setCatalogLanguage(quint32 languageId) { m_language = languageId; }

    // Once per store: the text telling the user that a write had to turn the file into UTF-8
    // because its code page could not hold a new name or password; empty otherwise.
    [[nodiscard]] QString takeEncodingNotice();

    [[nodiscard]] ProjectorList projectors() const { return m_list; }
    [[nodiscard]] int count() const { return static_cast<int>(m_list.size()); }

    // Replaces the list (at most 256 records are kept) and rewrites its INI section, keeping
    // every other section and key. The list in memory is replaced even when the write fails,
    // and the list observer is told either way.
    IoResult saveProjectors(const ProjectorList& list);
    void setListObserver(std::function<void()> observer) { m_listObserver = std::move(observer); }

    struct AuthSetting {
        QString password;
        int authOff = 0; // 1: the next connection does not authenticate
    };
    [[nodiscard]] AuthSetting authSetting() const;
    // Sets both and writes section "Authentication" (never read back at start).
    IoResult setAuthSetting(const QString& password, int authOff);
    // What every command connection records as it starts; safe from any thread.
    void noteConnection(int authenticate, const QString& password);

    [[nodiscard]] quint32 currentProjector() const { return m_current.load(); }
    void setCurrentProjector(quint32 hostAddress) { m_current.store(hostAddress); }

private:
    IoResult rewrite(const ProjectorList* list, const AuthSetting* auth);
    [[nodiscard]] TextCodec::Encoding legacyEncoding() const;

    QString m_iniPath;
    quint32 m_language = 0;
    std::atomic<TextCodec::Encoding> m_encoding{TextCodec::Encoding::Utf8};
    QString m_encodingNotice;
    bool m_toldEncoding = false;
    ProjectorList m_list;
    std::function<void()> m_listObserver;
    std::atomic<quint32> m_current{0};
    mutable QMutex m_authMutex;
    AuthSetting m_auth;
};
