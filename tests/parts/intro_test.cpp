// Tests of the intro: one tunnel entry worked by hand, the bobs at the frame's edges, and long
// frames. Its frames at one tick each are pinned by the show's digests.

#include "data/memory.h"
#include "part_fixture.h"
#include "parts/intro.h"
#include "stage/display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

TEST(IntroTunnel, EntriesFollowTheAngleAndDepthFormulas) {
    // The centre: angle of (0, 0) is 0, distance raised to 1, depth 18000 AND 255.
    EXPECT_EQ(intro_tunnel_entry(256, 128), 80u << 8 | 0u);
    // Straight down: -127 wraps to 129; distance 127 gives 141.
    EXPECT_EQ(intro_tunnel_entry(256, 255), 141u << 8 | 129u);
    // The top-left corner: the angle sees 256 rows up against 256 columns left (three eighths
    // of a turn, a hair under 256 / pi truncating it to 191) while the distance is
    // sqrt(128^2 + 256^2) = 286.2, giving 62.
    EXPECT_EQ(intro_tunnel_entry(0, 0), 62u << 8 | 191u);
}

// Random tables, textures and phases (offsets wrapping past 0xFFFF): the packed tunnel draws the
// plain one's pixels.
TEST(IntroTunnel, PackedEqualsPlain) {
    std::mt19937 rng(8);
    std::vector<uint16_t> table(512 * 256);
    Image *texture = flat_image(256, 256, 0), *packed = flat_image(512, 256, 0);
    Image *plain = flat_image(512, 256, 0);
    for (int round = 0; round < 20; round++) {
        for (uint16_t &entry : table) entry = uint16_t(rng());
        for (int32_t n = 0; n < 256 * 256; n++) texture->pixels[n] = rng();
        const float phase = std::uniform_real_distribution<float>(-50.0f, 50.0f)(rng);
        intro_draw_tunnel(table.data(), texture, phase, packed);
        intro_draw_tunnel_plain(table.data(), texture, phase, plain);
        ASSERT_TRUE(std::equal(packed->pixels, packed->pixels + 512 * 256, plain->pixels))
            << "round " << round;
    }
    mem_free_all();
}

TEST(IntroBobs, AddIntoTheMaskBytesSaturatingAndStopAtTheFramesEdges) {
    Image *back = flat_image(512, 256, pixel_rgb(1, 2, 3) | 200);
    Image *bob = flat_image(128, 128, pixel_rgb(40, 99, 99));
    intro_add_bob(back, bob, 0, 0);
    EXPECT_EQ(back->pixels[1], pixel_rgb(1, 2, 3) | 240); // red byte added, colours kept
    intro_add_bob(back, bob, 0, 0);
    EXPECT_EQ(back->pixels[1], pixel_rgb(1, 2, 3) | 255); // saturated, not wrapped
    EXPECT_EQ(back->pixels[128] & 0xFF, 200u);            // right of the bob
    // Near the bottom right: nothing wraps to the top rows or spills into the next row.
    Image *low = flat_image(512, 256, 0);
    intro_add_bob(low, bob, 450, 200);
    EXPECT_EQ(low->pixels[255 * 512 + 511] & 0xFF, 40u);
    EXPECT_EQ(low->pixels[201 * 512] & 0xFF, 0u);
    for (int32_t x = 0; x < 512; x++) ASSERT_EQ(low->pixels[x], 0u) << x;
    mem_free_all();
}

// The packed bob against the plain one: random pictures, corners inside, across every edge and
// wholly outside.
TEST(IntroBobs, PackedEqualsPlain) {
    std::mt19937 rng(9);
    Image *bob = flat_image(128, 128, 0), *packed = flat_image(512, 256, 0);
    Image *plain = flat_image(512, 256, 0);
    std::uniform_int_distribution<int32_t> x(-200, 600), y(-200, 330);
    for (int round = 0; round < 200; round++) {
        for (int32_t n = 0; n < 128 * 128; n++) bob->pixels[n] = rng();
        for (int32_t n = 0; n < 512 * 256; n++) packed->pixels[n] = plain->pixels[n] = rng();
        const int32_t at_x = x(rng), at_y = y(rng);
        intro_add_bob(packed, bob, at_x, at_y);
        intro_add_bob_plain(plain, bob, at_x, at_y);
        ASSERT_TRUE(std::equal(packed->pixels, packed->pixels + 512 * 256, plain->pixels))
            << at_x << ", " << at_y;
    }
    mem_free_all();
}

using IntroTest = PartFixture;

TEST_F(IntroTest, LargeStepsStayInsideTheFrameAndClampTheLevels) {
    ASSERT_EQ(intro_load(), 1) << error();
    const IntroState *s = intro_state();
    int frames = 0;
    while (frame(intro_run, 37.0f)) {
        ASSERT_LT(++frames, 200);
        EXPECT_GE(s->logo_level, 0.0f);
        EXPECT_LE(s->logo_level, 255.0f);
        EXPECT_LE(s->upper_bar_x, -32.0f);
        EXPECT_GE(s->lower_bar_x, 240.0f);
        EXPECT_LE(s->brightness, 511.0f);
    }
    EXPECT_EQ(s->phase, INTRO_CLOSE);
    EXPECT_EQ(display_brightness, 511);
}

} // namespace
