// morph.cpp -- shapes blended over time, and the outward radial blur

#include "engine/morph.h"

#include "data/cpu.h"
#include "data/image.h"
#include "data/memory.h"
#include "data/packed.h"
#include "engine/object.h"
#include "fillers/fillers.h"

#include <cstring>

MorphSequence *morph_new() {
    MorphSequence *seq = static_cast<MorphSequence *>(mem_alloc(sizeof(MorphSequence)));
    if (!seq) return nullptr;
    // A small block to grow from: resizing needs a registered block.
    seq->keys = static_cast<MorphKey **>(mem_alloc(sizeof(MorphKey *)));
    return seq->keys ? seq : nullptr;
}

MorphKey *morph_key(SceneObject *object, float time) {
    if (!object || !(time >= 0.0f)) return nullptr;
    MorphKey *key = static_cast<MorphKey *>(mem_alloc(sizeof(MorphKey)));
    if (!key) return nullptr;
    key->time = time;
    key->object = object;
    return key;
}

int morph_add(MorphSequence *sequence, MorphKey *key) {
    if (!sequence || !key) return 0;
    const size_t bytes = sizeof(MorphKey *) * (static_cast<size_t>(sequence->key_count) + 1);
    MorphKey **keys = static_cast<MorphKey **>(mem_resize(sequence->keys, bytes));
    if (!keys) return 0;
    keys[sequence->key_count++] = key;
    sequence->keys = keys;
    if (key->time > sequence->length) sequence->length = key->time;
    return 1;
}

// a + (b - a) / span * f, per component.
static void lerp(Vec3 &dst, const Vec3 &a, const Vec3 &b, float span, float f) {
    dst.x = a.x + (b.x - a.x) / span * f;
    dst.y = a.y + (b.y - a.y) / span * f;
    dst.z = a.z + (b.z - a.z) / span * f;
}

static int min3(int a, int b, int c) {
    const int m = a < b ? a : b;
    return m < c ? m : c;
}

void morph_apply(const MorphSequence *sequence, SceneObject *target, float t) {
    if (!sequence || !target || sequence->key_count == 0) return;
    if (!(t >= 0.0f) || t > sequence->length) return;
    int i = 0;
    while (i < sequence->key_count - 1 && !(t < sequence->keys[i + 1]->time)) i++;
    if (i >= sequence->key_count - 1) return;
    const MorphKey *ka = sequence->keys[i], *kb = sequence->keys[i + 1];
    float span = kb->time - ka->time;
    if (span == 0.0f) span = 1.0f;
    const float f = t - ka->time;
    const SceneObject *a = ka->object, *b = kb->object;
    // Shapes with fewer points than the target leave the rest of it as it was.
    const int n = min3(target->point_count, a->point_count, b->point_count);
    for (int j = 0; j < n; j++) lerp(target->points[j], a->points[j], b->points[j], span, f);
    for (int j = 0; j < n; j++) {
        Vec3 &normal = target->point_normals[j];
        lerp(normal, a->point_normals[j], b->point_normals[j], span, f);
        // A point no face uses has no normal; keep it zero rather than 0 / 0.
        if (normal.x != 0.0f || normal.y != 0.0f || normal.z != 0.0f) vec_normalize(normal, normal);
    }
}

// Bytes 1..3 of dst[sy][sx] and src[y][x] averaged (rounded down); byte 0 from dst[sy][sx].
// All three bytes at once: floor((a + b) / 2) = (a >> 1) + (b >> 1) + (a & b & 1) per byte, and
// no byte's sum exceeds 255, so none carries into the next.
static uint32_t blur_average(uint32_t towards, uint32_t own) {
    const uint32_t halves = ((towards >> 1) & 0x7F7F7F00u) + ((own >> 1) & 0x7F7F7F00u);
    return (towards & 0xFFu) + halves + (towards & own & 0x01010100u);
}

// Where a blur sample lies: trunc(x + f * (c - x)), kept inside 0 .. limit - 1 for a centre or a
// factor that would reach outside the picture.
static int blur_sample(int x, float c, float f, int limit) {
    const int s = fill_trunc(static_cast<float>(x) + f * (c - static_cast<float>(x)));
    return s < 0 ? 0 : (s >= limit ? limit - 1 : s);
}

static void blur_pixel(const Image *src, Image *dst, int x, int y, int sx, int sy) {
    uint32_t *d = dst->pixels;
    const size_t w = static_cast<size_t>(src->width);
    d[y * w + x] = blur_average(d[sy * w + sx], src->pixels[y * w + x]);
}

static void blur_row(const Image *src, Image *dst, int y, int sy, float cx, float f) {
    const int w = src->width;
    int start = fill_trunc(cx);
    for (int x = start < w - 1 ? start : w - 1; x >= 1; x--)
        blur_pixel(src, dst, x, y, blur_sample(x, cx, f, w), sy);
    start = fill_trunc(cx + 1.0f);
    for (int x = start > 1 ? start : 1; x <= w - 1; x++)
        blur_pixel(src, dst, x, y, blur_sample(x, cx, f, w), sy);
}

// The fast path: a pixel's sample column depends on its column only, so the columns come from a
// table made once per picture; rows whose sample row is another row do not depend on their own
// order and go four pixels at a time.
constexpr int BLUR_TABLE = 2048; // widest picture the table serves; wider ones take blur_row

struct BlurColumns {
    int sample[BLUR_TABLE];
    int left_end, right_start; // the row's two walks: left_end down to 1, right_start up to w - 1
    // With SSSE3: near[x] when the samples of columns x .. x + 3 lie within the four pixels
    // from sample[x] on (inside the row), and shuffle[x] then picks them out of those four.
    bool near[BLUR_TABLE];
    alignas(16) uint8_t shuffle[BLUR_TABLE][16];
};

