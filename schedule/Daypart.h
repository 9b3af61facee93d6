#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// One time-of-day window of an entry, in minutes after local midnight. An end before the
// start crosses midnight (22:00-02:00); the window belongs to the day it starts on.
struct DaypartWindow final {
    int startMinute = 0;
    int endMinute = 0;

    [[nodiscard]] bool crossesMidnight() const { return endMinute < startMinute; }
    [[nodiscard]] bool isValid() const;
    // "07:00-11:00"; nullopt for anything else, and for a window that ends where it starts.
    static std::optional<DaypartWindow> parse(QStringView text);
    [[nodiscard]] QString toText() const;

    friend bool operator==(const DaypartWindow&, const DaypartWindow&) = default;
};

// When an entry may upload: on which weekdays, in which windows of those days and between
// which dates. Each part left out does not restrict, so a default Daypart is always open
// and an entry without one runs as it always has.
struct Daypart final {
    static constexpr quint8 kEveryDay = 0x7F; // bit 0 Monday ... bit 6 Sunday
    static constexpr int kMaxWindows = 8;

    quint8 weekdays = kEveryDay;
    QList<DaypartWindow> windows; // none: the whole day
    QDate first;                  // not valid: no first date
    QDate last;                   // not valid: no last date

    [[nodiscard]] bool isAlwaysOpen() const { return *this == Daypart{}; }
    [[nodiscard]] bool isValid() const;
    // Whether windows starting on this local date belong to the entry.
    [[nodiscard]] bool startsOn(const QDate& date) const;

    // "mon-fri", "mon,wed,fri", "sat-mon", "fri,sat-sun"; nullopt when not understood.
    static std::optional<quint8> parseWeekdays(QStringView text);
    static QString weekdaysText(quint8 weekdays);
    // "07:00-11:00,17:00-19:00"; nullopt when one is not understood or there are too many.
    static std::optional<QList<DaypartWindow>> parseWindows(QStringView text);
    static QString windowsText(const QList<DaypartWindow>& windows);
    // Dates as 2026-12-24 only.
    static std::optional<QDate> parseDate(QStringView text);

    friend bool operator==(const Daypart&, const Daypart&) = default;
};
