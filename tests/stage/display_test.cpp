// Tests of the channel tables, present and the input state, on the headless screen.

#include "data/cpu.h"
#include "data/image.h"
#include "data/memory.h"
#include "platform/video.h"
#include "stage/display.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace {

struct Rgb8 {
    uint8_t r, g, b;
    bool operator==(const Rgb8 &) const = default;
};

struct DisplayTest : testing::Test {
    Image *image = nullptr;
    std::vector<uint8_t> rgb = std::vector<uint8_t>(DISPLAY_WIDTH * DISPLAY_HEIGHT * 3);

    // The headless screen at depth, and a white picture to show on it.
    void open(int32_t depth) {
        ASSERT_NE(
            display_open(DISPLAY_WIDTH, DISPLAY_HEIGHT, depth, DISPLAY_CREATE, &video_headless),
            nullptr);
        image = image_create(512, 256, 0);
        ASSERT_NE(image, nullptr);
        image_fill_rect(image, pixel_rgb(255, 255, 255), 0, 0, 512, 256);
    }
    void TearDown() override {
        if (display_device) display_device->close();
        display_brightness = BRIGHTNESS_NEUTRAL;
        mem_free_all();
    }
    // The screen pixel (x, y) as 8-bit red, green, blue.
    Rgb8 at(int x, int y) {
        EXPECT_EQ(display_read_screen(rgb.data()), 1);
        const uint8_t *p = &rgb[(size_t(y) * DISPLAY_WIDTH + size_t(x)) * 3];
        return {p[0], p[1], p[2]};
    }
};

// Random pixels at every depth, brightnesses from black to white and rows of random widths
// (odd, below 16, not a multiple of 16): the SSE2 and SSSE3 conversions write the same screen
// bytes as the tables, and none past the row.
TEST(PresentConvert, PackedRowsEqualTheTableOnes) {
    std::mt19937 rng(3);
    Image *image = image_create(70, 5, 0);
    for (int i = 0; i < 70 * 5; i++) image->pixels[i] = rng();
    const uint32_t masks[3][3] = {
        {0xF800, 0x07E0, 0x001F}, {0xFF0000, 0x00FF00, 0x0000FF}, {0xFF0000, 0x00FF00, 0x0000FF}};
    cpu_detect();
    const int paths = has_ssse3 ? 3 : 2; // table, packed, packed with the byte shuffle
    for (int depth = 0; depth < 3; depth++) {
        ChannelTables t;
        channel_tables_build(&t, masks[depth][0], masks[depth][1], masks[depth][2]);
        EXPECT_EQ(t.bytes, depth > 0); // the 8-bit channels are computed, not read
        for (int trial = 0; trial < 200; trial++) {
            int32_t b = trial < 9 ? std::array{0, 1, 100, 255, 256, 257, 300, 511, 512}[trial]
                                  : int32_t(rng() % 513);
            int32_t x0 = int32_t(rng() % 4), x1 = x0 + 1 + int32_t(rng() % 66);
            PresentRect r{x0, 1, x1, 5, 1, 0};
            std::vector<uint8_t> screen[3];
            for (int path = 0; path < paths; path++) {
                screen[path].assign(72 * 4 * 5, 0xA5);
                has_mmx = path > 0;
                has_ssse3 = path > 1;
                present_convert(&t, b, image, &r, screen[path].data(), 72 * 4, depth + 2);
                ASSERT_EQ(screen[0], screen[path])
                    << depth << " " << b << " " << x0 << " " << x1 << " path " << path;
            }
        }
    }
    cpu_detect();
    image_free(image);
}

// Beyond the table's ends a part's brightness is held there instead of reading past them.
TEST_F(DisplayTest, BrightnessBeyondTheTableIsHeldAtItsEnds) {
    open(16);
    image_put_pixel(image, pixel_rgb(0, 0, 0), 1, 0);
    display_brightness = 2000;
    display_device->present(image, 0, 0, 512, 256, 0, 64);
    EXPECT_EQ(at(1, 64), at(0, 64)) << "black shows as white";
    EXPECT_NE(at(0, 64), (Rgb8{0, 0, 0}));
    display_brightness = -2000;
    display_device->present(image, 0, 0, 512, 256, 0, 64);
    EXPECT_EQ(at(0, 64), (Rgb8{0, 0, 0}));
}

