#pragma once

#include "schedule/ScheduleEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// A schedule: a count and exactly 30 entry slots, in the order they run.
struct ScheduleTable final {
    static constexpr int kSlots = 30;
    static constexpr int kFileSize = 4 + kSlots * ScheduleEntry::kSize; // 16084

    qint32 count = 0;
    std::array<ScheduleEntry, kSlots> entries{};

    enum class AddResult {
        Added,
        BadAddress,
        NoImageFile,
        ImageFileTooLong,
        BadStore,
        PasswordTooLong,
        TableFull
    };

    // Validates the texts as the entry dialog gives them and appends one entry; the first
    // failing check leaves the table unchanged. Path and password are measured in the bytes
    // the entry stores, and one that does not fit is refused, never cut.
    AddResult AddScheduleEntry(const QString& addressText, const QString& imageFile, const QString& storeText,
                               const QString& intervalText, bool temporary, int authentication,
                               const QString& password);

    // Removes the entries whose rows are checked, closing the gaps in order.
    void deleteChecked(const QList<bool>& checked);

    // The schedule file: the count and all 30 slots, used or not.
    [[nodiscard]] QByteArray toBytes() const;

    enum class ParseResult { Loaded, Empty, CountOutOfRange, Truncated };
    // Replaces this table from file bytes; on anything but Loaded the table stays as it was.
    // Bytes beyond the slots the count needs may be missing and read as zero.
    ParseResult fromBytes(const QByteArray& data);

    friend bool operator==(const ScheduleTable&, const ScheduleTable&) = default;
};
