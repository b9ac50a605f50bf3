// fill_walk.h -- the edge walkers behind the fillers: they sort a triangle, walk its two sides
// row by row and hand each row's span to the filler's own pixel loop.
//
// Private to src/fillers. The walkers also keep every span inside the target: rows outside it
// are skipped (above) or end the triangle (below), spans are cut at both sides and the carried
// values advanced past the cut, so a triangle inside the target draws exactly what the rules
// say and one that strays outside can never write outside the pixel buffer.
#pragma once

#include "data/image.h"
#include "data/packed.h"
#include "fillers/face.h"
#include "fillers/fillers.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

// Textures are 256 x 256 words; the lookups mask their index to 16 bits.
constexpr int64_t FILL_TEXTURE_WORDS = 65536;

// A texture the masked lookups may read: at least 65,536 words.
inline bool fill_texture_ok(const Image *t) {
    return t != nullptr && t->pixels != nullptr &&
           static_cast<int64_t>(t->width) * t->height >= FILL_TEXTURE_WORDS;
}

// A target the walkers may write.
inline bool fill_target_ok(const Image *t) {
    return t != nullptr && t->pixels != nullptr && t->width > 0 && t->height > 0;
}

// A coordinate set of six floats starting at layer lies inside the face's uv array.
inline bool fill_layer_ok(int layer) {
    return layer >= 0 && layer <= FACE_UV_FLOATS - 6;
}

// ---------------------------------------------------------------------------------------------
// Texel spans

// n pixels of an affine texture span: 16.16 texel coordinates u, v stepped by du, dv modulo
// 2^32, each pixel the texel at row (v >> 16) & 255, column (u >> 16) & 255 of a 256-wide
// texture. The plain form, which fill_texel_span must equal.
inline void fill_texel_span_plain(uint32_t *dst, int32_t n, const uint32_t *texels, uint32_t u,
                                  uint32_t v, uint32_t du, uint32_t dv) {
    for (int32_t i = 0; i < n; i++, u += du, v += dv)
        dst[i] = texels[(v >> 16 & 255) << 8 | (u >> 16 & 255)];
}

// Spans shorter than this gain nothing from the packed loop.
constexpr int32_t FILL_PACKED_SPAN = 8;

// fill_texel_span_plain with the texel numbers of four pixels formed at once; the coordinates
// after i pixels are u + i * du (modulo 2^32) either way. Inline in every span loop: most spans
// are a few pixels, which a call would cost more than.
[[gnu::always_inline]] inline void fill_texel_span(uint32_t *dst, int32_t n, const uint32_t *texels,
                                                   uint32_t u, uint32_t v, uint32_t du,
                                                   uint32_t dv) {
#if QM_PACKED
    if (n >= FILL_PACKED_SPAN) {
        __m128i us = fill_lanes4(u, du), vs = fill_lanes4(v, dv);
        const __m128i du4 = _mm_set1_epi32(static_cast<int>(4 * du));
        const __m128i dv4 = _mm_set1_epi32(static_cast<int>(4 * dv));
        const __m128i column = _mm_set1_epi32(0xFF), row = _mm_set1_epi32(0xFF00);
        int32_t i = 0;
        for (; i + 4 <= n; i += 4) {
            const __m128i at = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(vs, 8), row),
                                            _mm_and_si128(_mm_srli_epi32(us, 16), column));
            fill_fetch4(dst + i, texels, at);
            us = _mm_add_epi32(us, du4);
            vs = _mm_add_epi32(vs, dv4);
        }
        const uint32_t done = static_cast<uint32_t>(i);
        fill_texel_span_plain(dst + i, n - i, texels, u + done * du, v + done * dv, du, dv);
        return;
    }
#endif
    fill_texel_span_plain(dst, n, texels, u, v, du, dv);
}

// ---------------------------------------------------------------------------------------------
// Integer branch

// Values carried along the edges and across the spans: texture coordinates or colour channels.
constexpr int WALK_VALUES = 4;

