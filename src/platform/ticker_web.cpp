// ticker_web.cpp -- the show's clock in a web page. A page has no thread to tick on: the ticks
// are counted from the page's monotonic clock, leaving out the time the page was hidden (the show
// is paused then, as a minimised window is), and delivered whenever the show gives the browser
// its turn. Each is due at start + n * period, so they do not drift.

#include "platform/ticker.h"

#include <emscripten.h>

#include "platform/web.h"

// The page's clock in milliseconds, stopped while the page is hidden (the page keeps it); the
// monotonic clock itself where there is no page.
EM_JS(double, web_show_time_ms, (),
      { return Module.qmShowTime ? Module.qmShowTime() : performance.now(); });

// Behind by more than this many ticks, counting starts afresh rather than firing a burst.
static constexpr int64_t max_catch_up_ticks = 70;

static TickRoutine page_tick;
static double period_ms;
static double start_ms;
static int64_t delivered;

void ticker_web_catch_up() {
    if (!page_tick) return;
    double now = web_show_time_ms();
    int64_t due = int64_t((now - start_ms) / period_ms);
    if (due - delivered > max_catch_up_ticks) {
        page_tick();
        start_ms = now;
        delivered = 0;
        return;
    }
    for (; delivered < due; delivered++) page_tick();
}

static int page_start(int32_t period, TickRoutine tick) {
    if (page_tick || period < 1 || !tick) return 0;
    page_tick = tick;
    period_ms = double(period);
    start_ms = web_show_time_ms();
    delivered = 0;
    return 1;
}

static void page_step() {}

static int page_stop() {
    if (!page_tick) return 0;
    page_tick = nullptr;
    return 1;
}

const TickerDriver ticker_thread = {"page", page_start, page_step, page_stop};
