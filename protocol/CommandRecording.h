#pragma once

#include "protocol/CommandConnection.h"
#include "protocol/CommandExchange.h"
#include "protocol/CommandObserver.h"
#include "protocol/RunReport.h"

#include <QElapsedTimer>

// Runs one command and, when the context names an observer, tells it how the run ended.
// describe(result, event) fills the outcome fields from what the run returned.
template <typename Run, typename Describe>
auto RunObserved(const CommandContext& context, CommandEvent event, Run&& run, Describe&& describe) {
    if (context.observer == nullptr) {
        return run();
    }
    event.started = QDateTime::currentDateTimeUtc();
    QElapsedTimer took;
    took.start();
    const int replies = RepliesOnThisThread();
    auto result = run();
    event.tookMs = took.elapsed();
    event.answered = RepliesOnThisThread() != replies;
    describe(result, event);
    context.observer->commandFinished(event);
    return result;
}

// The event every command starts from.
inline CommandEvent CommandEventFor(const char* command, int storeNumber, const CommandTarget& target) {
    CommandEvent e;
    e.command = QString::fromLatin1(command);
    e.storeNumber = storeNumber;
    e.address = target.address;
    return e;
}

// The outcome of the dialogs' runs: 0 is success; a run that ends silently reads as a failed send.
void DescribeOutcome(const RunReport& report, CommandEvent& event);
// The outcome of the store dialog's runs: 0 is success.
void DescribeStoreText(const StoreText& text, CommandEvent& event);
