// fillers.h -- the scan converters that draw one screen-space triangle into an Image, and the
// table that picks one from a face's flags.
//
// Every filler takes a read-only Face whose vertices are already projected (v[k].x = column,
// v[k].y = row, row 0 at the top, v[k].z = depth) and the target Image, and draws one triangle
// completely. Fillers keep nothing from one call to the next and allocate nothing. Pixels are
// pixel words (byte 0 mask, bytes 1, 2, 3 red, green, blue); textures are 256 x 256 pixel words
// and every texture coordinate wraps every 256 texels.
//
// Two branches. The integer branch (fill_flat_lit, fill_textured, fill_env_mapped,
// fill_gouraud) truncates the vertices to integers and walks the edges in 16.16 fixed point; it
// expects triangles inside the target. The float branch (fill_flat_add and the two depth-tested
// fillers) walks the edges in float and clips fill_flat_add and fill_textured_depth to the
// target. Every filler nevertheless keeps its writes inside the target: a triangle that strays
// outside loses the outside pixels, and its inside pixels stay those of the unguarded rules.
// A filler whose texture is missing or smaller than 256 x 256 words, whose coordinate layer
// lies outside the face's uv array, or which needs a depth buffer the target lacks draws
// nothing.
#pragma once

#include "data/packed.h"
#include "fillers/face.h"

#include <cstdint>

struct Image;

// Slots of filler_table, and the value of flags & FILL_KIND_MASK that selects each.
enum FillSlot : int {
    FILL_SLOT_NONE = 0,
    FILL_SLOT_POINT = 1,    // 0x008
    FILL_SLOT_FLAT_ADD = 2, // 0x001
    FILL_SLOT_FLAT_LIT = 3, // 0x101
    FILL_SLOT_TEXTURED = 4, // 0x004
    FILL_SLOT_ENV = 5,      // 0x010
    FILL_SLOT_GOURAUD = 6,  // 0x081
    FILL_SLOT_SPARE = 7,    // always empty
    FILL_SLOT_COUNT = 8
};

// The face flags that choose a filler of the table (FACE_CUSTOM is tested before them).
constexpr int FILL_KIND_MASK = 0x1bd;

// The table dispatch_fill reads on every call; slots 0 and 7 are empty. Never changes.
extern const Filler *const filler_table;

// Draws the face with its custom_filler when flags has FACE_CUSTOM, else with the filler_table
// slot of flags & FILL_KIND_MASK; any other kind (and a missing filler) draws nothing.
void dispatch_fill(const Face *face, Image *target);

// One pixel: pixel (trunc x, trunc y) of vertex 0 becomes the colour word (inside only).
void fill_point(const Face *face, Image *target);

// Flat colour added with saturation to bytes 1..3 (byte 0 kept); float branch, clipped.
void fill_flat_add(const Face *face, Image *target);

// Flat colour scaled by flat_intensity / 256 (byte 0 of the colour kept); integer branch.
void fill_flat_lit(const Face *face, Image *target);

// Affine copy of texture[0] with the coordinates at uv_layer[0]; integer branch.
void fill_textured(const Face *face, Image *target);

// Affine copy of texture[1] with the coordinates at uv_layer[1]; integer branch.
void fill_env_mapped(const Face *face, Image *target);

// Colour scaled by the vertex intensities, interpolated per channel; integer branch.
void fill_gouraud(const Face *face, Image *target);

// fill_flat_add tested against and written to the target's depth buffer (smaller = nearer): a
// pixel is drawn only where trunc(z) is strictly nearer than the stored depth.
void fill_flat_add_depth(const Face *face, Image *target);

// Affine copy of texture[0], depth-tested like fill_flat_add_depth; float branch, clipped.
void fill_textured_depth(const Face *face, Image *target);

// f held to low .. high (NaN to low) and truncated toward zero. The plain form, which
// fill_hold_trunc must equal.
inline int32_t fill_hold_trunc_plain(float f, float low, float high) {
    f = f > low ? f : low;
    f = f < high ? f : high;
    return static_cast<int32_t>(f);
}

// fill_hold_trunc_plain in the scalar lane of the packed unit: its maximum and minimum take the
// second operand unless the first is above (below) it, NaN included, exactly as the comparisons
// do, and make no branches (the plain comparisons compile to two per conversion, in the inner
// loops).
inline int32_t fill_hold_trunc(float f, float low, float high) {
#if QM_PACKED
    return _mm_cvttss_si32(
        _mm_min_ss(_mm_max_ss(_mm_set_ss(f), _mm_set_ss(low)), _mm_set_ss(high)));
#else
    return fill_hold_trunc_plain(f, low, high);
#endif
}

// The 32-bit range as floats: the largest float below 2^31 is 2^31 - 128.
constexpr float FILL_TRUNC_LOW = -2147483648.0f, FILL_TRUNC_HIGH = 2147483520.0f;

// Float to integer, truncating toward zero. Values beyond the 32-bit range saturate and NaN
// gives INT32_MIN, so wild vertices cannot make the conversion undefined. fill_trunc_plain is
// the plain form, which fill_trunc must equal.
inline int32_t fill_trunc_plain(float f) {
    return fill_hold_trunc_plain(f, FILL_TRUNC_LOW, FILL_TRUNC_HIGH);
}

inline int32_t fill_trunc(float f) {
    return fill_hold_trunc(f, FILL_TRUNC_LOW, FILL_TRUNC_HIGH);
}

#if QM_PACKED
// The 16.16 coordinates of four pixels in a row, c + k * d in lane k (modulo 2^32).
inline __m128i fill_lanes4(uint32_t c, uint32_t d) {
    return _mm_setr_epi32(static_cast<int>(c), static_cast<int>(c + d), static_cast<int>(c + 2 * d),
                          static_cast<int>(c + 3 * d));
}

// dst[k] = texels[lane k of at], k = 0..3: the four texels of texel numbers formed side by side.
inline void fill_fetch4(uint32_t *dst, const uint32_t *texels, __m128i at) {
    alignas(16) uint32_t index[4];
    _mm_store_si128(reinterpret_cast<__m128i *>(index), at);
    dst[0] = texels[index[0]];
    dst[1] = texels[index[1]];
    dst[2] = texels[index[2]];
    dst[3] = texels[index[3]];
}
#endif

// The ceiling of a 16.16 value: (v + 0xffff) >> 16, arithmetic shift (in 64 bits, so that a
// saturated value cannot overflow).
inline int32_t ceil_fixed(int32_t v) {
    return static_cast<int32_t>((static_cast<int64_t>(v) + 0xffff) >> 16);
}

// The ceiling of a float through 16.16: ceil_fixed(trunc(f * 65536)).
inline int32_t ceil_of(float f) {
    return ceil_fixed(fill_trunc(f * 65536.0f));
}
