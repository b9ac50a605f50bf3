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
