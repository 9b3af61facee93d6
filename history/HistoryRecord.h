#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// One command as the history keeps it. Never holds a password: nothing here has room for one.
struct HistoryRecord final {
    qint64 id = 0;  // given by the store
    QDateTime time; // when the command began
    QString user;   // the logged-in user, or the shell user for tessavelctl
    QString projectorName;
    QString address; // dotted text
    QString mac;
    QString command; // "PUT", "INFO", "STAT", "CANCEL"
    int store = 0;
    // Uploads only.
    QString filePath;
    QString fileName;
    qint64 fileLength = -1;
    QString sha256;              // lower-case hex
    QByteArray thumbnail;        // PNG, at most 160 pixels a side, made from our own file
    bool wantsThumbnail = false; // the store's writer makes it from filePath, off the command's thread
    QByteArray thumbnailSource;  // or from these bytes, for an upload sent from memory; never stored
    // The outcome.
    int result = 0;
    bool ok = false; // as the command judges its result
    QString resultText;
    qint64 tookMs = 0;
    // Identical failures in a row share one record: how many there were and when the last
    // began (time is the first's). A record written once has 1 and no last time.
    int repeats = 1;
    QDateTime lastTime;

    // Fills the upload fields from the file on disk: path, name, length and digest, and asks
    // for a thumbnail.
    void describeUpload(const QString& path);
    // The same for an upload sent from memory: the name the projector stores and the bytes.
    void describeUploadData(const QByteArray& name, const QByteArray& content);
};

// What the History window and `tessavelctl history` ask for; empty fields match everything.
struct HistoryFilter final {
    enum class Outcome { Any, Succeeded, Failed };
    QDateTime since;
    QDateTime until;
    QString address;
    QString command;
    Outcome outcome = Outcome::Any;
    int store = 0;          // 0: any store
    QString fileName;       // uploads of this file name only
    qint64 fileLength = -1; // -1: any length
    int limit = 0;          // 0: no limit
    bool withThumbnails = false;
};

using HistoryRecords = QList<HistoryRecord>;
