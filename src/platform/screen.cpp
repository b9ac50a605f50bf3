// screen.cpp -- the memory screen both video drivers hand out through lock.

#include "platform/screen.h"

#include "data/memory.h"

static constexpr int32_t max_side = 4096;

static int describe(VideoSurface *surface, int32_t bits_per_pixel) {
    switch (bits_per_pixel) {
    case 16: // 5:6:5
        *surface = {0, 0, 16, 2, 0xF800, 0x07E0, 0x001F};
        return 1;
    case 24: // packed, blue in the lowest byte
        *surface = {0, 0, 24, 3, 0xFF0000, 0x00FF00, 0x0000FF};
        return 1;
    case 32:
        *surface = {0, 0, 32, 4, 0xFF0000, 0x00FF00, 0x0000FF};
        return 1;
    default:
        return 0;
    }
}

int screen_create(Screen *screen, int32_t width, int32_t height, int32_t bits_per_pixel) {
    *screen = {};
    if (width < 1 || height < 1 || width > max_side || height > max_side) return 0;
    if (!describe(&screen->surface, bits_per_pixel)) return 0;
    screen->surface.width = width;
    screen->surface.height = height;
    // Rows padded to 4 bytes, as display surfaces are.
    screen->pitch = (width * screen->surface.bytes_per_pixel + 3) & ~3;
    screen->pixels = static_cast<uint8_t *>(mem_alloc(size_t(screen->pitch) * size_t(height)));
    if (!screen->pixels) {
        *screen = {};
        return 0;
    }
    return 1;
}

void screen_destroy(Screen *screen) {
    mem_free(screen->pixels);
    *screen = {};
}

ScreenRect screen_fit(int32_t out_width, int32_t out_height, int32_t width, int32_t height) {
    ScreenRect r = {0, 0, 0, 0};
    if (out_width < 1 || out_height < 1 || width < 1 || height < 1) return r;
    int32_t scale =
        out_width / width < out_height / height ? out_width / width : out_height / height;
    if (scale >= 1) {
        r.width = width * scale;
        r.height = height * scale;
    } else if (int64_t(out_width) * height <= int64_t(out_height) * width) {
        // Narrower than the screen's proportions: full width, height to match.
        r.width = out_width;
        r.height = int32_t(int64_t(out_width) * height / width);
    } else {
        r.height = out_height;
        r.width = int32_t(int64_t(out_height) * width / height);
    }
    r.width = r.width < 1 ? 1 : r.width;
    r.height = r.height < 1 ? 1 : r.height;
    r.x = (out_width - r.width) / 2;
    r.y = (out_height - r.height) / 2;
    return r;
}

uint8_t screen_channel_to_8(uint32_t value, uint32_t mask) {
    int s = 0;
    while (s < 32 && !(mask >> s & 1)) s++;
    if (s >= 32) return 0;
    uint32_t top = mask >> s;
    return uint8_t((((value & mask) >> s) * 255u + top / 2) / top);
}
