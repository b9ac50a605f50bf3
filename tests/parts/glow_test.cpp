// Tests of the glow part: what its load refuses, and its state across a load and a reset. The
// show's digests pin its frames (dissolve, captions, closing fade).

#include "part_fixture.h"
#include "parts/glow.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct GlowTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        glow_reset();
    }
};

TEST_F(GlowTest, ATruncatedOverlayOrAOneObjectSceneIsRefused) {
    ASSERT_EQ(truncate((data + "/grback.tga").c_str(), 3000), 0);
    EXPECT_EQ(glow_load(), 0);
    EXPECT_NE(error().find("grback.tga"), std::string::npos) << error();
    restore_data("grback.tga");
    write_data("grscene.lws", scene_text({"grsun.lwo"}));
    EXPECT_EQ(glow_load(), 0);
    EXPECT_NE(error().find("grscene.lws: 1 objects"), std::string::npos) << error();
    write_data("grscene.lws", scene_text({"grsun.lwo", "grstar.lwo"}));
    EXPECT_EQ(glow_load(), 1) << error();
}

TEST_F(GlowTest, CaptionStateSurvivesALoadButNotAReset) {
    ASSERT_EQ(glow_load(), 1) << error();
    ASSERT_EQ(frames(glow_run, 30, 10.0f), 0); // the first caption in and out
    const int index = glow_state()->caption_index;
    EXPECT_GE(index, 1);
    ASSERT_EQ(glow_load(), 1) << error();
    EXPECT_EQ(glow_state()->caption_index, index);
    glow_reset();
    EXPECT_EQ(glow_state()->caption_index, 0);
}

} // namespace
