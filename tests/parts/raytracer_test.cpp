// Tests of the raytracer where the show does not take it: rays that graze or miss, frames of no
// time, a sphere alone and a floor beyond reach; and the packed block fill against the plain one
// on random corners. The show's digests pin its frames.

#include "data/cpu.h"
#include "data/memory.h"
#include "parts/raytraced.h"
#include "parts/raytracer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr uint32_t SENTINEL = 0xDEADBEEF;

struct TracerTest : testing::Test {
    std::vector<uint32_t> texture = std::vector<uint32_t>(256 * 256);
    std::vector<uint32_t> output = std::vector<uint32_t>(TRACE_WIDTH * TRACE_HEIGHT, SENTINEL);
    TraceScene *scene = nullptr;

    void SetUp() override {
        // Red follows u and green follows v, so a texel read at the wrong place shows.
        for (int v = 0; v < 256; v++)
            for (int u = 0; u < 256; u++) texture[v * 256 + u] = uint32_t(u | v << 8 | 128 << 16);
        scene = tracer_setup(output.data(), texture.data());
        ASSERT_NE(scene, nullptr);
    }
    void TearDown() override { mem_free_all(); }

    TraceObject *object(int number) { return &scene->objects[number - 1]; }
    // Intersects object number with the ray from origin towards target.
    float hit(int number, Vec3 origin, Vec3 target) {
        Vec3 d;
        vec_sub(d, target, origin);
        vec_normalize(d, d);
        TraceObject *o = object(number);
        return o->intersect(o, origin, d);
    }
    // Moves the three spheres out of the way, high above the scene.
    void clear_spheres() {
        for (int i = 1; i <= 3; i++) object(i)->position = Vec3{0.0f, 500.0f + 10.0f * i, 0.0f};
    }
};

TEST_F(TracerTest, RaysHitSpheresAndPlanesWhereTheGeometrySays) {
    Vec3 eye{0.0f, 0.0f, -3.0f};
    // Straight at sphere 1's centre: its radius short of the centre.
    Vec3 c = object(1)->position;
    float to_centre = std::sqrt(1.0f + 2.4f * 2.4f + 5.5f * 5.5f);
    EXPECT_NEAR(hit(1, eye, c), to_centre - 1.0f, 1e-4f);
    EXPECT_EQ(object(1)->recompute, 0);
    // A sphere behind the ray is no hit.
    object(3)->recompute = 1;
    EXPECT_LE(hit(3, Vec3{-1.2f, 2.4f, 10.0f}, Vec3{-1.2f, 2.4f, 20.0f}), 0.0f);
    // The wall behind the eye is no hit.
    EXPECT_LE(hit(5, eye, Vec3{0.0f, 0.0f, -10.0f}), 0.0f);
    // A ray along a plane never meets it: no division by zero, no infinite hit.
    EXPECT_EQ(hit(4, eye, Vec3{1.0f, 0.0f, -3.0f}), -1.0f);
}

TEST_F(TracerTest, SpheresFallFasterEachFrameAndBounceAtTheFloor) {
    tracer_animate(scene, 0.5f);
    EXPECT_FLOAT_EQ(object(1)->position.y, 2.4f - 0.15f);
    EXPECT_FLOAT_EQ(object(2)->position.y, 2.4f - 0.25f);
    EXPECT_FLOAT_EQ(scene->fall_speed[0], 0.4f);
    EXPECT_FLOAT_EQ(scene->fall_speed[2], 0.8f);
    // The speeds grow per frame, also when no time passed.
    tracer_animate(scene, 0.0f);
    EXPECT_FLOAT_EQ(object(1)->position.y, 2.25f);
    EXPECT_FLOAT_EQ(scene->fall_speed[1], 0.9f);
    // Through the floor in one frame: back at -1, rising with the speed turned round.
    object(3)->position.y = -0.9f;
    scene->fall_speed[2] = 5.0f;
    tracer_animate(scene, 0.1f);
    EXPECT_FLOAT_EQ(object(3)->position.y, -1.0f);
    EXPECT_FLOAT_EQ(scene->fall_speed[2], -5.4f);
    tracer_animate(scene, 0.1f);
    EXPECT_GT(object(3)->position.y, -1.0f);
}

