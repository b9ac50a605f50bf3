// glow.cpp -- the glow part: a star inside an armillary of rings, a sun and sparks around it,
// the frame the scene shows through, the dissolve that opens from the sun, and ten captions
#include "parts/parts.h"

#include "lwo_write.h"
#include "lws_write.h"
#include "noise.h"
#include "text.h"

#include <cmath>
#include <cstdio>
#include <vector>

// The part fills the scene's background with this colour, and the frame lets it through.
static const uint8_t KEY[3] = {21, 58, 58};

// The blur of the part streaks away from the sun, which stands here on the screen.
constexpr float SUN_X = 416.0f;
constexpr float SUN_Y = 70.0f;

// The window of the frame, where the scene shows, and the caption plate on the left panel.
constexpr float WIN_X0 = 228.0f, WIN_Y0 = 10.0f, WIN_X1 = 502.0f, WIN_Y1 = 246.0f;
constexpr float WIN_ROUND = 22.0f;
constexpr int PLATE_X = 14, PLATE_Y = 110, PLATE_W = 192, PLATE_H = 24;
static const Rgb PLATE = {16.0f / 255.0f, 34.0f / 255.0f, 36.0f / 255.0f};

static float *pixel(Canvas *c, int x, int y) {
    return &c->rgb[((size_t)y * c->width + x) * 3];
}

static int save_rgb(const char *dir, const char *name, const Canvas *c, uint32_t seed) {
    std::vector<uint8_t> rgb((size_t)c->width * c->height * 3);
    canvas_to_rgb8(c, rgb.data(), seed);
    return part_save_tga(dir, name, c->width, c->height, rgb.data());
}

// ---- the flare -------------------------------------------------------------------------------

// Added onto the picture, so black adds nothing: a white-hot core, a warm halo, a faint ring
// and six thin rays, gone before the edge.
static int write_flare_picture(const char *dir) {
    Canvas c = canvas_create(256, 256);
    if (!c.rgb) return 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            float dx = ((float)x - 127.5f) / 128.0f, dy = ((float)y - 127.5f) / 128.0f;
            float d = std::sqrt(dx * dx + dy * dy);
            float rays = 0.0f;
            for (int k = 0; k < 3; k++) {
                float a = 0.3f + FM_PI * (float)k / 3.0f;
                float off = dx * fm_sin(a) - dy * fm_cos(a);
                rays += fm_exp(-off * off * 1400.0f) * fm_exp(-d * 2.6f) * (k == 0 ? 1.0f : 0.5f);
            }
            float ring = fm_exp(-(d - 0.62f) * (d - 0.62f) * 700.0f) * 0.18f;
            float core = fm_exp(-d * d * 120.0f), halo = fm_exp(-d * d * 10.0f) * 0.6f;
            float fade = fm_smoothstep(0.97f, 0.7f, d);
            Rgb warm = rgb_hex(0xFFB868), pale = rgb_hex(0x9FFFE8);
            float *p = pixel(&c, x, y);
            p[0] = (core + halo * warm.r + rays * warm.r + ring * pale.r) * fade;
            p[1] = (core + halo * warm.g + rays * warm.g + ring * pale.g) * fade;
            p[2] = (core + halo * warm.b + rays * warm.b + ring * pale.b) * fade;
        }
    int ok = part_save_jpeg(dir, "grflare.jpg", &c, 501);
    canvas_free(&c);
    return ok;
}

// ---- the frame -------------------------------------------------------------------------------

