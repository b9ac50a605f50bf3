// end.cpp -- the closing part: a pearl knot circled by two rings of flares over the moor under
// the milky way, the flares' sprites, and the credits that rise over it all
#include "parts/parts.h"

#include "lwo_write.h"
#include "lws_write.h"
#include "noise.h"
#include "scenery.h"
#include "text.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

// ---- the knot ------------------------------------------------------------------------------

// A trefoil (2, 3) torus knot: the core circle's radius, the winding's radius around it, and
// the tube, all in scene units; the camera stands about 420 units away.
constexpr float KNOT_SCALE = 30.0f; // core circle 2, winding 1, times this
constexpr float KNOT_TUBE = 13.0f;
constexpr int KNOT_STEPS = 240; // rings along the knot
constexpr int KNOT_SIDES = 12;  // points around each ring

struct KnotFrame {
    float centre[3];
    float out[3];  // the torus' normal there: at right angles to the knot
    float side[3]; // the knot's direction crossed with out
};

// The knot lies on a torus, so the torus' normal is always at right angles to it: a frame
// that turns smoothly and closes on itself.
static KnotFrame knot_frame(float t) {
    const float p = 2.0f, q = 3.0f;
    float cp = fm_cos(p * t), sp = fm_sin(p * t), cq = fm_cos(q * t), sq = fm_sin(q * t);
    float ring = 2.0f + cq;
    KnotFrame f;
    f.centre[0] = KNOT_SCALE * ring * cp;
    f.centre[1] = KNOT_SCALE * ring * sp;
    f.centre[2] = KNOT_SCALE * sq;
    // d/dt of the centre, for the direction only.
    float d[3] = {-q * sq * cp - ring * p * sp, -q * sq * sp + ring * p * cp, q * cq};
    f.out[0] = cq * cp, f.out[1] = cq * sp, f.out[2] = sq;
    float side[3] = {d[1] * f.out[2] - d[2] * f.out[1], d[2] * f.out[0] - d[0] * f.out[2],
                     d[0] * f.out[1] - d[1] * f.out[0]};
    float len = std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]);
    for (int a = 0; a < 3; a++) f.side[a] = side[a] / len;
    return f;
}

// Orders a triangle so that it runs clockwise seen from outside (the direction `out`).
static LwoTriangle outward(const float *pts, uint16_t a, uint16_t b, uint16_t c, const float *out) {
    const float *p0 = pts + a * 3, *p1 = pts + b * 3, *p2 = pts + c * 3;
    float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                  e1[0] * e2[1] - e1[1] * e2[0]};
    if (n[0] * out[0] + n[1] * out[1] + n[2] * out[2] > 0.0f) return LwoTriangle{{a, b, c}, 0};
    return LwoTriangle{{a, c, b}, 0};
}

static int write_knot(const char *dir) {
    std::vector<float> points((size_t)KNOT_STEPS * KNOT_SIDES * 3);
    std::vector<float> normals(points.size());
    for (int i = 0; i < KNOT_STEPS; i++) {
        KnotFrame f = knot_frame(2.0f * FM_PI * (float)i / (float)KNOT_STEPS);
        for (int j = 0; j < KNOT_SIDES; j++) {
            float a = 2.0f * FM_PI * (float)j / (float)KNOT_SIDES;
            float ca = fm_cos(a), sa = fm_sin(a);
            size_t k = ((size_t)i * KNOT_SIDES + j) * 3;
            for (int c = 0; c < 3; c++) {
                normals[k + c] = ca * f.out[c] + sa * f.side[c];
                points[k + c] = f.centre[c] + KNOT_TUBE * normals[k + c];
            }
        }
    }
    std::vector<LwoTriangle> faces;
    for (int i = 0; i < KNOT_STEPS; i++) {
        for (int j = 0; j < KNOT_SIDES; j++) {
            int i1 = (i + 1) % KNOT_STEPS, j1 = (j + 1) % KNOT_SIDES;
            uint16_t a = (uint16_t)(i * KNOT_SIDES + j), b = (uint16_t)(i1 * KNOT_SIDES + j);
            uint16_t c = (uint16_t)(i1 * KNOT_SIDES + j1), d = (uint16_t)(i * KNOT_SIDES + j1);
            const float *out = &normals[(size_t)a * 3];
            faces.push_back(outward(points.data(), a, b, c, out));
            faces.push_back(outward(points.data(), a, c, d, out));
        }
    }
    static const LwoSurface pearl = {"EndPearl", 230, 220, 240, 0};
    LwoMesh mesh = {
        KNOT_STEPS * KNOT_SIDES, points.data(), (int)faces.size(), faces.data(), 1, &pearl};
    char path[4096];
    snprintf(path, sizeof path, "%s/endknot.lwo", dir);
    return lwo_save(path, &mesh);
}

