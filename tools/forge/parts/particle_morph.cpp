// particle_morph.cpp -- the particle cloud's five shapes, its spark sprite, the lettering that
// turns behind it, the twilight moor, the dissolve that reveals them, and the scene
#include "parts/parts.h"

#include "lwo_write.h"
#include "lws_write.h"
#include "noise.h"
#include "scenery.h"
#include "text.h"

#include <cmath>
#include <cstdio>
#include <vector>

// ---- pictures --------------------------------------------------------------------------------

static void put(Canvas *c, int x, int y, Rgb colour) {
    float *p = &c->rgb[((size_t)y * c->width + x) * 3];
    p[0] = colour.r, p[1] = colour.g, p[2] = colour.b;
}

// A moor at twilight: a rose horizon under a violet sky, a few early stars, two hill lines with
// mist between them and a still pool mirroring the sky.
static int paint_moor(Canvas *c) {
    static const GradientStop sky[] = {{0.0f, rgb_hex(0x0C0A26)},
                                       {0.45f, rgb_hex(0x3A2560)},
                                       {0.72f, rgb_hex(0xB0607A)},
                                       {0.8f, rgb_hex(0xF0B080)}};
    canvas_vgradient(c, sky, 4);
    scenery_stars(c, 140, 110.0f, 0.7f, 901);
    canvas_glow(c, 330.0f, 200.0f, 150.0f, 3.0f, rgb_hex(0xFFC890), 0.35f);
    Ridge far{196.0f, 14.0f, 0.005f, 4, 902}, near{214.0f, 10.0f, 0.011f, 5, 903};
    static const GradientStop far_hill[] = {{0.75f, rgb_hex(0x4A2E58)}, {1.0f, rgb_hex(0x24162E)}};
    static const GradientStop near_hill[] = {{0.8f, rgb_hex(0x1C1224)}, {1.0f, rgb_hex(0x08060C)}};
    if (!scenery_hills(c, &far, far_hill, 2)) return 0;
    scenery_mist(c, 206.0f, 10.0f, rgb_hex(0xE0B0C0), 0.4f, 904);
    if (!scenery_hills(c, &near, near_hill, 2)) return 0;
    Mask pool = mask_create(c->width, c->height);
    if (!pool.a) return 0;
    mask_ellipse(&pool, 150.0f, 236.0f, 120.0f, 11.0f, 4.0f);
    scenery_water(c, &pool, 212.0f, 0.7f, rgb_hex(0x402050), 0.3f, 905);
    if (!scenery_grass(c, 160, 226.0f, 256.0f, 22.0f, rgb_hex(0x050308), 906)) return 0;
    canvas_vignette(c, 0.35f);
    return 1;
}

// Paints the mask at (x, y) and at its copies one tile away, so that the texture repeats
// without a seam every 256 texels.
static void paint_wrapped(Canvas *c, const Mask *m, int x, int y, Rgb colour, float alpha) {
    for (int ty = -1; ty <= 1; ty++)
        for (int tx = -1; tx <= 1; tx++)
            canvas_paint(c, m, x + tx * c->width, y + ty * c->height, colour, alpha);
}

// The lettering the rotozoom turns: the show's name in staggered rows with quieter words
// between, pale on a deep blue that shades to teal, repeating seamlessly.
static int paint_lettering(Canvas *c) {
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float wave = 0.5f + 0.5f * fm_sin((x + y) * (2.0f * FM_PI / 256.0f));
            put(c, x, y, rgb_mix(rgb_hex(0x0A1030), rgb_hex(0x0E3A48), wave));
        }
    struct Line {
        FontFace face;
        float size;
        const char *text;
        int x, y;
        uint32_t colour;
    };
    static const Line lines[] = {
        {FONT_SANS_BOLD, 30.0f, "QUELLMOOR", 6, 4, 0xBFEFFF},
        {FONT_SERIF, 20.0f, "drift and gather", 40, 44, 0x70A8C8},
        {FONT_SANS_BOLD, 30.0f, "QUELLMOOR", 134, 68, 0xFFD8A8},
        {FONT_SERIF, 20.0f, "sparks over the moor", 20, 108, 0x70A8C8},
        {FONT_SANS_BOLD, 30.0f, "QUELLMOOR", 70, 132, 0xBFEFFF},
        {FONT_SERIF, 20.0f, "one cloud, five shapes", 150, 172, 0x70A8C8},
        {FONT_SANS_BOLD, 30.0f, "QUELLMOOR", 198, 196, 0xFFD8A8},
        {FONT_SERIF, 20.0f, "turning in the dark", 90, 236, 0x70A8C8},
    };
    for (const Line &line : lines) {
        Mask m = text_render(line.face, line.size, line.text, 1.0f, 3, nullptr);
        if (!m.a) return 0;
        Mask glow = mask_copy(&m);
        if (!glow.a) {
            return 0;
        }
        mask_blur(&glow, 3);
        paint_wrapped(c, &glow, line.x, line.y, rgb_hex(line.colour), 0.5f);
        paint_wrapped(c, &m, line.x, line.y, rgb_hex(line.colour), 0.95f);
    }
    return 1;
}

