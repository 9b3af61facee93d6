#include "protocol/ResultExplanation.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandConnection.h"
#include "protocol/ImageUpload.h"

#include <utility>

ResultExplanation ResultExplanation::of(int result, bool connectTimedOut) {
    const QStringList code{QString::number(result)};
    switch (result) {
    case ConnectResult::SocketFailed:
        return {msg::ExplainNoSocket, code};
    case ConnectResult::ConnectFailed:
        return {connectTimedOut ? msg::ExplainConnectTimeout : msg::ExplainRefused, code};
    case ConnectResult::NoGreeting:
        return {msg::ExplainNoGreeting, code};
    case ConnectResult::WaitFailed:
        return {msg::ExplainWaitFailed, code};
    case ConnectResult::GreetingReadFailed:
        return {msg::ExplainClosedBeforeGreeting, code};
    case UploadResult::Reply9:
        return {msg::ExplainWrongPassword, code};
    case UploadResult::Reply3:
        return {msg::ExplainBusy, code};
    case UploadResult::NoReply:
    case UploadResult::WaitFailed:
        return {msg::ExplainSilence, code};
    default:
        return {msg::ExplainOther, code};
    }
}

QString ResultExplanation::text() const {
    return CatalogText(id, inserts);
}

std::optional<CatalogId> ResultExplanation::rowText() const {
    static constexpr std::pair<CatalogId, CatalogId> kRows[] = {
        {msg::ExplainNoSocket, msg::SendRowNoSocket},
        {msg::ExplainRefused, msg::SendRowRefused},
        {msg::ExplainConnectTimeout, msg::SendRowConnectTimeout},
        {msg::ExplainNoGreeting, msg::SendRowNoGreeting},
        {msg::ExplainWaitFailed, msg::SendRowGreetingWaitFailed},
        {msg::ExplainClosedBeforeGreeting, msg::SendRowClosedBeforeGreeting},
        {msg::ExplainWrongPassword, msg::SendRowWrongPassword},
        {msg::ExplainBusy, msg::SendRowBusy},
        {msg::ExplainSilence, msg::SendRowSilence},
    };
    for (const auto& [explanation, row] : kRows) {
        if (explanation == id) {
            return row;
        }
    }
    return std::nullopt;
}
