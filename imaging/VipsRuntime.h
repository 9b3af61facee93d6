#pragma once

#include <QString>

// libvips is started once per process, from whichever thread gets here first.
class VipsRuntime final {
public:
    // True when libvips is usable. Every imaging entry point calls this first.
    static bool ensure();

    // The text that libvips queued for the calling operation, and clears the queue.
    static QString takeError();
};