// Positions are truncated and then held within +-8192, far outside any target, so that 16.16
// edges and their slopes stay inside 32 bits; texture coordinates within +-2^24 texels.
constexpr float WALK_POSITION_LIMIT = 8192.0f;
constexpr float WALK_VALUE_LIMIT = 16777216.0f;

inline int32_t walk_trunc_plain(float f, float limit) {
    return fill_hold_trunc_plain(f, -limit, limit);
}

// walk_trunc_plain in the scalar lanes of the packed unit. The vertices it reads were just
// stored one float at a time; as plain code the compiler pairs x with y into one wide load,
// which has to wait for both stores to land.
inline int32_t walk_trunc(float f, float limit) {
    return fill_hold_trunc(f, -limit, limit);
}

struct IntVertex {
    int32_t x, y;
    int32_t value[WALK_VALUES];
};

// The integer vertices of a textured face: x and y truncated and held within the position limit,
// the coordinates of the layer (u, v, at value 0 and 1) within the value limit; values 2 and 3
// are left alone. The plain form, which walk_texture_vertices must equal.
inline void walk_texture_vertices_plain(const Face *face, int layer, IntVertex p[3]) {
    for (int k = 0; k < 3; k++) {
        p[k].x = walk_trunc_plain(face->v[k].x, WALK_POSITION_LIMIT);
        p[k].y = walk_trunc_plain(face->v[k].y, WALK_POSITION_LIMIT);
        p[k].value[0] = walk_trunc_plain(face->uv[layer + 2 * k], WALK_VALUE_LIMIT);
        p[k].value[1] = walk_trunc_plain(face->uv[layer + 2 * k + 1], WALK_VALUE_LIMIT);
    }
}

// walk_texture_vertices_plain with a vertex's four truncations side by side in the packed unit,
// each lane the very operations of walk_trunc, and stored at once: x, y and the first two values
// are the first four words of an IntVertex. The floats are gathered one at a time, since they
// were just stored one at a time and a wide load would wait for all of those stores to land.
inline void walk_texture_vertices(const Face *face, int layer, IntVertex p[3]) {
#if QM_PACKED
    static_assert(offsetof(IntVertex, value) == 2 * sizeof(int32_t));
    const __m128 low = _mm_setr_ps(-WALK_POSITION_LIMIT, -WALK_POSITION_LIMIT, -WALK_VALUE_LIMIT,
                                   -WALK_VALUE_LIMIT);
    const __m128 high =
        _mm_setr_ps(WALK_POSITION_LIMIT, WALK_POSITION_LIMIT, WALK_VALUE_LIMIT, WALK_VALUE_LIMIT);
    for (int k = 0; k < 3; k++) {
        const __m128 f = _mm_setr_ps(face->v[k].x, face->v[k].y, face->uv[layer + 2 * k],
                                     face->uv[layer + 2 * k + 1]);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(&p[k]),
                         _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(f, low), high)));
    }
#else
    walk_texture_vertices_plain(face, layer, p);
#endif
}

// What tells the members of the integer branch apart. Each member passes its rules as a
// template argument, so that every walker is compiled for its own member with the tests and
// counts below as constants.
struct IntRules {
    // Sort (0,1), (0,2), (1,2) and put the left vertex of a flat top first; else sort (0,1),
    // (1,2), (0,1) and leave a flat top's order alone.
    bool outer_sort;
    int32_t right_extra;   // added to the right edge's 16.16 start: 65536 draws one more pixel
    bool long_left_on_tie; // the long edge is on the left also when its slope equals 0->1's
    // At the middle row the edge that ran 0->1 restarts at vertex 1 (x and values); else it
    // keeps its walked values and only takes the slopes of 1->2.
    bool reanchor;
    int value_shift; // fraction bits of the carried values: 16 (16.16) or 8 (24.8)
    int value_count;
};

// Values wrap: the fillers read only their low bits (texture lookups are masked), so the
// stepping is done modulo 2^32 and stays defined for any coordinates.
struct IntEdge {
    int32_t x, dx; // 16.16
    uint32_t value[WALK_VALUES], step[WALK_VALUES];
};

