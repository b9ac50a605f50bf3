// Tests of the metaball part: its plasma, its timing and fades, the bars, and its data checks.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "stage/stage.h"
#include "parts/metaball.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

Image *solid(int w, int h, uint32_t colour) {
    Image *image = image_create(w, h, 0);
    image_fill_rect(image, colour, 0, 0, w, h);
    return image;
}

constexpr uint32_t UPPER_BAR = pixel_rgb(200, 10, 10);
constexpr uint32_t LOWER_BAR = pixel_rgb(10, 200, 10);
constexpr uint32_t UPPER_CAPTION = pixel_rgb(60, 10, 90);
constexpr uint32_t LOWER_CAPTION = pixel_rgb(200, 200, 10);
constexpr uint32_t WHITE = pixel_rgb(255, 255, 255);

struct MetaballTest : testing::Test {
    std::string dir = make_temp_dir();

    void SetUp() override {
        write_show_data(dir);
        file_set_data_dir(dir.c_str());
        FrameBuffer = image_create(512, 256, IMG_DEPTH | 7);
        WorkImageA = image_create(512, 256, 7);
        WorkImageB = image_create(512, 256, 7);
        WorkImageLarge = image_create(512, 512, 7);
        BarUp = solid(304, 29, UPPER_BAR);
        BarDown = solid(304, 29, LOWER_BAR);
        TextStrip[5] = solid(256, 24, UPPER_CAPTION);
        TextStrip[6] = solid(256, 24, LOWER_CAPTION);
        display_brightness = BRIGHTNESS_NEUTRAL;
        metaball_reset();
        data_clear_error();
    }
    void TearDown() override {
        file_set_data_dir(nullptr);
        mem_free_all();
        remove_tree(dir);
    }
    static int frame(float dt) {
        frame_time = dt;
        return metaball_run();
    }
    static uint32_t fb(int x, int y) { return FrameBuffer->pixels[y * 512 + x]; }
    std::string error() const { return data_last_error(); }
};

TEST(Plasma, FieldIsTheRippledDistanceWrappedToAByte) {
    Image *field = image_create(PLASMA_FIELD_WIDTH, PLASMA_FIELD_HEIGHT, 0);
    plasma_build_field(field);
    auto value = [&](int x, int y) { return field->pixels[(y + 256) * 1024 + x + 512]; };
    EXPECT_EQ(value(0, 0), 133u << 24);       // angle 0: only cos(0) x 133.93
    EXPECT_EQ(value(100, 0), 233u << 24);     // 100 + 133.93
    EXPECT_EQ(value(-100, 0), 223u << 24);    // 100 - 133.93 = -33 wraps to 223
    EXPECT_EQ(value(0, 0) & 0x00FFFFFFu, 0u); // only the blue byte is used
    mem_free_all();
}

TEST(Plasma, PaletteRisesFallsAndFallsAgainInThirds) {
    uint32_t palette[256];
    plasma_build_palette(palette);
    EXPECT_EQ(palette[0], 0u);
    EXPECT_EQ(palette[127], pixel_rgb(84, 84, 84)); // 254 / 3
    EXPECT_EQ(palette[128], pixel_rgb(85, 85, 85)); // 255 / 3
    EXPECT_EQ(palette[191], pixel_rgb(43, 43, 43)); // 129 / 3
    EXPECT_EQ(palette[192], pixel_rgb(42, 42, 42)); // 128 / 3
    EXPECT_EQ(palette[255], 0u);                    // 2 / 3
}

TEST(Plasma, WindowsStayInsideTheFieldAndSumFourLayers) {
    for (float t = 0.0f; t < 400.0f; t += 0.37f) {
        PlasmaOffset o[PLASMA_LAYERS];
        plasma_offsets(t, o);
        for (const PlasmaOffset &w : o) {
            ASSERT_GE(w.row, 0);
            ASSERT_LE(w.row + PLASMA_HEIGHT, PLASMA_FIELD_HEIGHT);
            ASSERT_GE(w.column, 0);
            ASSERT_LE(w.column + PLASMA_WIDTH, PLASMA_FIELD_WIDTH);
        }
    }
    PlasmaOffset o[PLASMA_LAYERS];
    plasma_offsets(0.0f, o);
    EXPECT_EQ(o[0].row, int(std::cos(1.3 * 0.8f + 1.1f) * 90 + 128));
    EXPECT_EQ(o[3].column, int(std::sin(2.1) * 150 + 256));
    // A field whose byte is its row: each pixel sums the four windows' rows.
    Image *field = image_create(PLASMA_FIELD_WIDTH, PLASMA_FIELD_HEIGHT, 0);
    Image *target = image_create(512, 256, 0);
    for (int r = 0; r < PLASMA_FIELD_HEIGHT; r++)
        for (int c = 0; c < PLASMA_FIELD_WIDTH; c++)
            field->pixels[r * PLASMA_FIELD_WIDTH + c] = uint32_t(r & 255) << 24;
    uint32_t palette[256];
    for (uint32_t i = 0; i < 256; i++) palette[i] = i << 8;
    plasma_draw(field, palette, 0.0f, target);
    for (int y : {0, 77, 255}) {
        int sum = 0;
        for (const PlasmaOffset &w : o) sum += (w.row + y) & 255;
        EXPECT_EQ(target->pixels[y * 512 + 300], uint32_t(sum & 255) << 8) << y;
    }
    mem_free_all();
}

