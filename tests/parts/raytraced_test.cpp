// Tests of the raytraced part: its wall texture, the pixel conversions and the fades.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "stage/stage.h"
#include "parts/parts.h"
#include "parts/raytraced.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RaytracedTest : testing::Test {
    std::string dir = make_temp_dir();

    void SetUp() override {
        write_show_data(dir);
        write_jpeg(dir + "/data/tracemap.jpg", 256, 256, [](int x, int y) {
            return Rgb{uint8_t(x), uint8_t(y), 128};
        });
        file_set_data_dir(dir.c_str());
        FrameBuffer = image_create(512, 256, IMG_DEPTH | 7);
        ASSERT_NE(FrameBuffer, nullptr);
        BarUp = load_tga("data\\barup.tga", 0);
        BarDown = load_tga("data\\bardown.tga", 0);
        TextStrip[11] = load_tga("data\\tx11.tga", 0);
        TextStrip[12] = load_tga("data\\tx12.tga", 0);
        ASSERT_TRUE(BarUp && BarDown && TextStrip[11] && TextStrip[12]);
        display_brightness = BRIGHTNESS_NEUTRAL;
    }
    void TearDown() override {
        file_set_data_dir(nullptr);
        mem_free_all();
        remove_tree(dir);
    }
    static int frame(float dt) {
        frame_time = dt;
        return raytraced_run();
    }
};

TEST(RaytracedPixels, ConvertToTheTracerLayoutAndBack) {
    uint32_t words[3] = {pixel_rgb(0x12, 0x34, 0x56) | 0x7F, pixel_rgb(255, 0, 1), 0};
    raytraced_to_tracer(words, 3);
    EXPECT_EQ(words[0], 0x7F563412u); // red, green, blue in bytes 0..2, the mask in byte 3
    EXPECT_EQ(words[1], 0x000100FFu);
    EXPECT_EQ(words[2], 0u);
    uint32_t traced[2] = {0x00563412u, 0x000100FFu};
    raytraced_from_tracer(traced, 2);
    EXPECT_EQ(traced[0], pixel_rgb(0x12, 0x34, 0x56) | 0x12); // the mask byte copies red
    EXPECT_EQ(traced[1], pixel_rgb(255, 0, 1) | 0xFF);
}

TEST_F(RaytracedTest, AMissingOrMisshapenWallTextureFailsTheLoad) {
    remove_tree(dir + "/data/tracemap.jpg");
    data_clear_error();
    EXPECT_EQ(raytraced_load(), 0);
    EXPECT_NE(std::string(data_last_error()).find("tracemap.jpg"), std::string::npos);
    write_jpeg(dir + "/data/tracemap.jpg", 128, 256, [](int, int) { return Rgb{1, 2, 3}; });
    data_clear_error();
    EXPECT_EQ(raytraced_load(), 0);
    EXPECT_NE(std::string(data_last_error()).find("tracemap.jpg"), std::string::npos);
}

// With 100 ticks a frame the part clock moves by exactly 10 and the brightness by 180.
TEST_F(RaytracedTest, FadesInHoldsAndFadesOutOnThePartClock) {
    ASSERT_EQ(raytraced_load(), 1);
    display_brightness = 400;
    ASSERT_EQ(frame(100), 1); // clock 0
    EXPECT_EQ(display_brightness, 180);
    for (int clock = 10; clock <= 40; clock += 10) {
        ASSERT_EQ(frame(100), 1);
        EXPECT_EQ(display_brightness, 256) << clock;
    }
    // From clock 50 to 340 the brightness is left to others.
    for (int clock = 50; clock <= 340; clock += 10) {
        display_brightness = 123;
        ASSERT_EQ(frame(100), 1) << clock;
        EXPECT_EQ(display_brightness, 123) << clock;
    }
    ASSERT_EQ(frame(100), 1); // clock 350
    EXPECT_EQ(display_brightness, 76);
    EXPECT_EQ(frame(100), 0); // below zero: over, and black
    EXPECT_EQ(display_brightness, 0);
}

TEST_F(RaytracedTest, AFrameShowsTheTracedWallUnderBarsAndCaptions) {
    ASSERT_EQ(raytraced_load(), 1);
    image_fill_rect(FrameBuffer, pixel_rgb(9, 9, 9), 0, 0, 512, 256);
    ASSERT_EQ(frame(1), 1);
    // The wall right of the centre, at u = 212 (red) in the shadow of the middle sphere.
    uint32_t wall = FrameBuffer->pixels[120 * 512 + 300];
    EXPECT_EQ(wall & 0xFF, wall >> 8 & 0xFF); // mask byte = red
    EXPECT_GT(int(wall >> 8 & 0xFF), 150);
    // Never traced, cleared to black.
    EXPECT_EQ(FrameBuffer->pixels[252 * 512 + 10], 0u);
    EXPECT_EQ(FrameBuffer->pixels[100 * 512 + 508], 0u);
    // Every caption pixel that is not key-coloured lies on top, where it belongs.
    for (int y = 0; y < 24; y++)
        for (int x = 0; x < 256; x++) {
            uint32_t p = TextStrip[12]->pixels[y * 256 + x];
            if ((p & 0xFF) != 0) continue;
            ASSERT_EQ(FrameBuffer->pixels[(231 + y) * 512 + 254 + x], p);
        }
}

} // namespace
