// frames.cpp -- writes presented screens to PNG files with libpng

#include "shell/frames.h"

#include "data/error.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

static FrameSchedule schedule;
static int32_t next_due;     // the next tick to write
static int32_t next_listed;  // index into schedule.at
static int32_t last_written; // the tick of the last file, -1 before the first
static bool writing;
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
    if (!frames_write_png(path, screen_rgb, DISPLAY_WIDTH, DISPLAY_HEIGHT)) {
        fault_report(data_last_error());
        writing = false;
        return;
    }
    last_written = tick;
}

int frames_write_png(const char *path, const uint8_t *rgb, int32_t width, int32_t height) {
    FILE *file = std::fopen(path, "wb");
    if (!file) {
        data_error("%s: cannot write: %s", path, std::strerror(errno));
        return 0;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        data_error("%s: cannot write the picture", path);
        return 0;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Fast settings: frames are written while the show runs.
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; y++) png_write_row(png, rgb + size_t(y) * size_t(width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        data_error("%s: cannot write: %s", path, std::strerror(errno));
        return 0;
    }
    return 1;
}
