// title.cpp -- the title picture: the spring in the moor at dusk
#include "parts/parts.h"

#include "noise.h"
#include "scenery.h"
#include "text.h"

#include <cstddef>

// The horizon row: the far hills sit on it, the pool mirrors the sky about a row just below.
constexpr float HORIZON = 158.0f;

static void dusk_sky(Canvas *c) {
    static const GradientStop sky[] = {{0.0f, rgb_hex(0x0B0D2A)},  {0.28f, rgb_hex(0x231D4C)},
                                       {0.45f, rgb_hex(0x4E2F5E)}, {0.55f, rgb_hex(0x8E4A5E)},
                                       {0.6f, rgb_hex(0xD07A5A)},  {0.64f, rgb_hex(0xF2B06E)},
                                       {0.7f, rgb_hex(0xF6C884)}};
    canvas_vgradient(c, sky, 7);
    scenery_stars(c, 160, 70.0f, 0.8f, 101);
    // The sun has just gone: a wide warm glow on the horizon, off centre.
    canvas_glow(c, 340.0f, HORIZON, 150.0f, 2.6f, rgb_hex(0xFF9A50), 0.45f);
    canvas_glow(c, 340.0f, HORIZON, 40.0f, 2.0f, rgb_hex(0xFFE0A0), 0.55f);
}

// Long thin clouds lit from below: pink undersides, dark blue tops.
static void clouds(Canvas *c) {
    for (int y = 50; y < 140; y++) {
        for (int x = 0; x < c->width; x++) {
            float n = noise_fbm((float)x * 0.006f, (float)y * 0.05f, 5, 0.5f, 111);
            float band = fm_smoothstep(0.55f, 0.75f, n) * fm_smoothstep(50.0f, 80.0f, (float)y) *
                         (1.0f - fm_smoothstep(120.0f, 140.0f, (float)y));
            float lit = fm_smoothstep(60.0f, 130.0f, (float)y);
            Rgb colour = rgb_mix(rgb_hex(0x2C2448), rgb_hex(0xE88A78), lit);
            canvas_blend(c, x, y, colour, band * 0.8f);
        }
    }
}

static int land(Canvas *c) {
    Ridge far{HORIZON - 4.0f, 9.0f, 0.005f, 4, 121}, mid{HORIZON + 6.0f, 8.0f, 0.008f, 5, 122};
    static const GradientStop far_hill[] = {{0.55f, rgb_hex(0x6A4A6E)}, {0.7f, rgb_hex(0x3E2C4A)}};
    static const GradientStop mid_hill[] = {{0.6f, rgb_hex(0x2E2036)}, {0.75f, rgb_hex(0x1A1420)}};
    if (!scenery_hills(c, &far, far_hill, 2)) return 0;
    scenery_mist(c, HORIZON + 2.0f, 10.0f, rgb_hex(0xC89098), 0.45f, 123);
    if (!scenery_hills(c, &mid, mid_hill, 2)) return 0;
    Ridge moor{HORIZON + 16.0f, 4.0f, 0.01f, 4, 124};
    static const GradientStop ground[] = {{0.65f, rgb_hex(0x1E1622)}, {1.0f, rgb_hex(0x08060A)}};
    return scenery_hills(c, &moor, ground, 2);
}

// The pool of the spring: an irregular oval that mirrors the sky, with rings where the water
// wells up.
static int spring_pool(Canvas *c) {
    Mask water = mask_create(c->width, c->height);
    if (!water.a) return 0;
    Point2 shore[96];
    for (int i = 0; i < 96; i++) {
        float a = (float)i * (2.0f * FM_PI / 96.0f);
        float wobble = 0.85f + 0.3f * noise_value(fm_cos(a) * 2.0f, fm_sin(a) * 2.0f, 131);
        shore[i] =
            Point2{210.0f + fm_cos(a) * 150.0f * wobble, 206.0f + fm_sin(a) * 24.0f * wobble};
    }
    mask_polygon(&water, shore, 96);
    scenery_water(c, &water, HORIZON + 12.0f, 0.8f, rgb_hex(0x1A2040), 0.25f, 132);
    Mask rings = mask_create(c->width, c->height);
    if (!rings.a) return 0;
    for (int r = 0; r < 4; r++) {
        Mask ring = mask_create(c->width, c->height);
        if (!ring.a) return 0;
        float rx = 12.0f + 16.0f * (float)r, ry = rx * 0.16f;
        mask_ellipse(&ring, 190.0f, 208.0f, rx + 1.0f, ry + 0.6f, 1.2f);
        Mask inner = mask_create(c->width, c->height);
        if (inner.a) mask_ellipse(&inner, 190.0f, 208.0f, rx, ry, 1.2f);
        for (size_t i = 0; i < (size_t)c->width * c->height; i++)
            rings.a[i] +=
                (ring.a[i] - (inner.a ? inner.a[i] : 0.0f)) * (0.5f - 0.1f * (float)r) * water.a[i];
    }
    canvas_paint(c, &rings, 0, 0, rgb_hex(0xFFD8A8), 0.9f);
    return 1;
}

static int title_lettering(Canvas *c) {
    int baseline = 0;
    Mask title = text_render(FONT_SERIF, 44.0f, "QUELLMOOR", 9.0f, 12, &baseline);
    if (!title.a) return 0;
    int x = (c->width - title.width) / 2, y = 56 - baseline;
    Mask glow = mask_copy(&title);
    if (!glow.a) return 0;
    mask_blur(&glow, 5);
    canvas_paint(c, &glow, x, y, rgb_hex(0xF0A070), 0.5f);
    static const GradientStop gold[] = {{0.35f, rgb_hex(0xFFF6E0)}, {0.75f, rgb_hex(0xF0C080)}};
    canvas_paint_gradient(c, &title, x, y, gold, 2, 1.0f);
    Mask sub = text_render(FONT_SERIF, 12.0f, "a spring in the moor", 3.0f, 0, nullptr);
    if (!sub.a) return 0;
    canvas_paint(c, &sub, (c->width - sub.width) / 2, 70, rgb_hex(0xE8C8B8), 0.85f);
    return 1;
}

int forge_title(const char *dir) {
    Canvas c = canvas_create(512, 256);
    if (!c.rgb) return 0;
    dusk_sky(&c);
    clouds(&c);
    int ok = land(&c) && spring_pool(&c);
    Rgb black = rgb_hex(0x07050A);
    ok = ok && scenery_tree(&c, 430.0f, HORIZON + 18.0f, 92.0f, -0.35f, black, 141) &&
         scenery_grass(&c, 140, HORIZON + 16.0f, HORIZON + 24.0f, 10.0f, rgb_hex(0x0E0A12), 142) &&
         scenery_grass(&c, 220, 225.0f, 262.0f, 30.0f, black, 143);
    scenery_lights(&c, 9, 200.0f, 186.0f, 150.0f, 14.0f, rgb_hex(0xFFC070), 0.6f, 144);
    canvas_vignette(&c, 0.45f);
    ok = ok && title_lettering(&c) && part_save_jpeg(dir, "quellmor.jpg", &c, 3);
    canvas_free(&c);
    return ok;
}
