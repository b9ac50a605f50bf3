// magnet.cpp -- the magnet cube's five shapes, its steel and highlight maps, the riveted plate
// of the floor and ceiling, two flare sprites, the iris dissolve and the scene
#include "parts/parts.h"

#include "lwo_write.h"
#include "lws_write.h"
#include "noise.h"

#include <cmath>
#include <cstdio>
#include <vector>

// ---- pictures --------------------------------------------------------------------------------

static void put(Canvas *c, int x, int y, Rgb colour) {
    float *p = &c->rgb[((size_t)y * c->width + x) * 3];
    p[0] = colour.r, p[1] = colour.g, p[2] = colour.b;
}

// Value noise that wraps every `period` pixels: four samples blended across the seams.
static float tiled_noise(float x, float y, float period, float scale, uint32_t seed) {
    float a = x / period, b = y / period;
    auto n = [&](float px, float py) { return noise_fbm(px * scale, py * scale, 4, 0.5f, seed); };
    return n(x, y) * (1 - a) * (1 - b) + n(x - period, y) * a * (1 - b) +
           n(x, y - period) * (1 - a) * b + n(x - period, y - period) * a * b;
}

// The dissolve opens like an iris from the middle, its edge torn by noise: dark goes first.
static void paint_iris(Canvas *c) {
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float dx = (x - 256.0f) / 256.0f, dy = (y - 128.0f) / 128.0f;
            float r = std::sqrt(dx * dx * 0.8f + dy * dy * 0.5f);
            float torn = noise_fbm(x * 0.02f, y * 0.03f, 5, 0.55f, 531);
            float v = fm_clamp(r * 0.75f + (torn - 0.45f) * 0.4f, 0.0f, 1.0f);
            put(c, x, y, Rgb{v, v, v});
        }
}

// The cube's steel, looked up by its model-space normal (u = 128 n.x + 127, v = 128 n.y + 127):
// a chrome horizon, icy above, copper below, with brushed grain.
static void paint_steel(Canvas *c) {
    static const GradientStop sky[] = {
        {0.0f, rgb_hex(0x9FC4E8)}, {0.4f, rgb_hex(0x4F7FB8)}, {1.0f, rgb_hex(0x1B2E5C)}};
    static const GradientStop ground[] = {
        {0.0f, rgb_hex(0x3A1C10)}, {0.35f, rgb_hex(0xB0602C)}, {1.0f, rgb_hex(0x5A2A18)}};
    for (int row = 0; row < c->height; row++)
        for (int col = 0; col < c->width; col++) {
            float nx = (col - 127.0f) / 128.0f, ny = (row - 127.0f) / 128.0f;
            float bend = ny + 0.18f * fm_sin(nx * 2.6f);
            Rgb colour = bend > 0.0f ? gradient_at(sky, 3, bend) : gradient_at(ground, 3, -bend);
            float line = fm_exp(-bend * bend * 900.0f); // the bright horizon
            colour = rgb_mix(colour, rgb_hex(0xFFF6E0), line * 0.9f);
            float grain = noise_fbm(col * 0.6f, row * 0.04f, 3, 0.5f, 533) - 0.5f;
            colour.r += grain * 0.12f, colour.g += grain * 0.12f, colour.b += grain * 0.12f;
            put(c, col, row, colour);
        }
}

// The highlight, looked up by the camera-space normal: full where a face looks at the viewer,
// nothing at the silhouette. Only intensities above half make a white sheen, so it falls off
// quickly and leaves the steel its colour elsewhere.
static void paint_highlight(Canvas *c) {
    for (int row = 0; row < c->height; row++)
        for (int col = 0; col < c->width; col++) {
            float nx = (col - 127.0f) / 128.0f, ny = (row - 127.0f) / 128.0f;
            float r2 = fm_clamp(nx * nx + ny * ny, 0.0f, 1.0f);
            float nz = std::sqrt(1.0f - r2), v = nz * nz * nz;
            put(c, col, row, Rgb{v, v, v});
        }
}

