// screen.h -- the memory screen both video drivers hand out through lock.
#pragma once

#include <cstdint>

#include "platform/video.h"

struct Screen {
    VideoSurface surface;
    uint8_t *pixels; // height rows of pitch bytes, zero (black) at creation
    int32_t pitch;
};

// Describes the pixel format for 16, 24 or 32 bits per pixel and allocates the memory screen.
// Returns 1, or 0 for another depth, a size outside 1..4096 or no memory.
int screen_create(Screen *screen, int32_t width, int32_t height, int32_t bits_per_pixel);

// Gives the memory screen back and clears the record.
void screen_destroy(Screen *screen);

// One channel of a screen value (the bits under mask) scaled to 0..255, rounded to nearest:
// how a screen of any depth is read back as 8-bit colour (pictures of the screen, the page's
// canvas).
uint8_t screen_channel_to_8(uint32_t value, uint32_t mask);

// Where a screen of width x height appears in an output of out_width x out_height pixels.
struct ScreenRect {
    int32_t x, y, width, height;
};

// The largest whole multiple of the screen that fits the output, centred; when even one copy
// does not fit, the largest size of the same proportions that does (rounded down, at least
// 1 x 1). Returns the rectangle; the rest of the output is border.
ScreenRect screen_fit(int32_t out_width, int32_t out_height, int32_t width, int32_t height);
