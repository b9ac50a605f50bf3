// fill_integer.cpp -- the integer-branch fillers: flat lit, textured, env-mapped and Gouraud

#include "data/image.h"
#include "fillers/fill_walk.h"
#include "fillers/fillers.h"

// The members differ only in these rules and in their pixel loops.
static constexpr IntRules TEXTURE_RULES = {
    .outer_sort = false,
    .right_extra = 65536,
    .long_left_on_tie = true,
    .reanchor = false,
    .value_shift = 16,
    .value_count = 2,
};
static constexpr IntRules GOURAUD_RULES = {
    .outer_sort = false,
    .right_extra = 65536,
    .long_left_on_tie = true,
    .reanchor = false,
    .value_shift = 16,
    .value_count = 3,
};
static constexpr IntRules FLAT_LIT_RULES = {
    .outer_sort = true,
    .right_extra = 0,
    .long_left_on_tie = false,
    .reanchor = true,
    .value_shift = 16,
    .value_count = 0,
};

// Names of the carried values.
enum : int { TEX_U = 0, TEX_V = 1 };
enum : int { CHAN_RED = 0, CHAN_GREEN = 1, CHAN_BLUE = 2 };

[[gnu::always_inline]] static inline void int_positions(const Face *face, IntVertex p[3]) {
    for (int k = 0; k < 3; k++) {
        p[k] = IntVertex{};
        p[k].x = walk_trunc(face->v[k].x, WALK_POSITION_LIMIT);
        p[k].y = walk_trunc(face->v[k].y, WALK_POSITION_LIMIT);
    }
}

static uint8_t channel(uint32_t word, int byte) {
    return static_cast<uint8_t>(word >> (8 * byte));
}

// A lighting intensity as a whole number 0..255. The pipeline caps sums at 255 but a light of
// negative intensity can push them below 0, which would wrap a channel to bright garbage.
static int32_t whole_intensity(float intensity) {
    int32_t i = fill_trunc(intensity);
    return i < 0 ? 0 : i > 255 ? 255 : i;
}

void fill_flat_lit(const Face *face, Image *target) {
    if (!fill_target_ok(target)) return;
    // Each of bytes 1..3 = trunc(byte * intensity / 256), in single precision.
    float intensity = face->flat_intensity;
    uint32_t colour = channel(face->colour, 0);
    for (int byte = 1; byte <= 3; byte++) {
        float lit = static_cast<float>(channel(face->colour, byte)) * intensity * 0.00390625f;
        colour |= static_cast<uint32_t>(whole_intensity(lit)) << (8 * byte);
    }
    IntVertex p[3];
    int_positions(face, p);
    walk_int<FLAT_LIT_RULES>(p, target, [colour](const IntSpan &s) {
        for (int32_t x = s.first; x < s.last; x++) s.row[x] = colour;
    });
}

// An affine copy of texture with the coordinate set at layer: 16.16 texels, the texel at
// ((v >> 16) & 255, (u >> 16) & 255).
static void fill_texture_layer(const Face *face, Image *target, int layer, const Image *texture) {
    if (!fill_target_ok(target) || !fill_texture_ok(texture) || !fill_layer_ok(layer)) return;
    IntVertex p[3];
    walk_texture_vertices(face, layer, p);
    const uint32_t *texels = texture->pixels;
    walk_int<TEXTURE_RULES>(p, target, [texels](const IntSpan &s) {
        fill_texel_span(s.row + s.first, s.last - s.first, texels, s.value[TEX_U], s.value[TEX_V],
                        s.step[TEX_U], s.step[TEX_V]);
    });
}

void fill_textured(const Face *face, Image *target) {
    fill_texture_layer(face, target, face->uv_layer[0], face->texture[0]);
}

void fill_env_mapped(const Face *face, Image *target) {
    fill_texture_layer(face, target, face->uv_layer[1], face->texture[1]);
}

// The integer part of a 16.16 channel. The last pixel of a row lies up to one pixel past the
// right edge, so a channel falling to 0 there can step just below 0 (or one rising to the top
// just past 255): it saturates instead of wrapping to the opposite end.
static uint32_t channel_byte(uint32_t value) {
    int32_t c = static_cast<int32_t>(value) >> 16;
    return static_cast<uint32_t>(c < 0 ? 0 : c > 255 ? 255 : c);
}

void fill_gouraud(const Face *face, Image *target) {
    if (!fill_target_ok(target)) return;
    IntVertex p[3];
    int_positions(face, p);
    // Per vertex and channel: channel byte * trunc(intensity) / 256, truncated.
    for (int k = 0; k < 3; k++) {
        int32_t light = whole_intensity(face->gouraud_intensity[k]);
        for (int c = CHAN_RED; c <= CHAN_BLUE; c++)
            p[k].value[c] = channel(face->colour, c + 1) * light / 256;
    }
    uint32_t mask = channel(face->colour, 0);
    walk_int<GOURAUD_RULES>(p, target, [mask](const IntSpan &s) {
        uint32_t r = s.value[CHAN_RED], g = s.value[CHAN_GREEN], b = s.value[CHAN_BLUE];
        uint32_t dr = s.step[CHAN_RED], dg = s.step[CHAN_GREEN], db = s.step[CHAN_BLUE];
        for (int32_t x = s.first; x < s.last; x++) {
            s.row[x] = mask | channel_byte(r) << 8 | channel_byte(g) << 16 | channel_byte(b) << 24;
            r += dr;
            g += dg;
            b += db;
        }
    });
}
