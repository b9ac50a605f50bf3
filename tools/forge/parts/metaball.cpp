// metaball.cpp -- the blobs' chrome reflection of the moor at dusk, the lettering behind them,
// and the small turning cube their grid is laid over
#include "parts/parts.h"

#include "lwo_write.h"
#include "lws_write.h"
#include "noise.h"
#include "text.h"

#include <cmath>
#include <cstdio>

// ---- the environment map -------------------------------------------------------------------

// What a mirror sees in direction (x, y, z) (unit, y up, z into the screen): a dusk sky over a
// dark moor with a line of low hills, a warm glow where the sun has gone and a pale moon
// behind the viewer that puts a highlight on every blob.
static Rgb dusk_direction(float x, float y, float z) {
    static const GradientStop sky[] = {{0.0f, rgb_hex(0xF4B070)},
                                       {0.12f, rgb_hex(0xE0787A)},
                                       {0.35f, rgb_hex(0x6A3F82)},
                                       {0.7f, rgb_hex(0x231E58)},
                                       {1.0f, rgb_hex(0x0E1030)}};
    float hill = 0.08f + 0.1f * noise_fbm(x * 1.7f + 4.0f, z * 1.7f + 4.0f, 4, 0.5f, 701);
    Rgb colour;
    if (y > hill) {
        colour = gradient_at(sky, 5, (y - hill) / (1.0f - hill));
        float cloud = fm_smoothstep(0.55f, 0.8f, noise_fbm(x * 3.0f, z * 3.0f + y, 5, 0.5f, 702));
        colour = rgb_mix(colour, rgb_hex(0xF2A2A0), cloud * 0.35f * (1.0f - y));
    } else if (y > 0.0f) {
        colour = rgb_mix(rgb_hex(0x3A2440), rgb_hex(0x1C1426), y / hill); // the far hills
    } else {
        // The moor: peat and heather, with pools that mirror the sky.
        float pool = fm_smoothstep(0.6f, 0.7f, noise_fbm(x * 4.0f, z * 4.0f, 4, 0.5f, 703));
        colour = rgb_mix(rgb_hex(0x24182A), rgb_hex(0x0A080E), fm_clamp(-y * 2.0f, 0.0f, 1.0f));
        colour = rgb_mix(colour, rgb_hex(0xC06A70), pool * 0.5f * (1.0f + y));
    }
    // The afterglow, low ahead to the right; the moon high behind the viewer.
    float sun = x * 0.45f + y * 0.05f + z * 0.89f;
    float glow = fm_exp((sun - 1.0f) * 6.0f);
    colour = rgb_mix(colour, rgb_hex(0xFFC080), fm_clamp(glow * 0.8f, 0.0f, 1.0f));
    float moon = -x * 0.3f + y * 0.45f - z * 0.84f;
    float halo = fm_exp((moon - 1.0f) * 40.0f) + 0.25f * fm_exp((moon - 1.0f) * 6.0f);
    colour = rgb_mix(colour, rgb_hex(0xFFF4E8), fm_clamp(halo, 0.0f, 1.0f));
    return colour;
}

// The blobs look up texel (col, row) = 128 n + 127 of their unit inward normal n: so a texel
// shows the reflection off a sphere whose outward normal is (-(col - 127), 127 - row, facing
// the viewer) / 128.
static void paint_envmap(Canvas *c) {
    for (int row = 0; row < c->height; row++) {
        for (int col = 0; col < c->width; col++) {
            float nx = -((float)col - 127.0f) / 128.0f, ny = (127.0f - (float)row) / 128.0f;
            float r2 = nx * nx + ny * ny;
            if (r2 > 0.999f) { // the rim: keep the direction of the last ring
                float k = 0.9995f / std::sqrt(r2);
                nx *= k, ny *= k, r2 = nx * nx + ny * ny;
            }
            float nz = -std::sqrt(1.0f - r2);
            // The view ray (0, 0, 1) reflected off the normal.
            float rx = -2.0f * nz * nx, ry = -2.0f * nz * ny, rz = 1.0f - 2.0f * nz * nz;
            Rgb colour = dusk_direction(rx, ry, rz);
            float *p = &c->rgb[((size_t)row * c->width + col) * 3];
            p[0] = colour.r, p[1] = colour.g, p[2] = colour.b;
        }
    }
}

// ---- the lettering behind the blobs --------------------------------------------------------

// Rings of rising bubbles, faint, scattered over the ground.
static void bubbles(Canvas *c, uint32_t seed) {
    Rng rng = rng_make(seed);
    for (int n = 0; n < 40; n++) {
        float x = rng_range(&rng, 0.0f, (float)c->width), y = rng_range(&rng, 30.0f, 226.0f);
        float r = rng_range(&rng, 3.0f, 16.0f), a = rng_range(&rng, 0.15f, 0.4f);
        Mask ring = mask_create(c->width, c->height), inner = mask_create(c->width, c->height);
        if (ring.a && inner.a) {
            mask_ellipse(&ring, x, y, r, r, 1.0f);
            mask_ellipse(&inner, x, y, r - 1.5f, r - 1.5f, 1.0f);
            for (size_t i = 0; i < (size_t)c->width * c->height; i++) ring.a[i] -= inner.a[i];
            canvas_paint(c, &ring, 0, 0, rgb_hex(0xB8C8F0), a);
            canvas_glow(c, x - r * 0.4f, y - r * 0.4f, r * 0.25f, 1.0f, rgb_hex(0xFFFFFF),
                        a * 0.6f);
        }
    }
}

