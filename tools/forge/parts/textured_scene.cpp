// textured_scene.cpp -- the crystal cavern: seven stretches of rock, the carved door at its end,
// the lamps that drift along it, their pictures and the flight through it

#include "lwo_write.h"
#include "lws_write.h"
#include "noise.h"
#include "parts/parts.h"

#include <cmath>
#include <cstdio>
#include <vector>

// The rock picture repeats every 777.8 units across the floor and the vault; each stretch of the
// cavern is one repeat long and stays inside it, so that no face straddles a seam of the map.
constexpr int CAVE_STRETCHES = 7;
constexpr float CAVE_STEP = 776.0f;      // between the centres of two stretches
constexpr float CAVE_HALF = 388.0f;      // half a stretch
constexpr int CAVE_RING = 24;            // points around the cavern
constexpr int CAVE_ROWS = 12;            // rows of faces along one stretch
constexpr float CAVE_WIDTH = 320.0f;     // half-width of the open cavern
constexpr float CAVE_VAULT = 125.0f;     // height of the vault above the axis
constexpr float CAVE_FLOOR = 95.0f;      // depth of the floor below the axis
constexpr float PASSAGE_WIDTH = 118.0f;  // half-width of the passage before the door
constexpr float PASSAGE_START = 4300.0f; // the cavern starts narrowing here...
constexpr float PASSAGE_END = 4950.0f;   // ...and is a passage from here on
constexpr float CAVE_END = CAVE_STEP * (CAVE_STRETCHES - 1) + CAVE_HALF;
constexpr float DOOR_HALF = 144.9f;    // the door picture spans 290 units; stay inside it
constexpr float SCENE_TICKS = 1300.0f; // the part ends after about 1290 ticks of scene time

static int save_mesh(const char *dir, const char *name, const LwoMesh *mesh) {
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    return lwo_save(path, mesh);
}

// How far the cavern has narrowed at depth z along it: 0 open, 1 the passage.
static float narrowing(float z) {
    return fm_smoothstep(PASSAGE_START, PASSAGE_END, z);
}

// One point of the cavern wall: angle a around the axis (0 at the right, up first), at depth
// z along the cavern. The floor is flattened; the rock is knobbly everywhere.
static void cave_point(int around, float z, float *out) {
    const float a = 2.0f * FM_PI * (float)around / (float)CAVE_RING;
    const float n = narrowing(z);
    const float s = fm_sin(a), c = fm_cos(a);
    const float width = fm_mix(CAVE_WIDTH, PASSAGE_WIDTH, n);
    const float vault = fm_mix(CAVE_VAULT, PASSAGE_WIDTH, n);
    const float floor = fm_mix(CAVE_FLOOR, PASSAGE_WIDTH * 0.8f, n);
    float y = s >= 0.0f ? vault * s : -floor * std::sqrt(-s);
    // The angle is sampled on a circle so that the ring closes without a step.
    const float bump = noise_fbm(c * 1.7f + 9.0f, z * 0.006f + s * 1.7f, 4, 0.5f, 6101) - 0.5f;
    const float rough = fm_mix(0.22f, 0.08f, n);
    out[0] = width * c * (1.0f + rough * bump);
    out[1] = y * (1.0f + rough * bump) + (s < 0.0f ? 10.0f * bump : 0.0f);
    out[2] = z;
}

