#include "app/RecentFileList.h"

#include <QDir>

namespace {
const QString kGroup = QStringLiteral("Recent File List");
QString key(int n) {
    return QStringLiteral("File%1").arg(n);
}
} // namespace

RecentFileList::RecentFileList(std::unique_ptr<QSettings> settings) : m_settings(std::move(settings)) {
    if (!m_settings) {
        m_settings = std::make_unique<QSettings>(QStringLiteral("Local AppWizard-Generated Applications"),
                                                 QStringLiteral("Tessavel"));
    }
}

QStringList RecentFileList::files() const {
    QStringList out;
    m_settings->beginGroup(kGroup);
    for (int n = 1; n <= kMaxFiles; ++n) {
        const QString f = m_settings->value(key(n)).toString();
        if (!f.isEmpty() && !out.contains(f)) {
            out << f;
        }
    }
    m_settings->endGroup();
    return out;
}

void RecentFileList::add(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    QStringList list = files();
    list.removeAll(clean);
    list.prepend(clean);
    store(list.mid(0, kMaxFiles));
}

void RecentFileList::remove(const QString& path) {
    QStringList list = files();
    list.removeAll(QDir::cleanPath(path));
    store(list);
}

void RecentFileList::store(const QStringList& files) {
    m_settings->beginGroup(kGroup);
    for (int n = 1; n <= kMaxFiles; ++n) {
        if (n <= files.size()) {
            m_settings->setValue(key(n), files.at(n - 1));
        } else {
            m_settings->remove(key(n));
        }
    }
    m_settings->endGroup();
    m_settings->sync();
}