// A sphere alone before nothing: every block on its rim with one, two or three corners on it is
// split down to pixels, so it is drawn out to the last pixel traced one by one (this one has no
// sliver bulging between two coarse rays that both missed). Everything else comes out black
// over an output that was not cleared, the never-traced edges too.
TEST_F(TracerTest, ASphereAloneIsDrawnOutToItsRim) {
    scene->object_count = 3; // spheres only
    clear_spheres();
    Vec3 ahead{0.0f, 0.0f, 6.0f};
    vec_add(object(1)->position, scene->cameras[0].position, ahead);
    object(1)->radius = 1.2f;
    tracer_render(scene);
    for (int y = 0; y < TRACE_HEIGHT; y++)
        for (int x = y < 249 ? 505 : 0; x < TRACE_WIDTH; x++)
            ASSERT_EQ(output[y * TRACE_WIDTH + x], 0u) << x << "," << y;
    int drawn = 0, missing = 0;
    for (int y = 0; y < 248; y++)
        for (int x = 0; x < 504; x++) {
            const uint32_t want = tracer_reference_pixel(scene, x, y);
            drawn += want != 0;
            missing += want != 0 && output[y * TRACE_WIDTH + x] == 0;
            if (!want) {
                ASSERT_EQ(output[y * TRACE_WIDTH + x], 0u) << x << "," << y;
            }
        }
    EXPECT_GT(drawn, 5000);
    EXPECT_EQ(missing, 0);
}

TEST_F(TracerTest, HitsBeyondTheFarLimitAreCandidatesButDrawNothing) {
    clear_spheres();
    scene->object_count = 4; // no wall
    object(4)->position.y = -40.0f;
    std::fill(output.begin(), output.end(), 0u);
    tracer_render(scene);
    // The lowest coarse row looks down at about 0.44 per unit: the floor is 90 units away.
    const TraceCandidates &low = scene->candidates[31 * TRACE_COARSE_COLUMNS + 10];
    ASSERT_EQ(low.count, 1);
    EXPECT_EQ(low.index[0], 3);
    EXPECT_EQ(scene->status[248 * TRACE_WIDTH + 80], TRACE_MISS);
    EXPECT_EQ(scene->candidates[0].count, 0); // the top row looks up, away from it
    for (uint32_t p : output) ASSERT_EQ(p, 0u);
    // Nearer, the same floor is drawn.
    object(4)->position.y = -1.5f;
    tracer_render(scene);
    EXPECT_EQ(scene->status[248 * TRACE_WIDTH + 80], 4);
    EXPECT_NE(output[244 * TRACE_WIDTH + 84], 0u);
}

// Random corners, mostly as the shading leaves them (the same light in the lanes that carry it)
// and sometimes not, through both materials at every block size: both paths, the same words.
TEST_F(TracerTest, PackedBlockFillsEqualThePlainOnes) {
    std::mt19937 rng(11);
    auto any = [&](int lo, int hi) {
        return int16_t(std::uniform_int_distribution<>(lo, hi)(rng));
    };
    for (int round = 0; round < 3000; round++) {
        const TraceMaterial *m = &scene->materials[round % 2 ? 4 : round % 5];
        int32_t w = 8 >> (round % 4);
        int agree = round % 7 != 0;
        TraceSample c[4];
        for (TraceSample &s : c) {
            int16_t light = any(-100, 100), far = any(-32768, 32767);
            s = TraceSample{any(-300, 300), any(-300, 300), light, light, light, 0, light};
            if (m->kind != MATERIAL_TEXTURED) s.u = s.v = light;
            if (!agree) s.shade_blue = s.v = far;
        }
        const TraceSample *corner[4] = {&c[0], &c[1], &c[2], &c[3]};
        uint32_t plain[8 * TRACE_WIDTH], packed[8 * TRACE_WIDTH];
        std::fill(plain, plain + 8 * TRACE_WIDTH, SENTINEL);
        std::fill(packed, packed + 8 * TRACE_WIDTH, SENTINEL);
        has_mmx = 0;
        tracer_fill_block(plain, w, m, corner);
        has_mmx = 1;
        tracer_fill_block(packed, w, m, corner);
        ASSERT_TRUE(std::equal(plain, plain + 8 * TRACE_WIDTH, packed)) << "round " << round;
    }
    cpu_detect();
}