// A flare object: one triangle whose bounding box has the given diagonal, on the surface that
// makes the reader turn it into a flare of that radius.
static int write_flare(const char *dir, const char *name, float diagonal) {
    float h = diagonal / (2.0f * std::sqrt(3.0f));
    const float points[9] = {-h, -h, -h, h, h, h, h, -h, h};
    static const LwoTriangle face = {{0, 1, 2}, 0};
    static const LwoSurface flare = {"QVX_FLARE", 255, 255, 255, 0};
    LwoMesh mesh = {3, points, 1, &face, 1, &flare};
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    return lwo_save(path, &mesh);
}

// ---- the scene -----------------------------------------------------------------------------

constexpr float SCENE_TICKS = 3840.0f; // the part runs about 4500 ticks at scene speed 0.8
constexpr float ORBIT_STEP = 40.0f;    // ticks between the keys of an orbit
constexpr int ORBIT_KEYS = (int)(SCENE_TICKS / ORBIT_STEP) + 1;
constexpr float DEG = 180.0f / FM_PI;

static LwsKey key_at(float frame, float x, float y, float z, float heading, float pitch,
                     float bank) {
    return LwsKey{x, y, z, heading, pitch, bank, 1.0f, 1.0f, 1.0f, frame, 0, 0.0f, 0.0f, 0.0f};
}

// A ring of flares about the knot: the ring lies flat, is tipped towards the camera by tilt
// and turned in the picture by roll (degrees); period is the ticks of one turn (negative turns
// the other way).
struct Ring {
    const char *object;
    int count;
    float radius, tilt, roll, period, bob;
};

static const Ring rings[2] = {
    {"data\\endflar1.lwo", 4, 150.0f, 24.0f, 14.0f, 1000.0f, 10.0f},
    {"data\\endflar2.lwo", 5, 122.0f, -32.0f, -24.0f, -760.0f, 14.0f},
};

static void orbit_keys(const Ring *ring, int n, LwsKey *keys) {
    float ct = fm_cos(ring->tilt / DEG), st = fm_sin(ring->tilt / DEG);
    float cr = fm_cos(ring->roll / DEG), sr = fm_sin(ring->roll / DEG);
    for (int k = 0; k < ORBIT_KEYS; k++) {
        float t = (float)k * ORBIT_STEP;
        float a = 2.0f * FM_PI * ((float)n / (float)ring->count + t / ring->period);
        float x = ring->radius * fm_cos(a), z = ring->radius * fm_sin(a);
        float y = ring->bob * fm_sin(3.0f * a); // the ring breathes a little
        float y1 = y * ct - z * st, z1 = y * st + z * ct;
        keys[k] = key_at(t, x * cr - y1 * sr, x * sr + y1 * cr, z1, 0.0f, 0.0f, 0.0f);
    }
}

// The knot turns about the upright a turn and a quarter and rocks gently.
static void knot_keys(LwsKey *keys, int count, float step) {
    for (int k = 0; k < count; k++) {
        float t = (float)k * step;
        keys[k] = key_at(t, 0.0f, 0.0f, 0.0f, t * 0.12f, 22.0f * fm_sin(t * 2.0f * FM_PI / 1280.0f),
                         10.0f * fm_sin(t * 2.0f * FM_PI / 1920.0f));
    }
}

// The camera drifts slowly round the front of the knot, always looking at it.
static void camera_keys(LwsKey *keys, int count, float step) {
    for (int k = 0; k < count; k++) {
        float t = (float)k * step, a = t * 2.0f * FM_PI / 1920.0f;
        keys[k] = key_at(t, 70.0f * fm_sin(a), 28.0f + 24.0f * fm_sin(a * 1.5f),
                         -420.0f + 20.0f * fm_cos(a), 0.0f, 0.0f, 0.0f);
    }
}

