// scenery.cpp -- skies, hill lines, stars, mist, mirrored water and grass
#include "scenery.h"

#include "noise.h"

#include <cmath>
#include <cstdlib>
#include <vector>

// The row of the ridge's crest at column x.
static float ridge_height(const Ridge *ridge, float x) {
    float n = noise_fbm(x * ridge->frequency, 0.37f, ridge->octaves, 0.5f, ridge->seed);
    return ridge->base_y + ridge->amplitude * (n - 0.5f) * 2.0f;
}

int scenery_hills(Canvas *canvas, const Ridge *ridge, const GradientStop *stops, int count) {
    Mask mask = mask_create(canvas->width, canvas->height);
    if (!mask.a) return 0;
    std::vector<Point2> outline;
    for (int x = -2; x <= canvas->width + 2; x += 2)
        outline.push_back(Point2{(float)x, ridge_height(ridge, (float)x)});
    outline.push_back(Point2{(float)canvas->width + 2, (float)canvas->height + 2});
    outline.push_back(Point2{-2.0f, (float)canvas->height + 2});
    mask_polygon(&mask, outline.data(), (int)outline.size());
    canvas_paint_gradient(canvas, &mask, 0, 0, stops, count, 1.0f);
    return 1;
}

void scenery_stars(Canvas *canvas, int count, float max_y, float brightness, uint32_t seed) {
    Rng rng = rng_make(seed);
    Rgb white = rgb_hex(0xF4F0FF), blue = rgb_hex(0xB8C8FF);
    for (int i = 0; i < count; i++) {
        float x = rng_float(&rng) * (float)canvas->width;
        float y = rng_float(&rng) * max_y;
        float size = rng_float(&rng);
        float fade = 1.0f - y / max_y;
        Rgb c = rgb_mix(white, blue, rng_float(&rng));
        float b = brightness * fade * fade * (0.25f + 0.75f * size * size);
        canvas_add(canvas, (int)x, (int)y, c, b);
        if (size > 0.93f) canvas_glow(canvas, x, y, 1.6f, 1.0f, c, b * 0.5f);
    }
}

void scenery_mist(Canvas *canvas, float y, float height, Rgb colour, float strength,
                  uint32_t seed) {
    int y0 = (int)(y - height), y1 = (int)(y + height);
    for (int py = y0 < 0 ? 0 : y0; py < canvas->height && py <= y1; py++) {
        float t = ((float)py - y) / (height * 0.5f);
        float band = fm_exp(-t * t);
        for (int x = 0; x < canvas->width; x++) {
            // Stretched noise: mist drifts in long horizontal wisps.
            float n = noise_fbm((float)x * 0.012f, (float)py * 0.07f, 4, 0.55f, seed);
            float a = band * fm_smoothstep(0.3f, 0.8f, n) * strength;
            canvas_blend(canvas, x, py, colour, a);
        }
    }
}

void scenery_water(Canvas *canvas, const Mask *water, float axis_y, float dim, Rgb tint,
                   float tint_amount, uint32_t seed) {
    Canvas src = canvas_create(canvas->width, canvas->height);
    if (!src.rgb) return;
    for (size_t i = 0; i < (size_t)canvas->width * canvas->height * 3; i++)
        src.rgb[i] = canvas->rgb[i];
    for (int y = 0; y < canvas->height; y++) {
        float depth = (float)y - axis_y;
        int sy = (int)(axis_y - depth);
        if (sy < 0) sy = 0;
        if (sy >= canvas->height) sy = canvas->height - 1;
        for (int x = 0; x < canvas->width; x++) {
            float a = water->a[(size_t)y * water->width + x];
            if (a <= 0.0f) continue;
            // Ripples: a sideways shift growing with distance from the shore line.
            float n = noise_fbm((float)x * 0.02f, (float)y * 0.6f, 3, 0.5f, seed) - 0.5f;
            int sx = x + (int)(n * (4.0f + depth * 0.15f));
            if (sx < 0) sx = 0;
            if (sx >= canvas->width) sx = canvas->width - 1;
            const float *p = src.rgb + ((size_t)sy * canvas->width + sx) * 3;
            Rgb c = rgb_mix(Rgb{p[0] * dim, p[1] * dim, p[2] * dim}, tint, tint_amount);
            canvas_blend(canvas, x, y, c, a);
        }
    }
    canvas_free(&src);
}

