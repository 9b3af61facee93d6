#include "history/HistoryRecord.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

void HistoryRecord::describeUpload(const QString& path) {
    const QFileInfo info(path);
    filePath = info.absoluteFilePath();
    fileName = info.fileName();
    fileLength = info.exists() ? info.size() : -1;
    wantsThumbnail = info.exists();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (hash.addData(&file)) {
            sha256 = QString::fromLatin1(hash.result().toHex());
        }
    }
}

void HistoryRecord::describeUploadData(const QByteArray& name, const QByteArray& content) {
    fileName = QString::fromUtf8(name);
    fileLength = content.size();
    sha256 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
    thumbnailSource = content;
    wantsThumbnail = !content.isEmpty();
}