// Stretch k: CAVE_ROWS + 1 rings from one end to the other, in model space around its centre.
static int write_stretch(const char *dir, int k) {
    const float centre = CAVE_STEP * (float)k;
    std::vector<float> points;
    for (int r = 0; r <= CAVE_ROWS; r++) {
        const float z = -CAVE_HALF + 2.0f * CAVE_HALF * (float)r / (float)CAVE_ROWS;
        for (int i = 0; i < CAVE_RING; i++) {
            float p[3];
            cave_point(i, centre + z, p);
            points.insert(points.end(), {p[0], p[1], z});
        }
    }
    std::vector<LwoTriangle> faces;
    for (int r = 0; r < CAVE_ROWS; r++) {
        for (int i = 0; i < CAVE_RING; i++) {
            const uint16_t a = (uint16_t)(r * CAVE_RING + i);
            const uint16_t b = (uint16_t)(r * CAVE_RING + (i + 1) % CAVE_RING);
            const uint16_t c = (uint16_t)(a + CAVE_RING), d = (uint16_t)(b + CAVE_RING);
            // Seen from inside the cavern.
            faces.push_back({{a, c, b}, 0});
            faces.push_back({{b, c, d}, 0});
        }
    }
    static const LwoSurface rock = {"CavernRock", 120, 140, 150, 0};
    LwoMesh mesh = {
        (int)(points.size() / 3), points.data(), (int)faces.size(), faces.data(), 1, &rock};
    char name[32];
    snprintf(name, sizeof name, "scencav%d.lwo", k + 1);
    return save_mesh(dir, name, &mesh);
}

// The door: one square facing back along the cavern, its picture once across it.
static int write_door(const char *dir) {
    const float h = DOOR_HALF;
    const float points[12] = {-h, h, 0.0f, h, h, 0.0f, h, -h, 0.0f, -h, -h, 0.0f};
    static const LwoTriangle faces[2] = {{{0, 1, 2}, 0}, {{0, 2, 3}, 0}};
    static const LwoSurface door = {"D", 200, 190, 170, 0};
    LwoMesh mesh = {4, points, 2, faces, 1, &door};
    return save_mesh(dir, "scendoor.lwo", &mesh);
}

// A lamp: a flare as wide as the triangle's diagonal.
static int write_lamp(const char *dir) {
    const float h = 150.0f / (2.0f * std::sqrt(3.0f));
    const float points[9] = {-h, -h, -h, h, h, h, h, -h, h};
    static const LwoTriangle face = {{0, 1, 2}, 0};
    static const LwoSurface flare = {"QVX_FLARE", 255, 255, 255, 0};
    LwoMesh mesh = {3, points, 1, &face, 1, &flare};
    return save_mesh(dir, "scenlamp.lwo", &mesh);
}

// ---- the flight ------------------------------------------------------------------------------

static LwsKey key_at(float frame, float x, float y, float z, float heading, float pitch) {
    return LwsKey{x, y, z, heading, pitch, 0.0f, 1.0f, 1.0f, 1.0f, frame, 0, 0.0f, 0.0f, 0.0f};
}

constexpr int FLIGHT_KEYS = 14;

// The camera glides in, sways between the walls, and slows before the door.
static void camera_keys(LwsKey *keys) {
    for (int k = 0; k < FLIGHT_KEYS; k++) {
        const float t = (float)k / (float)(FLIGHT_KEYS - 1);
        const float ease = t * (2.0f - t * 0.85f) / 1.15f; // slower towards the end
        const float z = fm_mix(-300.0f, CAVE_END - 340.0f, ease);
        const float open = 1.0f - narrowing(z + 200.0f);
        const float sway = fm_sin(t * 9.0f);
        keys[k] =
            key_at(t * SCENE_TICKS, 120.0f * open * sway, 10.0f + 25.0f * open * fm_cos(t * 7.0f),
                   z, -14.0f * open * fm_cos(t * 9.0f), -4.0f * open * fm_sin(t * 5.0f));
    }
}

constexpr int LAMPS = 12;
constexpr int LAMP_KEYS = 6;

// Lamps hang under the vault and by the walls, drifting slowly; the last two guard the door.
static void lamp_keys(int n, LwsKey *keys) {
    Rng rng = rng_make(7700 + (uint64_t)n);
    float x, y, z;
    if (n >= LAMPS - 2) {
        x = n == LAMPS - 2 ? -86.0f : 86.0f, y = 70.0f, z = CAVE_END - 40.0f;
    } else {
        z = 350.0f + 380.0f * (float)n + rng_range(&rng, -60.0f, 60.0f);
        x = (n % 2 ? 1.0f : -1.0f) * rng_range(&rng, 90.0f, 190.0f);
        y = rng_range(&rng, 20.0f, 80.0f);
    }
    const float phase = rng_range(&rng, 0.0f, 2.0f * FM_PI);
    const float drift = n >= LAMPS - 2 ? 4.0f : 22.0f;
    for (int k = 0; k < LAMP_KEYS; k++) {
        const float t = (float)k / (float)(LAMP_KEYS - 1);
        const float a = phase + t * 5.0f;
        keys[k] = key_at(t * SCENE_TICKS, x + drift * fm_cos(a), y + drift * fm_sin(a * 1.3f), z,
                         0.0f, 0.0f);
    }
}

