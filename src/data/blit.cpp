// blit.cpp -- rectangle blits between pictures and the grid warp, with packed-arithmetic paths

#include "data/blit.h"

#include "data/cpu.h"
#include "data/packed.h"

#include <algorithm>
#include <cstring>

// The reject tests of blit_clip, done before and after trimming.
static bool clip_rejects(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t dx, int64_t dy,
                         int64_t sw, int64_t sh, int64_t dw, int64_t dh) {
    return x1 - x0 <= 0 || y1 - y0 <= 0 || x0 > sw || y0 > sh || x1 < 0 || y1 < 0 || dx > dw ||
           dy > dh || x1 + dx - x0 < 0 || y1 + dy - y0 < 0;
}

int blit_clip(BlitRect *rect, int32_t sw, int32_t sh, int32_t dw, int32_t dh) {
    // 64-bit so that rectangles far outside either picture cannot wrap around.
    int64_t x0 = rect->x0, y0 = rect->y0, x1 = rect->x1, y1 = rect->y1;
    int64_t dx = rect->dx, dy = rect->dy;
    if (clip_rejects(x0, y0, x1, y1, dx, dy, sw, sh, dw, dh)) return 0;
    if (x0 < 0) dx -= x0, x0 = 0;
    if (y0 < 0) dy -= y0, y0 = 0;
    x1 = std::min<int64_t>(x1, sw);
    y1 = std::min<int64_t>(y1, sh);
    if (dx < 0) x0 -= dx, dx = 0;
    if (dy < 0) y0 -= dy, dy = 0;
    if (x1 + dx - x0 > dw) x1 = dw + x0 - dx;
    if (y1 + dy - y0 > dh) y1 = dh + y0 - dy;
    if (clip_rejects(x0, y0, x1, y1, dx, dy, sw, sh, dw, dh)) return 0;
    *rect = BlitRect{int32_t(x0), int32_t(y0), int32_t(x1), int32_t(y1), int32_t(dx), int32_t(dy)};
    return 1;
}

// One row of a blit: count pixels from src to dst; extra is the key colour or the alpha.
using BlitRow = void (*)(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t extra);

// Clips, then hands each row to the path has_mmx selects.
static void blit_rows(const Image *src, Image *dst, BlitRect rect, BlitRow plain, BlitRow packed,
                      uint32_t extra) {
    if (!src || !dst) return;
    if (!blit_clip(&rect, src->width, src->height, dst->width, dst->height)) return;
    BlitRow row = has_mmx ? packed : plain;
    int32_t count = rect.x1 - rect.x0;
    const uint32_t *in = src->pixels + int64_t(rect.y0) * src->width + rect.x0;
    uint32_t *out = dst->pixels + int64_t(rect.dy) * dst->width + rect.dx;
    for (int32_t y = rect.y0; y < rect.y1; y++) {
        row(in, out, count, extra);
        in += src->width;
        out += dst->width;
    }
}

// ---- plain paths, one pixel at a time ----

static uint32_t channel(uint32_t word, int shift) {
    return (word >> shift) & 0xFF;
}

static void copy_plain(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t) {
    for (int32_t i = 0; i < count; i++) dst[i] = src[i];
}

// A pixel is kept out as soon as one of its colour bytes equals the key's.
static bool matches_key(uint32_t pixel, uint32_t key) {
    return channel(pixel, 8) == channel(key, 8) || channel(pixel, 16) == channel(key, 16) ||
           channel(pixel, 24) == channel(key, 24);
}

static void key_plain(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t key) {
    for (int32_t i = 0; i < count; i++)
        if (!matches_key(src[i], key)) dst[i] = src[i];
}

static void masked_plain(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t) {
    for (int32_t i = 0; i < count; i++)
        if ((src[i] & 0xFF) == 0) dst[i] = src[i];
}

// Colour bytes (s * a + d * (255 - a)) >> 8, truncated; d's mask byte stays. a is 0..255.
static uint32_t blend_pixel(uint32_t s, uint32_t d, uint32_t a) {
    uint32_t out = d & 0xFF;
    for (int shift = 8; shift < 32; shift += 8)
        out |= ((channel(s, shift) * a + channel(d, shift) * (255 - a)) >> 8) << shift;
    return out;
}