// One row for a filler's pixel loop: pixels first .. last - 1 of row (first < last), the values
// at pixel first and their per-pixel steps.
struct IntSpan {
    uint32_t *row;
    int32_t first, last;
    uint32_t value[WALK_VALUES];
    const uint32_t *step;
};

// num * 2^shift / den, truncated toward zero, in 64 bits; kept modulo 2^32 like the 32-bit
// arithmetic it stands for whenever that would not have overflowed. The plain form, which
// walk_div_by must equal.
inline int32_t walk_div_plain(int64_t num, int64_t den, int shift) {
    return static_cast<int32_t>(num * (int64_t{1} << shift) / den);
}

// Beyond this a dividend or divisor takes the integer divider: below it a double holds both
// exactly.
constexpr int64_t WALK_DIV_EXACT = int64_t{1} << 52;

// One divisor shared by several dividends (an edge's height divides its x and its values, the
// plane's determinant both gradients): its reciprocal is taken once and each quotient of
// magnitudes is the truncated product, corrected by the remainder. Below WALK_DIV_EXACT the
// product is within |a / b| * 2^-52 < 1 / |b| of the quotient, and a quotient that is not whole
// lies at least 1 / |b| below the next whole number: the product never truncates past the
// quotient's whole part, and falls short of it by at most one, which one step up makes exact:
// walk_div_by(n, walk_divisor(d), s) == walk_div_plain(n, d, s) for every d != 0.
struct WalkDivisor {
    int64_t den;
    int64_t magnitude;
    double inverse; // 1 / magnitude
};

// The reciprocals of the small divisors, which most edges and planes have: the very doubles the
// division gives, looked up so that the setup of a small triangle need not wait for a divide.
constexpr int WALK_RECIPROCALS = 1024;

struct WalkReciprocals {
    double of[WALK_RECIPROCALS];
};

constexpr WalkReciprocals walk_reciprocals_make() {
    WalkReciprocals r{};
    r.of[0] = std::numeric_limits<double>::infinity(); // what 1.0 / 0.0 gives
    for (int m = 1; m < WALK_RECIPROCALS; m++) r.of[m] = 1.0 / static_cast<double>(m);
    return r;
}

inline constexpr WalkReciprocals walk_reciprocals = walk_reciprocals_make();

inline WalkDivisor walk_divisor(int64_t den) {
    const int64_t magnitude = den < 0 ? -den : den;
    const double inverse = magnitude < WALK_RECIPROCALS ? walk_reciprocals.of[magnitude]
                                                        : 1.0 / static_cast<double>(magnitude);
    return WalkDivisor{den, magnitude, inverse};
}

inline int32_t walk_div_by(int64_t num, const WalkDivisor &d, int shift) {
    const int64_t a = num * (int64_t{1} << shift);
    if (a <= -WALK_DIV_EXACT || a >= WALK_DIV_EXACT || d.magnitude >= WALK_DIV_EXACT)
        return static_cast<int32_t>(a / d.den);
    const int64_t ua = a < 0 ? -a : a;
    int64_t q = static_cast<int64_t>(static_cast<double>(ua) * d.inverse);
    const int64_t r = ua - q * d.magnitude;
    q += r >= d.magnitude;
    return static_cast<int32_t>((a < 0) != (d.den < 0) ? -q : q);
}

[[gnu::always_inline]] inline void walk_sort_int(const IntVertex *p[3], bool outer) {
    auto order = [&](int a, int b) {
        if (p[b]->y < p[a]->y) std::swap(p[a], p[b]);
    };
    if (outer) {
        order(0, 1), order(0, 2), order(1, 2);
        if (p[0]->y == p[1]->y && p[1]->x < p[0]->x) std::swap(p[0], p[1]);
    } else {
        order(0, 1), order(1, 2), order(0, 1);
    }
}

// The height of the edge from a to b as a divisor, or null for an edge of no height.
struct WalkHeight {
    int32_t dy;
    WalkDivisor divisor;
};