static int write_scene(const char *dir) {
    static const char *const stretch_paths[CAVE_STRETCHES] = {
        "data\\scencav1.lwo", "data\\scencav2.lwo", "data\\scencav3.lwo", "data\\scencav4.lwo",
        "data\\scencav5.lwo", "data\\scencav6.lwo", "data\\scencav7.lwo"};
    std::vector<LwsKey> still(CAVE_STRETCHES + 1);
    std::vector<LwsObject> objects;
    for (int k = 0; k < CAVE_STRETCHES; k++) {
        still[k] = key_at(0.0f, 0.0f, 0.0f, CAVE_STEP * (float)k, 0.0f, 0.0f);
        objects.push_back({stretch_paths[k], 0, {1, &still[k]}});
    }
    still[CAVE_STRETCHES] = key_at(0.0f, 0.0f, 0.0f, CAVE_END, 0.0f, 0.0f);
    objects.push_back({"data\\scendoor.lwo", 0, {1, &still[CAVE_STRETCHES]}});
    std::vector<LwsKey> lamps(LAMPS * LAMP_KEYS);
    for (int n = 0; n < LAMPS; n++) {
        lamp_keys(n, &lamps[(size_t)n * LAMP_KEYS]);
        objects.push_back({"data\\scenlamp.lwo", 0, {LAMP_KEYS, &lamps[(size_t)n * LAMP_KEYS]}});
    }
    LwsKey camera[FLIGHT_KEYS];
    camera_keys(camera);
    LwsKey lamp = key_at(0.0f, 0.0f, 60.0f, 0.0f, 0.0f, 0.0f);
    LwsLight light = {{1, &lamp}, 0, 255, 230, 200, 1.0f};
    LwsScene scene = {0,
                      (int)SCENE_TICKS,
                      (int)objects.size(),
                      objects.data(),
                      1,
                      &light,
                      {{FLIGHT_KEYS, camera}, 0, 3.2f}};
    char path[4096];
    snprintf(path, sizeof path, "%s/scene.lws", dir);
    return lws_save(path, &scene);
}

// ---- the pictures ----------------------------------------------------------------------------

// The angle of (x, y) in turns, 0 .. 1, from a polynomial for the arctangent (within 1e-5
// radians), in plain arithmetic like the rest of the forge's maths.
static float turn_of(float x, float y) {
    const float ax = std::fabs(x), ay = std::fabs(y);
    if (ax == 0.0f && ay == 0.0f) return 0.0f;
    const float z = ax > ay ? ay / ax : ax / ay, z2 = z * z;
    float a = z * (0.9998660f +
                   z2 * (-0.3302995f + z2 * (0.1801410f + z2 * (-0.0851330f + z2 * 0.0208351f))));
    if (ay > ax) a = FM_PI / 2.0f - a;
    if (x < 0.0f) a = FM_PI - a;
    if (y < 0.0f) a = -a;
    return a / (2.0f * FM_PI) + 0.5f;
}

// Value noise that repeats every `period` units both ways: four samples blended across the
// repeat.
static float tiled_fbm(float x, float y, float period, int octaves, uint32_t seed) {
    const float wx = x / period, wy = y / period;
    const float a = noise_fbm(x, y, octaves, 0.5f, seed);
    const float b = noise_fbm(x - period, y, octaves, 0.5f, seed);
    const float c = noise_fbm(x, y - period, octaves, 0.5f, seed);
    const float d = noise_fbm(x - period, y - period, octaves, 0.5f, seed);
    const float top = fm_mix(a, b, wx), bottom = fm_mix(c, d, wx);
    // The blend flattens the middle; stretch it back around one half.
    return 0.5f + (fm_mix(top, bottom, wy) - 0.5f) * 1.6f;
}