// Random sphere heights and view sways: the fast paths draw the frame of the plain ones.
TEST_F(TracerTest, FastFramesEqualThePlainOnes) {
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> any(-1.0f, 3.0f);
    std::vector<uint32_t> plain;
    for (int round = 0; round < 12; round++) {
        for (int i = 1; i <= 3; i++) object(i)->position.y = any(rng);
        scene->clock = 20.0f;
        tracer_animate(scene, any(rng));
        for (int fast = 0; fast < 2; fast++) {
            std::fill(output.begin(), output.end(), 0u);
            has_mmx = fast;
            tracer_render(scene);
            if (!fast) plain = output;
        }
        ASSERT_EQ(plain, output) << "round " << round;
    }
    cpu_detect();
}

// Random words in runs of every length up to 40: the packed conversion back to pixel words
// equals the plain one, and writes nothing past the run.
TEST(RaytracedTest, PackedConversionEqualsThePlainOne) {
    std::mt19937 rng(14);
    for (int32_t n = 0; n <= 40; n++) {
        std::vector<uint32_t> words(41), converted[2];
        for (uint32_t &w : words) w = rng();
        for (int packed = 0; packed < 2; packed++) {
            converted[packed] = words;
            has_mmx = packed;
            raytraced_from_tracer(converted[packed].data(), n);
        }
        ASSERT_EQ(converted[0], converted[1]) << n;
        ASSERT_EQ(converted[1][n], words[n]) << n;
    }
    cpu_detect();
}

// Random rays from the camera, random sphere heights and camera places: the camera constants
// give every object's own routine's t to the bit.
TEST_F(TracerTest, CameraConstantsGiveTheRoutinesTBitForBit) {
    std::mt19937 rng(10);
    std::uniform_real_distribution<float> any(-3.0f, 3.0f);
    for (int round = 0; round < 300; round++) {
        for (int i = 1; i <= 3; i++) object(i)->position.y = any(rng);
        scene->cameras[0].position = Vec3{any(rng) * 0.2f, any(rng) * 0.2f, -3.0f + any(rng)};
        tracer_camera_constants(scene);
        Vec3 d{any(rng), any(rng), any(rng)};
        if (round % 10 == 0) d.y = 0.0f; // along the floor
        vec_normalize(d, d);
        for (int n = 1; n <= 5; n++) {
            TraceObject *o = object(n);
            o->recompute = 1;
            float want = o->intersect(o, scene->cameras[0].position, d);
            float got = tracer_camera_intersect(o, d);
            ASSERT_EQ(std::memcmp(&want, &got, sizeof want), 0)
                << "round " << round << " object " << n;
        }
    }
}

// Random vectors of every size, and zero: the packed unit vector and length are the scalar ones
// to the bit (NaN for zero in both).
TEST(TracerUnit, PackedEqualsScalar) {
    std::mt19937 rng(15);
    std::uniform_real_distribution<float> any(-1.0f, 1.0f), power(-30.0f, 30.0f);
    for (int round = 0; round < 500; round++) {
        float scale = std::exp2(power(rng));
        Vec3 v[2];
        v[0] = v[1] = round ? Vec3{any(rng) * scale, any(rng) * scale, any(rng) * scale} : Vec3{};
        float length[2];
        for (int packed = 0; packed < 2; packed++) {
            has_mmx = packed;
            length[packed] = tracer_unit(v[packed]);
        }
        ASSERT_EQ(std::memcmp(&v[0], &v[1], sizeof v[0]), 0) << "round " << round;
        ASSERT_EQ(std::memcmp(&length[0], &length[1], sizeof(float)), 0) << "round " << round;
    }
    cpu_detect();
}

// Random shadow rays from anywhere near the scene, some along an axis: the shadow test says what
// the object's own routine says.
TEST_F(TracerTest, ShadowTestsAgreeWithTheRoutines) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> any(-6.0f, 6.0f);
    for (int round = 0; round < 400; round++) {
        Vec3 p{any(rng), any(rng), any(rng)}, l{any(rng), any(rng), any(rng)};
        if (round % 8 == 0) l.z = 0.0f;
        if (round % 8 == 1) p.y = -1.5f; // on the floor
        vec_normalize(l, l);
        float dist = std::fabs(any(rng)) * 2.0f;
        for (int n = 1; n <= 5; n++) {
            TraceObject *o = object(n);
            o->recompute = 1;
            float t = o->intersect(o, p, l);
            o->recompute = 1;
            ASSERT_EQ(tracer_blocks_light(o, p, l, dist), int(t > 0.0f && t < dist))
                << "round " << round << " object " << n;
        }
    }
}

} // namespace