TEST_F(DisplayTest, EmptyAndOutlyingRectanglesDrawNothing) {
    open(24);
    EXPECT_EQ(display_device->present(image, 10, 0, 10, 256, 0, 0), 1); // still locks, unlocks
    EXPECT_EQ(display_device->present(image, 0, 20, 512, 5, 0, 0), 1);
    EXPECT_EQ(display_device->present(image, 0, 0, 512, 256, 600, 0), 1);
    EXPECT_EQ(display_device->present(image, 0, 0, 512, 256, 0, -400), 1);
    EXPECT_EQ(at(10, 0), (Rgb8{0, 0, 0}));
    // Rectangles reaching past the picture or the screen are trimmed, not written outside.
    display_device->present(image, -8, -8, 900, 900, 496, 372); // picture (0, 0) at (504, 380)
    EXPECT_EQ(at(511, 383), (Rgb8{254, 254, 254}));
    EXPECT_EQ(at(504, 380), (Rgb8{254, 254, 254}));
    EXPECT_EQ(at(503, 383), (Rgb8{0, 0, 0}));
    EXPECT_EQ(at(511, 379), (Rgb8{0, 0, 0}));
}

TEST_F(DisplayTest, NothingIsDrawnWhileTheShowCannotBeSeen) {
    open(24);
    VideoEvent hidden = {VIDEO_EVENT_INACTIVE, 0};
    video_headless_push(&hidden);
    EXPECT_EQ(display_device->present(image, 0, 0, 512, 256, 0, 0), 0);
    EXPECT_EQ(at(0, 0), (Rgb8{0, 0, 0}));
    VideoEvent shown = {VIDEO_EVENT_ACTIVE, 0};
    video_headless_push(&shown);
    EXPECT_EQ(display_device->present(image, 0, 0, 512, 256, 0, 0), 1);
    EXPECT_EQ(at(0, 0), (Rgb8{254, 254, 254}));
}

// Keys outside the table are ignored, a click is kept until it is asked for, a tap shorter than a
// frame is seen as held until the next pump, and closing the window ends the show as Escape does.
TEST_F(DisplayTest, KeysFromTheEventPump) {
    open(24);
    VideoEvent events[] = {{VIDEO_EVENT_KEY_DOWN, 300}, {VIDEO_EVENT_KEY_DOWN, -1},
                           {VIDEO_EVENT_KEY_DOWN, 'M'}, {VIDEO_EVENT_KEY_UP, 'M'},
                           {VIDEO_EVENT_MOUSE_DOWN, 0}, {VIDEO_EVENT_MOUSE_UP, 0}};
    for (const VideoEvent &e : events) video_headless_push(&e);
    display_pump();
    // A click released before any key test is still reported, once, as the key tested.
    EXPECT_EQ(key_pressed('Q'), 1);
    EXPECT_EQ(key_pressed('Q'), 0);
    EXPECT_EQ(key_pressed(1000) + key_pressed(256) + key_pressed(-1), 0);
    EXPECT_EQ(key_pressed('M'), 1);
    EXPECT_EQ(key_pressed('M'), 1);
    display_pump();
    EXPECT_EQ(key_pressed('M'), 0);
    VideoEvent close = {VIDEO_EVENT_CLOSE, 0};
    video_headless_push(&close);
    display_pump();
    EXPECT_EQ(key_pressed(VK_ESCAPE), 1);
    EXPECT_EQ(key_pressed(VK_ESCAPE), 1);
}

TEST_F(DisplayTest, ADepthTheScreenCannotTakeFails) {
    EXPECT_EQ(display_open(DISPLAY_WIDTH, DISPLAY_HEIGHT, 8, DISPLAY_CREATE, &video_headless),
              nullptr);
    EXPECT_EQ(display_device, nullptr);
}

} // namespace