static void put(Canvas *c, int x, int y, Rgb p) {
    float *out = &c->rgb[((size_t)y * (size_t)c->width + (size_t)x) * 3];
    out[0] = p.r, out[1] = p.g, out[2] = p.b;
}

// The cavern rock seen from above: slate in cold blues and greens, ochre mineral beds, and
// veins of glowing crystal along the ridges of a second noise; repeats seamlessly.
static int write_rock(const char *dir) {
    Canvas c = canvas_create(256, 256);
    if (!c.rgb) return 0;
    static const GradientStop slate[] = {{0.0f, rgb_hex(0x0C1418)},
                                         {0.35f, rgb_hex(0x1E3036)},
                                         {0.6f, rgb_hex(0x34484C)},
                                         {0.85f, rgb_hex(0x56625E)},
                                         {1.0f, rgb_hex(0x7A7A6A)}};
    const Rgb ochre = rgb_hex(0x9A6A34), crystal = rgb_hex(0x7CF0DC), core = rgb_hex(0xE8FFF8);
    for (int y = 0; y < 256; y++) {
        for (int x = 0; x < 256; x++) {
            const float fx = (float)x, fy = (float)y;
            const float body = tiled_fbm(fx / 16.0f, fy / 16.0f, 16.0f, 5, 3301);
            const float beds = tiled_fbm(fx / 32.0f, fy / 32.0f, 8.0f, 3, 3302);
            const float ridge = tiled_fbm(fx / 32.0f, fy / 32.0f, 8.0f, 4, 3303);
            const float grain = tiled_fbm(fx / 2.0f, fy / 2.0f, 128.0f, 2, 3304);
            Rgb p = gradient_at(slate, 5, fm_clamp(body * 0.9f + grain * 0.2f - 0.05f, 0.0f, 1.0f));
            p = rgb_mix(p, ochre, fm_smoothstep(0.62f, 0.8f, beds) * 0.55f);
            const float vein = 1.0f - fm_clamp(std::fabs(ridge - 0.5f) * 22.0f, 0.0f, 1.0f);
            const float halo = 1.0f - fm_clamp(std::fabs(ridge - 0.5f) * 6.0f, 0.0f, 1.0f);
            p = rgb_mix(p, crystal, halo * halo * 0.45f);
            p = rgb_mix(p, core, vein * vein * 0.8f);
            put(&c, x, y, p);
        }
    }
    const int ok = part_save_jpeg(dir, "scentmap.jpg", &c, 3310);
    canvas_free(&c);
    return ok;
}

