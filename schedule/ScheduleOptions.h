#pragma once

#include "common/IoResult.h"

#include <QByteArray>
#include <QString>

// How a schedule's runs treat their uploads, beyond what the schedule file itself holds.
// Both are off unless asked for. They live in a small text file beside the schedule file,
// so the schedule file keeps its exact layout:
//
//     verify=on
//     retry=off
struct ScheduleOptions final {
    bool verify = false; // ask the store with INFO after each upload
    bool retry = false;  // try a failed upload again, a few times, after a pause

    static constexpr qint64 kMaxFileSize = 4096; // a few lines; anything bigger is not ours

    // The side file of a schedule file: "week.sch" keeps its options in "week.sch.options".
    static QString sidePath(const QString& schedulePath);

    // A missing side file means both off and is no error. An unreadable or garbled one
    // leaves both off and says why: OpenFailed/ReadFailed with the platform's text, or
    // BadContent.
    static IoResult load(const QString& schedulePath, ScheduleOptions& options);
    // What the user is told when load() failed: a catalog text naming the side file.
    static QString loadFailureText(const QString& schedulePath, const IoResult& result);
    // Written whole or not at all. With both off and no side file yet, nothing is written.
    static IoResult save(const QString& schedulePath, const ScheduleOptions& options);

    // The side file's text, and back; false for anything that is not exactly ours.
    [[nodiscard]] QByteArray toText() const;
    static bool fromText(const QByteArray& text, ScheduleOptions& options);

    friend bool operator==(const ScheduleOptions&, const ScheduleOptions&) = default;
};
