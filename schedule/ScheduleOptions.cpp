#include "schedule/ScheduleOptions.h"

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

QByteArray onOff(bool on) {
    return on ? QByteArrayLiteral("on") : QByteArrayLiteral("off");
}

} // namespace

QString ScheduleOptions::sidePath(const QString& schedulePath) {
    return schedulePath + QStringLiteral(".options");
}

QByteArray ScheduleOptions::toText() const {
    return QByteArray(kVerifyKey) + '=' + onOff(verify) + '\n' + QByteArray(kRetryKey) + '=' + onOff(retry) +
           '\n';
}

bool ScheduleOptions::fromText(const QByteArray& text, ScheduleOptions& options) {
    ScheduleOptions read;
    bool seenVerify = false;
    bool seenRetry = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed(); // also the '\r' of a file edited elsewhere
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) {
            return false;
        }
        const QByteArray key = line.left(eq).trimmed().toLower();
        const QByteArray value = line.mid(eq + 1).trimmed().toLower();
        bool on = false;
        if (value == "on") {
            on = true;
        } else if (value != "off") {
            return false;
        }
        // A key twice is a file someone else made up: trust neither line.
        if (key == kVerifyKey && !seenVerify) {
            read.verify = on;
            seenVerify = true;
        } else if (key == kRetryKey && !seenRetry) {
            read.retry = on;
            seenRetry = true;
        } else {
            return false;
        }
    }
    options = read;
    return true;
}

IoResult ScheduleOptions::load(const QString& schedulePath, ScheduleOptions& options) {
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
    if (text.size() > kMaxFileSize || !fromText(text, read)) {
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
