#pragma once

#include "common/IoResult.h"
#include "schedule/Daypart.h"
#include "schedule/ScheduleTable.h"

#include <QByteArray>
#include <QString>

#include <array>

// How a schedule's runs treat their uploads, beyond what the schedule file itself holds.
// Both are off unless asked for. They live in a small text file beside the schedule file,
// so the schedule file keeps its exact layout:
//
//     verify=on
//     retry=off
//     entry.3.days=mon-fri
//     entry.3.windows=07:00-11:00,17:00-19:00
//     entry.3.from=2026-01-05
//     entry.3.until=2026-03-27
//
// Entries are numbered from 1 as the Schedule dialog shows them; an entry without lines is
// always open.
struct ScheduleOptions final {
    bool verify = false; // ask the store with INFO after each upload
    bool retry = false;  // try a failed upload again, a few times, after a pause
    std::array<Daypart, ScheduleTable::kSlots> dayparts{};

    // Thirty entries with every part set fit easily; anything bigger is not ours.
    static constexpr qint64 kMaxFileSize = 16384;

    // Where a side file stopped making sense: its line (from 1; 0 for the file as a whole)
    // and that line as read.
    struct BadLine {
        int number = 0;
        QString text;
    };

    // The side file of a schedule file: "week.sch" keeps its options in "week.sch.options".
    static QString sidePath(const QString& schedulePath);

    // A missing side file means both off and is no error. An unreadable or garbled one
    // leaves both off and says why: OpenFailed/ReadFailed with the platform's text, or
    // BadContent.
    static IoResult load(const QString& schedulePath, ScheduleOptions& options, BadLine* where = nullptr);
    // What the user is told when load() failed: a catalog text naming the side file.
    static QString loadFailureText(const QString& schedulePath, const IoResult& result);
    // The same, naming the line that was not understood when there is one; the line is shown
    // with its invisible characters spelled out.
    static QString loadFailureText(const QString& schedulePath, const IoResult& result, const BadLine& where);
    // Written whole or not at all. With nothing set and no side file yet, nothing is written.
    static IoResult save(const QString& schedulePath, const ScheduleOptions& options);

    // The side file's text, and back; false for anything that is not exactly ours.
    [[nodiscard]] QByteArray toText() const;
    static bool fromText(const QByteArray& text, ScheduleOptions& options, BadLine* where = nullptr);

    friend bool operator==(const ScheduleOptions&, const ScheduleOptions&) = default;
};
