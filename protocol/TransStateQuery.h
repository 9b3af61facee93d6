#pragma once

#include "protocol/CommandConnection.h"
#include "protocol/RunReport.h"

// STAT: how the transmission into one store stands.

// The Transmission State dialog's run: 0 when the first line is "STAT 0", else -1.
RunReport QueryTransState(int storeNumber, const CommandTarget& target, const CommandContext& context = {});

// The projector list's run for one store: 0 with the state text (possibly empty), or -1
// with the failure text.
StoreText QueryStoreState(int storeNumber, const CommandTarget& target, const CommandContext& context = {});
