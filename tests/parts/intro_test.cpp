// Tests of the intro: the tunnel table and drawing steps by hand, and whole runs of the part.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "stage/stage.h"
#include "parts/intro.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t KEY = pixel_rgb(255, 0, 255);

uint32_t credit_colour() {
    return pixel_rgb(INTRO_CREDIT_COLOUR.red, INTRO_CREDIT_COLOUR.green, INTRO_CREDIT_COLOUR.blue);
}

// A picture of one word everywhere.
Image *flat_picture(int32_t width, int32_t height, uint32_t word) {
    Image *p = image_create(width, height, 0);
    for (int32_t i = 0; i < width * height; i++) p->pixels[i] = word;
    return p;
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
    Image *back = flat_picture(512, 256, pixel_rgb(1, 2, 3) | 200);
    back->pixels[0] = pixel_rgb(1, 2, 3); // mask 0
    Image *bob = flat_picture(128, 128, pixel_rgb(40, 99, 99));
    intro_add_bob(back, bob, 0, 0);
    EXPECT_EQ(back->pixels[0], pixel_rgb(1, 2, 3) | 40); // red byte added, colours kept
    EXPECT_EQ(back->pixels[1], pixel_rgb(1, 2, 3) | 240);
    intro_add_bob(back, bob, 0, 0);
    EXPECT_EQ(back->pixels[1], pixel_rgb(1, 2, 3) | 255); // saturated, not wrapped
    EXPECT_EQ(back->pixels[128] & 0xFF, 200u);            // right of the bob
    EXPECT_EQ(back->pixels[128 * 512] & 0xFF, 200u);      // below it
    // Near the bottom: rows 200..255 are added, and nothing wraps to the top rows.
    Image *low = flat_picture(512, 256, 0);
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
    Image *credit = flat_picture(320, 64, KEY | 7);
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
    Image *old_credit = flat_picture(320, 64, pixel_rgb(10, 10, 10));
    Image *next_credit = flat_picture(320, 64, pixel_rgb(20, 20, 20));
    old_credit->pixels[200] = pixel_rgb(10, 10, 10) | 1; // keyed out
    Image *mask = image_create(320, 64, 0);
    for (int32_t i = 0; i < 320 * 64; i++) mask->pixels[i] = pixel_rgb(uint32_t(i % 320) / 2, 0, 0);
    Image *dst = flat_picture(512, 256, pixel_rgb(99, 99, 99));
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

struct IntroTest : testing::Test {
    std::string dir = make_temp_dir();

    void SetUp() override {
        write_show_data(dir);
        file_set_data_dir(dir.c_str());
        data_clear_error();
        FrameBuffer = image_create(512, 256, IMG_DEPTH | 7);
        ASSERT_NE(FrameBuffer, nullptr);
        // The bars and captions the preload prepares.
        BarUp = load_tga("data\\barup.tga", 0);
        BarDown = load_tga("data\\bardown.tga", 0);
        TextStrip[1] = load_tga("data\\tx1.tga", 0);
        TextStrip[2] = load_tga("data\\tx2.tga", 0);
        ASSERT_TRUE(BarUp && BarDown && TextStrip[1] && TextStrip[2]);
        preload_key_text(TextStrip[1], TEXT_KEY_ACROSS);
        preload_key_text(TextStrip[2], TEXT_KEY_ACROSS);
        display_brightness = 100;
    }
    void TearDown() override {
        file_set_data_dir(nullptr);
        mem_free_all();
        remove_tree(dir);
    }
    static int frame(float dt) {
        frame_time = dt;
        return intro_run();
    }
    static uint32_t fb(int x, int y) { return FrameBuffer->pixels[y * 512 + x]; }
    static int near(uint32_t pixel, Rgb c, int within) {
        int r = int(pixel >> 8 & 0xFF), g = int(pixel >> 16 & 0xFF), b = int(pixel >> 24);
        return std::abs(r - c.red) <= within && std::abs(g - c.green) <= within &&
               std::abs(b - c.blue) <= within;
    }
};

TEST_F(IntroTest, TheWholePartFollowsItsTimetable) {
    ASSERT_EQ(intro_load(), 1) << data_last_error();
    EXPECT_EQ(display_brightness, BRIGHTNESS_NEUTRAL);
    const IntroState *s = intro_state();
    std::vector<int> phase_from(INTRO_CLOSE + 1, 0); // first frame after which each phase holds
    std::vector<uint32_t> held;
    int credits_from = 0, frames = 0, index_one_at = 0, index_six_at = 0;
    int black_at_flash = -1, below_neutral = 0;
    while (frame(1.0f)) {
        frames++;
        ASSERT_LT(frames, 5000);
        if (!phase_from[s->phase] && s->phase) {
            phase_from[s->phase] = frames;
            if (s->phase == INTRO_FLASH) black_at_flash = display_brightness;
        }
        if (!credits_from && s->credits_running) credits_from = frames;
        if (!index_one_at && s->credit_index == 1) index_one_at = frames;
        if (!index_six_at && s->credit_index == 6) index_six_at = frames;
        if (s->phase == INTRO_FLASH_FADE && display_brightness < 256) below_neutral++;
        if (frames == 100) {
            EXPECT_EQ(fb(300, 20), 0u); // black above the logo
            // The logo at alpha 89 over black: colour * 89 / 256.
            EXPECT_TRUE(near(fb(300, 120), {52, 59, 80}, 3)) << std::hex << fb(300, 120);
        }
        if (frames == 300) held.assign(FrameBuffer->pixels, FrameBuffer->pixels + 512 * 256);
        if (frames == 800) { // the holds draw nothing: the faded-in logo stays
            EXPECT_EQ(0, std::memcmp(held.data(), FrameBuffer->pixels, held.size() * 4));
        }
        if (frames == 1600) { // credit 1 held in the middle: its letters, not its key
            EXPECT_EQ(fb(96 + 8, 96), credit_colour());
            EXPECT_NE(fb(96, 96), credit_colour()); // the key is left out
        }
    }
    // 255 / 0.9 = 283.3 ticks of fading in, then a frame to notice it; and so on.
    EXPECT_NEAR(phase_from[INTRO_HOLD_FIRST], 285, 1);
    EXPECT_NEAR(phase_from[INTRO_HOLD_SECOND], 570, 1);
    EXPECT_NEAR(phase_from[INTRO_LOGO_OUT], 840, 1);
    EXPECT_NEAR(phase_from[INTRO_FLASH], 1110, 1);
    EXPECT_EQ(black_at_flash, 0);
    EXPECT_NEAR(phase_from[INTRO_FLASH_FADE], 1172, 1);
    EXPECT_NEAR(credits_from, 1220, 1);
    EXPECT_EQ(below_neutral, 1); // one frame under 256 before it is set
    EXPECT_NEAR(phase_from[INTRO_CLOSE], 3801, 2);
    EXPECT_NEAR(frames, 3861, 2); // the clock passes 386 at 0.1 per tick
    // The first dissolve starts at once; each credit then takes 180 + 255 ticks and a frame.
    EXPECT_NEAR(index_one_at, credits_from + 255, 1);
    EXPECT_NEAR(index_six_at, index_one_at + 5 * 436, 2);
    EXPECT_EQ(s->credit_index, 6);
    EXPECT_EQ(s->upper_bar_x, -32.0f);
    EXPECT_EQ(s->lower_bar_x, 240.0f);
    EXPECT_EQ(display_brightness, 511); // left white for the next part
    EXPECT_EQ(frame(1.0f), 0);          // and it stays over
}

TEST_F(IntroTest, AFrameWithoutTimeChangesNothingAndRedrawsTheSame) {
    ASSERT_EQ(intro_load(), 1) << data_last_error();
    for (int n = 0; n < 1400; n++) ASSERT_EQ(frame(1.0f), 1); // into the first dissolve
    ASSERT_EQ(intro_state()->phase, INTRO_FLASH_FADE);
    ASSERT_EQ(intro_state()->credits_running, 1);
    ASSERT_GT(intro_state()->dissolve_level, 0.0f);
    // Each frame draws from the state it finds and then moves it on: a frame without time
    // leaves it as it was, so the next one draws the same picture again.
    ASSERT_EQ(frame(0.0f), 1);
    IntroState before = *intro_state();
    std::vector<uint32_t> first(FrameBuffer->pixels, FrameBuffer->pixels + 512 * 256);
    ASSERT_EQ(frame(0.0f), 1);
    EXPECT_EQ(0, std::memcmp(&before, intro_state(), sizeof before));
    EXPECT_EQ(0, std::memcmp(first.data(), FrameBuffer->pixels, first.size() * 4));
    ASSERT_EQ(frame(1.0f), 1);
    EXPECT_EQ(0, std::memcmp(first.data(), FrameBuffer->pixels, first.size() * 4));
    EXPECT_GT(intro_state()->clock, before.clock);
    // Time moves the tunnel, the bobs and the dissolve on.
    ASSERT_EQ(frame(1.0f), 1);
    EXPECT_NE(0, std::memcmp(first.data(), FrameBuffer->pixels, first.size() * 4));
}

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
        EXPECT_NE(std::string(data_last_error()).find(c.says), std::string::npos)
            << data_last_error();
        write_show_data(dir);
    }
    // A credits picture of the wrong size is refused too, whatever its format.
    write_tga(dir + "/data/c_case.tga", 320, 63, [](int, int) { return Rgb{1, 2, 3}; });
    EXPECT_EQ(intro_load(), 0);
    EXPECT_NE(std::string(data_last_error()).find("c_case.tga"), std::string::npos);
    write_show_data(dir);
    EXPECT_EQ(intro_load(), 1) << data_last_error();
}

TEST_F(IntroTest, LargeStepsStayInsideTheFrameAndClampTheLevels) {
    ASSERT_EQ(intro_load(), 1) << data_last_error();
    const IntroState *s = intro_state();
    int frames = 0;
    while (frame(37.0f)) {
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
