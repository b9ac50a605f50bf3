// intro.cpp -- the opening's pictures: logo, credits, tunnel textures, moonlit moor and bob
#include "parts/parts.h"

#include "noise.h"
#include "scenery.h"
#include "text.h"

#include <cmath>
#include <cstdio>
#include <vector>

// ---- tiling noise --------------------------------------------------------------------------

// The tunnel textures wrap in both directions (the tunnel walks u and v modulo 256), so their
// noise repeats every period lattice cells.
static float tile_lattice(int x, int y, int period, uint32_t seed) {
    uint32_t h = (uint32_t)(x % period) * 0x8DA6B343u ^ (uint32_t)(y % period) * 0xD8163841u;
    h ^= seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return (float)(h >> 8) / 16777216.0f;
}

// Value noise in [0, 1) at (x, y) lattice units, repeating every period units.
static float tile_noise(float x, float y, int period, uint32_t seed) {
    int x0 = (int)x, y0 = (int)y;
    float fx = fm_smoothstep(0.0f, 1.0f, x - (float)x0);
    float fy = fm_smoothstep(0.0f, 1.0f, y - (float)y0);
    float top =
        fm_mix(tile_lattice(x0, y0, period, seed), tile_lattice(x0 + 1, y0, period, seed), fx);
    float bottom = fm_mix(tile_lattice(x0, y0 + 1, period, seed),
                          tile_lattice(x0 + 1, y0 + 1, period, seed), fx);
    return fm_mix(top, bottom, fy);
}

// Octaves of tile_noise over a side x side picture, starting at period cells across.
static float tile_fbm(int px, int py, int side, int period, int octaves, uint32_t seed) {
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (int i = 0; i < octaves; i++) {
        float scale = (float)period / (float)side;
        sum += amplitude * tile_noise((float)px * scale, (float)py * scale, period, seed + 77u * i);
        total += amplitude;
        amplitude *= 0.5f;
        period *= 2;
    }
    return sum / total;
}

static void set_pixel(Canvas *c, int x, int y, Rgb colour) {
    float *p = c->rgb + ((size_t)y * c->width + x) * 3;
    p[0] = colour.r, p[1] = colour.g, p[2] = colour.b;
}

// ---- tunnel textures -----------------------------------------------------------------------

constexpr int TEXTURE = 256;

// Deep moor water: teal depths crossed by a net of bright caustic lines.
static int write_water(const char *dir) {
    Canvas c = canvas_create(TEXTURE, TEXTURE);
    if (!c.rgb) return 0;
    static const GradientStop depth[] = {
        {0.0f, rgb_hex(0x03141E)}, {0.55f, rgb_hex(0x0C3A48)}, {1.0f, rgb_hex(0x1F6F7A)}};
    for (int y = 0; y < TEXTURE; y++) {
        for (int x = 0; x < TEXTURE; x++) {
            float body = tile_fbm(x, y, TEXTURE, 4, 4, 201);
            float warp = tile_fbm(x, y, TEXTURE, 8, 3, 202);
            float ridge = 1.0f - fm_clamp(std::fabs(warp * 2.0f - 1.0f) * 6.0f, 0.0f, 1.0f);
            float fine = tile_fbm(x, y, TEXTURE, 16, 2, 203);
            float glint = ridge * ridge * (0.55f + 0.45f * fine);
            Rgb colour = gradient_at(depth, 3, body);
            set_pixel(&c, x, y, rgb_mix(colour, rgb_hex(0xA8F0E4), glint * 0.8f));
        }
    }
    int ok = part_save_jpeg(dir, "itexture.jpg", &c, 211);
    canvas_free(&c);
    return ok;
}