inline WalkHeight walk_height(const IntVertex &a, const IntVertex &b) {
    const int32_t dy = b.y - a.y;
    return WalkHeight{dy, dy != 0 ? walk_divisor(dy) : WalkDivisor{}};
}

// The position part of the edge from a to b.
inline IntEdge walk_int_edge(const IntVertex &a, const IntVertex &b, int32_t extra,
                             const WalkHeight &h) {
    // The values and steps are left to walk_int_values: only the left edge's are read.
    IntEdge e;
    e.x = a.x * 65536 + extra;
    e.dx = h.dy != 0 ? walk_div_by(b.x - a.x, h.divisor, 16) : 0;
    return e;
}

// The carried values of the edge from a to b. Only the left edge of a row reads them, so the
// right edge goes without.
template <IntRules rules>
[[gnu::always_inline]] inline void walk_int_values(IntEdge &e, const IntVertex &a,
                                                   const IntVertex &b, const WalkHeight &h) {
    for (int k = 0; k < rules.value_count; k++) {
        e.value[k] = static_cast<uint32_t>(a.value[k]) << rules.value_shift;
        e.step[k] = h.dy != 0 ? static_cast<uint32_t>(walk_div_by(int64_t{b.value[k]} - a.value[k],
                                                                  h.divisor, rules.value_shift))
                              : 0;
    }
}

// The edge that ran 0->1 turns along 1->2 at the middle row; left tells whether it is the
// left edge, whose values count. It becomes the edge from 1 to 2 field by field in place (a
// fresh edge copied over it would be read back before its stores have landed), keeping its
// position and values unless the rules reanchor; a right edge's values, which nothing reads,
// are cleared as a fresh edge has them.
template <IntRules rules>
void walk_int_turn(IntEdge &e, const IntVertex &v1, const IntVertex &v2, int32_t extra, bool left) {
    const WalkHeight h = walk_height(v1, v2);
    if (rules.reanchor) e.x = v1.x * 65536 + extra;
    e.dx = h.dy != 0 ? walk_div_by(v2.x - v1.x, h.divisor, 16) : 0;
    for (int k = 0; k < rules.value_count; k++) {
        if (rules.reanchor)
            e.value[k] = left ? static_cast<uint32_t>(v1.value[k]) << rules.value_shift : 0;
        e.step[k] = left && h.dy != 0
                        ? static_cast<uint32_t>(walk_div_by(int64_t{v2.value[k]} - v1.value[k],
                                                            h.divisor, rules.value_shift))
                        : 0;
    }
}

// Walks rows y .. y_end - 1. Returns false when the triangle ran off the bottom of the target.
// The span's captures and the gradient are copies of its own, which the span's pixel stores
// cannot reach: through a reference every row would load them again.
template <IntRules rules, class Span>
bool walk_int_rows(IntEdge &l, IntEdge &r, int32_t y, int32_t y_end, const uint32_t *steps,
                   Image *target, Span span) {
    uint32_t gradient[WALK_VALUES] = {};
    for (int k = 0; k < rules.value_count; k++) gradient[k] = steps[k];
    for (; y < y_end; y++) {
        if (y >= target->height) return false;
        int32_t first = l.x >> 16, last = r.x >> 16;
        if (y >= 0) {
            IntSpan s{
                target->pixels + static_cast<size_t>(y) * target->width, first, last, {}, gradient};
            for (int k = 0; k < rules.value_count; k++) s.value[k] = l.value[k];
            if (s.first < 0) {
                for (int k = 0; k < rules.value_count; k++)
                    s.value[k] += static_cast<uint32_t>(-s.first) * gradient[k];
                s.first = 0;
            }
            if (s.last > target->width) s.last = target->width;
            if (s.first < s.last) span(s);
        }
        l.x += l.dx;
        r.x += r.dx;
        for (int k = 0; k < rules.value_count; k++) l.value[k] += l.step[k];
    }
    return true;
}