// Lettering with a soft glow under it, centred on column cx with its baseline on row y.
static int lettering(Canvas *c, FontFace face, float size, const char *text, float tracking,
                     float cx, int y, const GradientStop *stops, float alpha) {
    int baseline = 0;
    Mask m = text_render(face, size, text, tracking, 10, &baseline);
    if (!m.a) return 0;
    int x = (int)cx - m.width / 2, top = y - baseline;
    Mask glow = mask_copy(&m);
    if (glow.a) {
        mask_blur(&glow, 6);
        canvas_paint(c, &glow, x, top, rgb_hex(0x7050C0), 0.6f * alpha);
    }
    canvas_paint_gradient(c, &m, x, top, stops, 2, alpha);
    return 1;
}

// Averaged with a grey plasma: the picture carries the colour, the plasma its movement.
static int paint_text(Canvas *c) {
    static const GradientStop night[] = {
        {0.0f, rgb_hex(0x1A1244)}, {0.5f, rgb_hex(0x3A2466)}, {1.0f, rgb_hex(0x14203E)}};
    canvas_vgradient(c, night, 3);
    canvas_glow(c, 256.0f, 128.0f, 200.0f, 2.0f, rgb_hex(0x6A3C8A), 0.5f);
    bubbles(c, 711);
    static const GradientStop big[] = {{0.2f, rgb_hex(0xD8C8FF)}, {0.9f, rgb_hex(0x8060C0)}};
    static const GradientStop small[] = {{0.0f, rgb_hex(0xFFE0B0)}, {1.0f, rgb_hex(0xF0A070)}};
    int ok =
        lettering(c, FONT_SERIF_BOLD, 52.0f, "WELLSPRING", 4.0f, 256.0f, 150, big, 0.55f) &&
        lettering(c, FONT_SERIF, 15.0f, "five springs rise and meet in one pool", 2.0f, 256.0f, 205,
                  small, 0.9f) &&
        lettering(c, FONT_SANS_CONDENSED_BOLD, 13.0f, "QUELLMOOR", 8.0f, 256.0f, 52, small, 0.8f);
    canvas_vignette(c, 0.35f);
    return ok;
}

// ---- the cube and its scene ----------------------------------------------------------------

// Half the side of the cube. The grid is laid over it on screen, so its size and distance only
// shape the perspective: close and small keeps the blobs' sides facing the light.
constexpr float CUBE_HALF = 34.0f;
constexpr float CUBE_DISTANCE = 128.0f;

// Points 0..7 are the corners in the order the grid reads them: corner m is at x = +-1 for
// m in {1, 2, 5, 6}, y = +1 for {0, 1, 4, 5}, z = +1 for m >= 4.
static int write_cube(const char *dir) {
    static const int corner[8][3] = {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0},
                                     {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0, 0, 1}};
    float points[24];
    for (int m = 0; m < 8; m++)
        for (int a = 0; a < 3; a++) points[m * 3 + a] = corner[m][a] ? CUBE_HALF : -CUBE_HALF;
    // Two triangles per side, clockwise seen from outside.
    static const LwoTriangle faces[12] = {
        {{3, 0, 1}, 0}, {{3, 1, 2}, 0}, {{6, 5, 4}, 0}, {{6, 4, 7}, 0},
        {{7, 4, 0}, 0}, {{7, 0, 3}, 0}, {{2, 1, 5}, 0}, {{2, 5, 6}, 0},
        {{0, 4, 5}, 0}, {{0, 5, 1}, 0}, {{7, 3, 2}, 0}, {{7, 2, 6}, 0},
    };
    static const LwoSurface surface = {"MetaCube", 200, 200, 220, 0};
    LwoMesh mesh = {8, points, 12, faces, 1, &surface};
    char path[4096];
    snprintf(path, sizeof path, "%s/metacube.lwo", dir);
    return lwo_save(path, &mesh);
}

static LwsKey key_at(float frame, float z, float heading, float pitch, float bank) {
    return LwsKey{0.0f, 0.0f, z,     heading, pitch, bank, 1.0f,
                  1.0f, 1.0f, frame, 0,       0.0f,  0.0f, 0.0f};
}

// The cube sways slowly to and fro so that the blobs turn a little as they swim; the camera
// and light stay put (the part places its light itself).
static int write_scene(const char *dir) {
    static const float sway[][3] = {{-18.0f, 8.0f, 0.0f},
                                    {14.0f, -6.0f, 3.0f},
                                    {-10.0f, 10.0f, -3.0f},
                                    {20.0f, -4.0f, 2.0f},
                                    {-6.0f, 6.0f, 0.0f}};
    LwsKey cube_keys[5];
    for (int n = 0; n < 5; n++)
        cube_keys[n] = key_at(330.0f * (float)n, CUBE_DISTANCE, sway[n][0], sway[n][1], sway[n][2]);
    LwsKey still = key_at(0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    LwsKey lamp = key_at(0.0f, -530.0f, 0.0f, 0.0f, 0.0f);
    LwsObject cube = {"data\\metacube.lwo", 0, {5, cube_keys}};
    LwsLight light = {{1, &lamp}, 1, 255, 255, 255, 1.0f};
    LwsScene scene = {0, 1320, 1, &cube, 1, &light, {{1, &still}, 0, 3.2f}};
    char path[4096];
    snprintf(path, sizeof path, "%s/metascen.lws", dir);
    return lws_save(path, &scene);
}

int forge_metaball(const char *dir) {
    Canvas env = canvas_create(256, 256);
    if (!env.rgb) return 0;
    paint_envmap(&env);
    int ok = part_save_jpeg(dir, "metaenvm.jpg", &env, 7);
    canvas_free(&env);
    Canvas text = canvas_create(512, 256);
    if (!text.rgb) return 0;
    ok = ok && paint_text(&text) && part_save_jpeg(dir, "metatxt1.jpg", &text, 8);
    canvas_free(&text);
    return ok && write_cube(dir) && write_scene(dir);
}