// Old masonry lit by embers: staggered blocks, weathered, with glowing seams between them.
static int write_stone(const char *dir) {
    Canvas c = canvas_create(TEXTURE, TEXTURE);
    if (!c.rgb) return 0;
    const int block_w = 32, block_h = 16;
    for (int y = 0; y < TEXTURE; y++) {
        int course = y / block_h;
        int shift = (course & 1) * block_w / 2;
        for (int x = 0; x < TEXTURE; x++) {
            int bx = (x + shift) % TEXTURE;
            int ex = bx % block_w, ey = y % block_h;
            float edge =
                (float)std::min(std::min(ex, block_w - 1 - ex), std::min(ey, block_h - 1 - ey));
            float stone = tile_fbm(x, y, TEXTURE, 16, 4, 221);
            int block = (bx / block_w) * 31 + course * 17;
            float tone = 0.75f + 0.5f * tile_lattice(block, course, 64, 222);
            Rgb face = rgb_mix(rgb_hex(0x2A1A14), rgb_hex(0x6E4A30), stone * tone);
            // Seams: the ember glow is strongest in the gap and dies away over three pixels.
            float seam = fm_exp(-edge * edge * 0.35f);
            float ember = 0.6f + 0.4f * tile_fbm(x, y, TEXTURE, 8, 2, 223);
            Rgb glow = rgb_mix(rgb_hex(0xB03A0A), rgb_hex(0xFFC060), ember * seam);
            set_pixel(&c, x, y, rgb_mix(face, glow, seam * ember));
        }
    }
    int ok = part_save_jpeg(dir, "itextur2.jpg", &c, 231);
    canvas_free(&c);
    return ok;
}

// ---- background, its alpha and the bob -------------------------------------------------------

constexpr float MOON_X = 256.0f, MOON_Y = 128.0f, MOON_R = 30.0f;

// The moor under a full moon. The moon sits where the tunnel vanishes: the base alpha shows it
// there, hiding the tunnel's finest rings behind the light at its end.
static int write_moor(const char *dir) {
    Canvas c = canvas_create(512, 256);
    if (!c.rgb) return 0;
    static const GradientStop sky[] = {
        {0.0f, rgb_hex(0x050818)}, {0.5f, rgb_hex(0x14224A)}, {0.78f, rgb_hex(0x2E4470)}};
    canvas_vgradient(&c, sky, 3);
    scenery_stars(&c, 220, 190.0f, 0.9f, 241);
    canvas_glow(&c, MOON_X, MOON_Y, 90.0f, 1.0f, rgb_hex(0x5070B0), 0.5f);
    canvas_glow(&c, MOON_X, MOON_Y, 42.0f, 1.0f, rgb_hex(0xB0C8F0), 0.55f);
    Mask moon = mask_create(512, 256);
    if (!moon.a) return 0;
    mask_ellipse(&moon, MOON_X, MOON_Y, MOON_R, MOON_R, 1.5f);
    static const GradientStop disc[] = {{0.3f, rgb_hex(0xFFFDF0)}, {0.6f, rgb_hex(0xE6EAF6)}};
    canvas_paint_gradient(&c, &moon, 0, 0, disc, 2, 1.0f);
    Ridge far{196.0f, 12.0f, 0.006f, 4, 242}, near{220.0f, 10.0f, 0.005f, 5, 243};
    static const GradientStop far_hill[] = {{0.75f, rgb_hex(0x1E2A48)}, {1.0f, rgb_hex(0x101830)}};
    static const GradientStop near_hill[] = {{0.85f, rgb_hex(0x0A0E1C)}, {1.0f, rgb_hex(0x04060C)}};
    int ok = scenery_hills(&c, &far, far_hill, 2);
    scenery_mist(&c, 204.0f, 16.0f, rgb_hex(0x7A8AB8), 0.4f, 244);
    ok = ok && scenery_hills(&c, &near, near_hill, 2) &&
         scenery_tree(&c, 70.0f, 224.0f, 80.0f, 0.3f, rgb_hex(0x03040A), 245) &&
         scenery_grass(&c, 240, 222.0f, 262.0f, 16.0f, rgb_hex(0x03040A), 246);
    canvas_vignette(&c, 0.35f);
    ok = ok && part_save_jpeg(dir, "iback.jpg", &c, 247);
    canvas_free(&c);
    return ok;
}

static int save_grey(const char *dir, const char *name, int width, int height,
                     const std::vector<float> &level, uint32_t seed) {
    Canvas c = canvas_create(width, height);
    if (!c.rgb) return 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            float v = level[(size_t)y * width + x];
            set_pixel(&c, x, y, Rgb{v, v, v});
        }
    int ok = part_save_jpeg(dir, name, &c, seed);
    canvas_free(&c);
    return ok;
}