// Riveted plates with the coils of a field magnet pressed into each, seamless every 256 texels.
static void paint_plate(Canvas *c) {
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float px = (float)(x % 64) - 31.5f, py = (float)(y % 64) - 31.5f;
            float edge = fm_smoothstep(27.0f, 31.5f, std::fmax(std::fabs(px), std::fabs(py)));
            float d = std::sqrt(px * px + py * py);
            float coil = fm_smoothstep(0.2f, 0.9f, fm_sin(d * 0.9f)) *
                         (1.0f - fm_smoothstep(20.0f, 24.0f, d));
            float grain = tiled_noise((float)x, (float)y, 256.0f, 0.05f, 541);
            Rgb colour = rgb_mix(rgb_hex(0x6A7C96), rgb_hex(0x9AAAC0), grain);
            colour = rgb_mix(colour, rgb_hex(0xE0904A), coil * 0.85f);
            colour = rgb_mix(colour, rgb_hex(0x2A3040), edge);
            float rivet = 0.0f;
            for (float cx : {-25.0f, 25.0f})
                for (float cy : {-25.0f, 25.0f}) {
                    float rx = px - cx, ry = py - cy;
                    rivet = std::fmax(
                        rivet, 1.0f - fm_smoothstep(1.5f, 2.6f, std::sqrt(rx * rx + ry * ry)));
                }
            colour = rgb_mix(colour, rgb_hex(0xE8ECF4), rivet);
            put(c, x, y, colour);
        }
}

// A flare: a hot core, a soft halo and four thin rays, fading to black before the border so
// that the added square never shows.
static void paint_flare(Canvas *c, Rgb tint, float rays) {
    float h = c->width * 0.5f;
    canvas_glow(c, h, h, h * 0.55f, 1.0f, tint, 0.7f);
    canvas_glow(c, h, h, h * 0.14f, 1.0f, rgb_hex(0xFFFFFF), 1.0f);
    canvas_glow(c, h, h, h * 0.9f, 14.0f, tint, rays);
    canvas_glow(c, h, h, h * 0.065f, 1.0f / 14.0f, tint, rays);
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float dx = (x + 0.5f - h) / h, dy = (y + 0.5f - h) / h;
            float k = 1.0f - fm_smoothstep(0.6f, 0.98f, std::sqrt(dx * dx + dy * dy));
            float *p = &c->rgb[((size_t)y * c->width + x) * 3];
            p[0] *= k, p[1] *= k, p[2] *= k;
        }
}

static void paint_blue_flare(Canvas *c) {
    paint_flare(c, rgb_hex(0x60A0FF), 0.8f);
}

static void paint_amber_flare(Canvas *c) {
    paint_flare(c, rgb_hex(0xFFA050), 0.6f);
}

typedef void (*Painter)(Canvas *c);

static int save_painted(const char *dir, const char *name, int w, int h, Painter paint,
                        uint32_t seed) {
    Canvas c = canvas_create(w, h);
    if (!c.rgb) return 0;
    paint(&c);
    int ok = part_save_jpeg(dir, name, &c, seed);
    canvas_free(&c);
    return ok;
}

// ---- the five shapes -------------------------------------------------------------------------

// Every shape is the same lattice over a cube's six sides, N x N squares a side, its points in
// one order, so that the part can morph between them point for point.
constexpr int N = 10;
constexpr float CUBE_HALF = 100.0f;

struct Lattice {
    std::vector<float> unit; // x, y, z per point on the cube [-1, 1]^3
    std::vector<LwoTriangle> triangles;
};

static int lattice_index(std::vector<int> &index, Lattice *l, int i, int j, int k) {
    int &slot = index[((size_t)i * (N + 1) + j) * (N + 1) + k];
    if (slot < 0) {
        slot = (int)l->unit.size() / 3;
        for (int c : {i, j, k}) l->unit.push_back(c * 2.0f / N - 1.0f);
    }
    return slot;
}

