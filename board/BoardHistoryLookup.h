#pragma once

#include "board/BoardPoller.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QString>

#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// What the history knows of one store's picture: the newest successful upload of the same
// file name and length to the same projector and store. Nothing found: no thumbnail.
struct BoardPicture final {
    QString fileName; // as the projector reported it
    QString length;
    bool found = false;
    QByteArray thumbnail; // PNG made from our own file when it was sent
    QImage picture;       // the thumbnail decoded and fitted into the board's cell, centred
    QDateTime sentAt;
    QString sentBy;
};
using BoardPictures = std::array<BoardPicture, 4>;

// Looks the stores of a board row up in the history, on a thread of its own, so the
// interface never waits for the database. Requests are answered in order, one signal each,
// on the thread the object lives on.
class BoardHistoryLookup final : public QObject {
    Q_OBJECT
public:
    // The box a store's picture is fitted into.
    static constexpr QSize kPictureSize{64, 48};

    explicit BoardHistoryLookup(QString historyPath, QObject* parent = nullptr);
    ~BoardHistoryLookup() override; // drops what is queued and waits for the thread

    void lookUp(const BoardRow& row);
    [[nodiscard]] bool isIdle() const;
    // Run on the lookup's thread before each read: a record just handed to the history may
    // still be on its way to the file.
    void setBeforeRead(std::function<void()> beforeRead);

    // On the calling thread: the history's answer for one row.
    [[nodiscard]] static BoardPictures find(const QString& historyPath, const BoardRow& row);
    // A PNG fitted into kPictureSize; null when it is not a readable PNG.
    [[nodiscard]] static QImage fitted(const QByteArray& png);

Q_SIGNALS:
    void found(quint32 address, const BoardPictures& pictures);

private:
    void run();

    const QString m_path;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<BoardRow> m_queue;
    bool m_busy = false;
    bool m_stop = false;
    std::function<void()> m_beforeRead; // guarded by m_mutex
    std::thread m_thread;
};