// How much of the moor shows before the bobs add to it: all of the moon and its halo, nothing
// of the tunnel's middle ring, and a soft frame of hills and sky towards the corners.
static int write_base_alpha(const char *dir) {
    std::vector<float> level(512 * 256);
    for (int y = 0; y < 256; y++) {
        for (int x = 0; x < 512; x++) {
            float dx = (float)x - MOON_X, dy = ((float)y - MOON_Y) * 1.6f;
            float r = std::sqrt(dx * dx + dy * dy);
            float moon = 1.0f - fm_smoothstep(MOON_R + 6.0f, MOON_R + 40.0f, r);
            float rim = fm_smoothstep(170.0f, 330.0f, r) * 0.8f;
            float n = noise_fbm((float)x * 0.02f, (float)y * 0.02f, 4, 0.5f, 251);
            level[(size_t)y * 512 + x] = fm_clamp(moon + rim * (0.7f + 0.6f * n), 0.0f, 1.0f);
        }
    }
    return save_grey(dir, "ialpha.jpg", 512, 256, level, 252);
}

// A soft round blob that is black at its edge, so its square leaves no trace.
static int write_bob(const char *dir) {
    std::vector<float> level(128 * 128);
    for (int y = 0; y < 128; y++) {
        for (int x = 0; x < 128; x++) {
            float dx = (float)x - 63.5f, dy = (float)y - 63.5f;
            float t = fm_clamp((dx * dx + dy * dy) / (60.0f * 60.0f), 0.0f, 1.0f);
            level[(size_t)y * 128 + x] = (1.0f - t) * (1.0f - t);
        }
    }
    return save_grey(dir, "ibob.jpg", 128, 128, level, 253);
}

// ---- logo ----------------------------------------------------------------------------------

static int write_logo(const char *dir) {
    Canvas c = canvas_create(512, 140);
    if (!c.rgb) return 0;
    int baseline = 0;
    Mask name = text_render(FONT_SERIF_BOLD, 64.0f, "VANDREL", 14.0f, 16, &baseline);
    if (!name.a) return 0;
    int x = (512 - name.width) / 2, y = 80 - baseline;
    Mask halo = mask_copy(&name);
    if (!halo.a) return 0;
    mask_blur(&halo, 7);
    canvas_paint(&c, &halo, x, y, rgb_hex(0x3A6AC0), 0.9f);
    static const GradientStop steel[] = {{0.3f, rgb_hex(0xFFFFFF)},
                                         {0.55f, rgb_hex(0xB8CCEA)},
                                         {0.62f, rgb_hex(0x6A84B0)},
                                         {0.8f, rgb_hex(0xE8D8B0)}};
    canvas_paint_gradient(&c, &name, x, y, steel, 4, 1.0f);
    // A hairline under the name, brightest in the middle, and the word that follows it.
    for (int px = 96; px < 416; px++) {
        float t = ((float)px - 256.0f) / 160.0f;
        canvas_add(&c, px, 96, rgb_hex(0x9AB8E8), 0.8f * (1.0f - t * t));
    }
    Mask sub = text_render(FONT_SANS_BOLD, 11.0f, "P R E S E N T S", 2.0f, 0, nullptr);
    if (!sub.a) return 0;
    canvas_paint(&c, &sub, (512 - sub.width) / 2, 106, rgb_hex(0x8EA2C8), 0.9f);
    int ok = part_save_jpeg(dir, "vandrel.jpg", &c, 261);
    canvas_free(&c);
    return ok;
}

// ---- credits -------------------------------------------------------------------------------

constexpr int CREDIT_W = 320, CREDIT_H = 64;

struct Credit {
    const char *file;
    const char *role;
    const char *name;
};

static const Credit credits[5] = {
    {"c_rosqu.tga", "CODE", "Rosqu"},  {"c_pelan.tga", "GRAPHICS", "Pelan"},
    {"c_wimbe.tga", "MUSIC", "Wimbe"}, {"c_torku.tga", "OBJECTS & SCENES", "Torku"},
    {"c_case.tga", "SUPPORT", "Case"},
};

// The top-left pixel is the key the show lifts out; nothing else may have this colour.
static const uint8_t credit_key[3] = {255, 0, 255};