// The six sides: the fixed axis, its value, and the two running axes ordered so that the
// triangles wind clockwise seen from outside.
static void build_lattice(Lattice *l) {
    std::vector<int> index((N + 1) * (N + 1) * (N + 1), -1);
    static const int side[6][4] = {{2, 0, 0, 1}, {2, N, 1, 0}, {0, 0, 1, 2},
                                   {0, N, 2, 1}, {1, 0, 2, 0}, {1, N, 0, 2}};
    for (const auto &s : side)
        for (int a = 0; a < N; a++)
            for (int b = 0; b < N; b++) {
                int q[4];
                const int da[4] = {0, 0, 1, 1}, db[4] = {0, 1, 1, 0};
                for (int m = 0; m < 4; m++) {
                    int c[3];
                    c[s[0]] = s[1], c[s[2]] = a + da[m], c[s[3]] = b + db[m];
                    q[m] = lattice_index(index, l, c[0], c[1], c[2]);
                }
                l->triangles.push_back({{(uint16_t)q[0], (uint16_t)q[1], (uint16_t)q[2]}, 0});
                l->triangles.push_back({{(uint16_t)q[0], (uint16_t)q[2], (uint16_t)q[3]}, 0});
            }
}

enum ShapeKind { SHAPE_CUBE, SHAPE_SPHERE, SHAPE_TWIST, SHAPE_POLES, SHAPE_RIPPLE };

// Where the cube point p goes in each shape (before scaling).
static void shape_point(ShapeKind kind, const float *p, float *out) {
    float x = p[0], y = p[1], z = p[2];
    float len = std::sqrt(x * x + y * y + z * z);
    float sx = x / len, sy = y / len, sz = z / len; // on the unit sphere
    switch (kind) {
    case SHAPE_CUBE:
        out[0] = x * 0.82f, out[1] = y * 0.82f, out[2] = z * 0.82f;
        return;
    case SHAPE_SPHERE:
        out[0] = sx * 1.1f, out[1] = sy * 1.1f, out[2] = sz * 1.1f;
        return;
    case SHAPE_TWIST: { // a cube wrung about its upright axis
        float a = y * 0.9f, c = fm_cos(a), s = fm_sin(a);
        out[0] = (x * c - z * s) * 0.78f, out[1] = y * 0.95f, out[2] = (x * s + z * c) * 0.78f;
        return;
    }
    case SHAPE_POLES: { // the six poles drawn out as if to a magnet
        float pole = sx * sx * sx * sx + sy * sy * sy * sy + sz * sz * sz * sz;
        float r = 0.55f + 0.9f * pole * pole * pole;
        out[0] = sx * r, out[1] = sy * r, out[2] = sz * r;
        return;
    }
    case SHAPE_RIPPLE: { // a sphere with standing waves running round it
        float r = 0.95f + 0.12f * fm_sin(sy * 9.0f) * fm_cos(sx * 5.0f + sz * 3.0f);
        out[0] = sx * r, out[1] = sy * r, out[2] = sz * r;
        return;
    }
    }
}

static int write_shape(const char *dir, const char *name, const Lattice *l, ShapeKind kind) {
    int count = (int)l->unit.size() / 3;
    std::vector<float> points(l->unit.size());
    for (int i = 0; i < count; i++) {
        shape_point(kind, &l->unit[i * 3], &points[i * 3]);
        for (int a = 0; a < 3; a++) points[i * 3 + a] *= CUBE_HALF;
    }
    static const LwoSurface steel = {"MagnetSteel", 180, 190, 210, 0};
    LwoMesh mesh = {count, points.data(), (int)l->triangles.size(), l->triangles.data(), 1, &steel};
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    return lwo_save(path, &mesh);
}

