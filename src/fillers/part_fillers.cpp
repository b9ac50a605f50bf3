// part_fillers.cpp -- the magnet's shade-table filler and the textured scene's unit-UV filler

#include "fillers/part_fillers.h"

#include "data/image.h"
#include "fillers/fill_walk.h"
#include "fillers/fillers.h"

// Set by the part that builds the table, before its first frame.
static const uint32_t *shade_table;

// The byte copies of fill_set_shade_bytes.
static struct {
    const Image *index_picture, *level_picture;
    const uint8_t *indices, *levels;
} shade_bytes;

void fill_set_shade_table(const uint32_t *table) {
    shade_table = table;
    shade_bytes = {};
}

void fill_set_shade_bytes(const Image *index_picture, const uint8_t *indices,
                          const Image *level_picture, const uint8_t *levels) {
    shade_bytes = {index_picture, level_picture, indices, levels};
}

// Four coordinates in 24.8 fixed point; no extra pixel on the right; at the middle row the
// edge that ran 0->1 restarts at vertex 1.
static constexpr IntRules SHADED_RULES = {
    .outer_sort = true,
    .right_extra = 0,
    .long_left_on_tie = false,
    .reanchor = true,
    .value_shift = 8,
    .value_count = 4,
};

enum : int { COLOUR_U = 0, COLOUR_V = 1, ENV_U = 2, ENV_V = 3 };

// Texel number ((v >> 8) * 256 + (u >> 8)) & 0xffff of 24.8 coordinates: u carries into v.
static uint32_t texel_24_8(uint32_t u, uint32_t v) {
    return ((v >> 8) * 256 + (u >> 8)) & 0xffff;
}

// The triangle through the shade table, its texels words or their low bytes.
template <class Texel>
static void shaded_triangle(IntVertex p[3], const Texel *indices, const Texel *levels,
                            Image *target) {
    const uint32_t *table = shade_table;
    walk_int<SHADED_RULES>(p, target, [=](const IntSpan &s) {
        uint32_t u = s.value[COLOUR_U], v = s.value[COLOUR_V];
        uint32_t eu = s.value[ENV_U], ev = s.value[ENV_V];
        for (int32_t x = s.first; x < s.last; x++) {
            // Both texels are meant to hold 0..255; masking keeps other words inside the table.
            uint32_t index = indices[texel_24_8(u, v)] & 255;
            uint32_t level = levels[texel_24_8(eu, ev)] & 255;
            s.row[x] = table[index << 8 | level];
            u += s.step[COLOUR_U], v += s.step[COLOUR_V];
            eu += s.step[ENV_U], ev += s.step[ENV_V];
        }
    });
}

void fill_table_shaded(const Face *face, Image *target) {
    int colour_layer = face->uv_layer[0], env_layer = face->uv_layer[1];
    if (shade_table == nullptr || !fill_target_ok(target) || !fill_texture_ok(face->texture[0]) ||
        !fill_texture_ok(face->texture[1]) || !fill_layer_ok(colour_layer) ||
        !fill_layer_ok(env_layer))
        return;
    IntVertex p[3];
    for (int k = 0; k < 3; k++) {
        const float *colour_uv = face->uv + colour_layer + 2 * k,
                    *env_uv = face->uv + env_layer + 2 * k;
        p[k].x = walk_trunc(face->v[k].x, WALK_POSITION_LIMIT);
        p[k].y = walk_trunc(face->v[k].y, WALK_POSITION_LIMIT);
        p[k].value[COLOUR_U] = walk_trunc(colour_uv[0], WALK_VALUE_LIMIT);
        p[k].value[COLOUR_V] = walk_trunc(colour_uv[1], WALK_VALUE_LIMIT);
        p[k].value[ENV_U] = walk_trunc(env_uv[0], WALK_VALUE_LIMIT);
        p[k].value[ENV_V] = walk_trunc(env_uv[1], WALK_VALUE_LIMIT);
    }
    if (shade_bytes.indices && shade_bytes.levels &&
        face->texture[0] == shade_bytes.index_picture &&
        face->texture[1] == shade_bytes.level_picture)
        shaded_triangle(p, shade_bytes.indices, shade_bytes.levels, target);
    else
        shaded_triangle(p, face->texture[0]->pixels, face->texture[1]->pixels, target);
}

void fill_unit_textured(const Face *face, Image *target) {
    int layer = face->uv_layer[0];
    if (!fill_layer_ok(layer)) return;
    const float *uv = face->uv + layer;
    const Vec3 *v = face->v;
    fill_unit_textured_triangle(v[0].x, v[0].y, uv[0], uv[1], v[1].x, v[1].y, uv[2], uv[3], v[2].x,
                                v[2].y, uv[4], uv[5], face->texture[0], target);
}

// Slopes through reciprocals; no clipping by design (the walkers still keep it inside).
static constexpr FloatRules UNIT_RULES = {.reciprocal = true, .clips = false};

void fill_unit_textured_triangle(float x0, float y0, float u0, float v0, float x1, float y1,
                                 float u1, float v1, float x2, float y2, float u2, float v2,
                                 const Image *texture, Image *target) {
    if (!fill_target_ok(target) || !fill_texture_ok(texture)) return;
    FloatVertex p[3] = {{x0, y0, 0, u0, v0}, {x1, y1, 0, u1, v1}, {x2, y2, 0, u2, v2}};
    if (!walk_float_prepare(p, target, UNIT_RULES)) return;
    const uint32_t *texels = texture->pixels;
    int32_t width = target->width;
    walk_float(p, UNIT_RULES, target, [=](int32_t row, const FloatEdge &l, const FloatEdge &r) {
        const UnitRow at = walk_unit_row(l, r);
        int32_t first = at.first, end = at.end;
        // 16.16 texels stepped modulo 2^32; only bits 16..23 are read.
        uint32_t tu = at.u, tv = at.v, step_u = at.du, step_v = at.dv;
        if (first < 0) { // cut at column 0: the integer steps make the cut exact
            uint32_t cut = static_cast<uint32_t>(-static_cast<int64_t>(first));
            tu += cut * step_u, tv += cut * step_v;
            first = 0;
        }
        if (end > width + 1) end = width + 1; // the last pixel is end - 2
        uint32_t *px = target->pixels + static_cast<size_t>(row) * width;
        if (first < end - 1)
            fill_texel_span(px + first, end - 1 - first, texels, tu, tv, step_u, step_v);
    });
}