// Ink and outline masks of one credit: the role small above, the name large below, centred.
static int layout_credit(const Credit *credit, Mask *ink, Mask *outline) {
    *ink = mask_create(CREDIT_W, CREDIT_H);
    Mask role = text_render(FONT_SANS_BOLD, 10.0f, credit->role, 2.0f, 0, nullptr);
    int baseline = 0;
    Mask name = text_render(FONT_SERIF_BOLD, 36.0f, credit->name, 2.0f, 0, &baseline);
    if (!ink->a || !role.a || !name.a) return 0;
    auto place = [ink](const Mask *m, int x0, int y0) {
        for (int y = 0; y < m->height; y++)
            for (int x = 0; x < m->width; x++) {
                int tx = x0 + x, ty = y0 + y;
                if (tx < 0 || ty < 0 || tx >= CREDIT_W || ty >= CREDIT_H) continue;
                float *a = &ink->a[(size_t)ty * CREDIT_W + tx];
                *a = fm_clamp(*a + m->a[(size_t)y * m->width + x], 0.0f, 1.0f);
            }
    };
    place(&role, (CREDIT_W - role.width) / 2, 4);
    place(&name, (CREDIT_W - name.width) / 2, 54 - baseline);
    *outline = mask_copy(ink);
    if (!outline->a) return 0;
    mask_dilate(outline, 2);
    return 1;
}

// Letters anti-aliased into a solid dark outline, never into the key: each pixel is either the
// exact key or clearly a letter.
static int write_credit(const char *dir, const Credit *credit) {
    Mask ink{0, 0, nullptr}, outline{0, 0, nullptr};
    int ok = layout_credit(credit, &ink, &outline);
    std::vector<uint8_t> rgb(CREDIT_W * CREDIT_H * 3);
    const Rgb line = rgb_hex(0x060A14);
    for (int y = 0; ok && y < CREDIT_H; y++) {
        Rgb fill = y < 18 ? rgb_hex(0xA8C0E8)
                          : rgb_mix(rgb_hex(0xFFF8E8), rgb_hex(0xE8B860),
                                    fm_smoothstep(24.0f, 56.0f, (float)y));
        for (int x = 0; x < CREDIT_W; x++) {
            size_t i = (size_t)y * CREDIT_W + x;
            uint8_t *p = &rgb[i * 3];
            if ((x == 0 && y == 0) || (ink.a[i] <= 0.0f && outline.a[i] < 0.3f)) {
                p[0] = credit_key[0], p[1] = credit_key[1], p[2] = credit_key[2];
                continue;
            }
            Rgb c = rgb_mix(line, fill, ink.a[i]);
            p[0] = (uint8_t)(c.r * 255.0f + 0.5f);
            p[1] = (uint8_t)(c.g * 255.0f + 0.5f);
            p[2] = (uint8_t)(c.b * 255.0f + 0.5f);
        }
    }
    if (!ok) fprintf(stderr, "forge: the credit \"%s\" could not be lettered\n", credit->name);
    return ok && part_save_tga(dir, credit->file, CREDIT_W, CREDIT_H, rgb.data());
}

// The order in which each credit turns into the next: a sweep from left to right with a ragged,
// burning edge. Levels stay below 250, so every pixel has turned before the dissolve ends.
static int write_credit_dissolve(const char *dir) {
    std::vector<float> level(CREDIT_W * CREDIT_H);
    for (int y = 0; y < CREDIT_H; y++) {
        for (int x = 0; x < CREDIT_W; x++) {
            float sweep = ((float)x + (float)y * 0.5f) / ((float)CREDIT_W + 32.0f);
            float n = noise_fbm((float)x * 0.06f, (float)y * 0.06f, 4, 0.55f, 271);
            level[(size_t)y * CREDIT_W + x] =
                fm_clamp(0.04f + sweep * 0.78f + (n - 0.5f) * 0.3f, 0.02f, 0.94f);
        }
    }
    return save_grey(dir, "c_alpha.jpg", CREDIT_W, CREDIT_H, level, 272);
}

int forge_intro(const char *dir) {
    if (!write_credit_dissolve(dir)) return 0;
    for (const Credit &credit : credits)
        if (!write_credit(dir, &credit)) return 0;
    return write_logo(dir) && write_moor(dir) && write_bob(dir) && write_base_alpha(dir) &&
           write_water(dir) && write_stone(dir);
}
