#include "common/PrivateFile.h"

#include <QFile>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

IoResult PrivateFile::write(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return IoResult::failure(IoResult::Code::OpenFailed, file.errorString());
    }
#ifdef Q_OS_UNIX
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0) {
        file.cancelWriting();
        return IoResult::failure(IoResult::Code::WriteFailed, QStringLiteral("chmod failed"));
    }
#else
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return IoResult::failure(IoResult::Code::WriteFailed, why);
    }
    if (!file.commit()) {
        return IoResult::failure(IoResult::Code::WriteFailed, file.errorString());
    }
    return IoResult::success();
}

IoResult PrivateFile::read(const QString& path, qint64 maxBytes, QByteArray& out) {
    out.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return IoResult::failure(IoResult::Code::OpenFailed, file.errorString());
    }
    // Read one byte past the limit so that a file growing behind our back is caught too.
    QByteArray data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return IoResult::failure(IoResult::Code::ReadFailed, file.errorString());
    }
    if (data.size() > maxBytes) {
        return IoResult::failure(IoResult::Code::TooLarge, QStringLiteral("file too large"));
    }
    out = std::move(data);
    return IoResult::success();
}
