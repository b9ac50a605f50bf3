// stage.cpp -- the pictures the parts share, and the keying of the caption strips

#include "stage/stage.h"

#include "data/error.h"

#include <cstdio>

constexpr int32_t BYTE_RED = 1;
constexpr int32_t BYTE_BLUE = 3;

Image *FrameBuffer;
Image *WorkImageA;
Image *WorkImageB;
Image *WorkImageLarge;
Image *BarDown;
Image *BarUp;
Image *BarLeft;
Image *BarRight;
Image *BarDownAlpha;
Image *BarUpAlpha;
Image *BarLeftAlpha;
Image *BarRightAlpha;
Image *TextStrip[13];

void preload_key_text(Image *strip, uint32_t key) {
    size_t count = size_t(strip->width) * size_t(strip->height);
    for (size_t i = 0; i < count; i++) {
        uint32_t colour = strip->pixels[i] & 0xFFFFFF00u;
        strip->pixels[i] = colour | (colour == key ? 0xFFu : 0u);
    }
}

int preload_bar_alpha(Image *picture, const Image *alpha, int32_t byte, const char *name) {
    // The mask of every pixel comes from the same pixel of the alpha picture: it must cover it.
    if (alpha->width < picture->width || alpha->height < picture->height) {
        data_error("%s: the alpha picture is %d x %d, smaller than its bar (%d x %d)", name,
                   alpha->width, alpha->height, picture->width, picture->height);
        return 0;
    }
    for (int32_t y = 0; y < picture->height; y++) {
        uint32_t *row = picture->pixels + size_t(y) * size_t(picture->width);
        const uint32_t *alpha_row = alpha->pixels + size_t(y) * size_t(alpha->width);
        for (int32_t x = 0; x < picture->width; x++)
            row[x] = (row[x] & 0xFFFFFF00u) | (alpha_row[x] >> (8 * byte) & 0xFF);
    }
    return 1;
}

int stage_text_upright(int32_t n) {
    return n == 3 || n == 4 || n == 9 || n == 10;
}

// Image creation reports no reason of its own.
static Image *create(int32_t width, int32_t height, int32_t flags, const char *what) {
    Image *image = image_create(width, height, flags);
    if (!image) data_error("out of memory for %s (%d x %d)", what, width, height);
    return image;
}

int stage_create_images() {
    FrameBuffer = create(512, 256, IMG_WORK_DEPTH, "the frame buffer");
    if (FrameBuffer) WorkImageA = create(512, 256, IMG_WORK, "a work image");
    if (WorkImageA) WorkImageB = create(512, 256, IMG_WORK, "a work image");
    if (WorkImageB) WorkImageLarge = create(512, 512, IMG_WORK, "a work image");
    return WorkImageLarge != nullptr;
}

static int load_bars() {
    return (BarDown = load_tga("data\\bardown.tga", 0)) &&
           (BarUp = load_tga("data\\barup.tga", 0)) &&
           (BarDownAlpha = load_tga("data\\bardowna.tga", 0)) &&
           (BarUpAlpha = load_tga("data\\barupa.tga", 0)) &&
           (BarLeft = load_tga("data\\barleft.tga", 0)) &&
           (BarRight = load_tga("data\\baright.tga", 0)) &&
           (BarLeftAlpha = load_tga("data\\barlefta.tga", 0)) &&
           (BarRightAlpha = load_tga("data\\barighta.tga", 0));
}

static int load_text_strips() {
    for (int n = 1; n <= 12; n++) {
        char name[32];
        std::snprintf(name, sizeof name, "data\\tx%d.tga", n);
        if (!(TextStrip[n] = load_tga(name, 0))) return 0;
    }
    return 1;
}

int stage_load_pictures() {
    if (!load_bars() || !load_text_strips()) return 0;
    for (int n = 1; n <= 12; n++)
        preload_key_text(TextStrip[n], stage_text_upright(n) ? TEXT_KEY_UPRIGHT : TEXT_KEY_ACROSS);
    return preload_bar_alpha(BarDown, BarDownAlpha, BYTE_RED, "data\\bardowna.tga") &&
           preload_bar_alpha(BarUp, BarUpAlpha, BYTE_BLUE, "data\\barupa.tga") &&
           preload_bar_alpha(BarLeft, BarLeftAlpha, BYTE_RED, "data\\barlefta.tga") &&
           preload_bar_alpha(BarRight, BarRightAlpha, BYTE_RED, "data\\barighta.tga");
}

static Image *flat(int32_t width, int32_t height, uint32_t word) {
    Image *p = image_create(width, height, 0);
    if (p) image_fill_rect(p, word, 0, 0, width, height);
    return p;
}

int stage_plain_pictures() {
    // The sizes of the forge's bars and captions.
    BarUp = flat(304, 29, pixel_rgb(200, 10, 10));
    BarDown = flat(304, 29, pixel_rgb(10, 200, 10));
    BarLeft = flat(24, 307, pixel_rgb(10, 10, 200));
    BarRight = flat(24, 307, pixel_rgb(200, 200, 10));
    int ok = BarUp && BarDown && BarLeft && BarRight;
    for (int n = 1; n <= 12; n++) {
        const int upright = stage_text_upright(n);
        TextStrip[n] = flat(upright ? 24 : 256, upright ? 256 : 24, pixel_rgb(60, 100, 30));
        ok = ok && TextStrip[n];
    }
    return ok;
}
