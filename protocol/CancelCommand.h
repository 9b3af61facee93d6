#pragma once

#include "protocol/CommandConnection.h"
#include "protocol/RunReport.h"

// CANCEL: ends the transmission into one store.

// The Cancel dialog's run: 0 for "CANCEL 0\r\n", else -1.
RunReport CancelTransmission(int storeNumber, const CommandTarget& target,
                             const CommandContext& context = {});

// The store dialog's Cancel Transmit run for one store: the outcome text and its result.
StoreText CancelStoreTransmission(int storeNumber, const CommandTarget& target,
                                  const CommandContext& context = {});

// What a store's transmission state, as STAT reported it, leaves to do. Only a state that
// plainly shows nothing running spares the CANCEL; a state the projector could not give or
// that we do not know is still cancelled, since a transmission may be running there.
enum class CancelNeed { Cancel, NothingRunning, Unreachable };
CancelNeed CancelNeedOf(const StoreText& state);

// One store's Cancel Transmit: the state asked first, then CANCEL when it is needed.
struct StoreCancel final {
    StoreText state;   // what STAT said just now
    StoreText outcome; // the CANCEL's outcome, or why none went out
    bool sent = false; // a CANCEL went to the projector
};
StoreCancel CancelStoreIfRunning(int storeNumber, const CommandTarget& target,
                                 const CommandContext& context = {});

// The Cancel dialog's run that asks the state first: "nothing to cancel" with the state's
// text (result 0) when nothing runs, STAT's failure when the projector cannot be reached,
// else CancelTransmission's report.
RunReport CancelIfRunning(int storeNumber, const CommandTarget& target, const CommandContext& context = {});
