// clock.cpp -- counts ticks on the ticker's thread and turns them into frame_time

#include "stage/clock.h"

#include "platform/ticker.h"

std::atomic<float> global_time;
std::atomic<int32_t> tick_count;
float frame_time;
float last_update_time;

static const TickerDriver *ticker;

// The ticker thread is the only writer; the main thread only reads, so a load and a store are
// enough (no read-modify-write race).
static void clock_tick() {
    global_time.store(global_time.load(std::memory_order_relaxed) + 1.0f,
                      std::memory_order_release);
    tick_count.store(tick_count.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

int clock_start(float rate, ClockMode mode) {
    if (ticker || rate <= 0.0f) return 0;
    global_time.store(0.0f);
    tick_count.store(0);
    frame_time = 0.0f;
    last_update_time = 0.0f;
    const TickerDriver *driver = mode == CLOCK_STEPPED ? &ticker_stepped : &ticker_thread;
    // 1000 / 70 truncates to 14 ms: about 71.4 ticks per second, which the show counts as 70.
    if (!driver->start(int32_t(1000.0f / rate), clock_tick)) return 0;
    ticker = driver;
    return 1;
}

int clock_stop() {
    if (!ticker) return 0;
    ticker->stop();
    ticker = nullptr;
    return 1;
}

void clock_step() {
    if (ticker) ticker->step();
}

void clock_update() {
    if (!ticker) return;
    float now = global_time.load(std::memory_order_acquire);
    frame_time = now - last_update_time;
    if (frame_time > 0.0f) last_update_time = now;
}
