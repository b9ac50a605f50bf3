// Tests of morph sequences (segments, key times, equal times, bounds) and the radial blur.

#include "engine/morph.h"

#include "data/cpu.h"
#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

namespace {

// An object of n points, all at (x, 0, 0), with normals (1, 0, 0) scaled by length.
SceneObject *shape(int n, float x, float normal_length = 1.0f) {
    SceneObject *o = new_empty_object();
    o->point_count = n;
    o->points = static_cast<Vec3 *>(mem_alloc(n * sizeof(Vec3)));
    o->point_normals = static_cast<Vec3 *>(mem_alloc(n * sizeof(Vec3)));
    for (int i = 0; i < n; i++) {
        o->points[i] = Vec3{x, static_cast<float>(i), 0};
        o->point_normals[i] = Vec3{normal_length, 0, 0};
    }
    return o;
}

// A sequence of the given shapes at the given times.
MorphSequence *sequence(std::initializer_list<std::pair<SceneObject *, float>> keys) {
    MorphSequence *s = morph_new();
    for (auto [object, time] : keys) morph_add(s, morph_key(object, time));
    return s;
}

class MorphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        target = shape(3, -1.0f);
        a = shape(3, 0.0f);
        b = shape(3, 10.0f);
        c = shape(3, 30.0f);
        seq = sequence({{a, 0.0f}, {b, 10.0f}, {c, 20.0f}});
    }
    void TearDown() override { mem_free_all(); }
    float x_at(float t) {
        target->points[0].x = -1.0f;
        morph_apply(seq, target, t);
        return target->points[0].x;
    }

    MorphSequence *seq = nullptr;
    SceneObject *target = nullptr, *a = nullptr, *b = nullptr, *c = nullptr;
};

} // namespace

// Keys the sequence refuses, and times outside every segment: nothing is written.
TEST_F(MorphTest, RefusedKeysAndTimesOutsideTheSegments) {
    EXPECT_EQ(morph_key(nullptr, 1.0f), nullptr);
    EXPECT_EQ(morph_key(a, -0.5f), nullptr);
    EXPECT_EQ(morph_key(a, std::numeric_limits<float>::quiet_NaN()), nullptr);
    EXPECT_EQ(morph_add(nullptr, morph_key(a, 1.0f)), 0);
    EXPECT_EQ(morph_add(seq, nullptr), 0);
    EXPECT_EQ(morph_add(morph_new(), morph_key(a, 1.0f)), 1);
    EXPECT_EQ(seq->key_count, 3);
    EXPECT_EQ(seq->length, 20.0f);
    EXPECT_EQ(x_at(15.0f), 20.0f);
    for (float t : {20.0f, 25.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(x_at(t), -1.0f) << t;
}

TEST_F(MorphTest, EqualTimesUseASpanOfOne) {
    // Keys 0 and 0 then 9: at t = 0 the first segment has span 0, taken as 1, and f = 0.
    morph_apply(sequence({{a, 0.0f}, {shape(3, 4.0f), 0.0f}, {c, 9.0f}}), target, 0.0f);
    EXPECT_EQ(target->points[0].x, 4.0f); // segment 1 (t < 0 fails for key 1): starts at 4
    // Before two keys of equal time: the first segment, span 1, f = 1 - 3 = -2.
    morph_apply(sequence({{a, 3.0f}, {b, 3.0f}, {c, 9.0f}}), target, 1.0f);
    EXPECT_EQ(target->points[0].x, -20.0f);
}

TEST_F(MorphTest, NormalsAreRenormalisedAndSizesMismatchSafely) {
    target->point_normals[2] = Vec3{0, 9, 0};
    morph_apply(sequence({{shape(2, 0.0f, 0.5f), 0.0f}, {shape(2, 2.0f, 0.5f), 2.0f}}), target,
                1.0f);
    EXPECT_EQ(target->points[1].x, 1.0f);
    EXPECT_EQ(target->points[2].x, -1.0f); // beyond the keys' points: untouched
    EXPECT_EQ(target->point_normals[2].y, 9.0f);
    // Zero normals stay zero instead of becoming 0 / 0.
    SceneObject *bare = shape(3, 0.0f, 0.0f);
    morph_apply(sequence({{bare, 0.0f}, {bare, 1.0f}}), target, 0.5f);
    EXPECT_EQ(target->point_normals[0].x, 0.0f);
}

namespace {

class BlurTest : public ::testing::Test {
  protected:
    void TearDown() override { mem_free_all(); }
};

std::vector<uint32_t> pixels_of(const Image *img) {
    return std::vector<uint32_t>(img->pixels, img->pixels + img->width * img->height);
}

} // namespace

// Far centres and factors stay in the picture (the sanitizer watches); sizes must match.
TEST_F(BlurTest, FarCentresAreSafeAndDifferentSizesRefused) {
    Image *src = image_create(20, 10, 0), *other = image_create(21, 10, 0);
    radial_blur(src, src, 1e9f, -1e9f, -3.0f);
    radial_blur(src, other, 10.0f, 5.0f, 0.5f);
    EXPECT_EQ(other->pixels[5 * 21 + 10], 0u);
}

// Random pictures, centres inside and outside, factors below 0 to above 1, in place and onto
// another picture: the table path and the per-pixel one give the same pixels, and neither
// reaches outside the picture (the sanitizer watches).
TEST_F(BlurTest, PackedRowsEqualThePlainOnes) {
    std::mt19937 rng(17);
    auto real = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };
    cpu_detect();
    const int paths = has_ssse3 ? 3 : 2;
    for (int round = 0; round < 300; round++) {
        const int w = round % 10 == 0 ? 512 : 1 + int(rng() % 40), h = 1 + int(rng() % 30);
        const float cx = real(-8.0f, float(w) + 8.0f), cy = real(-8.0f, float(h) + 8.0f);
        const float f = round % 3 == 0 ? real(-0.5f, 1.5f) : real(0.0f, 0.3f);
        const bool in_place = round % 2;
        std::vector<uint32_t> own(size_t(w) * h), start(size_t(w) * h);
        for (uint32_t &p : own) p = rng();
        for (uint32_t &p : start) p = rng();
        std::vector<uint32_t> result[3];
        for (int path = 0; path < paths; path++) { // plain, SSE2, SSSE3
            Image *src = image_create(w, h, 0), *dst = in_place ? src : image_create(w, h, 0);
            std::copy(own.begin(), own.end(), src->pixels);
            if (!in_place) std::copy(start.begin(), start.end(), dst->pixels);
            has_mmx = path > 0;
            has_ssse3 = path > 1;
            radial_blur(src, dst, cx, cy, f);
            result[path] = pixels_of(dst);
            ASSERT_EQ(result[0], result[path]) << "round " << round << " path " << path;
        }
    }
    cpu_detect();
}
