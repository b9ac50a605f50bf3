// Tests of the glow part: what its load checks and prepares, the dissolve, the captions' timing
// and blending, the turned objects, the see-through overlay and the closing fade.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "stage/stage.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "parts/glow.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr Rgb FRAME = {120, 60, 200};
constexpr uint32_t MARKER = pixel_rgb(1, 2, 3);
constexpr uint32_t TEAL = GLOW_KEY;

// Caption n (0-based) is one flat colour, so that its blend can be worked out by hand.
Rgb caption_colour(int n) {
    return Rgb{uint8_t(40 + 20 * n), uint8_t(200 - 10 * n), 90};
}

// Two small objects at the origin and, unless `objects` is 1, a third; the camera far back.
void write_scene(const std::string &path, int objects) {
    std::string s = "LWSC\r\n1\r\n\r\n";
    for (int n = 0; n < objects; n++)
        s += "LoadObject data\\grbit.lwo\r\nObjectMotion (unnamed)\r\n  9\r\n  1\r\n"
             "  0 0 0 0 0 0 1 1 1\r\n  0 0 0 0 0\r\n\r\n";
    s += "ShowCamera 1 7\r\nCameraMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 -4000 0 0 0 1 1 1\r\n"
         "  0 0 0 0 0\r\n\r\n";
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(s.data(), 1, s.size(), f);
    std::fclose(f);
}

struct GlowTest : testing::Test {
    std::string dir = make_temp_dir();
    std::string data = dir + "/data";

    void SetUp() override {
        ASSERT_EQ(std::system(("mkdir -p " + data).c_str()), 0);
        write_jpeg(data + "/grflare.jpg", 256, 256, [](int, int) { return Rgb{250, 200, 120}; });
        // The overlay: opaque on the left, see-through (the key colour) on the right.
        write_tga(data + "/grback.tga", 512, 256, [](int x, int) {
            return x < 256 ? FRAME : Rgb{21, 58, 58};
        });
        // The dissolve reaches the top half at once, the bottom half only at threshold 201.
        write_jpeg(data + "/grfade.jpg", 512, 256, [](int, int y) {
            return y < 128 ? Rgb{0, 0, 0} : Rgb{200, 200, 200};
        });
        for (int n = 0; n < GLOW_CAPTIONS; n++)
            write_tga(data + "/g" + std::to_string(n + 1) + ".tga", 192, 24,
                      [n](int, int) { return caption_colour(n); });
        write_cube_object(data + "/grbit.lwo", 3, 2.0f);
        write_scene(data + "/grscene.lws", 3);
        file_set_data_dir(dir.c_str());
        FrameBuffer = image_create(512, 256, IMG_DEPTH | 7);
        WorkImageA = image_create(512, 256, 7);
        image_fill_rect(FrameBuffer, MARKER, 0, 0, 512, 256);
        display_brightness = BRIGHTNESS_NEUTRAL;
        glow_reset();
        data_clear_error();
    }
    void TearDown() override {
        file_set_data_dir(nullptr);
        mem_free_all();
        remove_tree(dir);
    }
    static int frame(float dt) {
        frame_time = dt;
        return glow_run();
    }
    // Runs n frames of dt ticks; the number of the frame that ended the part, or 0.
    static int run(int n, float dt = 1.0f) {
        for (int k = 1; k <= n; k++)
            if (!frame(dt)) return k;
        return 0;
    }
    static uint32_t fb(int x, int y) { return FrameBuffer->pixels[y * 512 + x]; }
    static uint32_t work(int x, int y) { return WorkImageA->pixels[y * 512 + x]; }
    // A caption pixel blended with alpha over the overlay's colour, as blit_blend makes it.
    static uint32_t blended(int n, int alpha) {
        const Rgb c = caption_colour(n);
        auto mix = [alpha](int s, int d) { return uint32_t((s * alpha + d * (255 - alpha)) >> 8); };
        return pixel_rgb(mix(c.red, FRAME.red), mix(c.green, FRAME.green), mix(c.blue, FRAME.blue));
    }
    std::string error() const { return data_last_error(); }
};

