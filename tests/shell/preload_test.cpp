// Tests of the preload on the headless screen with a small data folder written by the test.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "data/preload.h"
#include "platform/video.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/sequencer.h"
#include "shell/setup.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct PreloadTest : testing::Test {
    std::string dir = make_temp_dir();

    void start(const std::string &skip = "") {
        write_show_data(dir, skip);
        file_set_data_dir(dir.c_str());
        show_settings.sound_device = SOUND_NONE;
        ASSERT_NE(display_open(512, 384, 24, DISPLAY_CREATE, &video_headless), nullptr);
        ASSERT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 1);
    }
    void TearDown() override {
        clock_stop();
        if (display_device) display_device->close();
        file_set_data_dir(nullptr);
        mem_free_all();
        remove_tree(dir);
    }
    static bool screen_is_black() {
        std::vector<uint8_t> rgb(512 * 384 * 3);
        EXPECT_EQ(display_read_screen(rgb.data()), 1);
        for (uint8_t v : rgb)
            if (v) return false;
        return true;
    }
};

TEST_F(PreloadTest, LoadsEverythingAndDissolvesTheLoadingScreen) {
    start();
    sequencer.part_index = 7; // the preload starts the show from the top
    ASSERT_EQ(preload(), 1) << data_last_error();
    EXPECT_EQ(sequencer.part_index, 1);
    // 160 dissolve frames, one tick each on the stepped clock.
    EXPECT_EQ(tick_count.load(), 160);
    ASSERT_NE(FrameBuffer, nullptr);
    EXPECT_NE(FrameBuffer->depth, nullptr);
    EXPECT_EQ(WorkImageLarge->height, 512);
    // The dissolve reached threshold 95 (0.6 per tick): the map's left part (red = x / 2 below
    // 95) is black, the right part still shows the loading picture.
    uint32_t left = FrameBuffer->pixels[100 * 512 + 100],
             right = FrameBuffer->pixels[100 * 512 + 400];
    EXPECT_EQ(left, 0u);
    EXPECT_NEAR(int(right >> 8 & 0xFF), LOADING_COLOUR.red, 3);
    // Rows 317..319 keep the last dissolve frame: it was presented with all 256 rows.
    std::vector<uint8_t> rgb(512 * 384 * 3);
    display_read_screen(rgb.data());
    EXPECT_NEAR(rgb[(318 * 512 + 400) * 3 + 2], LOADING_COLOUR.blue, 4);
    EXPECT_EQ(rgb[(318 * 512 + 10) * 3 + 2], 0);
}

TEST_F(PreloadTest, SharedPicturesGetTheirMasks) {
    start();
    ASSERT_EQ(preload(), 1) << data_last_error();
    // Caption strips: key colour pixels are masked, letters are not.
    for (int n = 1; n <= 12; n++) {
        const Image *strip = TextStrip[n];
        ASSERT_NE(strip, nullptr);
        bool upright = n == 3 || n == 4 || n == 9 || n == 10;
        EXPECT_EQ(strip->width, upright ? 24 : 256);
        EXPECT_EQ(strip->pixels[0] & 0xFF, 0u) << n;                      // a white letter square
        EXPECT_EQ(strip->pixels[1 * strip->width + 4] & 0xFF, 255u) << n; // the key
    }
    // Bars: the mask is the alpha picture's grey ramp (x * 8).
    EXPECT_EQ(BarDown->pixels[10] & 0xFF, 80u);
    EXPECT_EQ(BarUp->pixels[20] & 0xFF, 160u);
    EXPECT_EQ(BarRight->pixels[3 * 24 + 5] & 0xFF, 40u);
    EXPECT_EQ(BarDownAlpha->pixels[10] & 0xFF, 0u);
}

TEST(PreloadMasks, OnlyTheExactKeyColourIsMasked) {
    Image *strip = image_create(4, 1, 0);
    strip->pixels[0] = TEXT_KEY_ACROSS;
    strip->pixels[1] = pixel_rgb(255, 173, 2);
    strip->pixels[2] = TEXT_KEY_UPRIGHT;
    strip->pixels[3] = TEXT_KEY_ACROSS | 0x7F; // a stale mask byte does not hide the key
    preload_key_text(strip, TEXT_KEY_ACROSS);
    EXPECT_EQ(strip->pixels[0], TEXT_KEY_ACROSS | 0xFF);
    EXPECT_EQ(strip->pixels[1], pixel_rgb(255, 173, 2));
    EXPECT_EQ(strip->pixels[2], TEXT_KEY_UPRIGHT);
    EXPECT_EQ(strip->pixels[3], TEXT_KEY_ACROSS | 0xFF);
    mem_free_all();
}

TEST(PreloadMasks, AnAlphaPictureSmallerThanItsBarIsRefused) {
    Image *bar = image_create(30, 4, 0);
    Image *alpha = image_create(29, 4, 0);
    EXPECT_EQ(preload_bar_alpha(bar, alpha, 1, "data\\bardowna.tga"), 0);
    EXPECT_NE(std::string(data_last_error()).find("bardowna.tga"), std::string::npos);
    mem_free_all();
}

TEST_F(PreloadTest, AMissingCaptionEndsItBeforeTheLoadingScreen) {
    start("tx7.tga");
    EXPECT_EQ(preload(), 0);
    EXPECT_NE(std::string(data_last_error()).find("tx7.tga"), std::string::npos)
        << data_last_error();
    EXPECT_TRUE(screen_is_black());
    EXPECT_EQ(tick_count.load(), 0);
}

TEST_F(PreloadTest, AMissingPartPictureEndsItDuringTheLoadingScreen) {
    start("girl.jpg");
    EXPECT_EQ(preload(), 0);
    EXPECT_NE(std::string(data_last_error()).find("girl.jpg"), std::string::npos)
        << data_last_error();
    EXPECT_EQ(tick_count.load(), 0); // no dissolve
}

} // namespace
