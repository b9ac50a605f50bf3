// morph.cpp -- shapes blended over time, and the outward radial blur

#include "engine/morph.h"

#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"
#include "fillers/fillers.h"

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

void radial_blur(const Image *src, Image *dst, float cx, float cy, float f) {
    if (!src || !dst || !src->pixels || !dst->pixels) return;
    if (src->width != dst->width || src->height != dst->height) return;
    const int h = src->height;
    // The loops start at the centre's row and column; a centre outside the picture starts them
    // at its edge instead of outside it.
    int start = fill_trunc(cy);
    for (int y = start < h - 1 ? start : h - 1; y >= 1; y--)
        blur_row(src, dst, y, blur_sample(y, cy, f, h), cx, f);
    start = fill_trunc(cy + 1.0f);
    for (int y = start > 1 ? start : 1; y <= h - 1; y++)
        blur_row(src, dst, y, blur_sample(y, cy, f, h), cx, f);
}
