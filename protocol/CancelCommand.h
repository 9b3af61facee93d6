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
