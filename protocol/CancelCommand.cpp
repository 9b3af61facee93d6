#include "protocol/CancelCommand.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandExchange.h"
#include "protocol/CommandRecording.h"
#include "protocol/ResultExplanation.h"
#include "protocol/TransStateQuery.h"

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

CancelNeed CancelNeedOf(const StoreText& state) {
    if (state.result == 0) {
        const bool quiet = state.id == msg::TransStateIdle || state.id == msg::TransStateCompleted ||
                           state.id == msg::TransStateFailed;
        return quiet ? CancelNeed::NothingRunning : CancelNeed::Cancel;
    }
    // It answered but could not say: the CANCEL may still find something to end.
    if (state.id == msg::StateUnavailable || state.id == msg::ReplyNotUnderstood) {
        return CancelNeed::Cancel;
    }
    return CancelNeed::Unreachable;
}

StoreCancel CancelStoreIfRunning(int storeNumber, const CommandTarget& target,
                                 const CommandContext& context) {
    StoreCancel c;
    c.state = QueryStoreState(storeNumber, target, context);
    switch (CancelNeedOf(c.state)) {
    case CancelNeed::NothingRunning:
        c.outcome = storeText(0, msg::NothingToCancel);
        break;
    case CancelNeed::Unreachable:
        c.outcome = c.state;
        break;
    case CancelNeed::Cancel:
        c.outcome = CancelStoreTransmission(storeNumber, target, context);
        c.sent = true;
        break;
    }
    return c;
}

RunReport CancelIfRunning(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    const StoreText state = QueryStoreState(storeNumber, target, context);
    switch (CancelNeedOf(state)) {
    case CancelNeed::NothingRunning: {
        RunReport r = RunReport::shown(0, MessageIcon::Information, msg::NothingToCancelState);
        r.inserts = QStringList{state.text};
        return r;
    }
    case CancelNeed::Unreachable: {
        // The state's own failure text, already filled in.
        RunReport r = RunReport::silent(-1);
        r.showsMessage = true;
        r.icon = MessageIcon::Stop;
        r.body = state.text;
        return r;
    }
    case CancelNeed::Cancel:
        break;
    }
    return CancelTransmission(storeNumber, target, context);
}
