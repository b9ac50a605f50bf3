// hidden.cpp -- the hidden picture: moonlight on the moor, with the moor's wandering lights
#include "parts/parts.h"

#include "noise.h"
#include "scenery.h"

#include <cstddef>

constexpr float MOON_X = 150.0f, MOON_Y = 60.0f, MOON_R = 23.0f;
constexpr float HORIZON = 150.0f;

static void night_sky(Canvas *c) {
    static const GradientStop sky[] = {
        {0.0f, rgb_hex(0x02040C)}, {0.35f, rgb_hex(0x081630)}, {0.58f, rgb_hex(0x1C3858)}};
    canvas_vgradient(c, sky, 3);
    scenery_stars(c, 300, 140.0f, 1.0f, 301);
    canvas_glow(c, MOON_X, MOON_Y, 120.0f, 1.0f, rgb_hex(0x3A5A8A), 0.5f);
    canvas_glow(c, MOON_X, MOON_Y, 40.0f, 1.0f, rgb_hex(0x9AB8E0), 0.35f);
}

// The full moon with soft grey seas.
static void moon(Canvas *c) {
    Mask disc = mask_create(c->width, c->height);
    if (!disc.a) return;
    mask_ellipse(&disc, MOON_X, MOON_Y, MOON_R, MOON_R, 1.5f);
    for (int y = (int)(MOON_Y - MOON_R) - 2; y <= (int)(MOON_Y + MOON_R) + 2; y++) {
        for (int x = (int)(MOON_X - MOON_R) - 2; x <= (int)(MOON_X + MOON_R) + 2; x++) {
            float a = disc.a[(size_t)y * c->width + x];
            if (a <= 0.0f) continue;
            float sea = fm_smoothstep(0.45f, 0.7f,
                                      noise_fbm((float)x * 0.09f, (float)y * 0.09f, 4, 0.5f, 302));
            Rgb surface = rgb_mix(rgb_hex(0xF4F6FF), rgb_hex(0xB4BED4), sea);
            canvas_blend(c, x, y, surface, a);
        }
    }
}

// Thin silver clouds drifting across the moon.
static void night_clouds(Canvas *c) {
    for (int y = 30; y < 120; y++) {
        for (int x = 0; x < c->width; x++) {
            float n = noise_fbm((float)x * 0.008f, (float)y * 0.06f, 5, 0.5f, 311);
            float band = fm_smoothstep(0.58f, 0.78f, n);
            float dx = ((float)x - MOON_X) / 140.0f, dy = ((float)y - MOON_Y) / 60.0f;
            float lit = 0.25f + 0.75f * fm_exp(-(dx * dx + dy * dy));
            canvas_blend(c, x, y, rgb_mix(rgb_hex(0x18243A), rgb_hex(0xC8D4EC), lit), band * 0.7f);
        }
    }
}

static int moor(Canvas *c) {
    Ridge far{HORIZON - 3.0f, 8.0f, 0.006f, 4, 321}, mid{HORIZON + 8.0f, 10.0f, 0.007f, 5, 322};
    static const GradientStop far_hill[] = {{0.5f, rgb_hex(0x22344E)}, {0.65f, rgb_hex(0x16243A)}};
    static const GradientStop mid_hill[] = {{0.58f, rgb_hex(0x111C2C)}, {0.8f, rgb_hex(0x0A111C)}};
    if (!scenery_hills(c, &far, far_hill, 2)) return 0;
    scenery_mist(c, HORIZON + 2.0f, 9.0f, rgb_hex(0x7890B0), 0.5f, 323);
    if (!scenery_hills(c, &mid, mid_hill, 2)) return 0;
    // Two standing stones on the near rise, leaning a little.
    Mask stones = mask_create(c->width, c->height);
    if (!stones.a) return 0;
    const Point2 tall[] = {{392, 170}, {395, 138}, {401, 133}, {407, 139}, {409, 170}};
    const Point2 low[] = {{418, 171}, {420, 152}, {426, 149}, {431, 156}, {431, 171}};
    mask_polygon(&stones, tall, 5);
    mask_polygon(&stones, low, 5);
    canvas_paint(c, &stones, 0, 0, rgb_hex(0x070B12), 1.0f);
    Ridge near{HORIZON + 20.0f, 5.0f, 0.01f, 4, 324};
    static const GradientStop ground[] = {{0.6f, rgb_hex(0x0C1420)}, {1.0f, rgb_hex(0x03050A)}};
    return scenery_hills(c, &near, ground, 2);
}

// A stream winding from the horizon towards the viewer, mirroring the moon.
static int stream(Canvas *c) {
    Mask water = mask_create(c->width, c->height);
    if (!water.a) return 0;
    Point2 banks[2 * 40];
    for (int i = 0; i < 40; i++) {
        float t = (float)i / 39.0f;
        float y = HORIZON + 22.0f + t * 90.0f;
        float centre = 250.0f - 110.0f * t + 40.0f * fm_sin(t * 5.0f);
        float half = 3.0f + 60.0f * t * t;
        banks[i] = Point2{centre - half, y};
        banks[79 - i] = Point2{centre + half, y};
    }
    mask_polygon(&water, banks, 80);
    scenery_water(c, &water, HORIZON + 22.0f, 0.85f, rgb_hex(0x0A1830), 0.2f, 331);
    return 1;
}

int forge_hidden(const char *dir) {
    Canvas c = canvas_create(512, 256);
    if (!c.rgb) return 0;
    night_sky(&c);
    moon(&c);
    night_clouds(&c);
    int ok = moor(&c) && stream(&c);
    scenery_mist(&c, HORIZON + 34.0f, 14.0f, rgb_hex(0x5A7496), 0.35f, 341);
    // The wandering lights: pale green-blue, hovering low over the moor.
    scenery_lights(&c, 7, 300.0f, HORIZON + 30.0f, 170.0f, 10.0f, rgb_hex(0x9CF0D0), 0.8f, 342);
    ok = ok && scenery_grass(&c, 240, 228.0f, 262.0f, 26.0f, rgb_hex(0x02040A), 343);
    canvas_vignette(&c, 0.5f);
    ok = ok && part_save_jpeg(dir, "moorlight.jpg", &c, 5);
    canvas_free(&c);
    return ok;
}
