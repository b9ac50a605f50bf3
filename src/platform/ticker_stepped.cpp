// ticker_stepped.cpp -- the ticker that ticks only when asked: every headless run is repeatable.

#include "platform/ticker.h"

static TickRoutine stepped_tick;

static int stepped_start(int32_t, TickRoutine tick) {
    if (stepped_tick || !tick) return 0;
    stepped_tick = tick;
    return 1;
}

static void stepped_step() {
    if (stepped_tick) stepped_tick();
}

static int stepped_stop() {
    if (!stepped_tick) return 0;
    stepped_tick = nullptr;
    return 1;
}

const TickerDriver ticker_stepped = {"stepped", stepped_start, stepped_step, stepped_stop};
