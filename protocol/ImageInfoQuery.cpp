#include "protocol/ImageInfoQuery.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "i18n/CatalogNumber.h"
#include "protocol/CommandExchange.h"
#include "protocol/CommandRecording.h"
#include "protocol/ResultExplanation.h"

namespace {

ExchangeResult runInfo(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    return RunCommandExchange(target, context, StoreInfoRequest(storeNumber, context.timeouts));
}

StoreInfo failed(CatalogId id) {
    StoreInfo s;
    s.result = -1;
    s.nameId = id;
    s.name = CatalogText(id);
    s.size = CatalogText(msg::StoreSizeNone);
    return s;
}

} // namespace

static RunReport queryImageInfo(int storeNumber, const CommandTarget& target, const CommandContext& context,
                                StoreInfo& seen) {
    const ExchangeResult x = runInfo(storeNumber, target, context);
    seen = StoreInfoOf(x);
    if (auto failure = ReportExchangeFailure(x, {MessageIcon::Stop, msg::ReplyTimeout, msg::ReplyTimeout})) {
        return *failure;
    }
    const ReplyJudge::InfoVerdict v = ReplyJudge::judgeInfo(x.reply);
    switch (v.kind) {
    case ReplyJudge::InfoVerdict::Kind::Empty:
        return RunReport::shown(0, MessageIcon::Information, msg::StoreEmpty);
    case ReplyJudge::InfoVerdict::Kind::Image: {
        RunReport r;
        r.result = 0;
        r.showsMessage = true;
        r.icon = MessageIcon::Information;
        r.body = ReplyBodyText(v.body);
        // The line end of the length line gives way to the unit text.
        if (r.body.endsWith(u"\r\n")) {
            r.body.chop(2);
            r.text = msg::LengthUnit;
        }
        return r;
    }
    case ReplyJudge::InfoVerdict::Kind::Failed:
        break;
    }
    return RunReport::shown(-1, MessageIcon::Stop, v.text);
}

ExchangeRequest StoreInfoRequest(int storeNumber, const CommandTimeouts& timeouts) {
    ExchangeRequest request;
    request.kind = CommandKind::Info;
    request.commandText = "INFO " + QByteArray::number(storeNumber) + "\r\n";
    request.waitStepMs = timeouts.infoReplyMs;
    return request;
}

StoreInfo StoreInfoOf(const ExchangeResult& x) {
    using Stage = ExchangeResult::Stage;
    switch (x.stage) {
    case Stage::ConnectFailed: {
        // Why the connection failed, as the message boxes say it.
        const ResultExplanation why = ResultExplanation::of(x.connectResult, x.connectTimedOut);
        StoreInfo s = failed(why.id);
        s.name = why.text();
        return s;
    }
    case Stage::SendFailed:
    case Stage::Closed:
        return failed(msg::SendFailed);
    case Stage::TimedOut:
    case Stage::WaitFailed:
        return failed(msg::ReplyTimeout);
    case Stage::Replied:
        break;
    }
    const ReplyJudge::InfoVerdict v = ReplyJudge::judgeInfo(x.reply);
    switch (v.kind) {
    case ReplyJudge::InfoVerdict::Kind::Empty: {
        StoreInfo s = failed(msg::StoreEmpty);
        s.result = 1;
        return s;
    }
    case ReplyJudge::InfoVerdict::Kind::Image: {
        if (!v.fileName || !v.lengthText) {
            // A body without the two lines names no file: it is not understood.
            return failed(msg::ReplyNotUnderstood);
        }
        StoreInfo s;
        s.result = 2;
        s.name = QString::fromUtf8(*v.fileName);
        s.lengthText = QString::fromUtf8(*v.lengthText);
        s.size = CatalogText(msg::StoreSizeText, {CatalogNumber::formatText(s.lengthText)});
        return s;
    }
    case ReplyJudge::InfoVerdict::Kind::Failed:
        break;
    }
    return failed(v.text);
}

void DescribeStoreInfo(const StoreInfo& s, CommandEvent& e) {
    e.result = s.result;
    e.ok = s.result >= 1;
    e.text = s.result == 2 ? s.name + QLatin1Char(' ') + s.lengthText : s.name;
    NoteStoreInfo(s, e);
}

void NoteStoreInfo(const StoreInfo& s, CommandEvent& e) {
    e.storeHolds = s.result >= 1 ? s.result : -1;
    e.storeFileName = s.result == 2 ? s.name : QString();
    e.storeLength = s.result == 2 ? s.lengthText : QString();
}

static StoreInfo queryStoreInfo(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    return StoreInfoOf(runInfo(storeNumber, target, context));
}

RunReport QueryImageInfo(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    StoreInfo seen; // what the store holds, for the history's listeners
    return RunObserved(
        context, CommandEventFor("INFO", storeNumber, target),
        [&] { return queryImageInfo(storeNumber, target, context, seen); },
        [&](const RunReport& report, CommandEvent& e) {
            DescribeOutcome(report, e);
            NoteStoreInfo(seen, e);
        });
}

StoreInfo QueryStoreInfo(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    return RunObserved(
        context, CommandEventFor("INFO", storeNumber, target),
        [&] { return queryStoreInfo(storeNumber, target, context); }, DescribeStoreInfo);
}
