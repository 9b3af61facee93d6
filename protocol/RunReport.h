#pragma once

#include "i18n/CatalogId.h"

#include <QString>
#include <QStringList>

#include <optional>

enum class MessageIcon { None, Information, Stop };

// What a command run tells its dialog to show: the run never shows anything itself.
struct RunReport final {
    int result = -1;
    bool showsMessage = false; // false: the run ends silently (greeting read failed, ...)
    MessageIcon icon = MessageIcon::None;
    QString body;                  // reply text that the message starts with
    std::optional<CatalogId> text; // catalog text shown behind the body
    QStringList inserts;
    bool connectTimedOut = false; // the failure was a connect time-out

    // The message box text: the body followed directly by the catalog text.
    [[nodiscard]] QString message() const;

    static RunReport silent(int result);
    static RunReport shown(int result, MessageIcon icon, CatalogId text);
};

struct ExchangeResult;

// What a message-box run shows when the exchange ends before a reply: the icon of the send
// failure, and the texts for a reply that did not come in time and for a failed wait.
struct ExchangeFailureTexts final {
    MessageIcon sendIcon = MessageIcon::Stop;
    CatalogId timedOut;
    CatalogId waitFailed;
};
// The report of an exchange that got no reply, or nothing when a reply is there to judge.
std::optional<RunReport> ReportExchangeFailure(const ExchangeResult& x, const ExchangeFailureTexts& texts);

// A run whose outcome is texts for a dialog's list rather than a message box.
struct StoreText final {
    int result = -1;
    QString text;
    std::optional<CatalogId> id; // the catalog text behind text, when it is one
};

// Reply text as the dialogs show it: at most 255 characters.
QString ReplyBodyText(const QByteArray& body);
