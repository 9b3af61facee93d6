#include "schedule/Daypart.h"

#include <QStringList>

#include <array>

namespace {

constexpr int kMinutesPerDay = 24 * 60;
constexpr std::array<const char16_t*, 7> kDayNames = {u"mon", u"tue", u"wed", u"thu", u"fri", u"sat", u"sun"};

std::optional<int> parseClock(QStringView text) {
    // "7:05" and "07:05"; 24:00 is the end of the day, so a window may end at midnight.
    const qsizetype colon = text.indexOf(u':');
    if (colon < 1 || colon > 2 || text.size() - colon != 3) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i != colon && !(text[i] >= u'0' && text[i] <= u'9')) {
            return std::nullopt;
        }
    }
    const int hours = text.left(colon).toInt();
    const int minutes = text.mid(colon + 1).toInt();
    if (minutes > 59 || hours > 24 || (hours == 24 && minutes != 0)) {
        return std::nullopt;
    }
    return hours * 60 + minutes;
}

QString clockText(int minute) {
    return QStringLiteral("%1:%2")
        .arg(minute / 60, 2, 10, QLatin1Char('0'))
        .arg(minute % 60, 2, 10, QLatin1Char('0'));
}

std::optional<int> dayIndex(QStringView name) {
    for (int i = 0; i < 7; ++i) {
        if (name.compare(QStringView(kDayNames[static_cast<size_t>(i)]), Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace

bool DaypartWindow::isValid() const {
    return startMinute >= 0 && startMinute < kMinutesPerDay && endMinute >= 0 &&
           endMinute <= kMinutesPerDay && startMinute != endMinute &&
           !(endMinute == kMinutesPerDay && startMinute == 0);
}

std::optional<DaypartWindow> DaypartWindow::parse(QStringView text) {
    const QStringView trimmed = text.trimmed();
    const qsizetype dash = trimmed.indexOf(u'-');
    if (dash < 0) {
        return std::nullopt;
    }
    const auto start = parseClock(trimmed.left(dash).trimmed());
    const auto end = parseClock(trimmed.mid(dash + 1).trimmed());
    if (!start || !end || *start == kMinutesPerDay) {
        return std::nullopt;
    }
    // 22:00-24:00 is kept as it reads; 00:00-24:00 would be the whole day, which no window says.
    const DaypartWindow w{*start, *end};
    return w.isValid() ? std::optional(w) : std::nullopt;
}

QString DaypartWindow::toText() const {
    return clockText(startMinute) + u'-' + clockText(endMinute);
}

bool Daypart::isValid() const {
    if ((weekdays & kEveryDay) == 0 || (weekdays & ~kEveryDay) != 0 || windows.size() > kMaxWindows) {
        return false;
    }
    for (const DaypartWindow& w : windows) {
        if (!w.isValid()) {
            return false;
        }
    }
    return !(first.isValid() && last.isValid() && last < first);
}

bool Daypart::startsOn(const QDate& date) const {
    if ((first.isValid() && date < first) || (last.isValid() && date > last)) {
        return false;
    }
    return (weekdays & (1u << (date.dayOfWeek() - 1))) != 0;
}

std::optional<quint8> Daypart::parseWeekdays(QStringView text) {
    quint8 mask = 0;
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    for (const QStringView part : trimmed.split(u',')) {
        const qsizetype dash = part.indexOf(u'-');
        const auto from = dayIndex(part.left(dash < 0 ? part.size() : dash).trimmed());
        const auto to = dash < 0 ? from : dayIndex(part.mid(dash + 1).trimmed());
        if (!from || !to) {
            return std::nullopt;
        }
        // A range may run over the week's end: sat-mon.
        for (int d = *from;; d = (d + 1) % 7) {
            mask |= static_cast<quint8>(1u << d);
            if (d == *to) {
                break;
            }
        }
    }
    return mask;
}

QString Daypart::weekdaysText(quint8 weekdays) {
    // Runs of three or more days read as ranges: mon-fri,sun.
    QStringList parts;
    for (int d = 0; d < 7;) {
        if ((weekdays & (1u << d)) == 0) {
            ++d;
            continue;
        }
        int e = d;
        while (e + 1 < 7 && (weekdays & (1u << (e + 1))) != 0) {
            ++e;
        }
        const QString first = QString::fromUtf16(kDayNames[static_cast<size_t>(d)]);
        const QString last = QString::fromUtf16(kDayNames[static_cast<size_t>(e)]);
        if (e - d >= 2) {
            parts << first + u'-' + last;
        } else {
            for (int i = d; i <= e; ++i) {
                parts << QString::fromUtf16(kDayNames[static_cast<size_t>(i)]);
            }
        }
        d = e + 1;
    }
    return parts.join(u',');
}

std::optional<QList<DaypartWindow>> Daypart::parseWindows(QStringView text) {
    QList<DaypartWindow> windows;
    for (const QStringView part : text.split(u',')) {
        const auto w = DaypartWindow::parse(part);
        if (!w || windows.size() >= kMaxWindows) {
            return std::nullopt;
        }
        windows << *w;
    }
    return windows;
}

QString Daypart::windowsText(const QList<DaypartWindow>& windows) {
    QStringList parts;
    for (const DaypartWindow& w : windows) {
        parts << w.toText();
    }
    return parts.join(u',');
}

std::optional<QDate> Daypart::parseDate(QStringView text) {
    const QStringView t = text.trimmed();
    // Exactly YYYY-MM-DD: Qt's own reader takes more than a file of ours should hold.
    if (t.size() != 10 || t[4] != u'-' || t[7] != u'-') {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (i != 4 && i != 7 && !(t[i] >= u'0' && t[i] <= u'9')) {
            return std::nullopt;
        }
    }
    const QDate d(t.left(4).toInt(), t.mid(5, 2).toInt(), t.mid(8, 2).toInt());
    return d.isValid() ? std::optional(d) : std::nullopt;
}