static int write_scene(const char *dir) {
    constexpr int SLOW_KEYS = 33; // the knot and the camera: a key every 120 ticks
    const float slow_step = SCENE_TICKS / (float)(SLOW_KEYS - 1);
    LwsKey knot[SLOW_KEYS], camera[SLOW_KEYS];
    knot_keys(knot, SLOW_KEYS, slow_step);
    camera_keys(camera, SLOW_KEYS, slow_step);
    std::vector<LwsObject> objects = {{"data\\endknot.lwo", 0, {SLOW_KEYS, knot}}};
    std::vector<std::vector<LwsKey>> orbits;
    for (const Ring &ring : rings) {
        for (int n = 0; n < ring.count; n++) {
            orbits.emplace_back(ORBIT_KEYS);
            orbit_keys(&ring, n, orbits.back().data());
        }
    }
    size_t o = 0;
    for (const Ring &ring : rings)
        for (int n = 0; n < ring.count; n++, o++)
            objects.push_back({ring.object, 0, {ORBIT_KEYS, orbits[o].data()}});
    LwsKey lamp = key_at(0.0f, 0.0f, 0.0f, -530.0f, 0.0f, 0.0f, 0.0f);
    LwsLight light = {{1, &lamp}, 0, 255, 240, 220, 1.0f};
    LwsScene scene = {0, (int)SCENE_TICKS, (int)objects.size(),           objects.data(),
                      1, &light,           {{SLOW_KEYS, camera}, 1, 3.2f}};
    char path[4096];
    snprintf(path, sizeof path, "%s/endscene.lws", dir);
    return lws_save(path, &scene);
}

// ---- the pictures --------------------------------------------------------------------------

constexpr float HORIZON = 176.0f;

// The milky way: a pale band of faint stars and dust across the sky, leaning to the right.
static void milky_way(Canvas *c) {
    for (int y = 0; y < (int)HORIZON; y++) {
        for (int x = 0; x < c->width; x++) {
            float across = ((float)y - 40.0f - (float)x * 0.22f) / 48.0f;
            float band = fm_exp(-across * across);
            float dust = noise_fbm((float)x * 0.02f, (float)y * 0.03f, 5, 0.55f, 1201);
            float rift = fm_smoothstep(
                0.55f, 0.7f, noise_fbm((float)x * 0.015f, (float)y * 0.05f, 4, 0.5f, 1202));
            float glow = band * (0.35f + 0.65f * dust) * (1.0f - 0.7f * rift);
            canvas_add(c, x, y, rgb_mix(rgb_hex(0x4A5C8C), rgb_hex(0xC8B8D8), dust), glow * 0.65f);
        }
    }
    scenery_stars(c, 420, HORIZON - 10.0f, 0.9f, 1203);
}

static int night_moor(Canvas *c) {
    Ridge far{HORIZON - 6.0f, 10.0f, 0.006f, 4, 1211}, mid{HORIZON + 4.0f, 9.0f, 0.009f, 5, 1212};
    static const GradientStop far_hill[] = {{0.6f, rgb_hex(0x1A2440)}, {0.75f, rgb_hex(0x101830)}};
    static const GradientStop mid_hill[] = {{0.65f, rgb_hex(0x0C1222)}, {0.85f, rgb_hex(0x060A14)}};
    if (!scenery_hills(c, &far, far_hill, 2)) return 0;
    scenery_mist(c, HORIZON - 2.0f, 10.0f, rgb_hex(0x5A6A98), 0.4f, 1213);
    if (!scenery_hills(c, &mid, mid_hill, 2)) return 0;
    // The spring's pool, mirroring the band of stars.
    Mask water = mask_create(c->width, c->height);
    if (!water.a) return 0;
    Point2 shore[72];
    for (int i = 0; i < 72; i++) {
        float a = (float)i * (2.0f * FM_PI / 72.0f);
        float wobble = 0.8f + 0.35f * noise_value(fm_cos(a) * 2.0f, fm_sin(a) * 2.0f, 1214);
        shore[i] =
            Point2{300.0f + fm_cos(a) * 170.0f * wobble, 216.0f + fm_sin(a) * 20.0f * wobble};
    }
    mask_polygon(&water, shore, 72);
    scenery_water(c, &water, HORIZON + 14.0f, 0.95f, rgb_hex(0x1A2A50), 0.2f, 1215);
    scenery_lights(c, 6, 270.0f, HORIZON + 22.0f, 200.0f, 10.0f, rgb_hex(0xA8E8FF), 0.6f, 1216);
    return scenery_grass(c, 200, 234.0f, 262.0f, 24.0f, rgb_hex(0x020308), 1217);
}

static int write_back(const char *dir) {
    Canvas c = canvas_create(512, 256);
    if (!c.rgb) return 0;
    static const GradientStop sky[] = {{0.0f, rgb_hex(0x03050E)},
                                       {0.4f, rgb_hex(0x0A1430)},
                                       {0.66f, rgb_hex(0x2C3C6C)},
                                       {0.7f, rgb_hex(0x3C4A7C)}};
    canvas_vgradient(&c, sky, 4);
    milky_way(&c);
    int ok = night_moor(&c);
    canvas_vignette(&c, 0.3f);
    ok = ok && part_save_jpeg(dir, "endback.jpg", &c, 1221);
    canvas_free(&c);
    return ok;
}

