// Tests of the preload on the headless screen, with the forge's data copied to a folder of the
// test's own (skipped when the forge has not run).

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "platform/audio.h"
#include "platform/video.h"
#include "shell/preload.h"
#include "shell/sequencer.h"
#include "shell/setup.h"
#include "show_files.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/music.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct PreloadTest : testing::Test {
    TempDir dir;

    void start(const std::string &skip = "") {
        if (!copy_forge_data(QM_BUILD_DIR "/forge", dir, skip))
            GTEST_SKIP() << "the forge has not made the show's data";
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
    }
};

// A click on the loading screen is no key press of the show; Escape held at its end still is.
TEST_F(PreloadTest, AClickWhileLoadingIsForgottenButEscapeIsNot) {
    start();
    VideoEvent down = {VIDEO_EVENT_MOUSE_DOWN, 0}, up = {VIDEO_EVENT_MOUSE_UP, 0};
    ASSERT_TRUE(video_headless_push(&down) && video_headless_push(&up));
    ASSERT_EQ(preload(), 1) << data_last_error();
    EXPECT_EQ(key_pressed(VK_ESCAPE), 0);
    VideoEvent escape = {VIDEO_EVENT_KEY_DOWN, VK_ESCAPE};
    ASSERT_TRUE(video_headless_push(&escape));
    display_pump();
    EXPECT_EQ(key_pressed(VK_ESCAPE), 1);
}

// Escape pressed and let go while a step loads ends the loading at the next step, before the
// dissolve; a click does not.
TEST_F(PreloadTest, EscapeWhileLoadingEndsItAtTheNextStep) {
    start();
    VideoEvent down = {VIDEO_EVENT_KEY_DOWN, VK_ESCAPE}, up = {VIDEO_EVENT_KEY_UP, VK_ESCAPE},
               click = {VIDEO_EVENT_MOUSE_DOWN, 0};
    ASSERT_TRUE(video_headless_push(&click) && video_headless_push(&down) &&
                video_headless_push(&up));
    EXPECT_EQ(preload(), PRELOAD_ESCAPED) << data_last_error();
    EXPECT_EQ(tick_count.load(), 0); // no dissolve
}

// With sound on, a tune that cannot be loaded ends the preload with its reason.
TEST_F(PreloadTest, AMissingTuneFailsIt) {
    start();
    show_settings.sound_device = 0;
    ASSERT_EQ(music_init(&audio_offline, 0), 1);
    music_set_dir(dir.c_str());
    int loaded = preload();
    music_shutdown();
    music_set_dir(nullptr);
    EXPECT_EQ(loaded, PRELOAD_FAILED);
    EXPECT_NE(std::string(data_last_error()).find("quellmor.xm: cannot be opened: No such file"),
              std::string::npos)
        << data_last_error();
}

TEST(PreloadMasks, AnAlphaPictureSmallerThanItsBarIsRefused) {
    Image *bar = image_create(30, 4, 0);
    Image *alpha = image_create(29, 4, 0);
    EXPECT_EQ(preload_bar_alpha(bar, alpha, 1, "data\\bardowna.tga"), 0);
    EXPECT_NE(std::string(data_last_error()).find("bardowna.tga"), std::string::npos);
    mem_free_all();
}

// Exactly the key colour, at either end of the strip, becomes mask 255; a near colour and an old
// mask byte become 0.
TEST(PreloadMasks, CaptionKeyingMarksExactlyTheKeyColour) {
    Image *strip = image_create(4, 1, 0);
    const uint32_t words[4] = {TEXT_KEY_ACROSS, TEXT_KEY_ACROSS + 0x100, TEXT_KEY_UPRIGHT | 0x55,
                               TEXT_KEY_ACROSS | 0x7};
    std::copy(words, words + 4, strip->pixels);
    preload_key_text(strip, TEXT_KEY_ACROSS);
    EXPECT_EQ(strip->pixels[0], TEXT_KEY_ACROSS | 0xFF);
    EXPECT_EQ(strip->pixels[1], TEXT_KEY_ACROSS + 0x100);
    EXPECT_EQ(strip->pixels[2], TEXT_KEY_UPRIGHT);
    EXPECT_EQ(strip->pixels[3], TEXT_KEY_ACROSS | 0xFF);
    mem_free_all();
}

TEST_F(PreloadTest, AMissingPartPictureEndsItDuringTheLoadingScreen) {
    start("girl.jpg");
    EXPECT_EQ(preload(), 0);
    EXPECT_NE(std::string(data_last_error()).find("girl.jpg"), std::string::npos)
        << data_last_error();
    EXPECT_EQ(tick_count.load(), 0); // no dissolve
    std::vector<uint8_t> rgb(512 * 384 * 3);
    ASSERT_EQ(display_read_screen(rgb.data()), 1);
    EXPECT_NE(std::count(rgb.begin(), rgb.end(), 0), long(rgb.size())) << "no loading screen";
}

// The show's bars and captions and the plain ones the tests and benchmarks draw with have the
// same sizes; every caption has pixels of its own key colour, so the upright ones are told apart.
TEST_F(PreloadTest, PlainPicturesHaveTheSizesOfTheShowsAndEveryCaptionIsKeyed) {
    start();
    ASSERT_EQ(stage_load_pictures(), 1) << data_last_error();
    std::vector<Image *> loaded = {BarUp, BarDown, BarLeft, BarRight};
    for (int n = 1; n <= 12; n++) {
        const Image *strip = TextStrip[n];
        const size_t pixels = size_t(strip->width) * size_t(strip->height);
        EXPECT_EQ(strip->width < strip->height, stage_text_upright(n) == 1) << n;
        EXPECT_GT(std::count_if(strip->pixels, strip->pixels + pixels,
                                [](uint32_t p) { return (p & 0xFF) == 0xFF; }),
                  0)
            << "caption " << n << " has no keyed pixel";
        loaded.push_back(TextStrip[n]);
    }
    ASSERT_EQ(stage_plain_pictures(), 1);
    std::vector<Image *> plain = {BarUp, BarDown, BarLeft, BarRight};
    for (int n = 1; n <= 12; n++) plain.push_back(TextStrip[n]);
    for (size_t i = 0; i < plain.size(); i++) {
        EXPECT_EQ(plain[i]->width, loaded[i]->width) << i;
        EXPECT_EQ(plain[i]->height, loaded[i]->height) << i;
    }
}

} // namespace
