#pragma once

// How long a command waits at each step. The defaults are the projector protocol's; tests
// and tools shorten them.
struct CommandTimeouts final {
    // The platform's own connect time-out is about two minutes, which would freeze every
    // dialog and the schedule runner; a projector on the local network answers at once.
    int connectMs = 5000;
    int greetingMs = 1000;
    int infoReplyMs = 30000;
    int statReplyMs = 3000;
    int cancelReplyMs = 30000;
    // PUT gives the projector 300 waits of one second to store the file and answer.
    int putReplyWaits = 300;
    int putWaitStepMs = 1000;
    // A projector that stops reading must not hold a send for ever.
    int sendMs = 30000;
};
