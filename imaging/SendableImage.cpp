#include "imaging/SendableImage.h"

#include <QFile>

bool IsSendableImage(const QString& path, quint32 pictureWidth, quint32 pictureHeight, int& reason) {
    using namespace SendableImage;
    reason = Sendable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = CannotOpen;
        return false;
    }
    // The whole 64-bit length: its low 32 bits alone would pass a 4 GiB file as small.
    const qint64 length = file.size();
    file.close();
    if (pictureWidth <= 4 || pictureWidth > kMaxWidth || pictureHeight <= 1 || pictureHeight > kMaxHeight) {
        reason = BadPictureSize;
        return false;
    }
    if (length <= 0 || length > kMaxFileSize) {
        reason = BadFileSize;
        return false;
    }
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || path.mid(dot).toLower() != QStringLiteral(".qv1")) {
        reason = NotQv1;
        return false;
    }
    return true;
}