int scenery_grass(Canvas *canvas, int count, float y0, float y1, float height, Rgb colour,
                  uint32_t seed) {
    Mask mask = mask_create(canvas->width, canvas->height);
    if (!mask.a) return 0;
    Rng rng = rng_make(seed);
    for (int i = 0; i < count; i++) {
        float x = rng_float(&rng) * (float)(canvas->width + 20) - 10.0f;
        float y = rng_range(&rng, y0, y1);
        float h = height * rng_range(&rng, 0.35f, 1.0f);
        float lean = rng_range(&rng, -0.45f, 0.45f) * h;
        float w = rng_range(&rng, 0.9f, 2.2f);
        // A slightly bent blade: base, a knee a little to the side, a sharp tip.
        Point2 blade[5] = {{x - w, y + 1.0f},
                           {x - w * 0.6f + lean * 0.3f, y - h * 0.55f},
                           {x + lean, y - h},
                           {x + w * 0.6f + lean * 0.3f, y - h * 0.55f},
                           {x + w, y + 1.0f}};
        mask_polygon(&mask, blade, 5);
    }
    canvas_paint(canvas, &mask, 0, 0, colour, 1.0f);
    return 1;
}

// A branch as a tapering quad from (x0, y0) to (x1, y1), widths w0 and w1.
static void branch_quad(Mask *mask, float x0, float y0, float x1, float y1, float w0, float w1) {
    float dx = x1 - x0, dy = y1 - y0;
    float len = std::sqrt(dx * dx + dy * dy);
    if (len <= 0.0f) return;
    float nx = -dy / len, ny = dx / len;
    Point2 quad[4] = {{x0 + nx * w0, y0 + ny * w0},
                      {x1 + nx * w1, y1 + ny * w1},
                      {x1 - nx * w1, y1 - ny * w1},
                      {x0 - nx * w0, y0 - ny * w0}};
    mask_polygon(mask, quad, 4);
}

struct TreeBrush {
    Mask *mask;
    Rng rng;
    float wind;
};

// Grows one limb and its children; angle in radians, 0 pointing straight up.
static void grow(TreeBrush *b, float x, float y, float angle, float length, float width,
                 int depth) {
    float bend = angle + b->wind * 0.25f;
    float x1 = x + fm_sin(bend) * length, y1 = y - fm_cos(bend) * length;
    branch_quad(b->mask, x, y, x1, y1, width, width * 0.7f);
    if (depth == 0 || width < 0.35f) return;
    int children = 2 + (rng_float(&b->rng) < 0.4f);
    for (int i = 0; i < children; i++) {
        float spread = rng_range(&b->rng, 0.25f, 0.75f) * (i % 2 ? 1.0f : -1.0f);
        float shrink = rng_range(&b->rng, 0.62f, 0.8f);
        grow(b, x1, y1, angle + spread + b->wind * 0.15f, length * shrink, width * 0.68f,
             depth - 1);
    }
}

int scenery_tree(Canvas *canvas, float x, float y, float height, float wind, Rgb colour,
                 uint32_t seed) {
    Mask mask = mask_create(canvas->width, canvas->height);
    if (!mask.a) return 0;
    TreeBrush brush{&mask, rng_make(seed), wind};
    grow(&brush, x, y + 2.0f, wind * 0.1f, height * 0.38f, height * 0.045f, 7);
    canvas_paint(canvas, &mask, 0, 0, colour, 1.0f);
    return 1;
}

void scenery_lights(Canvas *canvas, int count, float x, float y, float spread_x, float spread_y,
                    Rgb colour, float strength, uint32_t seed) {
    Rng rng = rng_make(seed);
    for (int i = 0; i < count; i++) {
        float px = x + rng_range(&rng, -spread_x, spread_x);
        float py = y + rng_range(&rng, -spread_y, spread_y);
        float s = strength * rng_range(&rng, 0.4f, 1.0f);
        canvas_glow(canvas, px, py, 7.0f, 1.0f, colour, s * 0.35f);
        canvas_glow(canvas, px, py, 1.4f, 1.0f, rgb_mix(colour, Rgb{1, 1, 1}, 0.6f), s);
    }
}