// The knot's texture is looked up by its model normals (column 128 n.x + 127, row
// 128 n.y + 127): mother of pearl, its colours running in rings with a soft sheen, so that it
// reads as a material from every side.
static int write_texture(const char *dir) {
    Canvas c = canvas_create(256, 256);
    if (!c.rgb) return 0;
    static const GradientStop nacre[] = {{0.0f, rgb_hex(0xE8F4F0)}, {0.2f, rgb_hex(0x8CD8D0)},
                                         {0.4f, rgb_hex(0xF0D8A0)}, {0.6f, rgb_hex(0xE8A8C0)},
                                         {0.8f, rgb_hex(0xB0A0E8)}, {1.0f, rgb_hex(0xE8F4F0)}};
    for (int y = 0; y < 256; y++) {
        for (int x = 0; x < 256; x++) {
            float nx = ((float)x - 127.0f) / 128.0f, ny = ((float)y - 127.0f) / 128.0f;
            float r = std::sqrt(nx * nx + ny * ny);
            float swirl = noise_fbm((float)x * 0.018f, (float)y * 0.018f, 4, 0.5f, 1231);
            float t = r * 2.3f + swirl * 0.8f;
            Rgb colour = gradient_at(nacre, 6, t - (float)(int)t);
            float sheen = fm_exp(-((nx + 0.35f) * (nx + 0.35f) + (ny + 0.4f) * (ny + 0.4f)) * 6.0f);
            float shade = 0.75f + 0.25f * fm_smoothstep(1.05f, 0.3f, r);
            colour =
                rgb_mix(rgb_mix(rgb_hex(0x141830), colour, shade), rgb_hex(0xFFFFFF), sheen * 0.6f);
            float *p = &c.rgb[((size_t)y * 256 + x) * 3];
            p[0] = colour.r, p[1] = colour.g, p[2] = colour.b;
        }
    }
    int ok = part_save_jpeg(dir, "endtmap.jpg", &c, 1232);
    canvas_free(&c);
    return ok;
}

// A flare sprite (added onto the picture, so black is nothing): a hot core, a wide glow in
// colour and thin rays along `rays` directions, all gone well before the edge.
static int write_sprite(const char *dir, const char *name, Rgb colour, int rays, float turn,
                        uint32_t seed) {
    Canvas c = canvas_create(256, 256);
    if (!c.rgb) return 0;
    for (int y = 0; y < 256; y++) {
        for (int x = 0; x < 256; x++) {
            float dx = ((float)x - 127.5f) / 128.0f, dy = ((float)y - 127.5f) / 128.0f;
            float d2 = dx * dx + dy * dy, d = std::sqrt(d2);
            float ray = 0.0f;
            for (int k = 0; k < rays; k++) {
                float a = turn + FM_PI * (float)k / (float)rays;
                float off = dx * fm_sin(a) - dy * fm_cos(a);
                ray += fm_exp(-off * off * 900.0f) * fm_exp(-d * 3.0f);
            }
            float fade = fm_smoothstep(0.95f, 0.6f, d);
            float core = fm_exp(-d2 * 90.0f), glow = fm_exp(-d2 * 9.0f) * 0.55f;
            float level = (glow + ray * 0.7f) * fade;
            Rgb p = {colour.r * level + core, colour.g * level + core, colour.b * level + core};
            float *out = &c.rgb[((size_t)y * 256 + x) * 3];
            out[0] = p.r, out[1] = p.g, out[2] = p.b;
        }
    }
    int ok = part_save_jpeg(dir, name, &c, seed);
    canvas_free(&c);
    return ok;
}

// ---- the credits ---------------------------------------------------------------------------

constexpr int SCROLL_W = 512;
constexpr int SCROLL_H = 840;

struct CreditLine {
    FontFace face;
    float size;
    float tracking;
    const char *text;
    int baseline; // row in the scroller
    int headline; // 1: gold, 0: pale
};

