#include "protocol/TransStateQuery.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandExchange.h"
#include "protocol/CommandRecording.h"
#include "protocol/ResultExplanation.h"

namespace {

ExchangeResult runStat(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    ExchangeRequest request;
    request.kind = CommandKind::Stat;
    request.commandText = "STAT " + QByteArray::number(storeNumber) + "\r\n";
    request.waitStepMs = context.timeouts.statReplyMs;
    return RunCommandExchange(target, context, request);
}

StoreText storeText(int result, std::optional<CatalogId> id) {
    StoreText s;
    s.result = result;
    s.id = id;
    if (id) {
        s.text = CatalogText(*id);
    }
    return s;
}

} // namespace

static RunReport queryTransState(int storeNumber, const CommandTarget& target,
                                 const CommandContext& context) {
    const ExchangeResult x = runStat(storeNumber, target, context);
    // The send failure of this run comes with an OK button and no icon.
    if (auto failure =
            ReportExchangeFailure(x, {MessageIcon::None, msg::StateReplyTimeout, msg::ReplyTimeout})) {
        return *failure;
    }
    const ReplyJudge::StatVerdict v = ReplyJudge::judgeStat(x.reply);
    if (!v.ok) {
        return RunReport::shown(-1, MessageIcon::Stop, v.text);
    }
    RunReport r;
    r.result = 0;
    r.showsMessage = true;
    r.icon = MessageIcon::Information;
    r.body = ReplyBodyText(v.body);
    r.text = v.state;
    return r;
}

static StoreText queryStoreState(int storeNumber, const CommandTarget& target,
                                 const CommandContext& context) {
    const ExchangeResult x = runStat(storeNumber, target, context);
    using Stage = ExchangeResult::Stage;
    switch (x.stage) {
    case Stage::ConnectFailed: {
        const ResultExplanation why = ResultExplanation::of(x.connectResult, x.connectTimedOut);
        return StoreText{-1, why.text(), why.id};
    }
    case Stage::SendFailed:
        return storeText(-1, msg::SendFailed);
    case Stage::TimedOut:
    case Stage::WaitFailed:
    case Stage::Closed:
        return storeText(-1, msg::ReplyTimeout);
    case Stage::Replied:
        break;
    }
    const ReplyJudge::StatVerdict v = ReplyJudge::judgeStat(x.reply);
    if (!v.ok) {
        return storeText(-1, v.text);
    }
    return storeText(0, v.state);
}

RunReport QueryTransState(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    return RunObserved(
        context, CommandEventFor("STAT", storeNumber, target),
        [&] { return queryTransState(storeNumber, target, context); }, DescribeOutcome);
}

StoreText QueryStoreState(int storeNumber, const CommandTarget& target, const CommandContext& context) {
    return RunObserved(
        context, CommandEventFor("STAT", storeNumber, target),
        [&] { return queryStoreState(storeNumber, target, context); }, DescribeStoreText);
}
