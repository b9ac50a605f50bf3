// Tests of the light scene part on long frames, and its packed tunnel against the plain one. The
// show's digests pin its frames.

#include "parts/light_scene.h"

#include "data/image.h"
#include "part_fixture.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

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

// A random table and texture, offsets across the 16-bit range and past it: the packed tunnel is
// the plain one.
TEST(LightSceneTunnel, PackedPixelsEqualThePlainOnes) {
    std::mt19937 rng(18);
    const size_t pixels = 512 * 256;
    std::vector<uint16_t> table(pixels);
    std::vector<uint32_t> texels(65536), packed(pixels), plain(pixels);
    for (auto &t : table) t = static_cast<uint16_t>(rng());
    for (auto &t : texels) t = static_cast<uint32_t>(rng());
    Image texture{}, out{};
    texture.width = texture.height = 256;
    texture.pixels = texels.data();
    out.width = 512, out.height = 256;
    for (uint32_t offset : {0u, 1u, 0xffffu, static_cast<uint32_t>(rng() % 65536)}) {
        out.pixels = packed.data();
        light_scene_draw_tunnel(table.data(), &texture, offset, &out);
        out.pixels = plain.data();
        light_scene_draw_tunnel_plain(table.data(), &texture, offset, &out);
        ASSERT_EQ(packed, plain) << offset;
    }
}

} // namespace