static int write_shapes(const char *dir) {
    Lattice l;
    build_lattice(&l);
    return write_shape(dir, "magnkub1.lwo", &l, SHAPE_CUBE) &&
           write_shape(dir, "magnkub2.lwo", &l, SHAPE_SPHERE) &&
           write_shape(dir, "magnkub3.lwo", &l, SHAPE_TWIST) &&
           write_shape(dir, "magnkub4.lwo", &l, SHAPE_POLES) &&
           write_shape(dir, "magnkub5.lwo", &l, SHAPE_RIPPLE);
}

// A flare is one small triangle on the flare surface; the part sets its size.
static int write_spark(const char *dir) {
    static const float points[9] = {0, 10, 0, 10, -10, 0, -10, -10, 0};
    static const LwoTriangle tri = {{0, 1, 2}, 0};
    static const LwoSurface flare = {"QVX_FLARE", 255, 255, 255, 0};
    LwoMesh mesh = {3, points, 1, &tri, 1, &flare};
    char path[4096];
    snprintf(path, sizeof path, "%s/magnspk.lwo", dir);
    return lwo_save(path, &mesh);
}

// ---- the scene -------------------------------------------------------------------------------

constexpr int FLARES = 12;
constexpr int FLARE_KEYS = 15;
constexpr float FLARE_KEY_STEP = 300.0f; // scene ticks; the part runs the scene at 1.5

static LwsKey still_key(float x, float y, float z, float frame) {
    return LwsKey{x, y, z, 0, 0, 0, 1, 1, 1, frame, 0, 0, 0, 0};
}

// The flares wheel slowly round the view axis far behind the cube, each on a ring of its own,
// swinging nearer and further so that they grow and shrink.
static void flare_keys(int f, LwsKey *keys) {
    Rng rng = rng_make(551 + (uint64_t)f);
    float radius = rng_range(&rng, 1300.0f, 2400.0f), phase = f * (2.0f * FM_PI / FLARES);
    float turn = rng_range(&rng, 0.25f, 0.45f) * (f % 2 ? 1.0f : -1.0f);
    float depth = rng_range(&rng, 2600.0f, 4200.0f), swing = rng_range(&rng, 500.0f, 1000.0f);
    for (int k = 0; k < FLARE_KEYS; k++) {
        float a = phase + turn * k;
        float z = depth + swing * fm_sin(k * 0.7f + f);
        keys[k] = still_key(radius * fm_cos(a), radius * 0.45f * fm_sin(a), z, FLARE_KEY_STEP * k);
    }
}

static int write_scene(const char *dir) {
    static LwsKey cube_key = still_key(0, 0, -500, 0);
    static LwsKey keys[FLARES][FLARE_KEYS];
    LwsObject objects[1 + FLARES];
    objects[0] = {"data\\magnkub5.lwo", 0, {1, &cube_key}};
    for (int f = 0; f < FLARES; f++) {
        flare_keys(f, keys[f]);
        objects[1 + f] = {"data\\magnspk.lwo", 0, {FLARE_KEYS, keys[f]}};
    }
    static LwsKey lamp = still_key(0, 300, -900, 0), eye = still_key(0, 0, -1000, 0);
    LwsLight light = {{1, &lamp}, 1, 255, 255, 255, 1.0f};
    LwsScene scene = {0, 4200, 1 + FLARES, objects, 1, &light, {{1, &eye}, 0, 3.2f}};
    char path[4096];
    snprintf(path, sizeof path, "%s/magnscen.lws", dir);
    return lws_save(path, &scene);
}

int forge_magnet(const char *dir) {
    return save_painted(dir, "magnalph.jpg", 512, 256, paint_iris, 31) &&
           save_painted(dir, "magnenvm.jpg", 256, 256, paint_steel, 32) &&
           save_painted(dir, "magnphng.jpg", 256, 256, paint_highlight, 33) &&
           save_painted(dir, "magntxtr.jpg", 256, 256, paint_plate, 34) &&
           save_painted(dir, "magnflar.jpg", 128, 128, paint_blue_flare, 35) &&
           save_painted(dir, "magnfla2.jpg", 128, 128, paint_amber_flare, 36) &&
           write_shapes(dir) && write_spark(dir) && write_scene(dir);
}