TEST_F(MetaballTest, OpensFromWhiteHoldsTwelveHundredTicksAndClosesToWhite) {
    ASSERT_EQ(metaball_load(), 1) << error();
    ASSERT_EQ(frame(1), 1);
    EXPECT_EQ(display_brightness, 509); // 511 - 1.5
    int frames = 1;
    float clock = 1;
    while (clock < 1200) { // ten ticks a frame from here
        ASSERT_EQ(frame(10), 1);
        clock += 10, frames++;
        if (clock > 300) {
            EXPECT_EQ(display_brightness, 256);
        }
    }
    // The frame that sees the clock at exactly 1201 brightens; the one at 1200 would not.
    ASSERT_EQ(frame(10), 1);
    EXPECT_EQ(display_brightness, 286);
    int brightening = 1;
    while (frame(10)) brightening++;
    EXPECT_EQ(brightening, 9); // 256 + 9 x 30 reaches 511
    EXPECT_EQ(display_brightness, 255);
    for (int y = 0; y < 256; y += 5)
        for (int x = 0; x < 512; x += 5) ASSERT_EQ(fb(x, y), WHITE) << x << "," << y;
}

TEST_F(MetaballTest, AClockOfExactly1200NeitherFadesDownNorUp) {
    ASSERT_EQ(metaball_load(), 1) << error();
    ASSERT_EQ(frame(1200), 1); // clock 0: fades to 256 at once; clock becomes 1200
    EXPECT_EQ(display_brightness, 256);
    ASSERT_EQ(frame(5), 1); // clock exactly 1200
    EXPECT_EQ(display_brightness, 256);
    ASSERT_EQ(frame(5), 1); // clock 1205: brightens by 15
    EXPECT_EQ(display_brightness, 271);
}

TEST_F(MetaballTest, BlobsAppearFromTheSecondFrameAndHoldStillWithoutTime) {
    ASSERT_EQ(metaball_load(), 1) << error();
    ASSERT_EQ(frame(1), 1);
    std::vector<uint32_t> first(FrameBuffer->pixels, FrameBuffer->pixels + 512 * 256);
    for (int n = 0; n < 30; n++) ASSERT_EQ(frame(1), 1);
    // The environment map's blue 200 shows where blobs were drawn; the plasma and the text
    // average to at most (85 + 140) / 2 blue.
    auto blob_pixels = [] {
        int n = 0;
        for (int i = 0; i < 512 * 256; i++) n += (FrameBuffer->pixels[i] >> 24) > 180;
        return n;
    };
    int first_blobs = 0;
    for (uint32_t p : first) first_blobs += (p >> 24) > 180;
    EXPECT_EQ(first_blobs, 0); // the first frame's field is still all zero
    EXPECT_GT(blob_pixels(), 2000);
    ASSERT_EQ(frame(0), 1);
    std::vector<uint32_t> still(FrameBuffer->pixels, FrameBuffer->pixels + 512 * 256);
    ASSERT_EQ(frame(0), 1);
    EXPECT_TRUE(std::equal(still.begin(), still.end(), FrameBuffer->pixels));
    ASSERT_EQ(frame(1), 1);
    EXPECT_FALSE(std::equal(still.begin(), still.end(), FrameBuffer->pixels));
}

TEST_F(MetaballTest, BarsSlideInAndStopWithTheirCaptions) {
    ASSERT_EQ(metaball_load(), 1) << error();
    ASSERT_EQ(frame(1), 1); // drawn at -305 and 513: nothing of them shows
    EXPECT_NE(fb(0, 26), UPPER_BAR);
    EXPECT_NE(fb(511, 230), LOWER_BAR);
    for (int n = 0; n < 14; n++) ASSERT_EQ(frame(10), 1); // past -32 and 240: held there
    ASSERT_EQ(frame(1), 1);                               // drawn at -32 and 240
    EXPECT_EQ(fb(271, 26), UPPER_BAR);
    EXPECT_NE(fb(272, 26), UPPER_BAR);
    EXPECT_EQ(fb(255, 10), UPPER_CAPTION); // caption at x + 32 = 0
    EXPECT_EQ(fb(256, 10), UPPER_BAR);
    EXPECT_EQ(fb(240, 228), LOWER_BAR);
    EXPECT_NE(fb(239, 228), LOWER_BAR);
    EXPECT_EQ(fb(254, 229), LOWER_CAPTION); // caption at x + 14 = 254
    EXPECT_EQ(fb(509, 252), LOWER_CAPTION);
    EXPECT_EQ(fb(510, 252), LOWER_BAR);
}

TEST_F(MetaballTest, DataThatCannotCarryThePartIsRefusedByName) {
    write_cube_object(dir + "/data/metacube.lwo", 7, 34.0f);
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("metascen.lws"), std::string::npos) << error();

    write_cube_object(dir + "/data/metacube.lwo", 8, 34.0f);
    write_metaball_scene(dir + "/data/metascen.lws", false);
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("no light"), std::string::npos) << error();

    write_metaball_scene(dir + "/data/metascen.lws", true);
    write_jpeg(dir + "/data/metaenvm.jpg", 128, 256, [](int, int) { return Rgb{1, 2, 3}; });
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("metaenvm.jpg"), std::string::npos) << error();

    remove_tree(dir + "/data/metatxt1.jpg");
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("metatxt1.jpg"), std::string::npos) << error();
}

} // namespace
