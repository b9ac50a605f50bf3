// Tests of the glow part: what its load refuses, and its state across a load and a reset. The
// show's digests pin its frames (dissolve, captions, closing fade).

#include "data/error.h"
#include "data/memory.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "part_fixture.h"
#include "parts/glow.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr Rgb FRAME = {120, 60, 200};

// The glow's objects, and (unless `objects` is 1) a third; the camera far back.
std::string glow_scene(int objects) {
    std::vector<Placed> placed(objects, Placed{"grbit.lwo", 0, 0, 0});
    return scene_text(placed, false, 0, -4000);
}

struct GlowTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        write_jpeg(data + "/grflare.jpg", 256, 256, [](int, int) { return Rgb{250, 200, 120}; });
        write_tga(data + "/grback.tga", 512, 256, [](int x, int) {
            return x < 256 ? FRAME : Rgb{21, 58, 58};
        });
        write_jpeg(data + "/grfade.jpg", 512, 256, [](int, int y) {
            return y < 128 ? Rgb{0, 0, 0} : Rgb{200, 200, 200};
        });
        for (int n = 0; n < GLOW_CAPTIONS; n++)
            write_tga(data + "/g" + std::to_string(n + 1) + ".tga", 192, 24, [](int, int) {
                return Rgb{40, 200, 90};
            });
        write_cube_object(data + "/grbit.lwo", 3, 2.0f);
        write_data("grscene.lws", glow_scene(3));
        glow_reset();
    }
    static int run(int n, float dt = 1.0f) { return frames(glow_run, n, dt); }
};

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
    write_data("grscene.lws", glow_scene(1));
    EXPECT_EQ(glow_load(), 0);
    EXPECT_NE(error().find("grscene.lws: 1 objects"), std::string::npos) << error();
    write_data("grscene.lws", glow_scene(2));
    EXPECT_EQ(glow_load(), 1) << error();
}

TEST_F(GlowTest, CaptionStateSurvivesALoadButNotAReset) {
    ASSERT_EQ(glow_load(), 1) << error();
    ASSERT_EQ(run(300), 0);
    const int index = glow_state()->caption_index;
    EXPECT_GE(index, 1);
    ASSERT_EQ(glow_load(), 1) << error();
    EXPECT_EQ(glow_state()->caption_index, index);
    glow_reset();
    EXPECT_EQ(glow_state()->caption_index, 0);
}

} // namespace