// The dissolve: dark goes first. The picture opens from a bright seam along the horizon, up
// and down, its edge frayed like drifting smoke; the values are stretched to the full range.
static int paint_dissolve(Canvas *c) {
    std::vector<float> v((size_t)c->width * c->height);
    float lo = 1e9f, hi = -1e9f;
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float dy = std::fabs(y - 150.0f) / 150.0f, dx = std::fabs(x - 256.0f) / 256.0f;
            float smoke = noise_fbm(x * 0.015f, y * 0.04f, 5, 0.55f, 911);
            float value = dy * 0.7f + dx * 0.25f + (smoke - 0.5f) * 0.5f;
            v[(size_t)y * c->width + x] = value;
            lo = std::fmin(lo, value), hi = std::fmax(hi, value);
        }
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float t = (v[(size_t)y * c->width + x] - lo) / (hi - lo);
            put(c, x, y, Rgb{t, t, t});
        }
    return 1;
}

// The spark every particle is drawn with (added to the picture): a white-hot core in a pale
// blue halo, black well before the border so that the square never shows.
static int paint_spark(Canvas *c) {
    float h = c->width * 0.5f;
    canvas_glow(c, h, h, h * 0.45f, 1.0f, rgb_hex(0x4078C8), 0.9f);
    canvas_glow(c, h, h, h * 0.26f, 1.0f, rgb_hex(0xA0D0FF), 1.0f);
    canvas_glow(c, h, h, h * 0.12f, 1.0f, rgb_hex(0xFFFFFF), 0.9f);
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float dx = (x + 0.5f - h) / h, dy = (y + 0.5f - h) / h;
            float k = 1.0f - fm_smoothstep(0.55f, 0.95f, std::sqrt(dx * dx + dy * dy));
            float *p = &c->rgb[((size_t)y * c->width + x) * 3];
            p[0] *= k, p[1] *= k, p[2] *= k;
        }
    return 1;
}

typedef int (*Painter)(Canvas *c);

static int save_painted(const char *dir, const char *name, int w, int h, Painter paint,
                        uint32_t seed) {
    Canvas c = canvas_create(w, h);
    if (!c.rgb) return 0;
    int ok = paint(&c) && part_save_jpeg(dir, name, &c, seed);
    canvas_free(&c);
    return ok;
}

// ---- the five shapes -------------------------------------------------------------------------

// The cloud is SPARKS little triangles; each shape places triangle i at its own point i, so
// that neighbours in one shape stay neighbours in the next and the morph swirls rather than
// scatters. The three corners of a triangle keep the same small offsets in every shape: the
// part draws each corner as a spark of its own size.
constexpr int SPARKS = 360;
constexpr float CLUSTER = 0.11f; // corner offset, in the units of the shapes (radius about 3)

struct Offsets {
    float a[3], b[3];
};

static std::vector<Offsets> cluster_offsets() {
    Rng rng = rng_make(921);
    std::vector<Offsets> out(SPARKS);
    for (Offsets &o : out)
        for (int k = 0; k < 3; k++) {
            o.a[k] = rng_range(&rng, -1.0f, 1.0f) * CLUSTER;
            o.b[k] = rng_range(&rng, -1.0f, 1.0f) * CLUSTER;
        }
    // Two random vectors are never parallel in practice; push b off a along x to make sure.
    for (Offsets &o : out) o.b[0] += 0.5f * CLUSTER;
    return out;
}

enum ShapeKind { SHAPE_SPHERE, SHAPE_TORUS, SHAPE_HELIX, SHAPE_GALAXY, SHAPE_BLOOM };