// Sorts and draws one triangle of the integer branch: constant horizontal value gradients from
// the plane through the three vertices, 16.16 edges, span(IntSpan) per visible row.
template <IntRules rules, class Span>
void walk_int(const IntVertex vertices[3], Image *target, Span span) {
    // Sorted by reference: the vertices stay where they are.
    const IntVertex *p[3] = {&vertices[0], &vertices[1], &vertices[2]};
    walk_sort_int(p, rules.outer_sort);
    const IntVertex &v0 = *p[0], &v1 = *p[1], &v2 = *p[2];
    if (v2.y - v0.y < 1) return;

    int64_t det = int64_t{v0.x - v2.x} * (v1.y - v2.y) - int64_t{v1.x - v2.x} * (v0.y - v2.y);
    if (det == 0) det = 1;
    uint32_t gradient[WALK_VALUES] = {};
    const WalkDivisor plane = walk_divisor(det);
#pragma GCC unroll 4
    for (int k = 0; k < rules.value_count; k++) {
        int64_t c0 = v0.value[k] - int64_t{v2.value[k]}, c1 = v1.value[k] - int64_t{v2.value[k]};
        gradient[k] = static_cast<uint32_t>(
            walk_div_by(c0 * (v1.y - v2.y) - c1 * (v0.y - v2.y), plane, rules.value_shift));
    }

    if (v0.y == v1.y) { // flat top: one half, from the leftmost top vertex down to vertex 2
        const bool first_left = rules.outer_sort || v0.x < v1.x;
        const IntVertex &top_left = first_left ? v0 : v1, &top_right = first_left ? v1 : v0;
        const WalkHeight h = walk_height(v0, v2); // both sides are as high
        IntEdge l = walk_int_edge(top_left, v2, 0, h);
        walk_int_values<rules>(l, top_left, v2, h);
        IntEdge r = walk_int_edge(top_right, v2, rules.right_extra, h);
        walk_int_rows<rules>(l, r, v0.y, v2.y, gradient, target, span);
        return;
    }
    const WalkHeight h02 = walk_height(v0, v2), h01 = walk_height(v0, v1);
    IntEdge lng = walk_int_edge(v0, v2, 0, h02);
    IntEdge upper = walk_int_edge(v0, v1, 0, h01);
    bool long_left;
    if (v1.y == v2.y)
        long_left = v2.x < v1.x; // flat bottom
    else
        long_left = rules.long_left_on_tie ? lng.dx <= upper.dx : lng.dx < upper.dx;
    if (long_left)
        walk_int_values<rules>(lng, v0, v2, h02);
    else
        walk_int_values<rules>(upper, v0, v1, h01);
    IntEdge &l = long_left ? lng : upper;
    IntEdge &r = long_left ? upper : lng;
    r.x += rules.right_extra;
    if (!walk_int_rows<rules>(l, r, v0.y, v1.y, gradient, target, span)) return;
    if (v1.y == v2.y) return;
    walk_int_turn<rules>(upper, v1, v2, long_left ? rules.right_extra : 0, !long_left);
    walk_int_rows<rules>(l, r, v1.y, v2.y, gradient, target, span);
}

// ---------------------------------------------------------------------------------------------
// Float branch

struct FloatVertex {
    float x, y, z, u, v;
};

struct FloatEdge {
    float x, z, u, v;
    float dx, dz, du, dv; // per row
};

// What tells the members of the float branch apart.
struct FloatRules {
    bool reciprocal; // slopes as differences times 1 / height (else divided by the height)
    // Clip to the target: the early rejects, and a half starting above row 0 is moved down to
    // it. Without, only what would land on rows above 0 is skipped that way (a top vertex at
    // y <= -1); a top vertex in (-1, 0) already draws its first row at row 0.
    bool clips;
};

