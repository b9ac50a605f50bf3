// fill_float.cpp -- the float-branch fillers: clipped additive flat and the depth-tested pair

#include "data/image.h"
#include "fillers/fill_walk.h"
#include "fillers/fillers.h"

// Bytes 1..3 of the colour added to those of the pixel, each saturating at 255; byte 0 kept.
// All bytes at once: the sums of the low seven bits cannot carry across a byte, bit 7 is added
// without carry, and a byte whose bit 7 carried out is set to 255.
static uint32_t add_saturate(uint32_t pixel, uint32_t colour) {
    uint32_t add = colour & 0xffffff00u;
    uint32_t sum = ((pixel & 0x7f7f7f7fu) + (add & 0x7f7f7f7fu)) ^ ((pixel ^ add) & 0x80808080u);
    uint32_t carry = ((pixel & add) | ((pixel | add) & ~sum)) & 0x80808080u;
    return sum | (carry >> 7) * 0xff;
}

static constexpr FloatRules CLIPPED = {.reciprocal = false, .clips = true};
static constexpr FloatRules UNCLIPPED = {.reciprocal = false, .clips = false};

static void float_positions(const Face *face, FloatVertex p[3]) {
    for (int k = 0; k < 3; k++) p[k] = FloatVertex{face->v[k].x, face->v[k].y, face->v[k].z, 0, 0};
}

static int32_t clamp_column(int32_t x, int32_t width) {
    return x < 0 ? 0 : x > width - 1 ? width - 1 : x;
}

void fill_flat_add(const Face *face, Image *target) {
    if (!fill_target_ok(target)) return;
    FloatVertex p[3];
    float_positions(face, p);
    if (!walk_float_prepare(p, target, CLIPPED)) return;
    uint32_t colour = face->colour;
    int32_t width = target->width;
    walk_float(p, CLIPPED, target, [=](int32_t row, const FloatEdge &l, const FloatEdge &r) {
        // Columns trunc(left) .. ceil(right) - 2, both ends held inside the row.
        int32_t first = clamp_column(fill_trunc(l.x), width);
        int32_t end = clamp_column(ceil_of(r.x), width);
        uint32_t *px = target->pixels + static_cast<size_t>(row) * width;
        for (int32_t x = first; x < end - 1; x++) px[x] = add_saturate(px[x], colour);
    });
}

// Depths are compared and stored as whole numbers held in floats (interpolated linearly in
// screen space, not in 1/z).
static float whole_depth(float z) {
    return static_cast<float>(fill_trunc(z));
}

// Columns first .. end - 1 of row with the depth z stepping by dz: where the whole depth is
// nearer than the stored one it is stored, and pixel(word, nearer) sees every pixel in turn.
template <class Pixel>
static void depth_span(Image *target, int32_t row, int32_t first, int32_t end, float z, float dz,
                       Pixel pixel) {
    size_t base = static_cast<size_t>(row) * target->width;
    uint32_t *px = target->pixels + base;
    float *depth = target->depth + base;
    for (int32_t x = first; x < end; x++) {
        float whole = whole_depth(z);
        bool nearer = whole < depth[x];
        if (nearer) depth[x] = whole;
        pixel(px[x], nearer);
        z += dz;
    }
}

void fill_flat_add_depth(const Face *face, Image *target) {
    if (!fill_target_ok(target) || target->depth == nullptr) return;
    FloatVertex p[3];
    float_positions(face, p);
    if (!walk_float_prepare(p, target, UNCLIPPED)) return;
    uint32_t colour = face->colour;
    int32_t width = target->width;
    walk_float(p, UNCLIPPED, target, [=](int32_t row, const FloatEdge &l, const FloatEdge &r) {
        int32_t first = fill_trunc(l.x), end = fill_trunc(r.x);
        float dz = (r.z - l.z) / (r.x - l.x);
        float z = l.z + (static_cast<float>(ceil_of(l.x)) - l.x) * dz;
        if (first < 0) { // cut at column 0, depth moved along
            z += -static_cast<float>(first) * dz;
            first = 0;
        }
        if (end > width) end = width;
        depth_span(target, row, first, end, z, dz, [colour](uint32_t &pixel, bool nearer) {
            if (nearer) pixel = add_saturate(pixel, colour);
        });
    });
}

void fill_textured_depth(const Face *face, Image *target) {
    int layer = face->uv_layer[0];
    const Image *texture = face->texture[0];
    if (!fill_target_ok(target) || target->depth == nullptr || !fill_texture_ok(texture) ||
        !fill_layer_ok(layer))
        return;
    // The edges carry u / 256 and v / 256.
    FloatVertex p[3];
    float_positions(face, p);
    for (int k = 0; k < 3; k++) {
        p[k].u = face->uv[layer + 2 * k] / 256.0f;
        p[k].v = face->uv[layer + 2 * k + 1] / 256.0f;
    }
    if (!walk_float_prepare(p, target, CLIPPED)) return;
    const uint32_t *texels = texture->pixels;
    int32_t width = target->width;
    walk_float(p, CLIPPED, target, [=](int32_t row, const FloatEdge &l, const FloatEdge &r) {
        int32_t first = fill_trunc(l.x), end = fill_trunc(r.x);
        float dx = r.x - l.x;
        float du = (r.u - l.u) / dx, dv = (r.v - l.v) / dx, dz = (r.z - l.z) / dx;
        float u = l.u, v = l.v, z = l.z;
        if (first < 0) {
            float cut = -static_cast<float>(first);
            u += cut * du, v += cut * dv, z += cut * dz;
            first = 0;
        }
        end = clamp_column(end, width);
        if (first > width - 1) first = width - 1;
        depth_span(target, row, first, end, z, dz, [&](uint32_t &pixel, bool nearer) {
            if (nearer) {
                // Row trunc(v * 256), then u * 256 added in float: u spills into the next row.
                float texel = static_cast<float>(fill_trunc(v * 256.0f)) * 256.0f + u * 256.0f;
                pixel = texels[fill_trunc(texel) & 0xffff];
            }
            u += du, v += dv;
        });
    });
}
