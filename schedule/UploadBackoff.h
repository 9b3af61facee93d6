#pragma once

#include "i18n/CatalogId.h"

#include <QtGlobal>

#include <functional>
#include <unordered_map>

// How long a looping schedule leaves a projector alone after a failed upload: 5 s after the
// first failure, doubling up to 5 minutes, forgotten after a success. A projector switched
// off overnight then costs a few hundred attempts, not millions. Times come from a clock
// the owner gives (monotonic milliseconds), so the sequence is testable without waiting.
class UploadBackoff final {
public:
    using Clock = std::function<qint64()>;

    static constexpr qint64 kFirstMs = 5000;
    static constexpr qint64 kLongestMs = 300000;

    // No clock: a steady clock of the process.
    explicit UploadBackoff(Clock clock = {}, qint64 firstMs = kFirstMs, qint64 longestMs = kLongestMs);

    // The wait after this many failures in a row (1 or more); 0 for none.
    [[nodiscard]] static qint64 delayAfter(int failures, qint64 firstMs = kFirstMs,
                                           qint64 longestMs = kLongestMs);

    // A try at this projector failed: returns how long it is left alone from now.
    qint64 failed(quint32 address);
    // A try succeeded: the next failure waits the shortest time again.
    void succeeded(quint32 address);
    // How long until this projector may be tried; 0 when it may be tried now.
    [[nodiscard]] qint64 waitFor(quint32 address) const;
    [[nodiscard]] int failures(quint32 address) const;
    [[nodiscard]] qint64 now() const { return m_clock(); }

    // A few words on why the projector is left alone, for a schedule's status column.
    [[nodiscard]] static CatalogId reasonFor(int uploadResult);

private:
    struct State {
        int failures = 0;
        qint64 nextTry = 0; // clock time
    };

    Clock m_clock;
    qint64 m_firstMs;
    qint64 m_longestMs;
    std::unordered_map<quint32, State> m_states;
};
