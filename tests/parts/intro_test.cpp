// Tests of the intro: the tunnel table and drawing steps by hand, its data checks, and long
// frames. Its frames at one tick each are pinned by the show's digests.

#include "data/error.h"
#include "data/memory.h"
#include "part_fixture.h"
#include "parts/intro.h"
#include "stage/display.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t KEY = pixel_rgb(255, 0, 255);

uint32_t credit_colour() {
    return pixel_rgb(240, 200, 90);
}

TEST(IntroTunnel, EntriesFollowTheAngleAndDepthFormulas) {
    // The centre: angle of (0, 0) is 0, distance raised to 1, depth 18000 AND 255.
    EXPECT_EQ(intro_tunnel_entry(256, 128), 80u << 8 | 0u);
    // The factor 81.48733085241038 is a hair under 256 / pi, so whole eighths of a turn
    // truncate to one below. Straight up: a quarter turn is 127; distance 128 gives 140.
    EXPECT_EQ(intro_tunnel_entry(256, 0), 140u << 8 | 127u);
    // Straight down: -127 wraps to 129; distance 127 gives 141.
    EXPECT_EQ(intro_tunnel_entry(256, 255), 141u << 8 | 129u);
    // The top-left corner: the angle sees 256 rows up against 256 columns left (three eighths
    // of a turn, 191) while the distance is sqrt(128^2 + 256^2) = 286.2, giving 62.
    EXPECT_EQ(intro_tunnel_entry(0, 0), 62u << 8 | 191u);
    // Right of the centre: angle 0, distance 255 gives 70.
    EXPECT_EQ(intro_tunnel_entry(511, 128), 70u << 8 | 0u);
    // One row below the centre line at column 257: atan2(-2, 1) = -1.107 -> -90 -> 166.
    EXPECT_EQ(intro_tunnel_entry(257, 129) & 255u, 166u);
}

TEST(IntroTunnel, TextureIsSampledThroughTheTableWithAWrappingOffset) {
    Image *texture = image_create(256, 256, 0);
    for (int32_t i = 0; i < 65536; i++) texture->pixels[i] = uint32_t(i) << 8;
    Image *dst = image_create(512, 256, 0);
    std::vector<uint32_t> table(512 * 256);
    for (size_t i = 0; i < table.size(); i++) table[i] = uint32_t(i * 7) & 0xFFFF;
    table[5] = 0xFFFF; // the last texel: any offset wraps it round
    intro_draw_tunnel(table.data(), texture, 0.0f, dst);
    EXPECT_EQ(dst->pixels[3], 21u << 8);
    EXPECT_EQ(dst->pixels[5], 0xFFFFu << 8);
    // Phase 1: sin 1.8 * 199.9 = 194.67 -> 194; sin 1.5 * 128 = 127.68 -> 127.
    intro_draw_tunnel(table.data(), texture, 1.0f, dst);
    EXPECT_EQ(dst->pixels[3], (21u + (127u << 8 | 194u)) << 8);
    EXPECT_EQ(dst->pixels[5], ((127u << 8 | 194u) - 1u) << 8);
    // Phase 2: sin 3.6 * 199.9 = -88.46 -> -88, AND 255 = 168; sin 3.0 * 128 = 18.06 -> 18.
    intro_draw_tunnel(table.data(), texture, 2.0f, dst);
    EXPECT_EQ(dst->pixels[3], (21u + (18u << 8 | 168u)) << 8);
    mem_free_all();
}

TEST(IntroBobs, AddIntoTheMaskBytesSaturatingAndSkipRowsBelowTheFrame) {
    Image *back = flat_image(512, 256, pixel_rgb(1, 2, 3) | 200);
    back->pixels[0] = pixel_rgb(1, 2, 3); // mask 0
    Image *bob = flat_image(128, 128, pixel_rgb(40, 99, 99));
    intro_add_bob(back, bob, 0, 0);
    EXPECT_EQ(back->pixels[0], pixel_rgb(1, 2, 3) | 40); // red byte added, colours kept
    EXPECT_EQ(back->pixels[1], pixel_rgb(1, 2, 3) | 240);
    intro_add_bob(back, bob, 0, 0);
    EXPECT_EQ(back->pixels[1], pixel_rgb(1, 2, 3) | 255); // saturated, not wrapped
    EXPECT_EQ(back->pixels[128] & 0xFF, 200u);            // right of the bob
    EXPECT_EQ(back->pixels[128 * 512] & 0xFF, 200u);      // below it
    // Near the bottom: rows 200..255 are added, and nothing wraps to the top rows.
    Image *low = flat_image(512, 256, 0);
    intro_add_bob(low, bob, 380, 200);
    EXPECT_EQ(low->pixels[255 * 512 + 380] & 0xFF, 40u);
    EXPECT_EQ(low->pixels[199 * 512 + 380] & 0xFF, 0u);
    for (int32_t x = 0; x < 512; x++) ASSERT_EQ(low->pixels[x], 0u) << x;
    // Beyond the right edge, columns are skipped rather than spilling into the next row.
    intro_add_bob(low, bob, 450, 0);
    EXPECT_EQ(low->pixels[511] & 0xFF, 40u);
    EXPECT_EQ(low->pixels[512] & 0xFF, 0u);
    mem_free_all();
}

