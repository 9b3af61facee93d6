#pragma once

#include "i18n/CatalogId.h"

#include <QStringList>

#include <optional>

// What a command result means to the user and what to check next, with the code itself in
// brackets at the end of the text (never the code alone).
struct ResultExplanation final {
    CatalogId id;
    QStringList inserts;

    // Connection results (ConnectResult) and the PUT verdicts that several commands share:
    // wrong password (UploadResult::Reply9), busy (Reply3), silence (NoReply, WaitFailed).
    // connectTimedOut tells a -102 that ran out of time from one that was refused.
    static ResultExplanation of(int result, bool connectTimedOut = false);

    [[nodiscard]] QString text() const;
    // One line for a list row: what went wrong and what to check, without the code; none
    // when the explanation has no particular advice (the row then keeps its own text).
    [[nodiscard]] std::optional<CatalogId> rowText() const;
};
