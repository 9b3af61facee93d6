#include "board/BoardHistoryLookup.h"

#include "history/HistoryStore.h"
#include "registry/Ipv4.h"

#include <QMetaObject>
#include <QPainter>

BoardHistoryLookup::BoardHistoryLookup(QString historyPath, QObject* parent)
    : QObject(parent), m_path(std::move(historyPath)) {
    qRegisterMetaType<BoardPictures>("BoardPictures");
    m_thread = std::thread([this] { run(); });
}

BoardHistoryLookup::~BoardHistoryLookup() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void BoardHistoryLookup::lookUp(const BoardRow& row) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(row);
    }
    m_wake.notify_one();
}

void BoardHistoryLookup::setBeforeRead(std::function<void()> beforeRead) {
    std::lock_guard lock(m_mutex);
    m_beforeRead = std::move(beforeRead);
}

QImage BoardHistoryLookup::fitted(const QByteArray& png) {
    QImage image;
    if (!image.loadFromData(png, "PNG")) {
        return {};
    }
    const QImage scaled = image.scaled(kPictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage out(kPictureSize, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.drawImage((kPictureSize.width() - scaled.width()) / 2,
                      (kPictureSize.height() - scaled.height()) / 2, scaled);
    return out;
}

bool BoardHistoryLookup::isIdle() const {
    std::lock_guard lock(m_mutex);
    return m_queue.empty() && !m_busy;
}

BoardPictures BoardHistoryLookup::find(const QString& historyPath, const BoardRow& row) {
    BoardPictures out;
    for (int i = 0; i < 4; ++i) {
        const BoardStore& s = row.stores[static_cast<size_t>(i)];
        BoardPicture& p = out[static_cast<size_t>(i)];
        if (s.result != 2) {
            continue;
        }
        p.fileName = s.fileName;
        p.length = s.length;
        bool numeric = false;
        const qint64 length = s.length.trimmed().toLongLong(&numeric);
        if (!numeric || length < 0 || s.fileName.isEmpty()) {
            continue; // a length we cannot compare matches nothing
        }
        HistoryFilter f;
        f.address = Ipv4::toText(row.address);
        f.command = QStringLiteral("PUT");
        f.outcome = HistoryFilter::Outcome::Succeeded;
        f.store = i + 1;
        f.fileName = s.fileName;
        f.fileLength = length;
        f.limit = 1;
        f.withThumbnails = true;
        const std::optional<HistoryRecords> records = HistoryStore::query(historyPath, f);
        if (!records || records->isEmpty() || records->front().thumbnail.isEmpty()) {
            continue;
        }
        const HistoryRecord& r = records->front();
        p.found = true;
        p.thumbnail = r.thumbnail;
        p.picture = fitted(r.thumbnail);
        p.sentAt = r.time;
        p.sentBy = r.user;
    }
    return out;
}

void BoardHistoryLookup::run() {
    for (;;) {
        BoardRow row;
        std::function<void()> beforeRead;
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
            if (m_stop) {
                return;
            }
            row = m_queue.front();
            m_queue.pop_front();
            m_busy = true;
            beforeRead = m_beforeRead;
        }
        if (beforeRead) {
            beforeRead();
        }
        BoardPictures pictures = find(m_path, row);
        QMetaObject::invokeMethod(
            this,
            [this, address = row.address, pictures = std::move(pictures)] {
                Q_EMIT found(address, pictures);
            },
            Qt::QueuedConnection);
    }
}
