// Tests of the light scene part: the tunnel table and offset worked by hand, refused data, and
// long frames. The show's digests pin its frames.

#include "parts/light_scene.h"

#include "../engine/object_test_files.h"
#include "data/image.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "fillers/fillers.h"
#include "part_fixture.h"
#include "stage/stage.h"

#include <gmock/gmock.h>

#include <cstring>
#include <vector>

using ::testing::HasSubstr;

namespace {

struct LightSceneTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        write_jpeg(data + "/liteback.jpg", 512, 256, [](int, int) { return ::Rgb{20, 20, 60}; });
        write_jpeg(data + "/litetext.jpg", 256, 256, [](int x, int y) {
            return ::Rgb{uint8_t(x), uint8_t(y), 128};
        });
        // A square facing the camera; every object of the scene is one.
        Bytes pols;
        put_polygon(pols, {0, 1, 2}, 1);
        put_polygon(pols, {0, 2, 3}, 1);
        write_data("square.lwo",
                   lwob({pnts({-20, -20, 0, -20, 20, 0, 20, 20, 0, 20, -20, 0}), srfs({"Glow"}),
                         chunk("POLS", pols), surf("Glow", 40, 50, 60)}));
        write_scene(4, true);
    }

    // A scene of `objects` squares before the camera, with or without a light. Of four, the
    // glowing two are nearest, then the lettered one, and the one drawn as loaded is farthest.
    void write_scene(int objects, bool with_light) {
        static const float depth[4] = {150, 160, 300, 250};
        std::vector<Placed> placed;
        for (int i = 0; i < objects; i++) placed.push_back({"square.lwo", 0, 0, depth[i % 4]});
        write_data("litescen.lws", scene_text(placed, with_light, -300, 0));
    }
    static int frame(float dt) { return PartFixture::frame(light_scene_run, dt); }
};

// Pixels whose entries were worked out by hand from the tunnel's formulas.
TEST(LightSceneTunnel, EntriesFollowTheRayIntoTheTube) {
    EXPECT_EQ(light_scene_tunnel_entry(0, 255), 0x0900u);   // radius 1, 0.12 rad round the tube
    EXPECT_EQ(light_scene_tunnel_entry(511, 255), 0xf600u); // the far side of the circle
    EXPECT_EQ(light_scene_tunnel_entry(100, 200), 0x2900u);
    EXPECT_EQ(light_scene_tunnel_entry(400, 50), 0xac00u);
    // Straight above the vanishing point: a quarter turn; near it the hit is deep enough to
    // reach texture column 1.
    EXPECT_EQ(light_scene_tunnel_entry(256, 100), 0x7f00u);
    EXPECT_EQ(light_scene_tunnel_entry(256, 255), 0x7f01u);
    // On the top row the radius is 0: the ray meets the axis at the origin.
    EXPECT_EQ(light_scene_tunnel_entry(10, 0), 0u);
}

TEST(LightSceneTunnel, OffsetWrapsNegativeSwingsWithinItsBytes) {
    EXPECT_EQ(light_scene_tunnel_offset(0.0f), 0u);
    // sin 1.5 = 0.9975 -> row 127; sin 1.8 = 0.9738 -> column 194.
    EXPECT_EQ(light_scene_tunnel_offset(1.0f), 127u << 8 | 194u);
    // sin 3.75 = -0.5716 -> row -73; sin 4.5 = -0.9775 -> column -195 (61 in its byte).
    EXPECT_EQ(light_scene_tunnel_offset(2.5f), uint32_t(256 - 73) << 8 | 61u);
}

TEST(LightSceneTunnel, SumCarriesFromColumnIntoRowAndWrapsAtTheTexture) {
    Image *texture = image_create(256, 256, 0);
    Image *dst = image_create(512, 256, 0);
    ASSERT_TRUE(texture && dst);
    for (uint32_t i = 0; i < 65536; i++) texture->pixels[i] = i << 8;
    std::vector<uint32_t> table(512 * 256);
    for (size_t i = 0; i < table.size(); i++) table[i] = uint32_t(i * 7) & 0xffff;
    table[0] = 0x01ff; // the last column of row 1
    table[1] = 0xffff; // the last texel
    light_scene_draw_tunnel(table.data(), texture, 0, dst);
    for (size_t i = 0; i < table.size(); i++) ASSERT_EQ(dst->pixels[i], table[i] << 8) << i;
    light_scene_draw_tunnel(table.data(), texture, 1, dst);
    EXPECT_EQ(dst->pixels[0], 0x0200u << 8); // the first column of row 2, not of row 1
    EXPECT_EQ(dst->pixels[1], 0u);
    light_scene_draw_tunnel(table.data(), texture, 0x8040, dst);
    EXPECT_EQ(dst->pixels[5], ((5 * 7 + 0x8040) & 0xffffu) << 8);
    mem_free_all();
}

TEST_F(LightSceneTest, RefusesWhatItWouldReadOutOfBounds) {
    write_jpeg(data + "/litetext.jpg", 128, 256, [](int, int) { return ::Rgb{1, 2, 3}; });
    EXPECT_EQ(light_scene_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("litetext.jpg"));
    write_jpeg(data + "/litetext.jpg", 256, 256, [](int, int) { return ::Rgb{1, 2, 3}; });
    write_scene(2, false);
    EXPECT_EQ(light_scene_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("litescen.lws"));
    std::filesystem::remove(data + "/liteback.jpg");
    EXPECT_EQ(light_scene_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("liteback.jpg"));
}

TEST_F(LightSceneTest, BigStepsClampTheFadeAndTheBars) {
    ASSERT_EQ(light_scene_load(), 1) << data_last_error();
    const LightSceneState *s = light_scene_state();
    ASSERT_EQ(frame(200.0f), 1); // the fade floors at 330 at once
    EXPECT_EQ(s->fade_level, 330.0f);
    ASSERT_EQ(frame(500.0f), 1); // clock 200: past 100, the bars jump to their stops
    EXPECT_EQ(s->upper_bar_y, 0.0f);
    EXPECT_EQ(s->lower_bar_y, 227.0f);
    ASSERT_EQ(frame(400.0f), 1); // clock 700 -> 1100
    EXPECT_EQ(frame(200.0f), 0); // 330 + 200 passes white
    EXPECT_EQ(s->fade_level, 511.0f);
}

} // namespace
