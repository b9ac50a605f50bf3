// Tests of the light scene part on long frames. The show's digests pin its frames.

#include "parts/light_scene.h"

#include "part_fixture.h"

#include <gtest/gtest.h>

namespace {

using LightSceneTest = PartFixture;

TEST_F(LightSceneTest, BigStepsClampTheFadeAndTheBars) {
    ASSERT_EQ(light_scene_load(), 1) << error();
    const LightSceneState *s = light_scene_state();
    ASSERT_EQ(frame(light_scene_run, 200.0f), 1); // the fade floors at 330 at once
    EXPECT_EQ(s->fade_level, 330.0f);
    ASSERT_EQ(frame(light_scene_run, 500.0f),
              1); // clock 200: past 100, the bars jump to their stops
    EXPECT_EQ(s->upper_bar_y, 0.0f);
    EXPECT_EQ(s->lower_bar_y, 227.0f);
    ASSERT_EQ(frame(light_scene_run, 400.0f), 1); // clock 700 -> 1100
    EXPECT_EQ(frame(light_scene_run, 200.0f), 0); // 330 + 200 passes white
    EXPECT_EQ(s->fade_level, 511.0f);
}

} // namespace
