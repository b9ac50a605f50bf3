// display.cpp -- presents pictures on the show's screen and keeps the input state

#include "stage/display.h"

#include "data/memory.h"
#include "platform/video.h"

#include <algorithm>
#include <cstring>

int32_t display_brightness = BRIGHTNESS_NEUTRAL;
DisplayDevice *display_device;
uint8_t key_down[256];
uint8_t mouse_click;
int32_t app_active;

// Keys that went down and up within one pump: they count as held until the next pump, so a
// tap shorter than a frame is still seen by the key tests.
static uint8_t key_tapped[256];

struct DisplayState {
    VideoSurface surface;
    ChannelTables tables;
};

static int lowest_bit(uint32_t mask) {
    int s = 0;
    while (s < 32 && !(mask >> s & 1)) s++;
    return s;
}

// One channel: table[256 + i] = truncate(i * k) << s with k = (mask >> s) / 256.
static void channel_build(uint32_t *table, uint32_t mask) {
    int s = lowest_bit(mask);
    float k = s < 32 ? float(mask >> s) / 256.0f : 0.0f;
    for (int i = 0; i < 256; i++) {
        table[i] = 0;
        table[256 + i] = uint32_t(float(i) * k) << (s & 31);
    }
    for (int i = 512; i < 768; i++) table[i] = table[511];
}

void channel_tables_build(ChannelTables *tables, uint32_t red_mask, uint32_t green_mask,
                          uint32_t blue_mask) {
    channel_build(tables->red, red_mask);
    channel_build(tables->green, green_mask);
    channel_build(tables->blue, blue_mask);
}

void display_reset_input() {
    mem_fill(key_down, 0, sizeof key_down);
    mem_fill(key_tapped, 0, sizeof key_tapped);
    mouse_click = 0;
    app_active = 0;
}

void display_pump() {
    if (!display_device) return;
    uint8_t went_down[256] = {};
    for (int vk = 0; vk < 256; vk++)
        if (key_tapped[vk]) key_down[vk] = key_tapped[vk] = 0;
    VideoEvent event;
    while (display_device->driver->poll_event(&event)) {
        bool known_key = event.key >= 0 && event.key < 256;
        switch (event.kind) {
        case VIDEO_EVENT_KEY_DOWN:
            if (known_key) key_down[event.key] = went_down[event.key] = 1;
            break;
        case VIDEO_EVENT_KEY_UP:
            if (known_key && went_down[event.key])
                key_tapped[event.key] = 1;
            else if (known_key)
                key_down[event.key] = 0;
            break;
        case VIDEO_EVENT_MOUSE_DOWN:
            // Stays pending until a key test takes it, so a quick click is never lost.
            mouse_click = 1;
            break;
        case VIDEO_EVENT_ACTIVE:
            app_active = 1;
            break;
        case VIDEO_EVENT_INACTIVE:
            app_active = 0;
            break;
        case VIDEO_EVENT_CLOSE:
            // No key-up will follow: the show ends as if Escape were held.
            key_down[VK_ESCAPE] = 1;
            break;
        default:
            break;
        }
    }
}

int key_pressed(int32_t vk) {
    if ((vk >= 0 && vk < 256 && key_down[vk] == 1) || mouse_click) {
        mouse_click = 0;
        return 1;
    }
    return 0;
}

int present_clip(PresentRect *r, const Image *image, int32_t screen_width, int32_t screen_height) {
    // Trim the source to the image, then the destination to the screen, moving the other
    // corner by the same amount.
    if (r->x0 < 0) r->dst_x -= r->x0, r->x0 = 0;
    if (r->y0 < 0) r->dst_y -= r->y0, r->y0 = 0;
    r->x1 = std::min(r->x1, image->width);
    r->y1 = std::min(r->y1, image->height);
    if (r->dst_x < 0) r->x0 -= r->dst_x, r->dst_x = 0;
    if (r->dst_y < 0) r->y0 -= r->dst_y, r->dst_y = 0;
    r->x1 = std::min(r->x1, r->x0 + (screen_width - r->dst_x));
    r->y1 = std::min(r->y1, r->y0 + (screen_height - r->dst_y));
    return r->x1 > r->x0 && r->y1 > r->y0;
}

// The screen value of one pixel word; the tables are already offset by the brightness.
static inline uint32_t screen_value(const uint32_t *red, const uint32_t *green,
                                    const uint32_t *blue, uint32_t p) {
    return red[p >> 8 & 0xFF] | green[p >> 16 & 0xFF] | blue[p >> 24];
}

