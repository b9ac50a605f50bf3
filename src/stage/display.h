// display.h -- the show's screen: presenting pictures through the channel tables, the global
// brightness, and the keyboard and mouse state.
//
// All drawing happens in Images of pixel words; the screen is written only by present, which
// converts each pixel through three per-channel tables that fold in the brightness offset.
#pragma once

#include "data/image.h"

#include <cstdint>

struct VideoDriver;
struct DisplayState;

constexpr int32_t DISPLAY_WIDTH = 512;
constexpr int32_t DISPLAY_HEIGHT = 384;

// display_open flags.
constexpr int32_t DISPLAY_CREATE = 1;   // open the screen (without it only the record is made)
constexpr int32_t DISPLAY_WINDOWED = 2; // a window instead of the full screen
constexpr int32_t DISPLAY_VSYNC = 4;    // show each frame at a vertical blank

constexpr int32_t BRIGHTNESS_BLACK = 0;
constexpr int32_t BRIGHTNESS_NEUTRAL = 256;
constexpr int32_t BRIGHTNESS_WHITE = 512;

// The global fade control, written directly by the parts: 0 black, 256 unchanged colours, 512
// white. present uses it clamped to 0..512.
extern int32_t display_brightness;

// The screen the show is presented on, whatever shows it: a window, the full screen or, headless,
// memory only. Not a device of its own; the VideoDriver behind it talks to the system.
struct DisplayDevice {
    int32_t width;          // 512
    int32_t height;         // 384
    int32_t bits_per_pixel; // 16, 24 or 32
    int32_t *brightness;    // &display_brightness
    DisplayState *state;    // the screen's pixel format and channel tables; null without a screen
    // Shuts the display down.
    void (*close)();
    // Shows source columns x0..x1-1, rows y0..y1-1 of image with their top-left corner at screen
    // (dst_x, dst_y), clipped to the image and the screen. Returns 1, or 0 when nothing could be
    // shown (no screen, the show is not visible, the screen could not be locked).
    int32_t (*present)(const Image *image, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                       int32_t dst_x, int32_t dst_y);
    // Handles pending input, then blocks until the next vertical blank. Returns 1, or 0 when the
    // show is not visible.
    int32_t (*wait_retrace)();
    const VideoDriver *driver; // what shows the screen
};

// The open display, or null.
extern DisplayDevice *display_device;

// Opens the display through driver (flags DISPLAY_*) and sets display_device. Returns it, or
// null when the screen cannot be opened at that depth. Valid until close.
DisplayDevice *display_open(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t flags,
                            const VideoDriver *driver);

// Input state, kept by the event pump inside present and wait_retrace.
extern uint8_t key_down[256]; // 1 while the key (Windows virtual-key code) is held
extern uint8_t mouse_click;   // 1 from a left-button press until a key test consumes it
extern int32_t app_active;    // 1 while the show can be seen

// 1 when key vk is held or a mouse click is pending (the click is then consumed), else 0.
int key_pressed(int32_t vk);

// Handles the driver's pending events (keys, clicks, focus, closing).
void display_pump();

// Three tables of 768 screen values, one per channel: entries 0..255 are 0, 256..511 the scaled
// channel values 0..255, 512..767 the value for 255. A pixel's channel byte v with brightness b
// is shown as table[v + b].
struct ChannelTables {
    uint32_t red[768];
    uint32_t green[768];
    uint32_t blue[768];
    // 1 when these are the tables of 8-bit channels, red in bits 16..23, green in 8..15 and blue
    // in 0..7 (the 24- and 32-bit screens), at every brightness: present may compute them.
    int32_t bytes;
};

// Builds the tables for a pixel format given by its channel bit masks. The top value of a
// channel is never produced (a 5-bit channel reaches 30), as the scale is (mask >> shift) / 256.
void channel_tables_build(ChannelTables *tables, uint32_t red_mask, uint32_t green_mask,
                          uint32_t blue_mask);

// A rectangle of an image and where it goes on a screen.
struct PresentRect {
    int32_t x0, y0, x1, y1; // source columns x0..x1-1, rows y0..y1-1
    int32_t dst_x, dst_y;   // screen position of (x0, y0)
};

// Converts a clipped rectangle of image into screen memory (row y at screen + y * pitch,
// bytes_per_pixel 2, 3 or 4) through the tables at brightness b (0..512).
void present_convert(const ChannelTables *tables, int32_t b, const Image *image,
                     const PresentRect *rect, uint8_t *screen, int32_t pitch,
                     int32_t bytes_per_pixel);

// Copies the current screen into rgb as 8-bit red, green, blue triples, row by row
// (width * height * 3 bytes), each channel scaled from its bits to 0..255. Returns 0 without a
// screen.
int display_read_screen(uint8_t *rgb);
