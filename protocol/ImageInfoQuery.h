#pragma once

#include "protocol/CommandConnection.h"
#include "protocol/RunReport.h"

struct CommandEvent;
struct ExchangeRequest;
struct ExchangeResult;

// INFO: what one store of one projector holds.

// The Image Information dialog's run: 0 when the projector answered "INFO 0", else -1,
// with the message box the dialog shows (or none).
RunReport QueryImageInfo(int storeNumber, const CommandTarget& target, const CommandContext& context = {});

// The projector list's run for one store: 2 with the file name and its size text, 1 for an
// empty store, -1 with the failure text as the name. The size text is "-" unless 2.
struct StoreInfo final {
    int result = -1;
    QString name;
    QString size;
    std::optional<CatalogId> nameId; // when the name is a catalog text
    QString lengthText;              // result 2: the length as the reply gave it
};
StoreInfo QueryStoreInfo(int storeNumber, const CommandTarget& target, const CommandContext& context = {});

// The parts of QueryStoreInfo for runs that drive the exchange themselves: the request,
// what its outcome means, and what the command history is told of it.
ExchangeRequest StoreInfoRequest(int storeNumber, const CommandTimeouts& timeouts);
StoreInfo StoreInfoOf(const ExchangeResult& exchange);
void DescribeStoreInfo(const StoreInfo& info, CommandEvent& event);
// Only what the store holds, into the event's store fields.
void NoteStoreInfo(const StoreInfo& info, CommandEvent& event);
