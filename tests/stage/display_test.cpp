// Tests of the channel tables, present and the input state, on the headless screen.

#include "data/cpu.h"
#include "data/image.h"
#include "data/memory.h"
#include "platform/video.h"
#include "stage/display.h"

#include <gtest/gtest.h>

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

    void open(int32_t depth) {
        ASSERT_NE(
            display_open(DISPLAY_WIDTH, DISPLAY_HEIGHT, depth, DISPLAY_CREATE, &video_headless),
            nullptr);
        image = image_create(512, 256, 0);
        ASSERT_NE(image, nullptr);
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
    // The raw screen word at (x, y).
    uint32_t raw(int x, int y) {
        VideoLock lock;
        EXPECT_EQ(display_device->driver->lock(&lock), 1);
        const uint8_t *p = lock.pixels + y * lock.pitch + x * (display_device->bits_per_pixel / 8);
        uint32_t v = p[0] | p[1] << 8;
        if (display_device->bits_per_pixel == 24) v |= uint32_t(p[2]) << 16;
        return v;
    }
};

TEST(ChannelTables, TheTopValueIsNeverProduced) {
    ChannelTables t;
    channel_tables_build(&t, 0xF800, 0x07E0, 0x001F);
    // 16-bit 5:6:5 white shows as 30, 62, 30.
    EXPECT_EQ(t.red[256 + 255], 30u << 11);
    EXPECT_EQ(t.green[256 + 255], 62u << 5);
    EXPECT_EQ(t.blue[256 + 255], 30u);
    EXPECT_EQ(t.red[256 + 9], 1u << 11);  // truncate(9 * 31 / 256) = 1
    EXPECT_EQ(t.green[256 + 4], 0u << 5); // truncate(4 * 63 / 256) = 0
    EXPECT_EQ(t.green[256 + 5], 1u << 5); // truncate(5 * 63 / 256) = 1
    for (int i = 0; i < 256; i++) EXPECT_EQ(t.red[i], 0u);
    for (int i = 512; i < 768; i++) EXPECT_EQ(t.blue[i], 30u);
    channel_tables_build(&t, 0xFF0000, 0x00FF00, 0x0000FF);
    EXPECT_EQ(t.red[256 + 255], 254u << 16);
    EXPECT_EQ(t.green[256 + 128], 127u << 8);
    EXPECT_EQ(t.blue[767], 254u);
}

// Random pixels at every depth, brightnesses from black to white and rows of odd widths: the
// packed conversion writes the same screen bytes as the tables, and none past the row.
TEST(PresentConvert, PackedRowsEqualTheTableOnes) {
    std::mt19937 rng(3);
    Image *image = image_create(37, 5, 0);
    for (int i = 0; i < 37 * 5; i++) image->pixels[i] = rng();
    const uint32_t masks[3][3] = {
        {0xF800, 0x07E0, 0x001F}, {0xFF0000, 0x00FF00, 0x0000FF}, {0xFF0000, 0x00FF00, 0x0000FF}};
    const int32_t saved = has_mmx;
    for (int depth = 0; depth < 3; depth++) {
        ChannelTables t;
        channel_tables_build(&t, masks[depth][0], masks[depth][1], masks[depth][2]);
        for (int32_t b : {0, 1, 100, 255, 256, 257, 300, 511, 512}) {
            for (int32_t x1 = 1; x1 <= 37; x1 += 3) {
                PresentRect r{x1 > 20 ? 2 : 0, 1, x1, 5, 1, 0};
                std::vector<uint8_t> screen[2];
                for (int packed = 0; packed < 2; packed++) {
                    screen[packed].assign(40 * 4 * 5, 0xA5);
                    has_mmx = packed;
                    present_convert(&t, b, image, &r, screen[packed].data(), 40 * 4, depth + 2);
                }
                ASSERT_EQ(screen[0], screen[1]) << depth << " " << b << " " << x1;
            }
        }
    }
    has_mmx = saved;
    image_free(image);
}