TEST(IntroCredits, KeyIsTheTopLeftColourExactly) {
    Image *credit = flat_image(320, 64, KEY | 7);
    credit->pixels[1] = pixel_rgb(255, 0, 254);
    credit->pixels[2] = credit_colour();
    intro_mark_key(credit);
    EXPECT_EQ(credit->pixels[0], KEY | 1);
    EXPECT_EQ(credit->pixels[1], pixel_rgb(255, 0, 254)); // one step off the key is drawn
    EXPECT_EQ(credit->pixels[2], credit_colour());
    EXPECT_EQ(credit->pixels[320 * 64 - 1], KEY | 1);
    mem_free_all();
}

TEST(IntroCredits, DissolveTakesTheNextPictureBelowTheThreshold) {
    Image *old_credit = flat_image(320, 64, pixel_rgb(10, 10, 10));
    Image *next_credit = flat_image(320, 64, pixel_rgb(20, 20, 20));
    old_credit->pixels[200] = pixel_rgb(10, 10, 10) | 1; // keyed out
    Image *mask = image_create(320, 64, 0);
    for (int32_t i = 0; i < 320 * 64; i++) mask->pixels[i] = pixel_rgb(uint32_t(i % 320) / 2, 0, 0);
    Image *dst = flat_image(512, 256, pixel_rgb(99, 99, 99));
    auto at = [dst](int32_t x, int32_t y) { return dst->pixels[(96 + y) * 512 + 96 + x]; };
    intro_dissolve(old_credit, next_credit, mask, 50, dst); // columns 0..99 have turned
    EXPECT_EQ(at(0, 0), pixel_rgb(20, 20, 20));
    EXPECT_EQ(at(99, 63), pixel_rgb(20, 20, 20));
    EXPECT_EQ(at(100, 63), pixel_rgb(10, 10, 10));
    EXPECT_EQ(at(200, 0), pixel_rgb(99, 99, 99)); // old, but its mask byte is set
    EXPECT_EQ(at(-1, 0), pixel_rgb(99, 99, 99));  // outside the credits' place
    EXPECT_EQ(at(320, 0), pixel_rgb(99, 99, 99));
    EXPECT_EQ(at(0, 64), pixel_rgb(99, 99, 99));
    // An empty slot draws nothing: the frame keeps what was there.
    intro_dissolve(nullptr, next_credit, mask, 50, dst);
    intro_dissolve(old_credit, nullptr, mask, 0, dst);
    EXPECT_EQ(at(150, 10), pixel_rgb(10, 10, 10));
    image_fill_rect(dst, 0, 0, 0, 512, 256);
    intro_dissolve(nullptr, nullptr, mask, 255, dst);
    EXPECT_EQ(at(10, 10), 0u);
    mem_free_all();
}

struct IntroTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        if (!use_forge_data()) GTEST_SKIP() << "the forge has not made the show's data";
    }
};

TEST_F(IntroTest, MissingOrMisSizedPicturesFailTheLoadNamingTheFile) {
    struct Case {
        std::string file;
        int width, height; // 0: the file is missing
        const char *says;
    };
    const Case cases[] = {
        {"c_torku.tga", 0, 0, "c_torku.tga"},
        {"itextur2.jpg", 0, 0, "itextur2.jpg"},
        {"ibob.jpg", 64, 64, "ibob.jpg: the picture is 64 x 64, not 128 x 128"},
        {"c_alpha.jpg", 320, 32, "c_alpha.jpg: the picture is 320 x 32"},
        {"vandrel.jpg", 512, 100, "not at least 512 x 140"},
        {"iback.jpg", 512, 512, "iback.jpg"},
    };
    for (const Case &c : cases) {
        std::string path = dir + "/data/" + c.file;
        remove_tree(path);
        if (c.width) write_jpeg(path, c.width, c.height, [](int, int) { return Rgb{1, 2, 3}; });
        data_clear_error();
        EXPECT_EQ(intro_load(), 0) << c.file;
        EXPECT_NE(error().find(c.says), std::string::npos) << error();
        restore_data(c.file);
    }
    // A credits picture of the wrong size is refused too, whatever its format.
    write_tga(dir + "/data/c_case.tga", 320, 63, [](int, int) { return Rgb{1, 2, 3}; });
    EXPECT_EQ(intro_load(), 0);
    EXPECT_NE(error().find("c_case.tga"), std::string::npos);
    restore_data("c_case.tga");
    EXPECT_EQ(intro_load(), 1) << error();
}

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
