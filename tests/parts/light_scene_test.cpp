// Tests of the light scene part: the tunnel table and offset, the dressing of its scene, refused
// data, and the run's timings from the white opening to the white end.

#include "parts/light_scene.h"

#include "../engine/object_test_files.h"
#include "data/image.h"
#include "stage/stage.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "fillers/fillers.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "show_files.h"

#include <gmock/gmock.h>

#include <cstring>
#include <vector>

using ::testing::HasSubstr;

namespace {

// Joins lines with CR LF after each.
std::string crlf(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &l : lines) text += l + "\r\n";
    return text;
}

// A motion block of one key at (0, 0, z).
std::vector<std::string> one_key(const std::string &keyword, int z) {
    return {keyword + " (unnamed)", "9", "1", "0 0 " + std::to_string(z) + " 0 0 0 1 1 1",
            "0 0 0 0 0"};
}

constexpr uint32_t BAR_UP_PIXEL = pixel_rgb(10, 20, 30);
constexpr uint32_t BAR_DOWN_PIXEL = pixel_rgb(40, 50, 60);
constexpr uint32_t CAPTION_UP_PIXEL = pixel_rgb(70, 80, 90);
constexpr uint32_t CAPTION_DOWN_PIXEL = pixel_rgb(100, 110, 120);

class LightSceneTest : public DataFolderTest {
  protected:
    void SetUp() override {
        DataFolderTest::SetUp();
        FrameBuffer = image_create(512, 256, IMG_DEPTH | 7);
        ASSERT_NE(FrameBuffer, nullptr);
        BarUp = filled(304, 29, BAR_UP_PIXEL);
        BarDown = filled(304, 29, BAR_DOWN_PIXEL);
        TextStrip[7] = filled(256, 24, CAPTION_UP_PIXEL);
        TextStrip[8] = filled(256, 24, CAPTION_DOWN_PIXEL);
        display_brightness = BRIGHTNESS_NEUTRAL;
        std::string data = (dir / "data").string();
        std::filesystem::create_directories(data);
        write_jpeg(data + "/liteback.jpg", 512, 256, [](int, int) { return ::Rgb{20, 20, 60}; });
        write_jpeg(data + "/litetext.jpg", 256, 256, [](int x, int y) {
            return ::Rgb{uint8_t(x), uint8_t(y), 128};
        });
        // A square facing the camera; every object of the scene is one.
        Bytes pols;
        put_polygon(pols, {0, 1, 2}, 1);
        put_polygon(pols, {0, 2, 3}, 1);
        write("data/square.lwo",
              lwob({pnts({-20, -20, 0, -20, 20, 0, 20, 20, 0, 20, -20, 0}), srfs({"Glow"}),
                    chunk("POLS", pols), surf("Glow", 40, 50, 60)}));
        write_scene(4, true);
    }

    static Image *filled(int w, int h, uint32_t pixel) {
        Image *image = image_create(w, h, 0);
        image_fill_rect(image, pixel, 0, 0, w, h);
        return image;
    }

    // A scene of `objects` squares before the camera, with or without a light. Of four, the
    // glowing two are nearest, then the lettered one, and the one drawn as loaded is farthest.
    void write_scene(int objects, bool with_light) {
        static const int depth[4] = {150, 160, 300, 250};
        std::vector<std::string> lines = {"LWSC", "1", ""};
        for (int i = 0; i < objects; i++) {
            lines.push_back("LoadObject data\\square.lwo");
            for (const std::string &l : one_key("ObjectMotion", depth[i % 4])) lines.push_back(l);
            lines.push_back("");
        }
        if (with_light) {
            lines.push_back("AddLight");
            for (const std::string &l : one_key("LightMotion", -300)) lines.push_back(l);
            lines.push_back("");
        }
        lines.push_back("ShowCamera");
        for (const std::string &l : one_key("CameraMotion", 0)) lines.push_back(l);
        lines.push_back("");
        write("data/litescen.lws", crlf(lines));
    }

