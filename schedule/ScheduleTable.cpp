#include "schedule/ScheduleTable.h"

#include "common/TextRules.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

ScheduleTable::AddResult ScheduleTable::AddScheduleEntry(const QString& addressText, const QString& imageFile,
                                                         const QString& storeText,
                                                         const QString& intervalText, bool temporary,
                                                         int authentication, const QString& password) {
    Ipv4::Octets octets{};
    if (ParseDottedAddress(addressText, octets) != 0) {
        return AddResult::BadAddress;
    }
    const QByteArray path = QFile::encodeName(imageFile);
    if (path.isEmpty()) {
        return AddResult::NoImageFile;
    }
    if (path.size() > ScheduleEntry::kTextField - 1) {
        return AddResult::ImageFileTooLong;
    }
    const int store = TextRules::toInt(storeText);
    if (store < 1 || store > 4) {
        return AddResult::BadStore;
    }
    const int interval = TextRules::toInt(intervalText);
    const QByteArray passwordBytes = password.toUtf8();
    if (passwordBytes.size() > ScheduleEntry::kTextField - 1) {
        return AddResult::PasswordTooLong;
    }
    if (count >= kSlots) {
        return AddResult::TableFull;
    }
    ScheduleEntry& e = entries[static_cast<size_t>(count)];
    e.address = octets;
    ScheduleEntry::setField(e.imageFile, path);
    e.saveId = temporary ? store + 4 : store;
    e.interval = interval;
    e.temporary = temporary ? 1 : 0;
    e.authentication = authentication;
    ScheduleEntry::setField(e.password, passwordBytes);
    ++count;
    return AddResult::Added;
}

void ScheduleTable::deleteChecked(const QList<bool>& checked) {
    ScheduleTable fresh;
    const int used = qBound(0, count, kSlots);
    for (int i = 0; i < used; ++i) {
        if (i < checked.size() && checked.at(i)) {
            continue;
        }
        fresh.entries[static_cast<size_t>(fresh.count++)] = entries[static_cast<size_t>(i)];
    }
    *this = fresh;
}

QByteArray ScheduleTable::toBytes() const {
    QByteArray out(kFileSize, '\0');
    qToLittleEndian<qint32>(count, out.data());
    for (int i = 0; i < kSlots; ++i) {
        entries[static_cast<size_t>(i)].writeTo(out.data() + 4 + i * ScheduleEntry::kSize);
    }
    return out;
}

ScheduleTable::ParseResult ScheduleTable::fromBytes(const QByteArray& data) {
    if (data.size() < 4) {
        return ParseResult::Empty;
    }
    const qint32 n = qFromLittleEndian<qint32>(data.constData());
    if (n <= 0 || n > kSlots) {
        return ParseResult::CountOutOfRange;
    }
    if (data.size() < 4 + qsizetype{n} * ScheduleEntry::kSize) {
        return ParseResult::Truncated;
    }
    QByteArray slots(kSlots * ScheduleEntry::kSize, '\0');
    std::memcpy(slots.data(), data.constData() + 4,
                static_cast<size_t>(qMin<qsizetype>(data.size() - 4, slots.size())));
    count = n;
    for (int i = 0; i < kSlots; ++i) {
        entries[static_cast<size_t>(i)] =
            ScheduleEntry::readFrom(slots.constData() + i * ScheduleEntry::kSize);
    }
    return ParseResult::Loaded;
}
