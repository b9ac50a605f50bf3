// frames.cpp -- writes presented screens to PNG files at the ticks asked for

#include "shell/frames.h"

#include "data/error.h"
#include "data/png_file.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

static FrameSchedule schedule;
static int32_t next_due;     // the next tick to write
static int32_t next_listed;  // index into schedule.at
static int32_t last_written; // the tick of the last file, -1 before the first
static bool writing;
static bool failed; // a write failed and the writing stopped
static uint8_t screen_rgb[DISPLAY_WIDTH * DISPLAY_HEIGHT * 3];

int frames_start(const FrameSchedule *s) {
    if (mkdir(s->dir, 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "quellmoor: cannot make the frames folder %s: %s\n", s->dir,
                     std::strerror(errno));
        return 0;
    }
    schedule = *s;
    next_listed = 0;
    next_due = s->every > 0 ? 0 : (s->at_count > 0 ? s->at[0] : -1);
    last_written = -1;
    writing = next_due >= 0;
    failed = false;
    return 1;
}

// Moves next_due past tick.
static void advance_schedule(int32_t tick) {
    if (schedule.every > 0) {
        next_due = (tick / schedule.every + 1) * schedule.every;
        return;
    }
    while (next_listed < schedule.at_count && schedule.at[next_listed] <= tick) next_listed++;
    if (next_listed < schedule.at_count)
        next_due = schedule.at[next_listed];
    else
        writing = false;
}

void frames_capture() {
    int32_t tick = tick_count.load();
    if (!writing || tick < next_due || tick == last_written) return;
    advance_schedule(tick);
    if (!display_read_screen(screen_rgb)) return;
    char path[4096];
    std::snprintf(path, sizeof path, "%s/frame-%06d.png", schedule.dir, tick);
    if (!png_file_write(path, screen_rgb, DISPLAY_WIDTH, DISPLAY_HEIGHT)) {
        fault_report(data_last_error());
        writing = false;
        failed = true;
        return;
    }
    last_written = tick;
}

int32_t frames_unreached(int32_t *first) {
    // Every listed tick up to the last one the show reached has been passed.
    if (failed || schedule.every > 0 || next_listed >= schedule.at_count) return 0;
    *first = schedule.at[next_listed];
    return schedule.at_count - next_listed;
}
