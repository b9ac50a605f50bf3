// Tests of the closing part where the show does not go: its first call, a long frame, files
// that are missing or wrong. The show's digests pin its frames.

#include "../engine/object_test_files.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "part_fixture.h"
#include "parts/end.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr Rgb BACK = {100, 60, 20};
constexpr Rgb TEXT = {250, 10, 20};

// A scene of a two-surface object at (0, 0, z), three flares and, when asked, a light; the
// camera at the origin looks along +z.
std::string end_scene_text(int object_z, bool light) {
    return scene_text({{"endobj.lwo", 0, 0, float(object_z)},
                       {"endflr.lwo", 0, 0, 300},
                       {"endflr.lwo", 20, 0, 300},
                       {"endflr.lwo", 40, 0, 300}},
                      light, 0, 0);
}

struct EndTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        write_files(-300, true);
        end_reset();
    }
    void TearDown() override {
        end_reset();
        PartFixture::TearDown();
    }
    // Every file of the part. An object at z < 0 stands behind the camera and draws nothing.
    void write_files(int object_z, bool light) {
        write_data("endscene.lws", end_scene_text(object_z, light));
        Bytes pols;
        put_polygon(pols, {0, 1, 2}, 1);
        put_polygon(pols, {0, 2, 3}, 2);
        write_data("endobj.lwo", lwob({pnts({-60, -60, 0, -60, 60, 0, 60, 60, 0, 60, -60, 0}),
                                       srfs({"A", "B"}), chunk("POLS", pols)}));
        Bytes flare;
        put_polygon(flare, {0, 1, 2}, 1);
        write_data("endflr.lwo", lwob({pnts({0, 0, 0, 10, 10, 10, 10, 0, 0}), srfs({"QVX_FLARE"}),
                                       chunk("POLS", flare)}));
        write_jpeg(data + "/endback.jpg", 512, 256, [](int, int) { return BACK; });
        write_jpeg(data + "/endtmap.jpg", 256, 256, [](int x, int y) {
            return Rgb{uint8_t(x), uint8_t(y), 128};
        });
        write_jpeg(data + "/endfmap.jpg", 64, 64, [](int, int) { return Rgb{90, 90, 0}; });
        write_jpeg(data + "/endfmap2.jpg", 32, 32, [](int, int) { return Rgb{0, 90, 90}; });
        // Text in the scroller's first row; its first ten columns have no red (transparent).
        write_tga(data + "/endscrol.tga", 512, 300, [](int x, int y) {
            if (y != 0) return Rgb{0, 0, 0};
            return x < 10 ? Rgb{0, 200, 200} : TEXT;
        });
    }
    static int frame(float dt) { return PartFixture::frame(end_run, dt); }
};

TEST_F(EndTest, FirstCallLoadsAndLeavesTheScreenBlack) {
    image_fill_rect(FrameBuffer, pixel_rgb(9, 8, 7), 0, 0, 512, 256);
    ASSERT_EQ(frame(500), 1); // however long the loading took
    EXPECT_EQ(display_brightness, 0);
    EXPECT_EQ(fb(300, 200), pixel_rgb(9, 8, 7)); // nothing drawn
    const EndState *s = end_state();
    EXPECT_EQ(s->loaded, 1);
    EXPECT_EQ(s->scroll, -256.0f);
    EXPECT_EQ(s->clock, 0.0f);
    EXPECT_EQ(s->volume, 0.0f);
    EXPECT_EQ(fault_count(), 0); // no sound device: the music is not a fault
}

TEST_F(EndTest, ALongFrameJumpsStraightToTheHeldLevel) {
    ASSERT_EQ(frame(0), 1);
    ASSERT_EQ(frame(300), 1); // 240 at once
    EXPECT_EQ(display_brightness, 240);
    ASSERT_EQ(frame(1), 1);
    EXPECT_EQ(display_brightness, 216);
    EXPECT_EQ(end_state()->volume, 150.5f);
}

TEST_F(EndTest, AMissingOrDamagedFileEndsThePartWithAReport) {
    for (const char *name : {"endscene.lws", "endobj.lwo", "endback.jpg", "endtmap.jpg",
                             "endfmap.jpg", "endfmap2.jpg", "endscrol.tga"}) {
        write_files(-300, true);
        write_data(name, "damaged");
        end_reset();
        fault_reset();
        testing::internal::CaptureStderr();
        EXPECT_EQ(frame(0), 0) << name;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(name), std::string::npos) << err;
        EXPECT_EQ(fault_count(), 1) << name;
        EXPECT_EQ(end_state()->loaded, 0);
        EXPECT_EQ(end_scene(), nullptr);
    }
}

TEST_F(EndTest, ASceneWithoutALightIsRefused) {
    write_files(-300, false);
    testing::internal::CaptureStderr();
    EXPECT_EQ(frame(0), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("endscene.lws"), std::string::npos) << err;
    EXPECT_EQ(fault_count(), 1);
}

} // namespace
