#include "schedule/ScheduleOptions.h"

#include "common/VisibleText.h"
#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/FileErrorReason.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

namespace {

constexpr char kVerifyKey[] = "verify";
constexpr char kRetryKey[] = "retry";

constexpr char kEntryPrefix[] = "entry.";
constexpr int kShownLineLength = 80;

QByteArray onOff(bool on) {
    return on ? QByteArrayLiteral("on") : QByteArrayLiteral("off");
}

enum class Part { Days, Windows, From, Until, Count };

// "entry.12.windows" to entry index 11 and its part; false for any other key.
bool entryKey(const QByteArray& key, int& index, Part& part) {
    if (!key.startsWith(kEntryPrefix)) {
        return false;
    }
    const QByteArray rest = key.mid(static_cast<qsizetype>(sizeof kEntryPrefix) - 1);
    const qsizetype dot = rest.indexOf('.');
    const QByteArray number = rest.left(dot);
    if (dot < 1 || number.size() > 2 || number.startsWith('0')) {
        return false;
    }
    for (const char c : number) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    index = number.toInt() - 1;
    if (index < 0 || index >= ScheduleTable::kSlots) {
        return false;
    }
    const QByteArray name = rest.mid(dot + 1);
    if (name == "days") {
        part = Part::Days;
    } else if (name == "windows") {
        part = Part::Windows;
    } else if (name == "from") {
        part = Part::From;
    } else if (name == "until") {
        part = Part::Until;
    } else {
        return false;
    }
    return true;
}

bool setPart(Daypart& d, Part part, const QString& value) {
    switch (part) {
    case Part::Days:
        if (const auto days = Daypart::parseWeekdays(value)) {
            d.weekdays = *days;
            return true;
        }
        return false;
    case Part::Windows:
        if (const auto windows = Daypart::parseWindows(value)) {
            d.windows = *windows;
            return true;
        }
        return false;
    case Part::From:
    case Part::Until:
        if (const auto date = Daypart::parseDate(value)) {
            (part == Part::From ? d.first : d.last) = *date;
            return true;
        }
        return false;
    case Part::Count:
        break;
    }
    return false;
}

} // namespace

QString ScheduleOptions::sidePath(const QString& schedulePath) {
    return schedulePath + QStringLiteral(".options");
}

QByteArray ScheduleOptions::toText() const {
    QByteArray text = QByteArray(kVerifyKey) + '=' + onOff(verify) + '\n' + QByteArray(kRetryKey) + '=' +
                      onOff(retry) + '\n';
    for (int i = 0; i < ScheduleTable::kSlots; ++i) {
        const Daypart& d = dayparts[static_cast<size_t>(i)];
        const QByteArray prefix = kEntryPrefix + QByteArray::number(i + 1) + '.';
        if (d.weekdays != Daypart::kEveryDay) {
            text += prefix + "days=" + Daypart::weekdaysText(d.weekdays).toLatin1() + '\n';
        }
        if (!d.windows.isEmpty()) {
            text += prefix + "windows=" + Daypart::windowsText(d.windows).toLatin1() + '\n';
        }
        if (d.first.isValid()) {
            text += prefix + "from=" + d.first.toString(Qt::ISODate).toLatin1() + '\n';
        }
        if (d.last.isValid()) {
            text += prefix + "until=" + d.last.toString(Qt::ISODate).toLatin1() + '\n';
        }
    }
    return text;
}

