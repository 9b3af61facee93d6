#include "EmulatorStores.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

EmulatorStores::EmulatorStores(QString folder) : m_folder(std::move(folder)) {
    if (!m_folder.isEmpty()) {
        QDir().mkpath(m_folder);
        loadFromFolder();
    }
}

std::optional<EmulatorStores::Image> EmulatorStores::image(int store) const {
    QMutexLocker lock(&m_mutex);
    return valid(store) ? m_images[store - 1] : std::nullopt;
}

int EmulatorStores::state(int store) const {
    QMutexLocker lock(&m_mutex);
    return valid(store) ? m_states[store - 1] : Idle;
}

bool EmulatorStores::begin(int store) {
    QMutexLocker lock(&m_mutex);
    int& s = m_states[store - 1];
    if (s == Waiting || s == Receiving || s == Writing) {
        return false;
    }
    s = Receiving;
    m_cancel[store - 1] = false;
    return true;
}

void EmulatorStores::setState(int store, State state) {
    QMutexLocker lock(&m_mutex);
    m_states[store - 1] = state;
}

bool EmulatorStores::finish(int store, const QByteArray& name, const QByteArray& data) {
    {
        QMutexLocker lock(&m_mutex);
        if (m_cancel[store - 1]) {
            m_states[store - 1] = Failed;
            return true;
        }
        m_images[store - 1] = Image{name, data};
        m_states[store - 1] = Completed;
    }
    saveToFolder(store);
    return false;
}

void EmulatorStores::fail(int store) {
    setState(store, Failed);
}

bool EmulatorStores::cancel(int store) {
    QMutexLocker lock(&m_mutex);
    const int s = m_states[store - 1];
    if (s != Waiting && s != Receiving && s != Writing) {
        return false;
    }
    m_cancel[store - 1] = true;
    return true;
}

bool EmulatorStores::cancelRequested(int store) const {
    QMutexLocker lock(&m_mutex);
    return m_cancel[store - 1];
}

void EmulatorStores::saveToFolder(int store) const {
    if (m_folder.isEmpty()) {
        return;
    }
    std::optional<Image> img;
    {
        QMutexLocker lock(&m_mutex);
        img = m_images[store - 1];
    }
    if (!img) {
        return;
    }
    const QDir dir(m_folder);
    for (const auto& [suffix, bytes] :
         {std::pair{QStringLiteral(".name"), img->name}, std::pair{QStringLiteral(".data"), img->data}}) {
        QSaveFile f(dir.filePath(QStringLiteral("store%1%2").arg(store).arg(suffix)));
        if (f.open(QIODevice::WriteOnly)) {
            f.write(bytes);
            f.commit();
        }
    }
}

void EmulatorStores::loadFromFolder() {
    const QDir dir(m_folder);
    for (int store = 1; store <= kStores; ++store) {
        QFile name(dir.filePath(QStringLiteral("store%1.name").arg(store)));
        QFile data(dir.filePath(QStringLiteral("store%1.data").arg(store)));
        if (name.open(QIODevice::ReadOnly) && data.open(QIODevice::ReadOnly)) {
            m_images[store - 1] = Image{name.readAll(), data.readAll()};
        }
    }
}
