#include "protocol/ImageUpload.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandExchange.h"
#include "protocol/CommandRecording.h"
#include "protocol/ResultExplanation.h"

#include <QFile>

#include <utility>

QString ImageUpload::baseName(const QString& path) {
    const qsizetype cut = qMax(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return cut >= 0 ? path.mid(cut + 1) : path;
}

QByteArray ImageUpload::header(const QByteArray& baseName, qint64 length, int storeNumber) {
    return "PUT " + baseName + "\r\nFile-Length:" + QByteArray::number(length) +
           "\r\nSave-ID:" + QByteArray::number(storeNumber) + "\r\n\r\n";
}

ImageUpload::ResultText ImageUpload::textFor(int uploadResult) {
    switch (uploadResult) {
    case UploadResult::Ok:
        return {msg::UploadSucceeded, {}};
    case UploadResult::FileUnreadable:
        return {msg::UploadFileUnreadable, {}};
    case UploadResult::FileEmpty:
        return {msg::UploadFileEmpty, {}};
    case UploadResult::Reply1:
        return {msg::CommandRejected, {}};
    case UploadResult::Reply2:
        return {msg::UploadRefused, {QString::number(uploadResult)}};
    case UploadResult::OtherReply:
        return {msg::ReplyNotUnderstood, {}};
    case UploadResult::Stopped:
        return {msg::UploadStopped, {}};
    default: {
        // Connection codes, time-outs, wrong password, busy, send and read failures.
        ResultExplanation e = ResultExplanation::of(uploadResult);
        return {e.id, std::move(e.inserts)};
    }
    }
}

static int uploadImageData(const QByteArray& name, const QByteArray& content, int storeNumber,
                           const CommandTarget& target, const CommandContext& context,
                           const ImageUpload::Progress& progress, const ImageUpload::SentBytes& sentBytes);

void ImageUpload::describe(int uploadResult, CommandEvent& e) {
    e.result = uploadResult;
    e.ok = uploadResult == UploadResult::Ok;
    const ImageUpload::ResultText t = ImageUpload::textFor(uploadResult);
    e.text = CatalogText(t.id, t.inserts);
}

int ImageUpload::checkSendable(const QByteArray& name, qint64 length) {
    if (length == 0) {
        return UploadResult::FileEmpty;
    }
    if (length > kMaxFileSize || name.isEmpty() || name.size() > kMaxBaseName) {
        return UploadResult::FileUnreadable;
    }
    return UploadResult::Ok;
}

int ImageUpload::resultOf(const ExchangeResult& x) {
    using Stage = ExchangeResult::Stage;
    switch (x.stage) {
    case Stage::ConnectFailed:
        return x.connectResult;
    case Stage::SendFailed:
        return UploadResult::SendFailed;
    case Stage::TimedOut:
        return UploadResult::NoReply;
    case Stage::WaitFailed:
        return UploadResult::WaitFailed;
    case Stage::Closed:
        return UploadResult::ReadFailed;
    case Stage::Replied:
        break;
    }
    return ReplyJudge::judgePut(x.reply);
}

static int uploadImage(const QString& path, int storeNumber, const CommandTarget& target,
                       const CommandContext& context, const ImageUpload::Progress& progress) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return UploadResult::FileUnreadable;
    }
    const qint64 length = file.size();
    if (length == 0) {
        return UploadResult::FileEmpty;
    }
    const QByteArray name = ImageUpload::baseName(path).toUtf8();
    if (length > ImageUpload::kMaxFileSize || name.isEmpty() || name.size() > ImageUpload::kMaxBaseName) {
        return UploadResult::FileUnreadable;
    }
    // A read that delivers less than the file's length fails the upload here.
    QByteArray content(length, Qt::Uninitialized);
    qint64 got = 0;
    while (got < length) {
        const qint64 n = file.read(content.data() + got, length - got);
        if (n <= 0) {
            return UploadResult::FileUnreadable;
        }
        got += n;
    }
    file.close();
    return uploadImageData(name, content, storeNumber, target, context, progress, {});
}

static int uploadImageData(const QByteArray& name, const QByteArray& content, int storeNumber,
                           const CommandTarget& target, const CommandContext& context,
                           const ImageUpload::Progress& progress, const ImageUpload::SentBytes& sentBytes) {
    auto report = [&](ImageUpload::Phase phase, int steps) {
        if (progress) {
            progress(phase, steps);
        }
    };
    const qint64 length = content.size();
    if (const int check = ImageUpload::checkSendable(name, length); check != UploadResult::Ok) {
        return check;
    }
    const QByteArray head = ImageUpload::header(name, length, storeNumber);

    auto stopped = [&context] { return context.stop != nullptr && context.stop->load(); };
    if (stopped()) {
        return UploadResult::Stopped;
    }
    report(ImageUpload::Phase::Connecting, 0);
    CommandConnection connection = OpenCommandConnection(target, context);
    if (connection.result != ConnectResult::Ok) {
        report(ImageUpload::Phase::Done, 0);
        return stopped() ? UploadResult::Stopped : connection.result;
    }
    ExchangeRequest request;
    request.kind = CommandKind::Put;
    request.replyWaits = context.timeouts.putReplyWaits;
    request.waitStepMs = context.timeouts.putWaitStepMs;
    request.onWaiting = [&](int steps) {
        report(steps == 0 ? ImageUpload::Phase::Sent : ImageUpload::Phase::Waiting, steps);
    };
    if (sentBytes) {
        request.onSent = sentBytes;
    }
    QByteArray block = connection.prefix;
    block.reserve(block.size() + head.size() + length);
    block += head;
    block += content;
    const ExchangeResult x = RunOnConnection(connection, context, block, request);
    report(ImageUpload::Phase::Done, 0);
    if (x.stage != ExchangeResult::Stage::Replied && stopped()) {
        return UploadResult::Stopped;
    }
    return ImageUpload::resultOf(x);
}

int UploadImage(const QString& path, int storeNumber, const CommandTarget& target,
                const CommandContext& context, const ImageUpload::Progress& progress) {
    CommandEvent event = CommandEventFor("PUT", storeNumber, target);
    event.uploadPath = path;
    return RunObserved(
        context, std::move(event), [&] { return uploadImage(path, storeNumber, target, context, progress); },
        ImageUpload::describe);
}

int UploadImageData(const QByteArray& name, const QByteArray& content, int storeNumber,
                    const CommandTarget& target, const CommandContext& context,
                    const ImageUpload::Progress& progress, const ImageUpload::SentBytes& sentBytes) {
    CommandEvent event = CommandEventFor("PUT", storeNumber, target);
    event.uploadName = name;
    event.uploadContent = content;
    return RunObserved(
        context, std::move(event),
        [&] { return uploadImageData(name, content, storeNumber, target, context, progress, sentBytes); },
        ImageUpload::describe);
}