// Sorts by row ((0,1), (0,2), (1,2)) and puts the left vertex of a flat top first. Returns false
// when nothing can be drawn: a coordinate is not finite, the triangle has no height, or it lies
// wholly above or below the target. When the rules clip, also the early rejects of the clipping
// fillers (a first row below height - 1, wholly left or right of the target).
inline bool walk_float_prepare(FloatVertex p[3], const Image *target, const FloatRules &rules) {
    for (int k = 0; k < 3; k++)
        if (!std::isfinite(p[k].x) || !std::isfinite(p[k].y)) return false;
    auto order = [&](int a, int b) {
        if (p[b].y < p[a].y) std::swap(p[a], p[b]);
    };
    order(0, 1), order(0, 2), order(1, 2);
    if (p[0].y == p[1].y && p[1].x < p[0].x) std::swap(p[0], p[1]);
    if (p[2].y == p[0].y || p[2].y < 0 || p[0].y >= static_cast<float>(target->height))
        return false;
    if (!rules.clips) return true;
    float left = std::fmin(p[0].x, std::fmin(p[1].x, p[2].x));
    float right = std::fmax(p[0].x, std::fmax(p[1].x, p[2].x));
    return !(p[0].y > static_cast<float>(target->height - 1) ||
             left > static_cast<float>(target->width - 1) || right < 0);
}

// The edge from a to b; slopes per row as differences divided by the height, or (reciprocal)
// multiplied by its reciprocal. An edge of no height has slope 0.
inline FloatEdge walk_float_edge(const FloatVertex &a, const FloatVertex &b, bool reciprocal) {
    FloatEdge e{a.x, a.z, a.u, a.v, 0, 0, 0, 0};
    float h = b.y - a.y;
    if (h == 0) return e;
    if (reciprocal) {
        float r = 1.0f / h;
        e.dx = (b.x - a.x) * r, e.dz = (b.z - a.z) * r;
        e.du = (b.u - a.u) * r, e.dv = (b.v - a.v) * r;
    } else {
        e.dx = (b.x - a.x) / h, e.dz = (b.z - a.z) / h;
        e.du = (b.u - a.u) / h, e.dv = (b.v - a.v) / h;
    }
    return e;
}

inline void walk_float_move(FloatEdge &e, float rows) {
    e.x += rows * e.dx, e.z += rows * e.dz, e.u += rows * e.du, e.v += rows * e.dv;
}

inline void walk_float_step(FloatEdge &e) {
    e.x += e.dx, e.z += e.dz, e.u += e.du, e.v += e.dv;
}

// Unit texture coordinates to 16.16 texels: 1.0 becomes 0xffff00, texel 255 and no further.
constexpr float WALK_UNIT_TO_TEXELS = 16776960.0f;

// One row of a unit-textured span between the edges l and r: the columns first .. end (the
// last pixel is end - 2) and the 16.16 texel coordinates at column ceil(l.x) with their steps,
// stepped modulo 2^32. The plain form, which walk_unit_row must equal.
struct UnitRow {
    int32_t first, end;
    uint32_t u, v, du, dv;
};

inline UnitRow walk_unit_row_plain(const FloatEdge &l, const FloatEdge &r) {
    const float reciprocal = 1.0f / (r.x - l.x);
    const float du = (r.u - l.u) * reciprocal, dv = (r.v - l.v) * reciprocal;
    const float to_pixel = static_cast<float>(ceil_of(l.x)) - l.x;
    return UnitRow{
        fill_trunc(l.x),
        ceil_of(r.x),
        static_cast<uint32_t>(fill_trunc((l.u + to_pixel * du) * WALK_UNIT_TO_TEXELS)),
        static_cast<uint32_t>(fill_trunc((l.v + to_pixel * dv) * WALK_UNIT_TO_TEXELS)),
        static_cast<uint32_t>(fill_trunc(du * WALK_UNIT_TO_TEXELS)),
        static_cast<uint32_t>(fill_trunc(dv * WALK_UNIT_TO_TEXELS)),
    };
}

