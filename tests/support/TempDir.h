#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

// A scratch folder that is also the current folder while it lives (marker files are
// looked for in the current folder).
class ScopedCurrentDir final {
public:
    ScopedCurrentDir() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~ScopedCurrentDir() { QDir::setCurrent(m_previous); }
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

    [[nodiscard]] QString path() const { return m_dir.path(); }
    [[nodiscard]] QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