static void blend_plain(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t alpha) {
    for (int32_t i = 0; i < count; i++) dst[i] = blend_pixel(src[i], dst[i], alpha);
}

static void alpha_plain(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t) {
    for (int32_t i = 0; i < count; i++) dst[i] = blend_pixel(src[i], dst[i], src[i] & 0xFF);
}

static void average_plain(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t) {
    for (int32_t i = 0; i < count; i++) {
        uint32_t s = src[i], d = dst[i], out = d & 0xFF;
        for (int shift = 8; shift < 32; shift += 8)
            out |= ((channel(s, shift) + channel(d, shift)) >> 1) << shift;
        dst[i] = out;
    }
}

// One row of blit_average_key where both blits cover it: back averaged in, then over keyed.
using AverageKeyRow = void (*)(const uint32_t *back, const uint32_t *over, uint32_t *dst,
                               int32_t count, uint32_t key);

static void average_key_plain(const uint32_t *back, const uint32_t *over, uint32_t *dst,
                              int32_t count, uint32_t key) {
    average_plain(back, dst, count, 0);
    key_plain(over, dst, count, key);
}

// ---- packed paths, four pixels per 128-bit operation, the odd ones at the row end singly ----

#if QM_PACKED

static __m128i load4(const uint32_t *p) {
    return _mm_loadu_si128((const __m128i *)p);
}
static void store4(uint32_t *p, __m128i v) {
    _mm_storeu_si128((__m128i *)p, v);
}

// Where select is all ones take s, elsewhere d.
static __m128i pick(__m128i select, __m128i s, __m128i d) {
    return _mm_or_si128(_mm_and_si128(select, s), _mm_andnot_si128(select, d));
}

static void copy_packed(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t) {
    int32_t i = 0;
    // Sixteen pixels per pass: four loads in flight before the stores.
    for (; i + 16 <= count; i += 16) {
        __m128i a = load4(src + i), b = load4(src + i + 4);
        __m128i c = load4(src + i + 8), d = load4(src + i + 12);
        store4(dst + i, a);
        store4(dst + i + 4, b);
        store4(dst + i + 8, c);
        store4(dst + i + 12, d);
    }
    for (; i + 4 <= count; i += 4) store4(dst + i, load4(src + i));
    for (; i < count; i++) dst[i] = src[i];
}

// s where none of its colour bytes equals the key's (keys: the key in every lane), else d.
static __m128i key4(__m128i s, __m128i d, __m128i keys) {
    __m128i equal = _mm_and_si128(_mm_cmpeq_epi8(s, keys), _mm_set1_epi32(int32_t(0xFFFFFF00)));
    return pick(_mm_cmpeq_epi32(equal, _mm_setzero_si128()), s, d);
}

static void key_packed(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t key) {
    const __m128i keys = _mm_set1_epi32(int32_t(key));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) store4(dst + i, key4(load4(src + i), load4(dst + i), keys));
    key_plain(src + i, dst + i, count - i, key);
}

static void masked_packed(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t) {
    const __m128i mask_byte = _mm_set1_epi32(0xFF);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i s = load4(src + i);
        __m128i keep = _mm_cmpeq_epi32(_mm_and_si128(s, mask_byte), _mm_setzero_si128());
        store4(dst + i, pick(keep, s, load4(dst + i)));
    }
    masked_plain(src + i, dst + i, count - i, 0);
}

// Blends four pixels with per-byte weights a (in 16-bit lanes, low and high two pixels) and
// 255 - a: (s * a + d * (255 - a)) >> 8 fits 16 bits unsigned (at most 65,025). Keeps d's mask
// byte.
static __m128i blend4(__m128i s, __m128i d, __m128i a_lo, __m128i a_hi) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    __m128i lo =
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), a_lo),
                      _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(full, a_lo)));
    __m128i hi =
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), a_hi),
                      _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(full, a_hi)));
    __m128i mixed = _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
    return pick(_mm_set1_epi32(0xFF), d, mixed);
}

static void blend_packed(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t alpha) {
    const __m128i a = _mm_set1_epi16(int16_t(alpha));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) store4(dst + i, blend4(load4(src + i), load4(dst + i), a, a));
    blend_plain(src + i, dst + i, count - i, alpha);
}

