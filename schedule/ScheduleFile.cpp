#include "schedule/ScheduleFile.h"

#include "common/PrivateFile.h"

#include <QFile>

IoResult ScheduleFile::save(const QString& path, const ScheduleTable& table) {
    return PrivateFile::write(path, table.toBytes());
}

IoResult ScheduleFile::load(const QString& path, ScheduleTable& table) {
    QByteArray data;
    // Only the first 16084 bytes can matter; a longer file is read no further.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return IoResult::failure(IoResult::Code::OpenFailed, file.errorString());
    }
    data = file.read(ScheduleTable::kFileSize);
    if (file.error() != QFileDevice::NoError) {
        return IoResult::failure(IoResult::Code::ReadFailed, file.errorString());
    }
    switch (table.fromBytes(data)) {
    case ScheduleTable::ParseResult::Loaded:
        return IoResult::success();
    case ScheduleTable::ParseResult::Truncated:
        return IoResult::failure(IoResult::Code::Truncated,
                                 QStringLiteral("file shorter than its count needs"));
    case ScheduleTable::ParseResult::Empty:
    case ScheduleTable::ParseResult::CountOutOfRange:
        break;
    }
    return IoResult::failure(IoResult::Code::BadContent, QStringLiteral("no schedule in file"));
}