TEST_F(DisplayTest, WhiteIn16BitsAndTheBrightnessExtremes) {
    open(16);
    image_fill_rect(image, pixel_rgb(255, 255, 255), 0, 0, 512, 256);
    image_put_pixel(image, pixel_rgb(0, 0, 0), 1, 0);
    display_device->present(image, 0, 0, 512, 256, 0, 64);
    EXPECT_EQ(raw(0, 64), 30u << 11 | 62u << 5 | 30u);
    EXPECT_EQ(raw(1, 64), 0u);
    display_brightness = BRIGHTNESS_BLACK;
    display_device->present(image, 0, 0, 512, 256, 0, 64);
    EXPECT_EQ(raw(0, 64), 0u);
    display_brightness = BRIGHTNESS_WHITE;
    display_device->present(image, 0, 0, 512, 256, 0, 64);
    EXPECT_EQ(raw(1, 64), 30u << 11 | 62u << 5 | 30u); // black shows at full strength
    // Beyond the table a part's value is held at the ends instead of reading past them.
    display_brightness = 2000;
    display_device->present(image, 0, 0, 512, 256, 0, 64);
    EXPECT_EQ(raw(1, 64), 30u << 11 | 62u << 5 | 30u);
    display_brightness = -2000;
    display_device->present(image, 0, 0, 512, 256, 0, 64);
    EXPECT_EQ(raw(0, 64), 0u);
}

TEST_F(DisplayTest, EmptyAndOutlyingRectanglesDrawNothing) {
    open(24);
    image_fill_rect(image, pixel_rgb(255, 255, 255), 0, 0, 512, 256);
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
    image_fill_rect(image, pixel_rgb(255, 255, 255), 0, 0, 512, 256);
    VideoEvent hidden = {VIDEO_EVENT_INACTIVE, 0};
    video_headless_push(&hidden);
    EXPECT_EQ(display_device->present(image, 0, 0, 512, 256, 0, 0), 0);
    EXPECT_EQ(at(0, 0), (Rgb8{0, 0, 0}));
    VideoEvent shown = {VIDEO_EVENT_ACTIVE, 0};
    video_headless_push(&shown);
    EXPECT_EQ(display_device->present(image, 0, 0, 512, 256, 0, 0), 1);
    EXPECT_EQ(at(0, 0), (Rgb8{254, 254, 254}));
}

TEST_F(DisplayTest, KeysAndAClickFromTheEventPump) {
    open(24);
    VideoEvent events[] = {{VIDEO_EVENT_KEY_DOWN, 'N'},
                           {VIDEO_EVENT_KEY_DOWN, 300},
                           {VIDEO_EVENT_KEY_DOWN, -1},
                           {VIDEO_EVENT_MOUSE_DOWN, 0},
                           {VIDEO_EVENT_MOUSE_UP, 0}};
    for (const VideoEvent &e : events) video_headless_push(&e);
    display_pump();
    EXPECT_EQ(key_down['N'], 1);
    // A click released before any key test is still reported, once, as whatever key is tested.
    EXPECT_EQ(key_pressed('Q'), 1);
    EXPECT_EQ(key_pressed('Q'), 0);
    EXPECT_EQ(key_pressed('N'), 1);
    EXPECT_EQ(key_pressed('N'), 1); // held keys report every time
    VideoEvent up = {VIDEO_EVENT_KEY_UP, 'N'};
    video_headless_push(&up);
    display_pump();
    EXPECT_EQ(key_pressed('N'), 0);
    EXPECT_EQ(key_pressed(1000), 0);
    // A tap shorter than a frame is seen as held until the next pump.
    VideoEvent tap[] = {{VIDEO_EVENT_KEY_DOWN, 'M'}, {VIDEO_EVENT_KEY_UP, 'M'}};
    for (const VideoEvent &e : tap) video_headless_push(&e);
    display_pump();
    EXPECT_EQ(key_pressed('M'), 1);
    EXPECT_EQ(key_pressed('M'), 1);
    display_pump();
    EXPECT_EQ(key_pressed('M'), 0);
    // Closing the window ends the show as Escape does.
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
