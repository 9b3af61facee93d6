#include "schedule/ScheduleEntry.h"

#include "common/TextRules.h"

#include <QtEndian>

#include <cstring>

namespace {
constexpr int kImageOffset = 4;
constexpr int kSaveIdOffset = 260;
constexpr int kPasswordOffset = 280;

void putInt(char* out, int offset, qint32 value) {
    qToLittleEndian<qint32>(value, out + offset);
}
qint32 getInt(const char* in, int offset) {
    return qFromLittleEndian<qint32>(in + offset);
}
} // namespace

QString ScheduleEntry::imageFilePath() const {
    return TextRules::fromField(imageFile.data(), kTextField);
}

QString ScheduleEntry::passwordText() const {
    return TextRules::fromField(password.data(), kTextField);
}

QByteArray ScheduleEntry::passwordBytes() const {
    return {password.data(), static_cast<qsizetype>(qstrnlen(password.data(), kTextField))};
}

void ScheduleEntry::setField(std::array<char, kTextField>& field, const QByteArray& text) {
    field.fill('\0');
    std::memcpy(field.data(), text.constData(),
                static_cast<size_t>(qMin<qsizetype>(text.size(), kTextField - 1)));
}

void ScheduleEntry::writeTo(char* out) const {
    std::memcpy(out, address.data(), 4);
    std::memcpy(out + kImageOffset, imageFile.data(), kTextField);
    putInt(out, kSaveIdOffset, saveId);
    putInt(out, kSaveIdOffset + 4, interval);
    putInt(out, kSaveIdOffset + 8, status);
    putInt(out, kSaveIdOffset + 12, temporary);
    putInt(out, kSaveIdOffset + 16, authentication);
    std::memcpy(out + kPasswordOffset, password.data(), kTextField);
}

ScheduleEntry ScheduleEntry::readFrom(const char* in) {
    ScheduleEntry e;
    std::memcpy(e.address.data(), in, 4);
    std::memcpy(e.imageFile.data(), in + kImageOffset, kTextField);
    e.saveId = getInt(in, kSaveIdOffset);
    e.interval = getInt(in, kSaveIdOffset + 4);
    e.status = getInt(in, kSaveIdOffset + 8);
    e.temporary = getInt(in, kSaveIdOffset + 12);
    e.authentication = getInt(in, kSaveIdOffset + 16);
    std::memcpy(e.password.data(), in + kPasswordOffset, kTextField);
    return e;
}

static_assert(kPasswordOffset + ScheduleEntry::kTextField == ScheduleEntry::kSize);