    static int frame(float dt) {
        frame_time = dt;
        return light_scene_run();
    }
    static uint32_t fb(int x, int y) { return FrameBuffer->pixels[y * 512 + x]; }
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

TEST_F(LightSceneTest, LoadDressesTheSceneAndSetsTheOpening) {
    ASSERT_EQ(light_scene_load(), 1) << data_last_error();
    const LightSceneState *s = light_scene_state();
    EXPECT_EQ(s->fade_level, 511.0f);
    EXPECT_EQ(s->upper_bar_y, -32.0f);
    EXPECT_EQ(s->lower_bar_y, 259.0f);
    EXPECT_EQ(s->clock + s->tunnel_phase + s->blur_angle_x + s->blur_angle_y, 0.0f);
}

TEST_F(LightSceneTest, DressingGivesEachObjectItsDrawing) {
    Scene *scene = load_scene("data\\litescen.lws", 512, 256, 400.0f, 0x53);
    Image *texture = load_jpeg("data\\litetext.jpg", 0);
    ASSERT_TRUE(scene && texture) << data_last_error();
    ASSERT_EQ(light_scene_dress(scene, texture, "x.lws"), 1);
    const Light *lamp = scene->lights[0];
    EXPECT_EQ(lamp->type, 2);
    EXPECT_EQ(lamp->intensity, 200.0f);
    EXPECT_EQ(lamp->range, 150.0f);
    EXPECT_EQ(lamp->motion, nullptr);
    EXPECT_EQ(lamp->world_position.z, -1530.0f);
    for (int o = 0; o < 2; o++)
        for (int f = 0; f < 2; f++) {
            EXPECT_EQ(scene->objects[o]->faces[f].flags, FACE_SOLID);
            EXPECT_EQ(scene->objects[o]->faces[f].draw_hook, fill_flat_add_depth);
        }
    const Face &kept = scene->objects[2]->faces[0];
    EXPECT_EQ(kept.flags, FACE_SOLID | FACE_FLAT);
    EXPECT_EQ(kept.draw_hook, nullptr);
    const SceneObject *lettered = scene->objects[3];
    const Face &face = lettered->faces[0];
    EXPECT_EQ(face.flags, FACE_TEXTURED);
    EXPECT_EQ(face.texture[0], texture);
    EXPECT_EQ(face.draw_hook, fill_textured_depth);
    // The square's normals point along z: u and v sit at the texture's middle.
    EXPECT_FLOAT_EQ(face.uv[face.uv_layer[0]], 127.0f);
    EXPECT_FLOAT_EQ(face.uv[face.uv_layer[0] + 1], 127.0f);
}

TEST_F(LightSceneTest, RefusesWhatItWouldReadOutOfBounds) {
    std::string data = (dir / "data").string();
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

// With one tick per frame: the fade settles at 330, the bars come in after 100 ticks and stop
// at rows 0 and 227, and the fade back to white ends the part on its 1,132nd frame.
TEST_F(LightSceneTest, OpensOutOfWhiteAndEndsInWhite) {
    ASSERT_EQ(light_scene_load(), 1) << data_last_error();
    const LightSceneState *s = light_scene_state();
    ASSERT_EQ(frame(1.0f), 1);
    EXPECT_EQ(display_brightness, 510);
    int frames = 1;
    while (s->clock < 900.0f) {
        ASSERT_EQ(frame(1.0f), 1);
        frames++;
        EXPECT_GE(s->fade_level, 330.0f);
        if (s->clock <= 101.0f) {
            EXPECT_EQ(s->upper_bar_y, -32.0f) << s->clock;
        }
    }
    EXPECT_EQ(display_brightness, 330);
    EXPECT_EQ(s->upper_bar_y, 0.0f);
    EXPECT_EQ(s->lower_bar_y, 227.0f);
    EXPECT_EQ(fb(260, 0), BAR_UP_PIXEL);
    EXPECT_EQ(fb(100, 10), CAPTION_UP_PIXEL);
    EXPECT_EQ(fb(245, 240), BAR_DOWN_PIXEL);
    EXPECT_EQ(fb(300, 240), CAPTION_DOWN_PIXEL);
    while (frame(1.0f)) frames++;
    EXPECT_EQ(frames, 1131);
    EXPECT_EQ(display_brightness, BRIGHTNESS_NEUTRAL);
    for (int i = 0; i < 512 * 256; i++) ASSERT_EQ(FrameBuffer->pixels[i], 0xffffff00u) << i;
}

// A frame of no time draws the same picture again (the scene too: the depth buffer starts
// afresh every frame) and moves nothing.
TEST_F(LightSceneTest, AStillFrameRepeatsTheLastPicture) {
    ASSERT_EQ(light_scene_load(), 1) << data_last_error();
    const LightSceneState *s = light_scene_state();
    ASSERT_EQ(frame(0.0f), 1);
    const LightSceneState before = *s;
    std::vector<uint32_t> picture(FrameBuffer->pixels, FrameBuffer->pixels + 512 * 256);
    ASSERT_EQ(frame(0.0f), 1);
    EXPECT_EQ(std::memcmp(&before, s, sizeof before), 0);
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), FrameBuffer->pixels));
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