// The door: a round slab of dark stone set in the rock, ringed by carved marks, with a glowing
// knot of crystal at its heart.
static int write_door_picture(const char *dir) {
    Canvas c = canvas_create(256, 256);
    if (!c.rgb) return 0;
    static const GradientStop slab[] = {
        {0.0f, rgb_hex(0x2A3A44)}, {0.7f, rgb_hex(0x1A262E)}, {1.0f, rgb_hex(0x0E161A)}};
    const Rgb rim = rgb_hex(0xB08A4A), glow = rgb_hex(0x6CF0D8), rock = rgb_hex(0x1A2226);
    for (int y = 0; y < 256; y++) {
        for (int x = 0; x < 256; x++) {
            const float dx = ((float)x - 127.5f) / 128.0f, dy = ((float)y - 127.5f) / 128.0f;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float grain = noise_fbm((float)x / 9.0f, (float)y / 9.0f, 4, 0.55f, 4401);
            Rgb p = rgb_mix(rock, rgb_hex(0x3A4448), grain * 0.8f);
            const float inside = fm_smoothstep(0.9f, 0.88f, d);
            Rgb stone = gradient_at(slab, 3, d / 0.9f);
            stone = rgb_mix(stone, rgb_hex(0x3E5058), grain * 0.35f);
            // Two carved rings and, between them, marks at irregular angles.
            const float ring1 = 1.0f - fm_clamp(std::fabs(d - 0.82f) * 60.0f, 0.0f, 1.0f);
            const float ring2 = 1.0f - fm_clamp(std::fabs(d - 0.58f) * 60.0f, 0.0f, 1.0f);
            const float turn = turn_of(dx, dy);
            const float slot = turn * 24.0f - std::floor(turn * 24.0f);
            const float mark_shape = noise_value(std::floor(turn * 24.0f), 1.0f, 4402);
            const float radial = fm_smoothstep(0.62f, 0.64f, d) * fm_smoothstep(0.78f, 0.76f, d);
            const float stroke = (std::fabs(slot - 0.5f) < 0.12f + 0.1f * mark_shape) ? 1.0f : 0.0f;
            const float cut = fm_smoothstep(0.68f, 0.7f, d + 0.06f * mark_shape);
            stone = rgb_mix(stone, rim, (ring1 + ring2) * 0.8f);
            stone = rgb_mix(stone, glow, radial * stroke * (0.35f + 0.45f * cut));
            // The knot: a four-lobed glow at the centre.
            const float sc = d > 0.0f ? dx * dy / (d * d) : 0.0f;
            const float lobes = 1.0f - 4.0f * sc * sc; // (1 + cos 4a) / 2
            const float heart = fm_exp(-d * d * 30.0f) + 0.5f * lobes * fm_exp(-d * d * 12.0f);
            stone = rgb_mix(stone, glow, fm_clamp(heart, 0.0f, 1.0f));
            stone = rgb_mix(stone, rgb_hex(0xF0FFFA), fm_exp(-d * d * 160.0f));
            p = rgb_mix(p, stone, inside);
            // A bevel of light along the rim's upper left.
            const float bevel = fm_smoothstep(0.86f, 0.9f, d) * fm_smoothstep(0.94f, 0.9f, d);
            p = rgb_mix(p, rim, bevel * fm_clamp(-(dx + dy), 0.0f, 1.0f) * 0.7f);
            put(&c, x, y, p);
        }
    }
    canvas_vignette(&c, 0.3f);
    const int ok = part_save_jpeg(dir, "scenmap2.jpg", &c, 4410);
    canvas_free(&c);
    return ok;
}

// A lamp sprite (added onto the picture, so black is nothing): a white core in a wide glow of
// pale green and two crossed rays, all gone well before the edge.
static int write_lamp_picture(const char *dir) {
    Canvas c = canvas_create(128, 128);
    if (!c.rgb) return 0;
    const Rgb colour = rgb_hex(0x8CF8E0);
    for (int y = 0; y < 128; y++) {
        for (int x = 0; x < 128; x++) {
            const float dx = ((float)x - 63.5f) / 64.0f, dy = ((float)y - 63.5f) / 64.0f;
            const float d2 = dx * dx + dy * dy, d = std::sqrt(d2);
            const float rays = fm_exp(-dx * dx * 600.0f) + fm_exp(-dy * dy * 600.0f);
            const float fade = fm_smoothstep(0.95f, 0.55f, d);
            const float level =
                (fm_exp(-d2 * 8.0f) * 0.6f + rays * fm_exp(-d * 3.5f) * 0.6f) * fade;
            const float core = fm_exp(-d2 * 70.0f);
            put(&c, x, y,
                {colour.r * level + core, colour.g * level + core, colour.b * level + core});
        }
    }
    const int ok = part_save_jpeg(dir, "scenfmap.jpg", &c, 4420);
    canvas_free(&c);
    return ok;
}

int forge_textured_scene(const char *dir) {
    int ok = 1;
    for (int k = 0; ok && k < CAVE_STRETCHES; k++) ok = write_stretch(dir, k);
    ok = ok && write_door(dir) && write_lamp(dir) && write_scene(dir);
    return ok && write_rock(dir) && write_door_picture(dir) && write_lamp_picture(dir);
}