static void alpha_packed(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t) {
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i s = load4(src + i);
        // Each pixel's mask byte copied into all four of its bytes, then widened like s.
        __m128i a = _mm_and_si128(s, _mm_set1_epi32(0xFF));
        a = _mm_or_si128(a, _mm_slli_epi32(a, 8));
        a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
        store4(dst + i,
               blend4(s, load4(dst + i), _mm_unpacklo_epi8(a, zero), _mm_unpackhi_epi8(a, zero)));
    }
    alpha_plain(src + i, dst + i, count - i, 0);
}

// (s + d) >> 1 per colour byte, d's mask byte kept.
static __m128i average4(__m128i s, __m128i d) {
    // Without a carry out: (s & d) + ((s ^ d) >> 1). The low bits are cleared first so the 16-bit
    // shift moves nothing across bytes.
    __m128i half =
        _mm_srli_epi16(_mm_and_si128(_mm_xor_si128(s, d), _mm_set1_epi8(int8_t(0xFE))), 1);
    return pick(_mm_set1_epi32(0xFF), d, _mm_add_epi8(_mm_and_si128(s, d), half));
}

static void average_packed(const uint32_t *src, uint32_t *dst, int32_t count, uint32_t) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) store4(dst + i, average4(load4(src + i), load4(dst + i)));
    average_plain(src + i, dst + i, count - i, 0);
}

static void average_key_packed(const uint32_t *back, const uint32_t *over, uint32_t *dst,
                               int32_t count, uint32_t key) {
    const __m128i keys = _mm_set1_epi32(int32_t(key));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i mean = average4(load4(back + i), load4(dst + i));
        store4(dst + i, key4(load4(over + i), mean, keys));
    }
    average_key_plain(back + i, over + i, dst + i, count - i, key);
}

#else

// Without packed arithmetic both choices are the plain rows.
static constexpr BlitRow copy_packed = copy_plain;
static constexpr BlitRow key_packed = key_plain;
static constexpr BlitRow masked_packed = masked_plain;
static constexpr BlitRow blend_packed = blend_plain;
static constexpr BlitRow alpha_packed = alpha_plain;
static constexpr BlitRow average_packed = average_plain;
static constexpr AverageKeyRow average_key_packed = average_key_plain;

#endif

void blit_copy(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               int32_t dx, int32_t dy) {
    blit_rows(src, dst, {x0, y0, x1, y1, dx, dy}, copy_plain, copy_packed, 0);
}

void blit_key(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
              int32_t dx, int32_t dy, uint32_t key) {
    blit_rows(src, dst, {x0, y0, x1, y1, dx, dy}, key_plain, key_packed, key);
}

void blit_masked(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                 int32_t dx, int32_t dy) {
    blit_rows(src, dst, {x0, y0, x1, y1, dx, dy}, masked_plain, masked_packed, 0);
}

void blit_blend(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                int32_t dx, int32_t dy, int32_t alpha) {
    // Weights outside 0..255 would wrap the byte arithmetic differently in the two paths.
    uint32_t a = uint32_t(std::clamp(alpha, 0, 255));
    blit_rows(src, dst, {x0, y0, x1, y1, dx, dy}, blend_plain, blend_packed, a);
}

void blit_alpha(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                int32_t dx, int32_t dy) {
    blit_rows(src, dst, {x0, y0, x1, y1, dx, dy}, alpha_plain, alpha_packed, 0);
}

void blit_average(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                  int32_t dx, int32_t dy) {
    blit_rows(src, dst, {x0, y0, x1, y1, dx, dy}, average_plain, average_packed, 0);
}

// Row y of the destination within the clipped rectangle r, or null outside it.
static const uint32_t *source_row(const Image *src, const BlitRect &r, int32_t y) {
    if (y < r.dy || y >= r.dy + r.y1 - r.y0) return nullptr;
    return src->pixels + int64_t(r.y0 + y - r.dy) * src->width + r.x0;
}