// The part shows scroller row R at the frame's centre about 5 (R + 128) ticks after it
// starts; the last line is centred as the picture begins to fade (4200 ticks).
static const CreditLine credits[] = {
    {FONT_SERIF_BOLD, 40.0f, 10.0f, "VANDREL", 76, 1},
    {FONT_SERIF, 14.0f, 3.0f, "thank you for walking the moor with us", 104, 0},
    {FONT_SANS_BOLD, 11.0f, 6.0f, "CODE", 190, 1},
    {FONT_SERIF_BOLD, 24.0f, 2.0f, "Rosqu", 220, 0},
    {FONT_SANS_BOLD, 11.0f, 6.0f, "GRAPHICS", 280, 1},
    {FONT_SERIF_BOLD, 24.0f, 2.0f, "Pelan", 310, 0},
    {FONT_SANS_BOLD, 11.0f, 6.0f, "MUSIC", 370, 1},
    {FONT_SERIF_BOLD, 24.0f, 2.0f, "Wimbe", 400, 0},
    {FONT_SANS_BOLD, 11.0f, 6.0f, "OBJECTS & SCENES", 460, 1},
    {FONT_SERIF_BOLD, 24.0f, 2.0f, "Torku", 490, 0},
    {FONT_SANS_BOLD, 11.0f, 6.0f, "SUPPORT", 550, 1},
    {FONT_SERIF_BOLD, 24.0f, 2.0f, "Case", 580, 0},
    {FONT_SERIF, 14.0f, 2.0f, "greetings to all who keep the old springs running", 640, 0},
    {FONT_SERIF, 30.0f, 8.0f, "QUELLMOOR", 712, 1},
    {FONT_SERIF, 13.0f, 3.0f, "the spring sleeps until next time", 738, 0},
};

// Letters on the scroller's canvas (already filled with the outline colour) and their
// coverage in ink.
static int letter_line(Canvas *c, Mask *ink, const CreditLine *line) {
    static const GradientStop gold[] = {{0.2f, rgb_hex(0xFFF0C8)}, {0.9f, rgb_hex(0xE8A860)}};
    static const GradientStop pale[] = {{0.2f, rgb_hex(0xF4F2FF)}, {0.9f, rgb_hex(0xB8C4EC)}};
    int baseline = 0;
    Mask m = text_render(line->face, line->size, line->text, line->tracking, 0, &baseline);
    if (!m.a) return 0;
    int x = (SCROLL_W - m.width) / 2, y = line->baseline - baseline;
    canvas_paint_gradient(c, &m, x, y, line->headline ? gold : pale, 2, 1.0f);
    for (int my = 0; my < m.height; my++) {
        for (int mx = 0; mx < m.width; mx++) {
            int sx = x + mx, sy = y + my;
            if (sx < 0 || sy < 0 || sx >= SCROLL_W || sy >= SCROLL_H) continue;
            float &a = ink->a[(size_t)sy * SCROLL_W + sx];
            a = std::max(a, m.a[(size_t)my * m.width + mx]);
        }
    }
    return 1;
}

// The part copies only pixels whose red, green and blue are all above 0: the letters keep a
// dark rim (every channel at least 1) and everything else is exactly black.
static int write_scroller(const char *dir) {
    Canvas c = canvas_create(SCROLL_W, SCROLL_H);
    Mask ink = mask_create(SCROLL_W, SCROLL_H);
    int ok = c.rgb && ink.a;
    const Rgb rim = rgb_hex(0x0C0A1E);
    for (size_t i = 0; ok && i < (size_t)SCROLL_W * SCROLL_H; i++)
        c.rgb[i * 3] = rim.r, c.rgb[i * 3 + 1] = rim.g, c.rgb[i * 3 + 2] = rim.b;
    for (const CreditLine &line : credits) ok = ok && letter_line(&c, &ink, &line);
    std::vector<uint8_t> rgb((size_t)SCROLL_W * SCROLL_H * 3);
    if (ok) {
        mask_dilate(&ink, 2);
        canvas_to_rgb8(&c, rgb.data(), 1241);
        for (size_t i = 0; i < (size_t)SCROLL_W * SCROLL_H; i++) {
            uint8_t *p = &rgb[i * 3];
            for (int ch = 0; ch < 3; ch++)
                p[ch] = ink.a[i] < 0.5f ? 0 : std::max<uint8_t>(p[ch], 1);
        }
        ok = part_save_tga(dir, "endscrol.tga", SCROLL_W, SCROLL_H, rgb.data());
    }
    canvas_free(&c);
    return ok;
}

int forge_end(const char *dir) {
    return write_knot(dir) && write_flare(dir, "endflar1.lwo", 64.0f) &&
           write_flare(dir, "endflar2.lwo", 44.0f) && write_scene(dir) && write_back(dir) &&
           write_texture(dir) &&
           write_sprite(dir, "endfmap.jpg", rgb_hex(0xFFB050), 2, 0.0f, 1251) &&
           write_sprite(dir, "endfmap2.jpg", rgb_hex(0x70A0FF), 3, 0.26f, 1252) &&
           write_scroller(dir);
}