bool ScheduleOptions::fromText(const QByteArray& text, ScheduleOptions& options, BadLine* where) {
    ScheduleOptions read;
    bool seenVerify = false;
    bool seenRetry = false;
    std::array<std::array<bool, static_cast<size_t>(Part::Count)>, ScheduleTable::kSlots> seen{};
    int number = 0;
    const auto bad = [&](const QByteArray& line) {
        if (where) {
            where->number = number;
            where->text = QString::fromUtf8(line);
        }
        return false;
    };
    for (const QByteArray& raw : text.split('\n')) {
        ++number;
        const QByteArray line = raw.trimmed(); // also the '\r' of a file edited elsewhere
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) {
            return bad(line);
        }
        const QByteArray key = line.left(eq).trimmed().toLower();
        const QByteArray value = line.mid(eq + 1).trimmed().toLower();
        int index = 0;
        Part part = Part::Count;
        if (entryKey(key, index, part)) {
            bool& once = seen[static_cast<size_t>(index)][static_cast<size_t>(part)];
            if (once ||
                !setPart(read.dayparts[static_cast<size_t>(index)], part, QString::fromLatin1(value))) {
                return bad(line);
            }
            once = true;
            continue;
        }
        bool on = false;
        if (value == "on") {
            on = true;
        } else if (value != "off") {
            return bad(line);
        }
        // A key twice is a file someone else made up: trust neither line.
        if (key == kVerifyKey && !seenVerify) {
            read.verify = on;
            seenVerify = true;
        } else if (key == kRetryKey && !seenRetry) {
            read.retry = on;
            seenRetry = true;
        } else {
            return bad(line);
        }
    }
    for (const Daypart& d : read.dayparts) {
        if (!d.isValid()) {
            // Only a last date before the first gets here; the lines were fine one by one.
            number = 0;
            return bad({});
        }
    }
    options = read;
    return true;
}

IoResult ScheduleOptions::load(const QString& schedulePath, ScheduleOptions& options, BadLine* where) {
    options = ScheduleOptions{};
    const QString path = sidePath(schedulePath);
    QFile file(path);
    if (!file.exists()) {
        return IoResult::success();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return IoResult::failure(IoResult::Code::OpenFailed, file.errorString());
    }
    const QByteArray text = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        return IoResult::failure(IoResult::Code::ReadFailed, file.errorString());
    }
    ScheduleOptions read;
    if (text.size() > kMaxFileSize) {
        if (where) {
            *where = BadLine{};
        }
        return IoResult::failure(IoResult::Code::BadContent, QStringLiteral("not a schedule options file"));
    }
    if (!fromText(text, read, where)) {
        return IoResult::failure(IoResult::Code::BadContent, QStringLiteral("not a schedule options file"));
    }
    options = read;
    return IoResult::success();
}

QString ScheduleOptions::loadFailureText(const QString& schedulePath, const IoResult& result) {
    const QString side = sidePath(schedulePath);
    return result.code == IoResult::Code::BadContent
               ? CatalogText(msg::ScheduleOptionsGarbled, {side})
               : CatalogText(msg::ScheduleOptionsUnreadable,
                             {side, FileErrorReason::ofSystemText(result.detail)});
}

QString ScheduleOptions::loadFailureText(const QString& schedulePath, const IoResult& result,
                                         const BadLine& where) {
    if (result.code != IoResult::Code::BadContent || where.number <= 0) {
        return loadFailureText(schedulePath, result);
    }
    QString shown = VisibleText::shown(where.text);
    if (shown.size() > kShownLineLength) {
        shown = shown.left(kShownLineLength) + QStringLiteral("…");
    }
    return CatalogText(msg::ScheduleOptionsBadLine,
                       {sidePath(schedulePath), QString::number(where.number), shown});
}

IoResult ScheduleOptions::save(const QString& schedulePath, const ScheduleOptions& options) {
    const QString path = sidePath(schedulePath);
    if (options == ScheduleOptions{} && !QFileInfo::exists(path)) {
        return IoResult::success(); // missing already reads as both off
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return IoResult::failure(IoResult::Code::OpenFailed, file.errorString());
    }
    const QByteArray text = options.toText();
    if (file.write(text) != text.size() || !file.commit()) {
        return IoResult::failure(IoResult::Code::WriteFailed, file.errorString());
    }
    return IoResult::success();
}