// Where spark i of SPARKS sits in each shape; t runs 0..1 along the cloud's order.
static void shape_point(ShapeKind kind, int i, float *out) {
    const float t = (i + 0.5f) / SPARKS;
    switch (kind) {
    case SHAPE_SPHERE: { // an even spiral over a ball (the golden angle between sparks)
        float y = 1.0f - 2.0f * t, r = std::sqrt(1.0f - y * y), a = i * 2.39996323f;
        out[0] = 2.4f * r * fm_cos(a), out[1] = 2.4f * y, out[2] = 2.4f * r * fm_sin(a);
        return;
    }
    case SHAPE_TORUS: { // a ring wound with 18 turns
        float u = t * 2.0f * FM_PI, v = t * 18.0f * 2.0f * FM_PI;
        float r = 2.0f + 0.6f * fm_cos(v);
        out[0] = r * fm_cos(u), out[1] = 0.6f * fm_sin(v), out[2] = r * fm_sin(u);
        return;
    }
    case SHAPE_HELIX: { // two strands turned about the upright axis
        float a = t * 6.0f * FM_PI + (i % 2) * FM_PI;
        out[0] = 1.1f * fm_cos(a), out[1] = (t - 0.5f) * 5.2f, out[2] = 1.1f * fm_sin(a);
        return;
    }
    case SHAPE_GALAXY: { // three arms winding out of a bright core
        float arm = (float)(i % 3) * (2.0f * FM_PI / 3.0f), r = 0.2f + 2.8f * t;
        float a = arm + r * 1.3f;
        out[0] = r * fm_cos(a), out[1] = 0.25f * fm_sin(r * 4.0f), out[2] = r * fm_sin(a);
        return;
    }
    case SHAPE_BLOOM: { // a ball with five petals swelling out of its equator
        float y = 1.0f - 2.0f * t, r = std::sqrt(1.0f - y * y), a = i * 2.39996323f;
        float petal = 1.0f + 0.45f * fm_cos(5.0f * a) * r;
        out[0] = 2.1f * petal * r * fm_cos(a), out[1] = 2.0f * y;
        out[2] = 2.1f * petal * r * fm_sin(a);
        return;
    }
    }
}

static int write_shape(const char *dir, const char *name, ShapeKind kind,
                       const std::vector<Offsets> &offsets) {
    std::vector<float> points;
    std::vector<LwoTriangle> triangles;
    for (int i = 0; i < SPARKS; i++) {
        float c[3];
        shape_point(kind, i, c);
        const Offsets &o = offsets[i];
        for (int k = 0; k < 3; k++) points.push_back(c[k] + o.a[k]);
        for (int k = 0; k < 3; k++) points.push_back(c[k] + o.b[k]);
        for (int k = 0; k < 3; k++) points.push_back(c[k] - o.a[k] - o.b[k]);
        const uint16_t first = (uint16_t)(3 * i);
        triangles.push_back({{first, (uint16_t)(first + 1), (uint16_t)(first + 2)}, 0});
    }
    static const LwoSurface sparks = {"QVX_PARTICLE", 200, 220, 255, 0};
    LwoMesh mesh = {3 * SPARKS, points.data(), SPARKS, triangles.data(), 1, &sparks};
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    return lwo_save(path, &mesh);
}

static int write_shapes(const char *dir) {
    const std::vector<Offsets> offsets = cluster_offsets();
    return write_shape(dir, "pmorph1.lwo", SHAPE_SPHERE, offsets) &&
           write_shape(dir, "pmorph2.lwo", SHAPE_TORUS, offsets) &&
           write_shape(dir, "pmorph3.lwo", SHAPE_HELIX, offsets) &&
           write_shape(dir, "pmorph4.lwo", SHAPE_GALAXY, offsets) &&
           write_shape(dir, "pmorph5.lwo", SHAPE_BLOOM, offsets);
}

// ---- the scene -------------------------------------------------------------------------------

static LwsKey still_key(float x, float y, float z, float frame) {
    return LwsKey{x, y, z, 0, 0, 0, 1, 1, 1, frame, 0, 0, 0, 0};
}

// The cloud sits at the origin (the part turns it); the camera hangs close before it, drifting
// a little from side to side. The sparks are only drawn this near the eye.
static int write_scene(const char *dir) {
    static LwsKey cloud_key = still_key(0, 0, 0, 0);
    static const LwsKey eye[] = {
        still_key(0.0f, 0.0f, -8.5f, 0.0f), still_key(0.4f, 0.2f, -8.1f, 700.0f),
        still_key(-0.3f, -0.2f, -8.8f, 1400.0f), still_key(0.0f, 0.0f, -8.5f, 2100.0f)};
    LwsObject cloud = {"data\\pmorph5.lwo", 0, {1, &cloud_key}};
    static LwsKey lamp = still_key(0, 30, -40, 0);
    LwsLight light = {{1, &lamp}, 0, 255, 255, 255, 1.0f};
    LwsScene scene = {0, 2100, 1, &cloud, 1, &light, {{4, eye}, 0, 3.2f}};
    char path[4096];
    snprintf(path, sizeof path, "%s/ptl_scen.lws", dir);
    return lws_save(path, &scene);
}

int forge_particle_morph(const char *dir) {
    return save_painted(dir, "ptl_back.jpg", 512, 256, paint_moor, 61) &&
           save_painted(dir, "ptl_text.jpg", 256, 256, paint_lettering, 62) &&
           save_painted(dir, "ptl_alph.jpg", 512, 256, paint_dissolve, 63) &&
           save_painted(dir, "ptl_fmap.jpg", 256, 256, paint_spark, 64) && write_shapes(dir) &&
           write_scene(dir);
}
