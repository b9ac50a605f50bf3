// ticker.cpp -- the tick thread's rate and drift over a stretch of real time, next to a thread
// that simply sleeps one period after each tick.
//
// QM_TICKER_SECONDS sets the stretch (default 10). The nominal rate is 1000 / 14 = 71.43 ticks
// per second; drift is the relative error of the measured rate against it.

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/ticker.h"

static std::atomic<int64_t> ticks;
static std::atomic<int64_t> first_tick_ns;
static std::atomic<int64_t> last_tick_ns;

static int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

static void count_tick() {
    int64_t now = now_ns();
    if (ticks++ == 0) first_tick_ns = now;
    last_tick_ns = now;
}

static constexpr int32_t period_ms = 14;

static int stretch_seconds() {
    const char *text = std::getenv("QM_TICKER_SECONDS");
    int seconds = text ? std::atoi(text) : 10;
    return seconds > 0 ? seconds : 10;
}

// The obvious way: sleep one period after each tick, so every oversleep adds up.
static std::atomic<bool> naive_quit;
static void naive_loop() {
    while (!naive_quit.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(period_ms));
        if (!naive_quit.load()) count_tick();
    }
}

// The rate between the first and the last tick, so that start-up and stopping do not count.
static void report(benchmark::State &state) {
    double nominal = 1000.0 / period_ms;
    double seconds = double(last_tick_ns - first_tick_ns) * 1e-9;
    double rate = double(ticks.load() - 1) / seconds;
    state.counters["ticks"] = double(ticks.load());
    state.counters["rate"] = rate;
    state.counters["drift_pct"] = (rate / nominal - 1.0) * 100.0;
}

static void BM_TickerThread(benchmark::State &state) {
    for (auto _ : state) {
        ticks = 0;
        ticker_thread.start(period_ms, count_tick);
        std::this_thread::sleep_for(std::chrono::seconds(state.range(0)));
        ticker_thread.stop();
        report(state);
    }
}

static void BM_SleepAfterEachTick(benchmark::State &state) {
    for (auto _ : state) {
        ticks = 0;
        naive_quit = false;
        std::thread naive(naive_loop);
        std::this_thread::sleep_for(std::chrono::seconds(state.range(0)));
        naive_quit = true;
        naive.join();
        report(state);
    }
}

BENCHMARK(BM_TickerThread)->Arg(stretch_seconds())->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_SleepAfterEachTick)->Arg(stretch_seconds())->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