void blit_average_key(const Image *back, BlitRect averaged, const Image *over, BlitRect keyed,
                      Image *dst, uint32_t key) {
    BlitRect a = averaged, k = keyed;
    bool has_a = back && dst && blit_clip(&a, back->width, back->height, dst->width, dst->height);
    bool has_k = over && dst && blit_clip(&k, over->width, over->height, dst->width, dst->height);
    if (!has_a || !has_k || a.dx != k.dx || a.x1 - a.x0 != k.x1 - k.x0) {
        // Not the same columns: the two blits one after the other.
        blit_rows(back, dst, averaged, average_plain, average_packed, 0);
        blit_rows(over, dst, keyed, key_plain, key_packed, key);
        return;
    }
    const int32_t count = a.x1 - a.x0;
    const int32_t first = std::min(a.dy, k.dy);
    const int32_t end = std::max(a.dy + a.y1 - a.y0, k.dy + k.y1 - k.y0);
    for (int32_t y = first; y < end; y++) {
        const uint32_t *b = source_row(back, a, y), *o = source_row(over, k, y);
        uint32_t *out = dst->pixels + int64_t(y) * dst->width + a.dx;
        if (b && o)
            (has_mmx ? average_key_packed : average_key_plain)(b, o, out, count, key);
        else if (b)
            (has_mmx ? average_packed : average_plain)(b, out, count, 0);
        else if (o)
            (has_mmx ? key_packed : key_plain)(o, out, count, key);
    }
}

// ---- table lookups ----

void blit_table_plain(const uint16_t *table, const uint32_t *texels, uint32_t offset, uint32_t *out,
                      int32_t n) {
    for (int32_t i = 0; i < n; i++) out[i] = texels[(table[i] + offset) & 0xFFFFu];
}

#if QM_PACKED
// Pixel k of eight: its texel number is 16-bit lane k of at.
template <int k> static inline void table_texel(uint32_t *out, const uint32_t *texels, __m128i at) {
    out[k] = texels[_mm_extract_epi16(at, k)];
}
#endif

void blit_table(const uint16_t *table, const uint32_t *texels, uint32_t offset, uint32_t *out,
                int32_t n) {
    int32_t i = 0;
#if QM_PACKED
    const __m128i shift = _mm_set1_epi16(int16_t(offset & 0xFFFFu));
    for (; i + 8 <= n; i += 8) {
        const __m128i at =
            _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(table + i)), shift);
        table_texel<0>(out + i, texels, at), table_texel<1>(out + i, texels, at);
        table_texel<2>(out + i, texels, at), table_texel<3>(out + i, texels, at);
        table_texel<4>(out + i, texels, at), table_texel<5>(out + i, texels, at);
        table_texel<6>(out + i, texels, at), table_texel<7>(out + i, texels, at);
    }
#endif
    blit_table_plain(table + i, texels, offset, out + i, n - i);
}

// ---- grid warp ----

constexpr int32_t WARP_WIDTH = 512, WARP_HEIGHT = 256;
constexpr int32_t WARP_BLOCK = 8; // pixels between grid points

// A grid point's values truncated to whole numbers, in 16.16 fixed point.
struct WarpValue {
    int32_t u, v, s;
};

// Truncates toward zero and shifts into 16.16, keeping the low 32 bits as a 32-bit register
// would: only the low bits of the whole number matter (the texture wraps at 256), so a
// coordinate that has grown large still addresses the right texel.
static int32_t whole_16_16(float f) {
    if (!(f > -1e18f && f < 1e18f)) return 0; // NaN or far beyond any texture
    return int32_t(uint32_t(uint64_t(int64_t(f))) << 16);
}

static WarpValue warp_value(const GridPoint &p) {
    return {whole_16_16(p.u), whole_16_16(p.v), whole_16_16(p.s)};
}

// 16.16 arithmetic wraps at 32 bits, as the registers of a 32-bit machine do, instead of
// overflowing.
static int32_t wrap_add(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}
static int32_t wrap_sub(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}

// (to - from) / 8 in 16.16, rounded toward zero. The whole-number difference is taken modulo
// 2^16 as a signed value (explicitly for u; for v and s the 32-bit wrap of the shifted values
// does the same), so a coordinate that has grown past 32767 still steps by its small
// difference.
static WarpValue warp_step(const WarpValue &from, const WarpValue &to) {
    int32_t du = int32_t(int16_t(wrap_sub(to.u, from.u) >> 16)) * 65536;
    return {du / WARP_BLOCK, wrap_sub(to.v, from.v) / WARP_BLOCK,
            wrap_sub(to.s, from.s) / WARP_BLOCK};
}

