// portrait.cpp -- the portrait: a young woman in profile against a low golden moon
#include "parts/parts.h"

#include "noise.h"
#include "scenery.h"

#include <algorithm>
#include <cstddef>

// The profile is drawn in its own frame (face to the left, 0..190 wide, 0..262 down) and
// placed with PROFILE_SCALE at (PROFILE_X, PROFILE_Y).
constexpr float PROFILE_SCALE = 1.0f, PROFILE_X = 214.0f, PROFILE_Y = 0.0f;

static const Point2 face_outline[] = {
    {40, 28},   {30, 45},   {24, 62},   {21, 80},   {22, 90},   {26, 97},   {22, 104},  {12, 118},
    {4, 130},   {6, 135},   {14, 138},  {16, 142},  {12, 148},  {14, 153},  {19, 155},  {14, 159},
    {16, 165},  {22, 170},  {19, 178},  {24, 188},  {40, 194},  {58, 200},  {64, 212},  {66, 228},
    {60, 240},  {20, 250},  {-20, 262}, {230, 262}, {205, 240}, {150, 222}, {140, 196}, {150, 170},
    {168, 140}, {172, 100}, {160, 60},  {135, 32},  {100, 16},  {70, 16},   {50, 20},
};

static const Point2 hair_outline[] = {
    {34, 36},   {44, 20},   {78, 5},    {122, 6},   {160, 26},  {184, 62},  {192, 108},
    {188, 150}, {200, 188}, {222, 228}, {244, 262}, {150, 262}, {160, 232}, {150, 204},
    {128, 180}, {110, 156}, {100, 124}, {86, 92},   {66, 62},   {48, 46},
};

// A lowered eyelid with its lashes, and the line between the lips.
static const Point2 eyelid[] = {{27, 96.5f},    {31, 98.5f},  {37, 98.2f},  {44, 96.8f},
                                {44.5f, 98.2f}, {37, 100.2f}, {31, 100.2f}, {28.5f, 99}};
static const Point2 lips[] = {{16.5f, 155.2f}, {24, 155.6f}, {24, 156.6f}, {16.5f, 156.2f}};

static void place(const Point2 *src, int count, Point2 *out) {
    for (int i = 0; i < count; i++)
        out[i] = Point2{PROFILE_X + src[i].x * PROFILE_SCALE, PROFILE_Y + src[i].y * PROFILE_SCALE};
}

// Warm evening air, a large pale moon behind the head and out-of-focus lights.
static void backdrop(Canvas *c) {
    static const GradientStop air[] = {
        {0.0f, rgb_hex(0x1E1433)}, {0.5f, rgb_hex(0x5A2E52)}, {1.0f, rgb_hex(0xB8605A)}};
    canvas_vgradient(c, air, 3);
    Mask moon = mask_create(c->width, c->height);
    if (moon.a) {
        mask_ellipse(&moon, 330.0f, 118.0f, 104.0f, 104.0f, 3.0f);
        static const GradientStop disc[] = {{0.1f, rgb_hex(0xFCEBC8)}, {0.7f, rgb_hex(0xF2B47C)}};
        canvas_paint_gradient(c, &moon, 0, 0, disc, 2, 0.95f);
    }
    canvas_glow(c, 330.0f, 118.0f, 130.0f, 1.0f, rgb_hex(0xFF9A6A), 0.3f);
    Rng rng = rng_make(201);
    for (int i = 0; i < 34; i++) {
        float x = rng_range(&rng, 0.0f, 250.0f), y = rng_range(&rng, 10.0f, 250.0f);
        float r = rng_range(&rng, 4.0f, 16.0f);
        Mask bokeh = mask_create(c->width, c->height);
        if (!bokeh.a) return;
        mask_ellipse(&bokeh, x, y, r, r, 2.0f);
        Rgb tint = rgb_mix(rgb_hex(0xFFC890), rgb_hex(0xF08AB0), rng_float(&rng));
        canvas_paint(c, &bokeh, 0, 0, tint, rng_range(&rng, 0.08f, 0.25f));
    }
}

