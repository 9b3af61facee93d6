#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

// The four files opened or saved last, newest first, kept in the profile settings.
class RecentFileList final {
public:
    static constexpr int kMaxFiles = 4;

    // Without settings: the program's profile under "Local AppWizard-Generated Applications".
    explicit RecentFileList(std::unique_ptr<QSettings> settings = {});

    [[nodiscard]] QStringList files() const;
    void add(const QString& path);
    void remove(const QString& path);

private:
    void store(const QStringList& files);

    std::unique_ptr<QSettings> m_settings;
};