// One row each; 24-bit pixels are stored as whole words, each overlapping the next pixel's
// first byte, and the last one as three bytes so nothing past the row is touched.
static void convert_row(const ChannelTables *t, int32_t b, const uint32_t *src, uint8_t *dst,
                        int32_t width, int32_t bytes_per_pixel) {
    const uint32_t *red = t->red + b, *green = t->green + b, *blue = t->blue + b;
    if (bytes_per_pixel == 2) {
        for (int32_t x = 0; x < width; x++) {
            uint16_t v = uint16_t(screen_value(red, green, blue, src[x]));
            std::memcpy(dst + 2 * x, &v, 2);
        }
    } else if (bytes_per_pixel == 3) {
        for (int32_t x = 0; x < width - 1; x++) {
            uint32_t v = screen_value(red, green, blue, src[x]);
            std::memcpy(dst + 3 * x, &v, 4);
        }
        uint32_t last = screen_value(red, green, blue, src[width - 1]);
        std::memcpy(dst + 3 * (width - 1), &last, 3);
    } else if (bytes_per_pixel == 4) {
        for (int32_t x = 0; x < width; x++) {
            uint32_t v = screen_value(red, green, blue, src[x]);
            std::memcpy(dst + 4 * x, &v, 4);
        }
    }
}

void present_convert(const ChannelTables *t, int32_t b, const Image *image, const PresentRect *r,
                     uint8_t *screen, int32_t pitch, int32_t bytes_per_pixel) {
    for (int32_t y = r->y0; y < r->y1; y++) {
        const uint32_t *src = image->pixels + size_t(y) * size_t(image->width) + size_t(r->x0);
        uint8_t *dst = screen + size_t(r->dst_y + y - r->y0) * size_t(pitch) +
                       size_t(r->dst_x) * size_t(bytes_per_pixel);
        convert_row(t, b, src, dst, r->x1 - r->x0, bytes_per_pixel);
    }
}

static int32_t display_present(const Image *image, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                               int32_t dst_x, int32_t dst_y) {
    DisplayDevice *d = display_device;
    display_pump();
    if (!d || !d->state || !app_active || !image) return 0;
    VideoLock lock;
    if (!d->driver->lock(&lock)) return 0;
    PresentRect rect = {x0, y0, x1, y1, dst_x, dst_y};
    const VideoSurface *s = &d->state->surface;
    if (present_clip(&rect, image, s->width, s->height)) {
        int32_t b = std::clamp(*d->brightness, BRIGHTNESS_BLACK, BRIGHTNESS_WHITE);
        present_convert(&d->state->tables, b, image, &rect, lock.pixels, lock.pitch,
                        s->bytes_per_pixel);
    }
    return d->driver->unlock();
}

static int32_t display_wait_retrace() {
    display_pump();
    if (!display_device || !display_device->state || !app_active) return 0;
    return display_device->driver->wait_vblank();
}

static void display_close() {
    DisplayDevice *d = display_device;
    if (!d) return;
    if (d->state) d->driver->close();
    mem_free(d->state);
    mem_free(d);
    display_device = nullptr;
}

DisplayDevice *display_open(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t flags,
                            const VideoDriver *driver) {
    auto *d = static_cast<DisplayDevice *>(mem_alloc(sizeof(DisplayDevice)));
    if (!d) return nullptr;
    *d = {width,   height,        bits_per_pixel,  &display_brightness,
          nullptr, display_close, display_present, display_wait_retrace,
          driver};
    display_reset_input();
    if (!(flags & DISPLAY_CREATE)) return display_device = d;
    auto *state = static_cast<DisplayState *>(mem_alloc(sizeof(DisplayState)));
    int32_t video_flags =
        (flags & DISPLAY_WINDOWED ? VIDEO_WINDOWED : 0) | (flags & DISPLAY_VSYNC ? VIDEO_VSYNC : 0);
    if (!state || !driver->open(width, height, bits_per_pixel, video_flags, &state->surface)) {
        mem_free(state);
        mem_free(d);
        return nullptr;
    }
    const VideoSurface *s = &state->surface;
    channel_tables_build(&state->tables, s->red_mask, s->green_mask, s->blue_mask);
    d->state = state;
    display_brightness = BRIGHTNESS_NEUTRAL;
    return display_device = d;
}

// One channel of a screen value, scaled from its bits to 0..255 (rounded).
static uint8_t channel_to_8(uint32_t value, uint32_t mask) {
    int s = lowest_bit(mask);
    if (s >= 32) return 0;
    uint32_t top = mask >> s;
    return uint8_t((((value & mask) >> s) * 255u + top / 2) / top);
}

int display_read_screen(uint8_t *rgb) {
    if (!display_device || !display_device->state) return 0;
    VideoLock lock;
    if (!display_device->driver->lock(&lock)) return 0;
    const VideoSurface *s = &display_device->state->surface;
    for (int32_t y = 0; y < s->height; y++) {
        const uint8_t *row = lock.pixels + size_t(y) * size_t(lock.pitch);
        for (int32_t x = 0; x < s->width; x++) {
            const uint8_t *p = row + x * s->bytes_per_pixel;
            uint32_t v = p[0] | uint32_t(p[1]) << 8;
            if (s->bytes_per_pixel >= 3) v |= uint32_t(p[2]) << 16;
            *rgb++ = channel_to_8(v, s->red_mask);
            *rgb++ = channel_to_8(v, s->green_mask);
            *rgb++ = channel_to_8(v, s->blue_mask);
        }
    }
    return 1;
}
