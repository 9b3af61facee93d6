#include "protocol/CancelCommand.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandExchange.h"
#include "protocol/CommandRecording.h"
#include "protocol/ResultExplanation.h"

namespace {

ExchangeResult runCancel(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    ExchangeRequest request;
    request.kind = CommandKind::Cancel;
    request.commandText = "CANCEL " + QByteArray::number(storeNumber) + "\r\n";
    request.waitStepMs = context.timeouts.cancelReplyMs;
    return RunCommandExchange(target, context, request);
}

StoreText storeText(int result, CatalogId id) {
    StoreText s;
    s.result = result;
    s.id = id;
    s.text = CatalogText(id);
    return s;
}

} // namespace

static RunReport cancelTransmission(int storeNumber, const CommandTarget& target,
                                    const CommandContext& context) {
    const ExchangeResult x = runCancel(storeNumber, target, context);
    if (auto failure = ReportExchangeFailure(x, {MessageIcon::Stop, msg::ReplyTimeout, msg::ReplyTimeout})) {
        return *failure;
    }
    const ReplyJudge::CancelVerdict v = ReplyJudge::judgeCancel(x.reply);
    return RunReport::shown(v.result, v.result == 0 ? MessageIcon::Information : MessageIcon::Stop, v.text);
}

static StoreText cancelStoreTransmission(int storeNumber, const CommandTarget& target,
                                         const CommandContext& context) {
    const ExchangeResult x = runCancel(storeNumber, target, context);
    using Stage = ExchangeResult::Stage;
    switch (x.stage) {
    case Stage::ConnectFailed: {
        const ResultExplanation why = ResultExplanation::of(x.connectResult, x.connectTimedOut);
        return StoreText{-1, why.text(), why.id};
    }
    case Stage::SendFailed:
    case Stage::Closed:
        return storeText(-1, msg::SendFailed);
    case Stage::TimedOut:
    case Stage::WaitFailed:
        return storeText(-1, msg::ReplyTimeout);
    case Stage::Replied:
        break;
    }
    const ReplyJudge::CancelVerdict v = ReplyJudge::judgeCancel(x.reply);
    return storeText(v.result, v.text);
}

RunReport CancelTransmission(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    return RunObserved(
        context, CommandEventFor("CANCEL", storeNumber, target),
        [&] { return cancelTransmission(storeNumber, target, context); }, DescribeOutcome);
}

StoreText CancelStoreTransmission(int storeNumber, const CommandTarget& target,
                                  const CommandContext& context) {
    return RunObserved(
        context, CommandEventFor("CANCEL", storeNumber, target),
        [&] { return cancelStoreTransmission(storeNumber, target, context); }, DescribeStoreText);
}