// Distance outside a rounded rectangle (negative inside).
static float outside_window(float x, float y) {
    float cx = (WIN_X0 + WIN_X1) * 0.5f, cy = (WIN_Y0 + WIN_Y1) * 0.5f;
    float qx = std::fabs(x - cx) - ((WIN_X1 - WIN_X0) * 0.5f - WIN_ROUND);
    float qy = std::fabs(y - cy) - ((WIN_Y1 - WIN_Y0) * 0.5f - WIN_ROUND);
    float ox = std::fmax(qx, 0.0f), oy = std::fmax(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::fmin(std::fmax(qx, qy), 0.0f) - WIN_ROUND;
}

// Dark slate with a grain of peat, a gold rule round the window and one round the plate.
static void paint_slate(Canvas *c) {
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float grain = noise_fbm((float)x * 0.05f, (float)y * 0.05f, 5, 0.55f, 511);
            float streak = noise_fbm((float)x * 0.4f, (float)y * 0.02f, 2, 0.5f, 512);
            Rgb colour =
                rgb_mix(rgb_hex(0x0C1A1C), rgb_hex(0x24383A), grain * 0.8f + streak * 0.2f);
            float d = outside_window((float)x + 0.5f, (float)y + 0.5f);
            float rule = fm_exp(-(d - 4.0f) * (d - 4.0f) * 0.9f);
            float shadow = fm_smoothstep(14.0f, 0.0f, d) * 0.5f;
            colour = rgb_mix(colour, rgb_hex(0x040A0A), shadow);
            colour = rgb_mix(colour, rgb_hex(0xE8C078), rule);
            float *p = pixel(c, x, y);
            p[0] = colour.r, p[1] = colour.g, p[2] = colour.b;
        }
    for (int y = PLATE_Y - 4; y < PLATE_Y + PLATE_H + 4; y++)
        for (int x = PLATE_X - 4; x < PLATE_X + PLATE_W + 4; x++) {
            bool inner =
                x >= PLATE_X && x < PLATE_X + PLATE_W && y >= PLATE_Y && y < PLATE_Y + PLATE_H;
            bool rule = x == PLATE_X - 2 || x == PLATE_X + PLATE_W + 1 || y == PLATE_Y - 2 ||
                        y == PLATE_Y + PLATE_H + 1;
            Rgb colour = inner ? PLATE : rule ? rgb_hex(0xC8A060) : rgb_hex(0x081212);
            float *p = pixel(c, x, y);
            p[0] = colour.r, p[1] = colour.g, p[2] = colour.b;
        }
}

static int letter(Canvas *c, FontFace face, float size, const char *text, float tracking, int x,
                  int y, uint32_t colour, float alpha) {
    Mask m = text_render(face, size, text, tracking, 2, nullptr);
    if (!m.a) return 0;
    canvas_paint(c, &m, x < 0 ? (c->width - m.width) / 2 : x, y, rgb_hex(colour), alpha);
    return 1;
}

// The left panel's lettering: the title above the plate, a small seal of rings below it.
static int paint_panel(Canvas *c) {
    int ok = letter(c, FONT_SANS_BOLD, 10.0f, "Q U E L L M O O R", 1.0f, 24, 20, 0x8CB8B0, 0.9f) &&
             letter(c, FONT_SERIF_BOLD, 50.0f, "Glow", 4.0f, 22, 34, 0xF0C880, 1.0f) &&
             letter(c, FONT_SERIF, 12.0f, "what the spring keeps", 1.0f, 26, 91, 0x9CC8C0, 0.9f);
    for (int ring = 0; ring < 4; ring++) {
        float r = 18.0f + 9.0f * (float)ring;
        for (int k = 0; k < 720; k++) {
            float a = 2.0f * FM_PI * (float)k / 720.0f;
            int x = (int)(110.0f + r * fm_cos(a)), y = (int)(196.0f + r * 0.55f * fm_sin(a));
            canvas_blend(c, x, y, rgb_hex(0xC8A060), 0.25f + 0.12f * (float)ring);
        }
    }
    canvas_glow(c, 110.0f, 196.0f, 9.0f, 1.0f, rgb_hex(0xFFD090), 0.9f);
    return ok && letter(c, FONT_SANS_BOLD, 8.0f, "V A N D R E L   M M X X V I", 1.0f, 44, 232,
                        0x6A9890, 0.8f);
}

// The window becomes exactly the key colour; no pixel of the frame may be it by chance.
static void cut_window(uint8_t *rgb, int width, int height) {
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint8_t *p = &rgb[((size_t)y * width + x) * 3];
            bool key = p[0] == KEY[0] && p[1] == KEY[1] && p[2] == KEY[2];
            if (outside_window((float)x + 0.5f, (float)y + 0.5f) < 0.0f)
                p[0] = KEY[0], p[1] = KEY[1], p[2] = KEY[2];
            else if (key)
                p[2] = (uint8_t)(KEY[2] + 1);
        }
}

