// ticker.h -- the show's clock source: a routine called once per tick.
//
// The thread ticker calls the tick routine every period on a thread of its own, against
// absolute deadlines so that ticks do not drift. The stepped ticker calls it only when the
// shell asks (one tick per frame in headless runs), which makes every run repeatable.
#pragma once

#include <cstdint>

// Called once per tick, on the ticker's thread (thread ticker) or inside step (stepped ticker).
// Whatever it shares with the main thread must be std::atomic.
using TickRoutine = void (*)();

struct TickerDriver {
    const char *name; // "thread" or "stepped"

    // Starts ticking every period_ms milliseconds (the stepped ticker ignores the period).
    // Returns 1, or 0 when already running, when tick is null, or (thread ticker) when
    // period_ms < 1 or the thread cannot start.
    int (*start)(int32_t period_ms, TickRoutine tick);

    // Stepped ticker: calls the tick routine once, when running. Thread ticker: does nothing.
    void (*step)();

    // Stops ticking; the routine is not called after this returns. Returns 1 if the ticker
    // was running, else 0.
    int (*stop)();
};

extern const TickerDriver ticker_thread;
extern const TickerDriver ticker_stepped;