TEST_F(GlowTest, LoadMarksTheKeyFreesTheTurnedObjectsAndGivesTheRestTheFlare) {
    ASSERT_EQ(glow_load(), 1) << error();
    const GlowState *s = glow_state();
    EXPECT_EQ(s->ending, 0);
    EXPECT_EQ(s->brightness, 256.0f);
    EXPECT_EQ(s->blur_factor, 0.06f);
    const Scene *scene = glow_current_scene();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->target, WorkImageA);
    EXPECT_EQ(scene->speed, 1.5f);
    EXPECT_EQ(scene->objects[0]->motion, nullptr);
    EXPECT_EQ(scene->objects[1]->motion, nullptr);
    EXPECT_NE(scene->objects[2]->motion, nullptr);
    EXPECT_EQ(scene->objects[0]->faces[0].texture[0], nullptr);
    const Image *flare = scene->objects[1]->faces[0].texture[0];
    ASSERT_NE(flare, nullptr);
    EXPECT_EQ(flare->width, 256);
    EXPECT_EQ(scene->objects[2]->faces[0].texture[0], flare);
}

TEST_F(GlowTest, LoadFailsNamingTheFileThatIsMissingDamagedOrTheWrongSize) {
    const char *needed[] = {"grflare.jpg", "grback.tga", "grfade.jpg", "grscene.lws", "g7.tga"};
    for (const char *name : needed) {
        const std::string path = data + "/" + name;
        ASSERT_EQ(std::rename(path.c_str(), (path + ".away").c_str()), 0);
        data_clear_error();
        EXPECT_EQ(glow_load(), 0) << name;
        EXPECT_NE(error().find(name), std::string::npos) << error();
        ASSERT_EQ(std::rename((path + ".away").c_str(), path.c_str()), 0);
    }
    // A truncated overlay, a mask of the wrong size, a scene with one object.
    write_tga(data + "/grback.tga", 512, 256, [](int, int) { return FRAME; });
    ASSERT_EQ(truncate((data + "/grback.tga").c_str(), 3000), 0);
    EXPECT_EQ(glow_load(), 0);
    EXPECT_NE(error().find("grback.tga"), std::string::npos) << error();
    write_tga(data + "/grback.tga", 512, 256, [](int, int) { return FRAME; });
    write_jpeg(data + "/grfade.jpg", 256, 256, [](int, int) { return Rgb{0, 0, 0}; });
    EXPECT_EQ(glow_load(), 0);
    EXPECT_NE(error().find("grfade.jpg: the picture is 256 x 256"), std::string::npos) << error();
    write_jpeg(data + "/grfade.jpg", 512, 256, [](int, int) { return Rgb{0, 0, 0}; });
    write_scene(data + "/grscene.lws", 1);
    EXPECT_EQ(glow_load(), 0);
    EXPECT_NE(error().find("grscene.lws: 1 objects"), std::string::npos) << error();
    write_scene(data + "/grscene.lws", 2);
    EXPECT_EQ(glow_load(), 1) << error();
}

TEST_F(GlowTest, DissolveKeepsThePreviousPictureUntilTheThresholdPassesEachMaskLevel) {
    ASSERT_EQ(glow_load(), 1) << error();
    // Thresholds 0, 0 (0.9 truncated): nothing changes.
    ASSERT_EQ(run(2), 0);
    EXPECT_EQ(fb(10, 10), MARKER);
    EXPECT_EQ(fb(400, 200), MARKER);
    EXPECT_EQ(glow_state()->dissolve, 1.8f);
    // Threshold 1: the top half (mask 0) shows the frame, overlay and see-through teal alike.
    ASSERT_EQ(run(1), 0);
    EXPECT_EQ(fb(10, 10) & 0xFFFFFF00u, pixel_rgb(FRAME.red, FRAME.green, FRAME.blue));
    EXPECT_EQ(fb(400, 10) & 0xFFFFFF00u, TEAL);
    EXPECT_EQ(fb(10, 200), MARKER);
    // Long after 256 the whole target is copied, and the dissolve stops counting.
    ASSERT_EQ(run(300), 0);
    EXPECT_EQ(fb(400, 200) & 0xFFFFFF00u, TEAL);
    EXPECT_EQ(fb(10, 200), work(10, 200));
    const float level = glow_state()->dissolve;
    EXPECT_GE(level, 256.0f);
    ASSERT_EQ(run(5), 0);
    EXPECT_EQ(glow_state()->dissolve, level);
}

TEST_F(GlowTest, ObjectsTurnByTheAnglesOfTheFrameBefore) {
    ASSERT_EQ(glow_load(), 1) << error();
    const Scene *scene = glow_current_scene();
    ASSERT_EQ(run(1, 2.0f), 0);
    for (int n = 0; n < 2; n++) EXPECT_EQ(scene->objects[n]->rotation.pitch, 0.0f);
    ASSERT_EQ(run(1, 1.0f), 0);
    for (int n = 0; n < 2; n++) {
        EXPECT_EQ(scene->objects[n]->rotation.pitch, 0.022f * 2.0f);
        EXPECT_EQ(scene->objects[n]->rotation.heading, -0.012f * 2.0f);
        EXPECT_EQ(scene->objects[n]->rotation.bank, 0.009f * 2.0f);
    }
    EXPECT_FLOAT_EQ(glow_state()->angle_a, 0.022f * 3.0f);
}

