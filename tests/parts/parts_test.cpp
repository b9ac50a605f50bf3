// Tests of what every part's load refuses, and of the title and hidden picture parts where the
// show does not take them.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "part_fixture.h"
#include "parts/glow.h"
#include "parts/magnet.h"
#include "parts/metaball.h"
#include "parts/title.h"
#include "picture_write.h"
#include "stage/display.h"
#include "stage/faults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fnmatch.h>
#include <sstream>
#include <string>

namespace {

using PartTest = PartFixture;

bool matches(const std::string &name, const char *patterns) {
    std::istringstream words(patterns);
    for (std::string p; words >> p;)
        if (fnmatch(p.c_str(), name.c_str(), 0) == 0) return true;
    return false;
}

// Each part loads from the whole data, and fails naming any one of its files that is missing.
TEST_F(PartTest, EveryFileAPartLoadsIsNamedWhenMissing) {
    const struct {
        PartLoad load;
        const char *files; // file name patterns, separated by blanks
    } parts[] = {{intro_load, "i* c_* vandrel*"},
                 {title_load, "quellmor*"},
                 {magnet_load, "magn*"},
                 {portrait_load, "girl*"},
                 {glow_load, "g[r0-9]*"},
                 {textured_scene_load, "scen*"},
                 {metaball_load, "meta*"},
                 {light_scene_load, "lite*"},
                 {particle_morph_load, "ptl_* pmorph*"},
                 {raytraced_load, "trace*"}};
    for (const auto &part : parts) {
        SCOPED_TRACE(part.files);
        ASSERT_EQ(part.load(), 1) << error();
        int named = 0;
        for (const auto &entry : std::filesystem::directory_iterator(data)) {
            const std::string name = entry.path().filename();
            if (!matches(name, part.files)) continue;
            std::filesystem::remove(entry.path());
            mem_free_all();
            make_stage();
            magnet_reset(), glow_reset(), metaball_reset(), title_reset();
            data_clear_error();
            EXPECT_EQ(part.load(), 0) << name;
            EXPECT_NE(error().find(name), std::string::npos) << error();
            named++;
            restore_data(name);
        }
        EXPECT_GT(named, 0);
    }
}

// Every picture a part reads by rows, columns or pages of a fixed size.
TEST_F(PartTest, PicturesOfTheWrongSizeAreRefusedNamingTheFile) {
    const struct {
        PartLoad load;
        const char *file;
        int width, height;
        const char *says;
    } cases[] = {
        {intro_load, "ibob.jpg", 64, 64, "ibob.jpg: the picture is 64 x 64, not 128 x 128"},
        {intro_load, "c_alpha.jpg", 320, 32, "c_alpha.jpg: the picture is 320 x 32"},
        {intro_load, "vandrel.jpg", 512, 100, "not at least 512 x 140"},
        {intro_load, "iback.jpg", 512, 512, ""},
        {title_load, "quellmor.jpg", 256, 256, ""},
        {magnet_load, "magnphng.jpg", 128, 256, ""},
        {glow_load, "grfade.jpg", 256, 256, "grfade.jpg: the picture is 256 x 256"},
        {textured_scene_load, "scenmap2.jpg", 128, 256, "128 x 256"},
        {metaball_load, "metaenvm.jpg", 128, 256, ""},
        {light_scene_load, "litetext.jpg", 128, 256, ""},
        {particle_morph_load, "ptl_text.jpg", 128, 256, ""},
        {raytraced_load, "tracemap.jpg", 128, 256, ""},
    };
    for (const auto &c : cases) {
        write_flat_jpeg(c.file, c.width, c.height);
        data_clear_error();
        EXPECT_EQ(c.load(), 0) << c.file;
        EXPECT_NE(error().find(c.file), std::string::npos) << error();
        EXPECT_NE(error().find(c.says), std::string::npos) << error();
        restore_data(c.file);
    }
    // A credits picture of the wrong size is refused too, whatever its format.
    std::vector<uint8_t> rgb(320 * 63 * 3, 1);
    ASSERT_TRUE(tga_save((data + "/c_case.tga").c_str(), 320, 63, rgb.data()));
    EXPECT_EQ(intro_load(), 0);
    EXPECT_NE(error().find("c_case.tga"), std::string::npos);
}

TEST_F(PartTest, ScenesWithoutALightAreRefused) {
    const struct {
        PartLoad load;
        const char *scene, *says;
    } cases[] = {{metaball_load, "metascen.lws", "no light"},
                 {light_scene_load, "litescen.lws", "needs an object and a light"}};
    for (const auto &c : cases) {
        write_data(c.scene, without_lights(read_data(c.scene)));
        EXPECT_EQ(c.load(), 0) << c.scene;
        EXPECT_NE(error().find(c.scene), std::string::npos) << error();
        EXPECT_NE(error().find(c.says), std::string::npos) << error();
        restore_data(c.scene);
    }
}

TEST_F(PartTest, ALongFirstTitleFrameEndsThePartBeforeDrawing) {
    title_reset();
    ASSERT_EQ(title_load(), 1);
    EXPECT_EQ(frame(title_run, 201), 0);
    EXPECT_EQ(fb(100, 100), 0u);
}

TEST_F(PartTest, HiddenPictureLoadsOnceAndNeutralisesTheFade) {
    hidden_picture_reset();
    display_brightness = 100;
    hidden_picture_run();
    EXPECT_EQ(display_brightness, BRIGHTNESS_NEUTRAL);
    const Image *picture = load_jpeg("data\\moorlight.jpg", 0);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(fb(5, 5) & 0xFFFFFF00u, picture->pixels[5 * 512 + 5] & 0xFFFFFF00u);
    EXPECT_EQ(fault_count(), 0);
}

TEST_F(PartTest, AMissingHiddenPictureIsReportedOnceAndLeavesTheFrame) {
    hidden_picture_reset();
    std::filesystem::remove(data + "/moorlight.jpg");
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
