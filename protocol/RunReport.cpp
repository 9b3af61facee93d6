#include "protocol/RunReport.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"
#include "protocol/CommandExchange.h"
#include "protocol/ResultExplanation.h"

QString RunReport::message() const {
    QString m = body;
    if (text) {
        m += CatalogText(*text, inserts);
    }
    return m;
}

RunReport RunReport::silent(int result) {
    RunReport r;
    r.result = result;
    return r;
}

RunReport RunReport::shown(int result, MessageIcon icon, CatalogId text) {
    RunReport r;
    r.result = result;
    r.showsMessage = true;
    r.icon = icon;
    r.text = text;
    return r;
}

QString ReplyBodyText(const QByteArray& body) {
    constexpr qsizetype kMessageChars = 255;
    QString s = QString::fromUtf8(body);
    if (s.size() > kMessageChars) {
        qsizetype cut = kMessageChars;
        if (s[cut - 1].isHighSurrogate()) {
            --cut;
        }
        s.truncate(cut);
    }
    return s;
}

std::optional<RunReport> ReportExchangeFailure(const ExchangeResult& x, const ExchangeFailureTexts& texts) {
    using Stage = ExchangeResult::Stage;
    switch (x.stage) {
    case Stage::ConnectFailed: {
        if (x.connectResult == ConnectResult::GreetingReadFailed) {
            return RunReport::silent(-1);
        }
        // Why the connection failed and what to check; the code follows in brackets.
        const ResultExplanation why = ResultExplanation::of(x.connectResult, x.connectTimedOut);
        RunReport r = RunReport::shown(-1, texts.sendIcon, why.id);
        r.inserts = why.inserts;
        r.connectTimedOut = x.connectTimedOut;
        return r;
    }
    case Stage::SendFailed:
        return RunReport::shown(-1, texts.sendIcon, msg::SendFailed);
    case Stage::TimedOut:
        return RunReport::shown(-1, MessageIcon::Stop, texts.timedOut);
    case Stage::WaitFailed:
        return RunReport::shown(-1, MessageIcon::Stop, texts.waitFailed);
    case Stage::Closed:
        return RunReport::silent(-1);
    case Stage::Replied:
        break;
    }
    return std::nullopt;
}
