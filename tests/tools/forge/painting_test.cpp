// painting_test.cpp -- the forge's maths, coverage and lettering
#include "canvas.h"
#include "noise.h"
#include "text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(ForgeMaths, SineAndExponentialMatchTheLibraryOverTheRangesPaintedWith) {
    for (float x = -60.0f; x <= 60.0f; x += 0.137f) {
        ASSERT_NEAR(fm_sin(x), std::sin((double)x), 2e-6) << x;
        ASSERT_NEAR(fm_cos(x), std::cos((double)x), 2e-6) << x;
    }
    for (float x = -79.0f; x <= 30.0f; x += 0.071f) {
        double want = std::exp((double)x);
        ASSERT_NEAR(fm_exp(x) / want, 1.0, 1e-6) << x;
    }
    EXPECT_EQ(fm_exp(-200.0f), 0.0f);
}

TEST(ForgeMaths, SeededNoiseRepeatsAndStaysInRange) {
    Rng a = rng_make(7), b = rng_make(7), c = rng_make(8);
    int differ = 0;
    for (int i = 0; i < 1000; i++) {
        uint64_t va = rng_next(&a);
        ASSERT_EQ(va, rng_next(&b));
        differ += va != rng_next(&c);
        float f = rng_float(&c);
        ASSERT_TRUE(f >= 0.0f && f < 1.0f);
    }
    EXPECT_GT(differ, 990);
    float lo = 1.0f, hi = 0.0f;
    for (int i = 0; i < 5000; i++) {
        float n = noise_fbm((float)i * 0.37f, (float)i * 0.11f - 40.0f, 5, 0.5f, 3);
        lo = std::min(lo, n), hi = std::max(hi, n);
    }
    EXPECT_GE(lo, 0.0f);
    EXPECT_LE(hi, 1.0f);
    EXPECT_GT(hi - lo, 0.5f) << "noise too flat to paint with";
}

float coverage_sum(const Mask &m) {
    float sum = 0.0f;
    for (int i = 0; i < m.width * m.height; i++) sum += m.a[i];
    return sum;
}

TEST(MaskPolygon, CoverageAddsUpToTheAreaAndClipsAtTheEdges) {
    Mask m = mask_create(32, 32);
    // A square at fractional corners: area 10.5 x 10 (rows sampled in quarters).
    const Point2 square[] = {{3.25f, 4.0f}, {13.75f, 4.0f}, {13.75f, 14.0f}, {3.25f, 14.0f}};
    mask_polygon(&m, square, 4);
    EXPECT_NEAR(coverage_sum(m), 105.0f, 1e-3);
    EXPECT_NEAR(m.a[5 * 32 + 3], 0.75f, 1e-5);
    EXPECT_NEAR(m.a[5 * 32 + 13], 0.75f, 1e-5);
    mask_free(&m);
    // A triangle reaching out of the mask on the left: only the part inside counts, the
    // integral of (x + 16) / 2 over x = 0..16.
    m = mask_create(16, 16);
    const Point2 tri[] = {{-16, 0}, {16, 0}, {16, 16}};
    mask_polygon(&m, tri, 3);
    EXPECT_NEAR(coverage_sum(m), 192.0f, 0.5f);
    mask_free(&m);
}

TEST(MaskRotate, QuarterTurnsMoveCornersAndUndoEachOther) {
    Mask m = mask_create(5, 3);
    m.a[0] = 1.0f; // top-left
    Mask cw = mask_rotate(&m, 1), ccw = mask_rotate(&m, 0);
    ASSERT_EQ(cw.width, 3);
    ASSERT_EQ(cw.height, 5);
    EXPECT_EQ(cw.a[2], 1.0f);          // clockwise: top-left goes to the top-right
    EXPECT_EQ(ccw.a[4 * 3 + 0], 1.0f); // counter-clockwise: to the bottom-left
    Mask back = mask_rotate(&cw, 0);
    for (int i = 0; i < 15; i++) EXPECT_EQ(back.a[i], m.a[i]);
    for (Mask *k : {&m, &cw, &ccw, &back}) mask_free(k);
}

TEST(CanvasToRgb8, DitherStaysWithinOneStepAndKeepsTheMean) {
    Canvas c = canvas_create(64, 64);
    for (int i = 0; i < 64 * 64 * 3; i++) c.rgb[i] = 0.5f; // 127.5 steps
    std::vector<uint8_t> out(64 * 64 * 3);
    canvas_to_rgb8(&c, out.data(), 9);
    long sum = 0;
    for (uint8_t v : out) {
        ASSERT_TRUE(v == 127 || v == 128) << (int)v;
        sum += v;
    }
    EXPECT_NEAR((double)sum / out.size(), 127.5, 0.1);
    c.rgb[0] = -3.0f, c.rgb[1] = 7.0f;
    canvas_to_rgb8(&c, out.data(), 9);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 255);
    canvas_free(&c);
}

TEST(TextRender, LettersHaveInkWidthAndABaselineInsideTheMask) {
    int baseline = -1;
    Mask one = text_render(FONT_SANS_BOLD, 16.0f, "I", 0.0f, 2, &baseline);
    Mask word = text_render(FONT_SANS_BOLD, 16.0f, "MOOR", 0.0f, 2, nullptr);
    Mask tracked = text_render(FONT_SANS_BOLD, 16.0f, "MOOR", 4.0f, 2, nullptr);
    ASSERT_TRUE(one.a && word.a && tracked.a);
    EXPECT_GT(word.width, one.width * 3);
    EXPECT_EQ(tracked.width, word.width + 3 * 4);
    EXPECT_GT(baseline, 2);
    EXPECT_LT(baseline, one.height);
    // Capitals sit on the baseline: ink in the row above it, none two rows below.
    float above = 0.0f, below = 0.0f;
    for (int x = 0; x < word.width; x++) {
        above += word.a[(baseline - 1) * word.width + x];
        if (baseline + 1 < word.height) below += word.a[(baseline + 1) * word.width + x];
    }
    EXPECT_GT(above, 3.0f);
    EXPECT_EQ(below, 0.0f);
    for (Mask *m : {&one, &word, &tracked}) mask_free(m);
}

} // namespace