TEST_F(GlowTest, CaptionsPopInFadeByFourATickAndLeaveOneEmptyFrameBetween) {
    ASSERT_EQ(glow_load(), 1) << error();
    // The caption clock passes 20 on the 200th frame of one tick.
    ASSERT_EQ(run(199), 0);
    EXPECT_EQ(work(100, 120) & 0xFFFFFF00u, pixel_rgb(FRAME.red, FRAME.green, FRAME.blue));
    ASSERT_EQ(run(1), 0);
    EXPECT_EQ(work(100, 120) & 0xFFFFFF00u, blended(0, 255));
    EXPECT_EQ(work(14, 110) & 0xFFFFFF00u, blended(0, 255));
    EXPECT_EQ(work(13, 110) & 0xFFFFFF00u, pixel_rgb(FRAME.red, FRAME.green, FRAME.blue));
    EXPECT_EQ(work(205, 133) & 0xFFFFFF00u, blended(0, 255));
    EXPECT_EQ(work(206, 133) & 0xFFFFFF00u, pixel_rgb(FRAME.red, FRAME.green, FRAME.blue));
    // No time: the same caption at the same strength.
    ASSERT_EQ(run(2, 0.0f), 0);
    EXPECT_EQ(glow_state()->caption_alpha, 251.0f);
    EXPECT_EQ(work(100, 120) & 0xFFFFFF00u, blended(0, 251));
    // Alphas 251 .. 3 take 63 more frames and leave the alpha at -1 ...
    ASSERT_EQ(run(63), 0);
    EXPECT_EQ(work(100, 120) & 0xFFFFFF00u, blended(0, 3));
    EXPECT_EQ(glow_state()->caption_alpha, -1.0f);
    // ... and the next draws no caption and moves to the second.
    ASSERT_EQ(run(1), 0);
    EXPECT_EQ(work(100, 120) & 0xFFFFFF00u, pixel_rgb(FRAME.red, FRAME.green, FRAME.blue));
    EXPECT_EQ(glow_state()->caption_index, 1);
    EXPECT_EQ(glow_state()->caption_alpha, 255.0f);
    ASSERT_EQ(run(1), 0);
    EXPECT_EQ(work(100, 120) & 0xFFFFFF00u, blended(1, 255));
}

TEST_F(GlowTest, AfterTheTenthCaptionThePartFadesToBlackAndEnds) {
    ASSERT_EQ(glow_load(), 1) << error();
    ASSERT_EQ(run(848), 0);
    EXPECT_EQ(glow_state()->caption_index, 9);
    ASSERT_EQ(run(1), 0); // frame 849: the tenth caption has gone
    EXPECT_EQ(glow_state()->caption_index, 10);
    EXPECT_EQ(glow_state()->ending, 0);
    ASSERT_EQ(run(1), 0); // frame 850 notices
    EXPECT_EQ(glow_state()->ending, 1);
    EXPECT_EQ(display_brightness, BRIGHTNESS_NEUTRAL);
    ASSERT_EQ(run(1), 0);
    EXPECT_EQ(display_brightness, 254);
    // 254 .. 2 over frames 851 .. 977; frame 978 goes black and ends the part.
    EXPECT_EQ(run(200), 127);
    EXPECT_EQ(display_brightness, BRIGHTNESS_BLACK);
    EXPECT_EQ(glow_state()->brightness, 0.0f);
}

TEST_F(GlowTest, CaptionStateSurvivesALoadAndLongFramesEndThePartSooner) {
    ASSERT_EQ(glow_load(), 1) << error();
    ASSERT_EQ(run(300), 0);
    const int index = glow_state()->caption_index;
    EXPECT_GE(index, 1);
    ASSERT_EQ(glow_load(), 1) << error();
    EXPECT_EQ(glow_state()->caption_index, index);
    glow_reset();
    // Two ticks a frame: half the frames, and the fade takes 4 a frame.
    EXPECT_EQ(run(1000, 2.0f), 494);
    EXPECT_EQ(display_brightness, BRIGHTNESS_BLACK);
}

} // namespace