// The near flags and shuffles of the columns of a picture w wide. Lane k of a shuffle takes
// the four bytes of pixel d = sample[x + k] - sample[x]: bytes 4d .. 4d + 3.
static void blur_shuffles(BlurColumns *c, int w) {
    for (int x = 0; x < w; x++) {
        const int base = c->sample[x];
        bool near = x + 3 < w && base + 3 < w;
        for (int k = 0; near && k < 4; k++) {
            const int d = c->sample[x + k] - base;
            near = d >= 0 && d <= 3;
            const uint32_t lane = 0x03020100u + 0x04040404u * uint32_t(d);
            std::memcpy(&c->shuffle[x][4 * k], &lane, sizeof lane);
        }
        c->near[x] = near;
    }
}

#if QM_PACKED
// blur_average on four pixels. The rounded-up mean of pavgb less the rounding (the low bit of
// a ^ b) is the mean rounded down; own's byte 0 is replaced by towards' first, so that the mean
// of byte 0 is towards' byte 0.
static __m128i blur_average4(__m128i towards, __m128i own) {
    const __m128i mask_byte = _mm_set1_epi32(0xFF), low_bits = _mm_set1_epi32(0x01010100);
    own = _mm_or_si128(_mm_andnot_si128(mask_byte, own), _mm_and_si128(mask_byte, towards));
    const __m128i up = _mm_avg_epu8(towards, own);
    return _mm_sub_epi8(up, _mm_and_si128(_mm_xor_si128(towards, own), low_bits));
}
#endif

#if QM_PACKED
// blur_span's packed loop with SSSE3: four samples that lie within four pixels are one load
// and a byte shuffle instead of four loads. Returns the first column not done.
QM_TARGET_SSSE3 static int blur_span_shuffled(const uint32_t *towards, const uint32_t *own,
                                              uint32_t *out, const BlurColumns *c, int x, int to) {
    const int *column = c->sample;
    for (; x + 3 <= to; x += 4) {
        __m128i t;
        if (c->near[x])
            t = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(towards + column[x])),
                _mm_load_si128(reinterpret_cast<const __m128i *>(c->shuffle[x])));
        else
            t = _mm_setr_epi32(int(towards[column[x]]), int(towards[column[x + 1]]),
                               int(towards[column[x + 2]]), int(towards[column[x + 3]]));
        __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i *>(own + x));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), blur_average4(t, o));
    }
    return x;
}
#endif

// Pixels from..to of a row, in any order: towards is another row than out.
static void blur_span(const uint32_t *towards, const uint32_t *own, uint32_t *out,
                      const BlurColumns *c, int from, int to) {
    const int *column = c->sample;
    int x = from;
#if QM_PACKED
    if (has_ssse3) x = blur_span_shuffled(towards, own, out, c, x, to);
    for (; x + 3 <= to; x += 4) {
        __m128i t = _mm_setr_epi32(int(towards[column[x]]), int(towards[column[x + 1]]),
                                   int(towards[column[x + 2]]), int(towards[column[x + 3]]));
        __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i *>(own + x));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), blur_average4(t, o));
    }
#endif
    for (; x <= to; x++) out[x] = blur_average(towards[column[x]], own[x]);
}

static void blur_row_table(const Image *src, Image *dst, int y, int sy, const BlurColumns *c) {
    const size_t w = static_cast<size_t>(src->width);
    const uint32_t *towards = dst->pixels + sy * w, *own = src->pixels + y * w;
    uint32_t *out = dst->pixels + y * w;
    if (sy != y && c->left_end < c->right_start) {
        blur_span(towards, own, out, c, 1, c->left_end);
        blur_span(towards, own, out, c, c->right_start, int(w) - 1);
        return;
    }
    // The row reads itself: pixels nearer the centre first, as blur_row does.
    for (int x = c->left_end; x >= 1; x--) out[x] = blur_average(towards[c->sample[x]], own[x]);
    for (int x = c->right_start; x <= int(w) - 1; x++)
        out[x] = blur_average(towards[c->sample[x]], own[x]);
}

void radial_blur(const Image *src, Image *dst, float cx, float cy, float f) {
    if (!src || !dst || !src->pixels || !dst->pixels) return;
    if (src->width != dst->width || src->height != dst->height) return;
    const int h = src->height, w = src->width;
    static BlurColumns columns; // main thread only; kept off the stack
    const int table = has_mmx && w <= BLUR_TABLE;
    if (table) {
        for (int x = 0; x < w; x++) columns.sample[x] = blur_sample(x, cx, f, w);
        const int start = fill_trunc(cx), right = fill_trunc(cx + 1.0f);
        columns.left_end = start < w - 1 ? start : w - 1;
        columns.right_start = right > 1 ? right : 1;
        if (has_ssse3) blur_shuffles(&columns, w);
    }
    // The loops start at the centre's row and column; a centre outside the picture starts them
    // at its edge instead of outside it.
    int start = fill_trunc(cy);
    for (int y = start < h - 1 ? start : h - 1; y >= 1; y--) {
        const int sy = blur_sample(y, cy, f, h);
        if (table)
            blur_row_table(src, dst, y, sy, &columns);
        else
            blur_row(src, dst, y, sy, cx, f);
    }
    start = fill_trunc(cy + 1.0f);
    for (int y = start > 1 ? start : 1; y <= h - 1; y++) {
        const int sy = blur_sample(y, cy, f, h);
        if (table)
            blur_row_table(src, dst, y, sy, &columns);
        else
            blur_row(src, dst, y, sy, cx, f);
    }
}
