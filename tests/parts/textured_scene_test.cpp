// Tests of the textured scene part: nothing to play after a failed load, and the levels on still
// and long frames. The show's digests pin its frames.

#include "parts/textured_scene.h"

#include "part_fixture.h"
#include "stage/display.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using TexturedSceneTest = PartFixture;

TEST_F(TexturedSceneTest, AfterAFailedLoadThereIsNothingToPlay) {
    std::filesystem::remove(data + "/scene.lws");
    EXPECT_EQ(textured_scene_load(), 0);
    EXPECT_EQ(textured_scene_scene(), nullptr);
    EXPECT_EQ(frame(textured_scene_run, 1.0f), 0);
}

TEST_F(TexturedSceneTest, StillFramesAndLongStepsKeepTheLevelsSound) {
    ASSERT_EQ(textured_scene_load(), 1) << error();
    ASSERT_EQ(frame(textured_scene_run, 3.0f), 1);
    const TexturedSceneState before = *textured_scene_state();
    EXPECT_EQ(before.brightness, 3.0f);
    for (int n = 0; n < 5; n++) ASSERT_EQ(frame(textured_scene_run, 0.0f), 1);
    EXPECT_EQ(textured_scene_state()->brightness, before.brightness);
    EXPECT_EQ(textured_scene_state()->clock, before.clock);
    // A long step is held at neutral, never past it.
    ASSERT_EQ(frame(textured_scene_run, 400.0f), 1);
    EXPECT_EQ(textured_scene_state()->brightness, 256.0f);
    EXPECT_EQ(display_brightness, 256);
    // A long step at the close goes straight to white and ends.
    ASSERT_EQ(frame(textured_scene_run, 1000.0f), 1);
    EXPECT_EQ(frame(textured_scene_run, 1000.0f), 0);
    EXPECT_EQ(display_brightness, 511);
}

} // namespace
