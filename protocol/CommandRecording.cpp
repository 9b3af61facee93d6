#include "protocol/CommandRecording.h"

#include "i18n/CatalogIds.h"
#include "i18n/CatalogLookup.h"

void DescribeOutcome(const RunReport& report, CommandEvent& event) {
    event.result = report.result;
    event.ok = report.result == 0;
    event.text = report.showsMessage ? report.message() : CatalogText(msg::SendFailed);
}

void DescribeStoreText(const StoreText& text, CommandEvent& event) {
    event.result = text.result;
    event.ok = text.result == 0;
    event.text = text.text;
}
