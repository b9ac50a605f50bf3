// raytraced.cpp -- the wall behind the raytraced spheres: old moor stone, tiling both ways
#include "parts/parts.h"

#include "noise.h"

#include <cmath>
#include <cstdint>

// The tracer repeats the texture every 8 units of wall, 256 texels, in both directions, so
// every pattern here has a period of 256.
constexpr int SIDE = 256;
constexpr int COURSE = 32; // rows per course of stone
constexpr int STONE = 64;  // columns per stone
constexpr float MORTAR = 2.2f;

// Noise that tiles with period SIDE: four shifted copies of the fractal sum, cross-faded.
static float tile_fbm2(int x, int y, float sx, float sy, int octaves, uint32_t seed) {
    float fx = (float)x, fy = (float)y, s = (float)SIDE;
    float a = fx / s, b = fy / s;
    float n00 = noise_fbm(fx * sx, fy * sy, octaves, 0.5f, seed);
    float n10 = noise_fbm((fx - s) * sx, fy * sy, octaves, 0.5f, seed);
    float n01 = noise_fbm(fx * sx, (fy - s) * sy, octaves, 0.5f, seed);
    float n11 = noise_fbm((fx - s) * sx, (fy - s) * sy, octaves, 0.5f, seed);
    float n = fm_mix(fm_mix(n00, n10, a), fm_mix(n01, n11, a), b);
    // The cross-fade of independent samples narrows the spread towards the middle of the
    // tile; divide that narrowing out again.
    float spread = std::sqrt(((1.0f - a) * (1.0f - a) + a * a) * ((1.0f - b) * (1.0f - b) + b * b));
    return fm_clamp(0.5f + (n - 0.5f) / spread, 0.0f, 1.0f);
}

static float tile_fbm(int x, int y, float scale, int octaves, uint32_t seed) {
    return tile_fbm2(x, y, scale, scale, octaves, seed);
}

struct StoneAt {
    int id;       // which stone of the tile
    float edge;   // distance in texels to the nearest joint
    float lx, ly; // position inside the stone, 0..1
};

// Courses of stones laid in a running bond: every other course shifted by half a stone.
static StoneAt stone_at(int x, int y) {
    int course = y / COURSE;
    int shifted = (x + (course & 1) * (STONE / 2)) % SIDE;
    int column = shifted / STONE;
    float lx = (float)(shifted % STONE) + 0.5f, ly = (float)(y % COURSE) + 0.5f;
    float ex = lx < (float)STONE - lx ? lx : (float)STONE - lx;
    float ey = ly < (float)COURSE - ly ? ly : (float)COURSE - ly;
    return StoneAt{course * (SIDE / STONE) + column, ex < ey ? ex : ey, lx / (float)STONE,
                   ly / (float)COURSE};
}

// Each stone gets its own colour from a few kinds of moor rock.
static Rgb stone_colour(int id) {
    static const uint32_t rocks[] = {0xB49C7C, 0x9C948A, 0xA88A5E, 0x8A7A66, 0xC2AA86, 0x8E8A80};
    Rng rng = rng_make(0x57A11 + (uint64_t)id * 7919u);
    Rgb base = rgb_hex(rocks[rng_next(&rng) % 6]);
    float shade = rng_range(&rng, 0.82f, 1.08f);
    return Rgb{base.r * shade, base.g * shade, base.b * shade};
}

static Rgb wall_pixel(int x, int y) {
    StoneAt at = stone_at(x, y);
    float rough = (tile_fbm(x, y, 0.09f, 3, 511) - 0.5f) * 1.6f;
    float joint = fm_smoothstep(MORTAR - 0.8f, MORTAR + 0.8f, at.edge + rough);
    Rgb mortar = rgb_mix(rgb_hex(0x3A342C), rgb_hex(0x5A5244), tile_fbm(x, y, 0.2f, 2, 512));
    Rgb stone = stone_colour(at.id);
    // Grain and pitting of the stone face.
    float grain = tile_fbm(x, y, 0.16f, 4, 513) - 0.5f;
    float pits = fm_smoothstep(0.68f, 0.78f, tile_fbm(x, y, 0.3f, 2, 514));
    float k = 1.0f + grain * 0.35f - pits * 0.25f;
    stone = Rgb{stone.r * k, stone.g * k, stone.b * k};
    // Worn edges: the light falls from above, so upper rims catch it and lower rims sink.
    float rim = 1.0f - fm_smoothstep(MORTAR, MORTAR + 5.0f, at.edge);
    float lit = at.ly < 0.5f ? 0.18f : -0.22f;
    stone = Rgb{stone.r + rim * lit, stone.g + rim * lit, stone.b + rim * lit};
    Rgb c = rgb_mix(mortar, stone, joint);
    // Moss creeps out of the joints and over the lower part of the stones in damp patches.
    float damp = tile_fbm(x, y, 0.025f, 3, 515);
    float moss = fm_smoothstep(0.5f, 0.7f, damp) *
                 (1.0f - fm_smoothstep(1.0f, 7.0f + 6.0f * at.ly, at.edge));
    moss *= 0.6f + 0.4f * tile_fbm(x, y, 0.4f, 2, 516);
    c = rgb_mix(c, rgb_mix(rgb_hex(0x3E5A22), rgb_hex(0x7A9438), tile_fbm(x, y, 0.3f, 2, 517)),
                fm_clamp(moss, 0.0f, 0.85f));
    // Rain streaks darken the stone in long vertical runs.
    float streak = tile_fbm2(x, y, 0.08f, 0.01f, 2, 518);
    float wet = fm_smoothstep(0.55f, 0.75f, streak) * 0.18f;
    // Kept a little dim, so that the spheres stand out from the wall.
    float dim = 0.85f * (1.0f - wet);
    return Rgb{c.r * dim, c.g * dim, c.b * 0.85f * (1.0f - wet * 0.7f)};
}

int forge_raytraced(const char *dir) {
    Canvas c = canvas_create(SIDE, SIDE);
    if (!c.rgb) return 0;
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++) canvas_blend(&c, x, y, wall_pixel(x, y), 1.0f);
    int ok = part_save_jpeg(dir, "tracemap.jpg", &c, 11);
    canvas_free(&c);
    return ok;
}