// The silhouette mask: face, neck and shoulders, with the hair over them. *hair receives the
// hair alone.
static Mask figure(int width, int height, Mask *hair) {
    Point2 pts[64];
    Mask body = mask_create(width, height);
    *hair = mask_create(width, height);
    if (!body.a || !hair->a) return body;
    int n = (int)(sizeof face_outline / sizeof face_outline[0]);
    place(face_outline, n, pts);
    mask_polygon(&body, pts, n);
    n = (int)(sizeof hair_outline / sizeof hair_outline[0]);
    place(hair_outline, n, pts);
    mask_polygon(hair, pts, n);
    for (size_t i = 0; i < (size_t)width * height; i++) body.a[i] = std::max(body.a[i], hair->a[i]);
    return body;
}

// Light that wraps around the figure's edge: strongest where the bright moon is right behind.
static void rim_light(Canvas *c, const Canvas *behind, const Mask *body) {
    Mask inner = mask_copy(body);
    if (!inner.a) return;
    mask_blur(&inner, 2);
    for (int y = 0; y < c->height; y++) {
        for (int x = 0; x < c->width; x++) {
            size_t i = (size_t)y * c->width + x;
            if (body->a[i] <= 0.0f) continue;
            // Full strength on the edge pixels themselves, fading a few pixels inwards.
            float edge = fm_clamp((1.0f - inner.a[i]) * 1.8f, 0.0f, 1.0f);
            const float *b = behind->rgb + i * 3;
            Rgb glow{b[0] * 1.1f, b[1] * 0.95f, b[2] * 0.8f};
            canvas_blend(c, x, y, glow, edge * body->a[i]);
        }
    }
}

static void fill_figure(Canvas *c, const Mask *body, const Mask *hair) {
    static const GradientStop skin[] = {{0.0f, rgb_hex(0x3A2232)}, {1.0f, rgb_hex(0x1A0E1C)}};
    canvas_paint_gradient(c, body, 0, 0, skin, 2, 1.0f);
    // Hair: darker, with fine strands flowing down and back.
    for (int y = 0; y < c->height; y++) {
        for (int x = 0; x < c->width; x++) {
            float a = hair->a[(size_t)y * c->width + x];
            if (a <= 0.0f) continue;
            float s =
                noise_fbm((float)x * 0.25f - (float)y * 0.08f, (float)y * 0.015f, 3, 0.5f, 211);
            Rgb strand = rgb_mix(rgb_hex(0x0A060C), rgb_hex(0x2A1624), s * s);
            canvas_blend(c, x, y, strand, a);
        }
    }
    // A soft light on the front of the face from the lit air on the left.
    Mask front = mask_copy(body);
    if (!front.a) return;
    for (int y = 0; y < c->height; y++)
        for (int x = c->width - 1; x >= 0; x--) {
            size_t i = (size_t)y * c->width + x;
            float left = x >= 7 ? body->a[i - 7] : 0.0f;
            front.a[i] = std::max(0.0f, body->a[i] - left) * (1.0f - hair->a[i]);
        }
    mask_blur(&front, 3);
    canvas_paint(c, &front, 0, 0, rgb_hex(0xC87A7A), 0.55f);
    Mask details = mask_create(c->width, c->height);
    if (!details.a) return;
    Point2 pts[8];
    place(eyelid, 8, pts);
    mask_polygon(&details, pts, 8);
    place(lips, 4, pts);
    mask_polygon(&details, pts, 4);
    canvas_paint(c, &details, 0, 0, rgb_hex(0x0C0610), 0.9f);
}

int forge_portrait(const char *dir) {
    Canvas c = canvas_create(512, 256);
    Canvas behind = canvas_create(512, 256);
    if (!c.rgb || !behind.rgb) return 0;
    backdrop(&c);
    for (size_t i = 0; i < (size_t)512 * 256 * 3; i++) behind.rgb[i] = c.rgb[i];
    Mask hair{0, 0, nullptr};
    Mask body = figure(512, 256, &hair);
    int ok = body.a && hair.a;
    if (ok) {
        fill_figure(&c, &body, &hair);
        rim_light(&c, &behind, &body);
        // A pearl at the ear, catching the moon.
        float px = PROFILE_X + 118.0f * PROFILE_SCALE, py = PROFILE_Y + 176.0f * PROFILE_SCALE;
        canvas_glow(&c, px, py, 2.2f, 1.0f, rgb_hex(0xFFF0D8), 0.9f);
        canvas_glow(&c, px, py, 6.0f, 1.0f, rgb_hex(0xFFC080), 0.2f);
    }
    canvas_vignette(&c, 0.5f);
    ok = ok && part_save_jpeg(dir, "girl.jpg", &c, 4);
    canvas_free(&behind);
    canvas_free(&c);
    return ok;
}
