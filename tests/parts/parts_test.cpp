// Tests of the title and hidden picture parts.

#include "data/archive.h"
#include "data/memory.h"
#include "parts/parts.h"
#include "parts/title.h"
#include "show_files.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PartTest : testing::Test {
    std::string dir = make_temp_dir();

    void SetUp() override {
        if (!copy_forge_data(QM_BUILD_DIR "/forge", dir))
            GTEST_SKIP() << "the forge has not made the show's data";
        file_set_data_dir(dir.c_str());
        FrameBuffer = image_create(512, 256, IMG_DEPTH | 7);
        ASSERT_NE(FrameBuffer, nullptr);
        display_brightness = BRIGHTNESS_NEUTRAL;
        hidden_picture_reset();
        title_reset();
        fault_reset();
    }
    void TearDown() override {
        file_set_data_dir(nullptr);
        mem_free_all();
        remove_tree(dir);
    }
    // Runs one frame of a part that lasted dt ticks.
    static int frame(PartRun run, float dt) {
        frame_time = dt;
        return run();
    }
    static uint32_t fb(int x, int y) { return FrameBuffer->pixels[y * 512 + x]; }
};

// A 512 x 256 picture whose pixel (x, y) tells where it is.
Image *position_picture() {
    Image *p = image_create(512, 256, 0);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) p->pixels[y * 512 + x] = uint32_t(y << 16 | x << 8);
    return p;
}

uint32_t at(int x, int y) {
    return uint32_t(y << 16 | x << 8);
}

TEST_F(PartTest, PixelateDrawsBlocksSampledAtTheirStart) {
    Image *picture = position_picture();
    title_pixelate(picture, FrameBuffer, 128.9f); // block 128, 64 rows tall
    // The first 129 pixels of every row carry one colour over from the row above.
    for (int x = 0; x <= 128; x++) EXPECT_EQ(fb(x, 0), at(0, 0)) << x;
    EXPECT_EQ(fb(129, 0), at(128, 0));
    EXPECT_EQ(fb(257, 0), at(256, 0));
    EXPECT_EQ(fb(511, 0), at(384, 0));
    EXPECT_EQ(fb(0, 1), at(384, 0)); // the last sample of row 0
    EXPECT_EQ(fb(128, 1), at(384, 0));
    EXPECT_EQ(fb(129, 1), at(128, 0));
    // Sample rows 0 for 65 rows, then 64, 128, 192.
    EXPECT_EQ(fb(200, 64), at(128, 0));
    EXPECT_EQ(fb(200, 65), at(128, 64));
    EXPECT_EQ(fb(200, 129), at(128, 128));
    EXPECT_EQ(fb(200, 255), at(128, 192));
    // The smallest blocks still read only inside the picture.
    title_pixelate(picture, FrameBuffer, 2.0f);
    EXPECT_EQ(fb(511, 255), at(510, 255));
    // Below 2 the picture is copied as it is.
    title_pixelate(picture, FrameBuffer, 1.5f);
    EXPECT_EQ(fb(511, 255), at(511, 255));
    EXPECT_EQ(fb(3, 7), at(3, 7));
}

TEST_F(PartTest, TitleFlashesWhiteRefinesAndEndsAfter200Ticks) {
    ASSERT_EQ(title_load(), 1);
    display_brightness = 300;
    ASSERT_EQ(frame(title_run, 1), 1);
    EXPECT_EQ(fb(100, 100), pixel_rgb(255, 255, 255)); // the flash frame
    EXPECT_EQ(display_brightness, 300);                // brightness untouched on it
    ASSERT_EQ(frame(title_run, 1), 1);
    EXPECT_EQ(display_brightness, 509); // 511 - 1.5, truncated
    EXPECT_NE(fb(100, 100), pixel_rgb(255, 255, 255));
    float elapsed = 2;
    while (elapsed + 1 <= 200) {
        ASSERT_EQ(frame(title_run, 1), 1) << elapsed;
        elapsed += 1;
    }
    EXPECT_EQ(display_brightness, 256); // the flash has faded (about 170 ticks)
    EXPECT_EQ(frame(title_run, 1), 0);  // 201 ticks
}

TEST_F(PartTest, ALongFirstTitleFrameEndsThePartBeforeDrawing) {
    ASSERT_EQ(title_load(), 1);
    EXPECT_EQ(frame(title_run, 201), 0);
    EXPECT_EQ(fb(100, 100), 0u);
}

TEST_F(PartTest, ATitlePictureOfAnotherSizeIsRefused) {
    write_jpeg(dir + "/data/quellmor.jpg", 256, 256, [](int, int) { return Rgb{1, 2, 3}; });
    EXPECT_EQ(title_load(), 0);
}

TEST_F(PartTest, HiddenPictureLoadsOnceAndNeutralisesTheFade) {
    display_brightness = 100;
    hidden_picture_run();
    EXPECT_EQ(display_brightness, BRIGHTNESS_NEUTRAL);
    const Image *picture = load_jpeg("data\\moorlight.jpg", 0);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(fb(5, 5) & 0xFFFFFF00u, picture->pixels[5 * 512 + 5] & 0xFFFFFF00u);
    EXPECT_EQ(fault_count(), 0);
}

TEST_F(PartTest, AMissingHiddenPictureIsReportedOnceAndLeavesTheFrame) {
    remove_tree(dir + "/data/moorlight.jpg");
    image_fill_rect(FrameBuffer, pixel_rgb(9, 9, 9), 0, 0, 512, 256);
    testing::internal::CaptureStderr();
    hidden_picture_run();
    hidden_picture_run();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("moorlight.jpg"), std::string::npos) << err;
    EXPECT_EQ(fault_count(), 1); // reported once, not retried
    EXPECT_EQ(fb(5, 5), pixel_rgb(9, 9, 9));
}

} // namespace
