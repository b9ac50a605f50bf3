// ticker.cpp -- the tick thread that drives the show's clock in real time.

#include "platform/ticker.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <thread>

// Behind by more than this many ticks (the machine was suspended, the process stopped), the
// thread gives up catching up and starts counting afresh from now, rather than firing a burst.
static constexpr int64_t max_catch_up_ticks = 70;

static std::thread tick_thread;
static std::atomic<bool> thread_running;
static std::atomic<bool> thread_quit;

static int64_t now_ns() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

static void sleep_until_ns(int64_t deadline) {
    timespec t;
    t.tv_sec = time_t(deadline / 1000000000);
    t.tv_nsec = long(deadline % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

// Deadline n is start + n * period, computed from the start each time so rounding never adds up.
static void tick_loop(int64_t period_ns, TickRoutine tick) {
    int64_t start = now_ns();
    int64_t n = 1;
    while (!thread_quit.load(std::memory_order_acquire)) {
        int64_t deadline = start + n * period_ns;
        sleep_until_ns(deadline);
        if (thread_quit.load(std::memory_order_acquire)) break;
        tick();
        n++;
        if (now_ns() - (start + n * period_ns) > max_catch_up_ticks * period_ns) {
            start = now_ns();
            n = 1;
        }
    }
}

static int thread_stop();

// exit() from anywhere -- Xlib ends the program so when the display goes away -- would destroy
// a thread still running, which aborts the program: it is stopped first.
static void stop_at_exit() {
    thread_stop();
}

static int thread_start(int32_t period_ms, TickRoutine tick) {
    if (thread_running.load() || period_ms < 1 || !tick) return 0;
    static const bool stops_at_exit = std::atexit(stop_at_exit) == 0;
    (void)stops_at_exit;
    thread_quit.store(false);
    try {
        tick_thread = std::thread(tick_loop, int64_t(period_ms) * 1000000, tick);
    } catch (...) {
        return 0;
    }
    thread_running.store(true);
    return 1;
}

static void thread_step() {}

static int thread_stop() {
    if (!thread_running.load()) return 0;
    thread_quit.store(true, std::memory_order_release);
    tick_thread.join();
    thread_running.store(false);
    return 1;
}

const TickerDriver ticker_thread = {"thread", thread_start, thread_step, thread_stop};
