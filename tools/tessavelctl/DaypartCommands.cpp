#include "DaypartCommands.h"
#include "CtlCommands.h"
#include "CtlOptions.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"
#include "schedule/DaypartCalendar.h"
#include "schedule/ScheduleFile.h"
#include "schedule/SchedulePlan.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>

namespace {

constexpr int kDefaultDays = 7;

int usage(QTextStream& err, const QString& why = {}) {
    if (!why.isEmpty()) {
        err << why << '\n';
    }
    err << CatalogText(msg::CtlScheduleDaypartUsage) << '\n';
    return CtlExit::BadUsage;
}

// The schedule and its options, or the message that says why not.
bool loadSchedule(const QString& path, ScheduleTable& table, ScheduleOptions& options, QTextStream& err) {
    const IoResult loaded = ScheduleFile::load(path, table);
    if (!loaded.ok()) {
        err << CatalogText(msg::CtlInputUnreadable, {path, FileErrorReason::ofSystemText(loaded.detail)})
            << '\n';
        return false;
    }
    if (table.count < 1) {
        err << CatalogText(msg::ScheduleHasNoEntries, {path}) << '\n';
        return false;
    }
    ScheduleOptions::BadLine where;
    if (const IoResult side = ScheduleOptions::load(path, options, &where); !side.ok()) {
        // Planning without the windows would be wrong, and editing would lose what the file held.
        err << ScheduleOptions::loadFailureText(path, side, where) << '\n';
        return false;
    }
    return true;
}

QString dateOrAny(const QDate& d) {
    return d.isValid() ? d.toString(Qt::ISODate) : CatalogText(msg::DaypartAny);
}

void printPlan(const SchedulePlan& plan, const ScheduleTable& table, const DaypartCalendar& calendar,
               bool json, QTextStream& out) {
    auto stamp = [&](qint64 secs) { return calendar.toDateTime(secs).toString(Qt::ISODate); };
    if (json) {
        QJsonArray uploads;
        for (const SchedulePlan::Upload& u : plan.uploads) {
            const ScheduleEntry& e = table.entries[static_cast<size_t>(u.entry)];
            uploads.append(QJsonObject{{u"time"_qs, stamp(u.at)},
                                       {u"entry"_qs, u.entry + 1},
                                       {u"file"_qs, e.imageFilePath()},
                                       {u"address"_qs, Ipv4::toText(e.address)},
                                       {u"store"_qs, e.saveId}});
        }
        QJsonArray collisions;
        for (const SchedulePlan::Collision& c : plan.collisions) {
            const ScheduleEntry& e = table.entries[static_cast<size_t>(c.first)];
            collisions.append(QJsonObject{{u"entries"_qs, QJsonArray{c.first + 1, c.second + 1}},
                                          {u"address"_qs, Ipv4::toText(e.address)},
                                          {u"store"_qs, e.saveId},
                                          {u"from"_qs, stamp(c.from)}});
        }
        QJsonObject doc{{u"start"_qs, stamp(plan.start)},
                        {u"end"_qs, stamp(plan.end)},
                        {u"uploads"_qs, uploads},
                        {u"collisions"_qs, collisions},
                        {u"truncated"_qs, plan.truncated}};
        if (plan.endless) {
            doc.insert(u"endlessFrom"_qs, stamp(plan.endlessFrom));
        }
        PrintJson(out, doc);
        return;
    }
    const QString time = CatalogText(msg::PlanColumnTime);
    const QString entry = CatalogText(msg::PlanColumnEntry);
    const QString address = CatalogText(msg::PlanColumnAddress);
    const QString store = CatalogText(msg::PlanColumnStore);
    // Wide enough for 2026-03-29T02:30:00+02:00 and 255.255.255.255.
    const int timeWidth = std::max<int>(25, static_cast<int>(time.size()));
    const int entryWidth = std::max<int>(2, static_cast<int>(entry.size()));
    const int addressWidth = std::max<int>(15, static_cast<int>(address.size()));
    const int storeWidth = std::max<int>(1, static_cast<int>(store.size()));
    out << time.leftJustified(timeWidth) << "  " << entry.rightJustified(entryWidth) << "  "
        << address.leftJustified(addressWidth) << "  " << store.rightJustified(storeWidth) << "  "
        << CatalogText(msg::PlanColumnPicture) << '\n';
    for (const SchedulePlan::Upload& u : plan.uploads) {
        const ScheduleEntry& e = table.entries[static_cast<size_t>(u.entry)];
        out << stamp(u.at).leftJustified(timeWidth) << "  "
            << QString::number(u.entry + 1).rightJustified(entryWidth) << "  "
            << Ipv4::toText(e.address).leftJustified(addressWidth) << "  "
            << QString::number(e.saveId).rightJustified(storeWidth) << "  "
            << VisibleText::shown(e.imageFilePath()) << '\n';
    }
}

} // namespace

int RunSchedulePlanCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QString path;
    int days = kDefaultDays;
    bool loop = false;
    bool json = false;
    QDateTime start = QDateTime::currentDateTime();
    const DaypartCalendar calendar(QTimeZone::systemTimeZone());
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--loop") {
            loop = true;
        } else if (a == u"--json") {
            json = true;
        } else if (a == u"--days" || a == u"--start") {
            if (i + 1 >= args.size()) {
                return usage(err, CatalogText(msg::CtlMissingValue, {a}));
            }
            const QString v = args[++i];
            if (a == u"--days") {
                bool ok = false;
                days = v.toInt(&ok);
                if (!ok || days < 1 || days > SchedulePlan::kMaxDays) {
                    err << CatalogText(msg::PlanBadDays, {QString::number(SchedulePlan::kMaxDays)}) << '\n';
                    return CtlExit::BadUsage;
                }
            } else {
                // A local time, as the plan prints them; an offset, when given, is kept.
                start = QDateTime::fromString(v, Qt::ISODate);
                if (!start.isValid()) {
                    err << CatalogText(msg::PlanBadStart, {VisibleText::shown(v)}) << '\n';
                    return CtlExit::BadUsage;
                }
                if (start.timeSpec() == Qt::LocalTime) {
                    start = QDateTime(start.date(), start.time(), calendar.zone());
                }
            }
        } else if (a.startsWith(u"--") || !path.isEmpty()) {
            return usage(err, CatalogText(msg::CtlUnknownOption, {VisibleText::shown(a)}));
        } else {
            path = a;
        }
    }
    if (path.isEmpty()) {
        return usage(err);
    }
    ScheduleTable table;
    ScheduleOptions options;
    if (!loadSchedule(path, table, options, err)) {
        return CtlExit::BadUsage;
    }
    const SchedulePlan plan = SchedulePlan::make(table, options, loop, start, days, calendar);
    printPlan(plan, table, calendar, json, out);
    for (const SchedulePlan::Collision& c : plan.collisions) {
        const ScheduleEntry& e = table.entries[static_cast<size_t>(c.first)];
        err << CatalogText(msg::PlanCollision, {QString::number(c.first + 1), QString::number(c.second + 1),
                                                Ipv4::toText(e.address), QString::number(e.saveId),
                                                calendar.toDateTime(c.from).toString(Qt::ISODate)})
            << '\n';
    }
    if (plan.endless) {
        err << CatalogText(msg::PlanEndless, {calendar.toDateTime(plan.endlessFrom).toString(Qt::ISODate)})
            << '\n';
    }
    if (plan.truncated) {
        err << CatalogText(msg::PlanTruncated, {QString::number(SchedulePlan::kMaxUploads)}) << '\n';
    }
    if (plan.uploads.empty() && !json) {
        out << CatalogText(msg::PlanNothing, {QString::number(days)}) << '\n';
    }
    return CtlExit::Ok;
}

int RunScheduleEditCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QString path;
    QString entryText;
    std::optional<quint8> weekdays;
    std::optional<QList<DaypartWindow>> windows;
    std::optional<QDate> first;
    std::optional<QDate> last;
    bool clear = false;
    static const QStringList kValued = {u"--entry"_qs, u"--days"_qs, u"--window"_qs, u"--from"_qs,
                                        u"--until"_qs};
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--clear") {
            clear = true;
            continue;
        }
        if (!kValued.contains(a)) {
            if (a.startsWith(u"--") || !path.isEmpty()) {
                return usage(err, CatalogText(msg::CtlUnknownOption, {VisibleText::shown(a)}));
            }
            path = a;
            continue;
        }
        if (i + 1 >= args.size()) {
            return usage(err, CatalogText(msg::CtlMissingValue, {a}));
        }
        const QString v = args[++i];
        const QString shown = VisibleText::shown(v);
        if (a == u"--entry") {
            entryText = v;
        } else if (a == u"--days") {
            weekdays = Daypart::parseWeekdays(v);
            if (!weekdays) {
                err << CatalogText(msg::DaypartBadWeekdays, {shown}) << '\n';
                return CtlExit::BadUsage;
            }
        } else if (a == u"--window") {
            const auto w = DaypartWindow::parse(v);
            if (!w) {
                err << CatalogText(msg::DaypartBadWindow, {shown}) << '\n';
                return CtlExit::BadUsage;
            }
            if (!windows) {
                windows.emplace();
            }
            if (windows->size() >= Daypart::kMaxWindows) {
                err << CatalogText(msg::DaypartTooManyWindows, {QString::number(Daypart::kMaxWindows)})
                    << '\n';
                return CtlExit::BadUsage;
            }
            windows->append(*w);
        } else {
            const auto d = Daypart::parseDate(v);
            if (!d) {
                err << CatalogText(msg::DaypartBadDate, {shown}) << '\n';
                return CtlExit::BadUsage;
            }
            (a == u"--from" ? first : last) = *d;
        }
    }
    if (path.isEmpty() || entryText.isEmpty()) {
        return usage(err);
    }
    if (!clear && !weekdays && !windows && !first && !last) {
        return usage(err, CatalogText(msg::DaypartNothingToChange));
    }
    ScheduleTable table;
    ScheduleOptions options;
    if (!loadSchedule(path, table, options, err)) {
        return CtlExit::BadUsage;
    }
    bool ok = false;
    const int entry = entryText.toInt(&ok);
    if (!ok || entry < 1 || entry > table.count) {
        err << CatalogText(msg::DaypartBadEntry, {QString::number(table.count)}) << '\n';
        return CtlExit::BadUsage;
    }
    Daypart d = clear ? Daypart{} : options.dayparts[static_cast<size_t>(entry - 1)];
    d.weekdays = weekdays.value_or(d.weekdays);
    d.windows = windows.value_or(d.windows);
    d.first = first.value_or(d.first);
    d.last = last.value_or(d.last);
    if (d.first.isValid() && d.last.isValid() && d.last < d.first) {
        err << CatalogText(msg::DaypartLastBeforeFirst,
                           {d.first.toString(Qt::ISODate), d.last.toString(Qt::ISODate)})
            << '\n';
        return CtlExit::BadUsage;
    }
    options.dayparts[static_cast<size_t>(entry - 1)] = d;
    if (const IoResult saved = ScheduleOptions::save(path, options); !saved.ok()) {
        err << CatalogText(msg::DaypartSaveFailed,
                           {ScheduleOptions::sidePath(path), FileErrorReason::ofSystemText(saved.detail)})
            << '\n';
        return CtlExit::BadUsage;
    }
    const QString any = CatalogText(msg::DaypartAny);
    out << CatalogText(msg::DaypartSummary,
                       {QString::number(entry),
                        d.weekdays == Daypart::kEveryDay ? any : Daypart::weekdaysText(d.weekdays),
                        d.windows.isEmpty() ? any : Daypart::windowsText(d.windows), dateOrAny(d.first),
                        dateOrAny(d.last)})
        << '\n';
    return CtlExit::Ok;
}