static int write_frame(const char *dir) {
    Canvas c = canvas_create(512, 256);
    if (!c.rgb) return 0;
    paint_slate(&c);
    int ok = paint_panel(&c);
    std::vector<uint8_t> rgb(512 * 256 * 3);
    canvas_to_rgb8(&c, rgb.data(), 513);
    canvas_free(&c);
    cut_window(rgb.data(), 512, 256);
    return ok && part_save_tga(dir, "grback.tga", 512, 256, rgb.data());
}

// The dissolve opens from the sun: levels grow with the distance from it, torn by mist.
static int write_dissolve(const char *dir) {
    Canvas c = canvas_create(512, 256);
    if (!c.rgb) return 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            float dx = ((float)x - SUN_X) / 420.0f, dy = ((float)y - SUN_Y) / 260.0f;
            float mist = noise_fbm((float)x * 0.025f, (float)y * 0.025f, 5, 0.55f, 521);
            float v = std::sqrt(dx * dx + dy * dy) * 0.9f + (mist - 0.5f) * 0.3f;
            v = fm_clamp(v, 0.0f, 0.97f);
            float *p = pixel(&c, x, y);
            p[0] = p[1] = p[2] = v;
        }
    int ok = part_save_jpeg(dir, "grfade.jpg", &c, 522);
    canvas_free(&c);
    return ok;
}

// ---- the captions ----------------------------------------------------------------------------

static const char *const CAPTIONS[10] = {
    "GLOW",
    "from under the peat",
    "a light is rising",
    "warm as a hearth",
    "cold as the well",
    "it gathers the mist",
    "and throws it back",
    "as rays of morning",
    "over the moor",
    "QUELLMOOR",
};

// Each caption lies on the plate's own colour, so that only its letters fade.
static int write_caption(const char *dir, int n) {
    Canvas c = canvas_create(PLATE_W, PLATE_H);
    if (!c.rgb) return 0;
    for (int i = 0; i < PLATE_W * PLATE_H; i++) {
        float *p = &c.rgb[(size_t)i * 3];
        p[0] = PLATE.r, p[1] = PLATE.g, p[2] = PLATE.b;
    }
    bool loud = n == 0 || n == 9;
    int baseline = 0;
    Mask m = loud ? text_render(FONT_SERIF_BOLD, 17.0f, CAPTIONS[n], 5.0f, 1, &baseline)
                  : text_render(FONT_SERIF, 15.0f, CAPTIONS[n], 1.0f, 1, &baseline);
    int ok = m.a != nullptr && m.width <= PLATE_W;
    if (ok) {
        static const GradientStop gold[] = {{0.0f, rgb_hex(0xFFF0C8)}, {1.0f, rgb_hex(0xE0A858)}};
        canvas_paint_gradient(&c, &m, (PLATE_W - m.width) / 2, 17 - baseline, gold, 2, 1.0f);
    } else if (m.a) {
        fprintf(stderr, "forge: the caption \"%s\" is wider than its plate\n", CAPTIONS[n]);
    }
    char name[24];
    snprintf(name, sizeof name, "g%d.tga", n + 1);
    ok = ok && save_rgb(dir, name, &c, 530 + (uint32_t)n);
    canvas_free(&c);
    return ok;
}

// ---- the objects -----------------------------------------------------------------------------

struct Mesh {
    std::vector<float> points;
    std::vector<LwoTriangle> triangles;
};

static uint16_t add_point(Mesh *m, float x, float y, float z) {
    m->points.insert(m->points.end(), {x, y, z});
    return (uint16_t)(m->points.size() / 3 - 1);
}