static WarpValue warp_add(WarpValue a, const WarpValue &b) {
    return {wrap_add(a.u, b.u), wrap_add(a.v, b.v), wrap_add(a.s, b.s)};
}

// count pixels from out on, starting at `at` and moving by step per pixel.
static void warp_span(uint32_t *out, int32_t count, WarpValue at, const WarpValue &step,
                      const uint8_t *texels, const uint32_t *shades) {
    for (int32_t i = 0; i < count; i++) {
        uint32_t texel = texels[((at.v >> 16) & 255) * WARP_TEXTURE_SIDE + ((at.u >> 16) & 255)];
        out[i] = shades[texel * 256 + ((at.s >> 16) & 255)];
        at = warp_add(at, step);
    }
}

// One 8 x 8 block between four grid points: the upper-left triangle (its rows shrink from 8 to
// 1 pixels, the anti-diagonal included), then the lower-right one (rows grow from 0 to 7).
static void warp_block(uint32_t *out, int32_t stride, const WarpValue &top_left,
                       const WarpValue &top_right, const WarpValue &bottom_left,
                       const WarpValue &bottom_right, const uint8_t *texels,
                       const uint32_t *shades) {
    WarpValue across = warp_step(top_left, top_right), down = warp_step(top_left, bottom_left);
    WarpValue lower_across = warp_step(bottom_left, bottom_right);
    WarpValue diagonal = warp_step(top_right, bottom_left);
    WarpValue upper = top_left, lower = top_right; // row starts of the two triangles
    for (int32_t r = 0; r < WARP_BLOCK; r++) {
        uint32_t *row = out + r * stride;
        warp_span(row, WARP_BLOCK - r, upper, across, texels, shades);
        warp_span(row + WARP_BLOCK - r, r, lower, lower_across, texels, shades);
        upper = warp_add(upper, down);
        lower = warp_add(lower, diagonal);
    }
}

#if QM_PACKED
// Lane k of row r lies in the lower triangle of a block when k + r > 7: all ones, else zero.
struct WarpLowerMasks {
    alignas(16) int32_t lanes[WARP_BLOCK][WARP_BLOCK];
};
static constexpr WarpLowerMasks WARP_LOWER = [] {
    WarpLowerMasks m{};
    for (int32_t r = 0; r < WARP_BLOCK; r++)
        for (int32_t k = 0; k < WARP_BLOCK; k++) m.lanes[r][k] = k + r > WARP_BLOCK - 1 ? -1 : 0;
    return m;
}();

static WarpValue warp_sub(WarpValue a, const WarpValue &b) {
    return {wrap_sub(a.u, b.u), wrap_sub(a.v, b.v), wrap_sub(a.s, b.s)};
}

// Lane k of at holds a texel number in its word 2k and a shade in word 2k + 1 (the lane's upper
// byte clear).
template <int k>
static uint32_t warp_pixel(__m128i at, const uint8_t *texels, const uint32_t *shades) {
    return shades[uint32_t(texels[_mm_extract_epi16(at, 2 * k)]) << 8 |
                  uint32_t(_mm_extract_epi16(at, 2 * k + 1))];
}