// walk_unit_row_plain with its truncations side by side in the packed unit: each lane makes the
// very operations of one value in its order. The steps' lanes take 0 + 1 * du, which is du (or,
// for -0, +0, which truncates alike).
inline UnitRow walk_unit_row(const FloatEdge &l, const FloatEdge &r) {
#if QM_PACKED
    auto trunc4 = [](__m128 f) {
        return _mm_cvttps_epi32(
            _mm_min_ps(_mm_max_ps(f, _mm_set1_ps(FILL_TRUNC_LOW)), _mm_set1_ps(FILL_TRUNC_HIGH)));
    };
    alignas(16) int32_t at[4], texels[4];
    _mm_store_si128(reinterpret_cast<__m128i *>(at),
                    trunc4(_mm_mul_ps(_mm_setr_ps(l.x, l.x, r.x, 0.0f),
                                      _mm_setr_ps(1.0f, 65536.0f, 65536.0f, 0.0f))));
    const float reciprocal = 1.0f / (r.x - l.x);
    const float du = (r.u - l.u) * reciprocal, dv = (r.v - l.v) * reciprocal;
    const float to_pixel = static_cast<float>(ceil_fixed(at[1])) - l.x;
    const __m128 start = _mm_add_ps(
        _mm_setr_ps(l.u, l.v, 0.0f, 0.0f),
        _mm_mul_ps(_mm_setr_ps(to_pixel, to_pixel, 1.0f, 1.0f), _mm_setr_ps(du, dv, du, dv)));
    _mm_store_si128(reinterpret_cast<__m128i *>(texels),
                    trunc4(_mm_mul_ps(start, _mm_set1_ps(WALK_UNIT_TO_TEXELS))));
    return UnitRow{at[0],
                   ceil_fixed(at[2]),
                   static_cast<uint32_t>(texels[0]),
                   static_cast<uint32_t>(texels[1]),
                   static_cast<uint32_t>(texels[2]),
                   static_cast<uint32_t>(texels[3])};
#else
    return walk_unit_row_plain(l, r);
#endif
}

// Rows row .. end - 1 (row >= 0). Returns false when the triangle ran off the bottom.
template <class Span>
bool walk_float_rows(FloatEdge &l, FloatEdge &r, int32_t row, int32_t end, int32_t height,
                     Span &span) {
    for (; row < end; row++) {
        if (row >= height) return false;
        span(row, l, r);
        walk_float_step(l);
        walk_float_step(r);
    }
    return true;
}

// Walks a triangle readied by walk_float_prepare: the left edge is the one with the smaller
// slope (the long edge on a flat top); edges start at the first scanline below each half's top
// vertex (rows from trunc(y)). span(row, left, right) per row; it cuts the span to the target's
// width itself.
template <class Span>
void walk_float(const FloatVertex p[3], const FloatRules &rules, const Image *target, Span span) {
    auto above = [&](float y) { return rules.clips ? y < 0 : y <= -1.0f; };
    FloatEdge lng = walk_float_edge(p[0], p[2], rules.reciprocal);
    FloatEdge upper = walk_float_edge(p[0], p[1], rules.reciprocal);
    bool long_left = p[0].y == p[1].y || lng.dx < upper.dx;
    float y = p[0].y;
    if (above(y)) {
        float rows = above(p[1].y) ? p[1].y - y : -y;
        walk_float_move(lng, rows), walk_float_move(upper, rows);
        y = 0;
    }
    float to_scanline = static_cast<float>(ceil_of(y)) - y;
    walk_float_move(lng, to_scanline), walk_float_move(upper, to_scanline);
    if (!walk_float_rows(long_left ? lng : upper, long_left ? upper : lng, fill_trunc(y),
                         fill_trunc(p[1].y), target->height, span))
        return;
    if (p[1].y == p[2].y) return;

    FloatEdge lower = walk_float_edge(p[1], p[2], rules.reciprocal);
    y = p[1].y;
    if (above(y)) {
        walk_float_move(lng, -y), walk_float_move(lower, -y);
        y = 0;
    }
    walk_float_move(lower, static_cast<float>(ceil_of(y)) - y);
    walk_float_rows(long_left ? lng : lower, long_left ? lower : lng, fill_trunc(y),
                    fill_trunc(p[2].y), target->height, span);
}