// Adds the triangle wound clockwise as seen from the side `out` points to.
static void add_facing(Mesh *m, uint16_t a, uint16_t b, uint16_t c, const float *out) {
    const float *p = m->points.data();
    float e1[3], e2[3];
    for (int k = 0; k < 3; k++)
        e1[k] = p[b * 3 + k] - p[a * 3 + k], e2[k] = p[c * 3 + k] - p[a * 3 + k];
    float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                  e1[0] * e2[1] - e1[1] * e2[0]};
    bool along = n[0] * out[0] + n[1] * out[1] + n[2] * out[2] > 0.0f;
    m->triangles.push_back(along ? LwoTriangle{{a, b, c}, 0} : LwoTriangle{{a, c, b}, 0});
}

static int save_mesh(const char *dir, const char *name, const Mesh *m, const LwoSurface *s) {
    LwoMesh out = {(int)m->points.size() / 3,
                   m->points.data(),
                   (int)m->triangles.size(),
                   m->triangles.data(),
                   1,
                   s};
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    return lwo_save(path, &out);
}

// The star: an icosahedron with a spike raised from the middle of every face.
static int write_star(const char *dir) {
    static const int faces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                     {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                     {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                     {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    const float t = 1.618034f, s = 34.0f;
    const float corners[12][3] = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                  {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                  {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    Mesh m;
    for (const auto &c : corners) add_point(&m, c[0] * s, c[1] * s, c[2] * s);
    for (const auto &f : faces) {
        float centre[3];
        for (int k = 0; k < 3; k++)
            centre[k] = (m.points[f[0] * 3 + k] + m.points[f[1] * 3 + k] + m.points[f[2] * 3 + k]);
        uint16_t apex = add_point(&m, centre[0] * 0.62f, centre[1] * 0.62f, centre[2] * 0.62f);
        for (int e = 0; e < 3; e++)
            add_facing(&m, (uint16_t)f[e], (uint16_t)f[(e + 1) % 3], apex, centre);
    }
    static const LwoSurface amber = {"GlowStar", 255, 196, 112, 0};
    return save_mesh(dir, "grstar.lwo", &m, &amber);
}

// The armillary: three thin rings about the star, at right angles to each other.
static int write_rings(const char *dir) {
    const int around = 48, across = 6;
    const float big = 118.0f, tube = 4.0f;
    Mesh m;
    for (int axis = 0; axis < 3; axis++) {
        float r = big - 10.0f * (float)axis;
        uint16_t first = (uint16_t)(m.points.size() / 3);
        for (int i = 0; i < around; i++)
            for (int j = 0; j < across; j++) {
                float a = 2.0f * FM_PI * (float)i / (float)around;
                float b = 2.0f * FM_PI * (float)j / (float)across;
                float d = r + tube * fm_cos(b),
                      q[3] = {d * fm_cos(a), d * fm_sin(a), tube * fm_sin(b)};
                add_point(&m, q[(axis + 0) % 3], q[(axis + 1) % 3], q[(axis + 2) % 3]);
            }
        for (int i = 0; i < around; i++)
            for (int j = 0; j < across; j++) {
                int i1 = (i + 1) % around, j1 = (j + 1) % across;
                uint16_t q[4] = {
                    (uint16_t)(first + i * across + j), (uint16_t)(first + i1 * across + j),
                    (uint16_t)(first + i1 * across + j1), (uint16_t)(first + i * across + j1)};
                float a = 2.0f * FM_PI * ((float)i + 0.5f) / (float)around;
                float b = 2.0f * FM_PI * ((float)j + 0.5f) / (float)across;
                float o[3] = {fm_cos(b) * fm_cos(a), fm_cos(b) * fm_sin(a), fm_sin(b)};
                float out[3] = {o[(axis + 0) % 3], o[(axis + 1) % 3], o[(axis + 2) % 3]};
                add_facing(&m, q[0], q[1], q[2], out);
                add_facing(&m, q[0], q[2], q[3], out);
            }
    }
    static const LwoSurface brass = {"GlowBrass", 200, 236, 220, 0};
    return save_mesh(dir, "grrings.lwo", &m, &brass);
}

// A flare: one triangle whose bounding box has the given diagonal, which the reader takes as
// the flare's radius.
static int write_flare_object(const char *dir, const char *name, float diagonal) {
    Mesh m;
    float h = diagonal / (2.0f * std::sqrt(3.0f));
    add_point(&m, -h, -h, -h);
    add_point(&m, h, -h, h);
    add_point(&m, h, h, h);
    m.triangles.push_back(LwoTriangle{{0, 1, 2}, 0});
    static const LwoSurface flare = {"QVX_FLARE", 255, 255, 255, 0};
    return save_mesh(dir, name, &m, &flare);
}

// ---- the scene -------------------------------------------------------------------------------

// The camera stands to the left, so that the star sits in the middle of the window.
constexpr float CAMERA_X = -169.0f, CAMERA_Z = -620.0f;
constexpr int SPARKS = 10;
constexpr int SPARK_KEYS = 31;
constexpr float SPARK_STEP = 60.0f; // scene ticks; the part runs the scene at 1.5

static LwsKey at(float x, float y, float z, float frame) {
    return LwsKey{x, y, z, 0, 0, 0, 1, 1, 1, frame, 0, 0, 0, 0};
}

// Sparks circle the star on tilted orbits of their own, passing in front and behind it.
static void spark_keys(int n, LwsKey *keys) {
    Rng rng = rng_make(541 + (uint64_t)n);
    float radius = rng_range(&rng, 140.0f, 210.0f), tilt = rng_range(&rng, -0.9f, 0.9f);
    float phase = (float)n * (2.0f * FM_PI / SPARKS), turn = rng_range(&rng, 0.05f, 0.09f);
    if (n % 3 == 1) turn = -turn;
    for (int k = 0; k < SPARK_KEYS; k++) {
        float a = phase + turn * (float)k;
        float x = radius * fm_cos(a), z = radius * fm_sin(a);
        keys[k] = at(x, z * fm_sin(tilt), z * fm_cos(tilt), SPARK_STEP * (float)k);
    }
}

static int write_scene(const char *dir) {
    // The sun stands where the screen's (416, 70) looks, 1600 units ahead of the camera (the
    // view divides by the distance and multiplies by the focal length, 400).
    const float depth = 1600.0f, scale = depth / 400.0f;
    static LwsKey still = at(0, 0, 0, 0);
    static LwsKey sun =
        at(CAMERA_X + (SUN_X - 256.0f) * scale, (128.0f - SUN_Y) * scale, CAMERA_Z + depth, 0);
    static LwsKey sparks[SPARKS][SPARK_KEYS];
    std::vector<LwsObject> objects = {{"data\\grstar.lwo", 0, {1, &still}},
                                      {"data\\grrings.lwo", 0, {1, &still}},
                                      {"data\\grsun.lwo", 0, {1, &sun}}};
    for (int n = 0; n < SPARKS; n++) {
        spark_keys(n, sparks[n]);
        objects.push_back({"data\\grspark.lwo", 0, {SPARK_KEYS, sparks[n]}});
    }
    static LwsKey key_lamp = at(500, 420, -700, 0), fill_lamp = at(-600, -300, -200, 0);
    static LwsKey eye = at(CAMERA_X, 0, CAMERA_Z, 0);
    LwsLight lights[2] = {{{1, &key_lamp}, 0, 255, 230, 190, 1.0f},
                          {{1, &fill_lamp}, 0, 120, 200, 200, 0.5f}};
    LwsScene scene = {0, 1800,   (int)objects.size(), objects.data(),
                      2, lights, {{1, &eye}, 0, 3.2f}};
    char path[4096];
    snprintf(path, sizeof path, "%s/grscene.lws", dir);
    return lws_save(path, &scene);
}

int forge_glow(const char *dir) {
    int ok = write_flare_picture(dir) && write_frame(dir) && write_dissolve(dir);
    for (int n = 0; ok && n < 10; n++) ok = write_caption(dir, n);
    return ok && write_star(dir) && write_rings(dir) &&
           write_flare_object(dir, "grsun.lwo", 760.0f) &&
           write_flare_object(dir, "grspark.lwo", 60.0f) && write_scene(dir);
}