// warp_block with four pixels of a block row at a time, the left four columns of every row and
// then the right four. Pixel k of row r lies in the upper triangle while k < 8 - r, at
// top_left + r * down + k * across, else in the lower one, at
// top_right + r * diagonal + (k - 8 + r) * lower_across: each lane carries both and is stepped
// a row at a time by one addition (modulo 2^32, as the plain steps are). A lane's texel number
// and shade byte are formed in one word, shade << 16 | texel row << 8 | texel column.
static void warp_block_packed(uint32_t *out, int32_t stride, const WarpValue &top_left,
                              const WarpValue &top_right, const WarpValue &bottom_left,
                              const WarpValue &bottom_right, const uint8_t *texels,
                              const uint32_t *shades) {
    const WarpValue across = warp_step(top_left, top_right),
                    down = warp_step(top_left, bottom_left);
    const WarpValue lower_across = warp_step(bottom_left, bottom_right);
    const WarpValue lower_down = warp_add(warp_step(top_right, bottom_left), lower_across);
    alignas(16) int32_t upper[3][WARP_BLOCK], lower[3][WARP_BLOCK]; // u, v, s by column
    WarpValue up = top_left, low = top_right;
    for (int32_t k = 0, back = WARP_BLOCK - 1; k < WARP_BLOCK; k++, back--) {
        low = warp_sub(low, lower_across);
        upper[0][k] = up.u, upper[1][k] = up.v, upper[2][k] = up.s;
        lower[0][back] = low.u, lower[1][back] = low.v, lower[2][back] = low.s;
        up = warp_add(up, across);
    }
    const __m128i down_u = _mm_set1_epi32(down.u), down_v = _mm_set1_epi32(down.v);
    const __m128i down_s = _mm_set1_epi32(down.s);
    const __m128i lower_u = _mm_set1_epi32(lower_down.u), lower_v = _mm_set1_epi32(lower_down.v);
    const __m128i lower_s = _mm_set1_epi32(lower_down.s);
    const __m128i byte = _mm_set1_epi32(0xFF), row_byte = _mm_set1_epi32(0xFF00);
    const __m128i shade_byte = _mm_set1_epi32(0xFF0000);
    auto load = [](const int32_t *p) {
        return _mm_load_si128(reinterpret_cast<const __m128i *>(p));
    };
    for (int32_t h = 0; h < WARP_BLOCK; h += 4) {
        __m128i uu = load(&upper[0][h]), uv = load(&upper[1][h]), us = load(&upper[2][h]);
        __m128i lu = load(&lower[0][h]), lv = load(&lower[1][h]), ls = load(&lower[2][h]);
        uint32_t *row = out + h;
        for (int32_t r = 0; r < WARP_BLOCK; r++, row += stride) {
            const __m128i in_lower = load(&WARP_LOWER.lanes[r][h]);
            const __m128i u = pick(in_lower, lu, uu), v = pick(in_lower, lv, uv);
            const __m128i s = pick(in_lower, ls, us);
            const __m128i at =
                _mm_or_si128(_mm_and_si128(s, shade_byte),
                             _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 8), row_byte),
                                          _mm_and_si128(_mm_srli_epi32(u, 16), byte)));
            row[0] = warp_pixel<0>(at, texels, shades), row[1] = warp_pixel<1>(at, texels, shades);
            row[2] = warp_pixel<2>(at, texels, shades), row[3] = warp_pixel<3>(at, texels, shades);
            uu = _mm_add_epi32(uu, down_u), uv = _mm_add_epi32(uv, down_v);
            us = _mm_add_epi32(us, down_s);
            lu = _mm_add_epi32(lu, lower_u), lv = _mm_add_epi32(lv, lower_v);
            ls = _mm_add_epi32(ls, lower_s);
        }
    }
}
#endif

void grid_warp(const GridPoint *grid, const uint8_t *indices, const uint32_t *shades, Image *dst) {
    if (!grid || !indices || !shades || !dst) return;
    // The texture is addressed modulo 256 in both directions, the destination is fixed.
    if (dst->width != WARP_WIDTH || dst->height != WARP_HEIGHT) return;
    // Each point's values are taken once, a column of them at a time: every point but those on
    // the edges is the corner of four blocks.
    WarpValue columns[2][GRID_ROWS];
#if QM_PACKED
    const auto block = has_mmx ? warp_block_packed : warp_block;
#else
    const auto block = warp_block;
#endif
    for (int32_t j = 0; j < GRID_ROWS; j++) columns[0][j] = warp_value(grid[j]);
    for (int32_t i = 0; i + 1 < GRID_COLUMNS; i++) {
        const WarpValue *left = columns[i & 1];
        WarpValue *right = columns[(i + 1) & 1];
        for (int32_t j = 0; j < GRID_ROWS; j++)
            right[j] = warp_value(grid[(i + 1) * GRID_ROWS + j]);
        for (int32_t j = 0; j + 1 < GRID_ROWS; j++) {
            uint32_t *out = dst->pixels + (j * WARP_BLOCK) * WARP_WIDTH + i * WARP_BLOCK;
            block(out, WARP_WIDTH, left[j], right[j], left[j + 1], right[j + 1], indices, shades);
        }
    }
}
