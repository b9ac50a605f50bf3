// Tests of the textured scene part: its texture coordinates, refused data, and the levels on
// still and long frames. The show's digests pin its frames.

#include "parts/textured_scene.h"

#include "../engine/object_test_files.h"
#include "data/error.h"
#include "data/image.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "fillers/part_fillers.h"
#include "part_fixture.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <gmock/gmock.h>

#include <cstring>
#include <vector>

using ::testing::HasSubstr;

namespace {

float bits_to_float(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Two squares 300 ahead of the camera: rock on the left (texture A), "D" on the right
// (texture B); and a lamp (a flare) between them.
struct TexturedSceneTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        write_jpeg(data + "/scentmap.jpg", 256, 256, [](int, int) { return ::Rgb{220, 40, 30}; });
        write_jpeg(data + "/scenmap2.jpg", 256, 256, [](int, int) { return ::Rgb{30, 40, 220}; });
        write_jpeg(data + "/scenfmap.jpg", 32, 32, [](int, int) { return ::Rgb{90, 90, 90}; });
        Bytes pols;
        put_polygon(pols, {0, 1, 2}, 1);
        put_polygon(pols, {0, 2, 3}, 1);
        put_polygon(pols, {4, 5, 6}, 2);
        put_polygon(pols, {4, 6, 7}, 2);
        write_data("squares.lwo",
                   lwob({pnts({-150, -100, 0, -150, 100, 0, -10, 100, 0, -10, -100, 0, //
                               10,   -100, 0, 10,   100, 0, 150, 100, 0, 150, -100, 0}),
                         srfs({"Rock", "D"}), chunk("POLS", pols), surf("Rock", 1, 2, 3),
                         surf("D", 4, 5, 6)}));
        Bytes flare;
        put_polygon(flare, {0, 1, 2}, 1);
        write_data("lamp.lwo", lwob({pnts({-5, -5, -5, 5, 5, 5, 5, -5, 5}), srfs({"QVX_FLARE"}),
                                     chunk("POLS", flare), surf("QVX_FLARE", 255, 255, 255)}));
        write_scene();
    }

    void write_scene() {
        write_data("scene.lws",
                   scene_text({{"squares.lwo", 0, 0, 300}, {"lamp.lwo", 0, 0, 300}}, false, 0, 0));
    }
    static int frame(float dt) { return PartFixture::frame(textured_scene_run, dt); }
};

// The u, v of face's vertex at model point (x, y), or (-9, -9) when it has none there.
std::pair<float, float> uv_at(const SceneObject *object, int face, float x, float y) {
    const Face &f = object->faces[face];
    for (int k = 0; k < 3; k++) {
        const Vec3 &p = object->points[f.point_index[k]];
        if (p.x == x && p.y == y) return {f.uv[2 * k], f.uv[2 * k + 1]};
    }
    return {-9.0f, -9.0f};
}

// Planar Y reads x and z (z is 0 here), planar Z reads x and y; texels are 255 times the
// fraction, then a 256th. The door square is wider than its picture: past x = 145 it repeats.
TEST_F(TexturedSceneTest, CoordinatesRunFromZeroToOne) {
    ASSERT_EQ(textured_scene_load(), 1) << data_last_error();
    const SceneObject *squares = textured_scene_scene()->objects[0];
    const float size = bits_to_float(0x4442748b);
    const float texel = 255.0f * 0.00390625f;
    const auto rock = uv_at(squares, 0, -150.0f, -100.0f);
    EXPECT_FLOAT_EQ(rock.first, (0.5f - 150.0f / size) * texel);
    EXPECT_FLOAT_EQ(rock.second, 0.5f * texel);
    EXPECT_FLOAT_EQ(uv_at(squares, 0, -10.0f, 100.0f).first, (0.5f - 10.0f / size) * texel);
    const auto near = uv_at(squares, 2, 10.0f, -100.0f);
    EXPECT_FLOAT_EQ(near.first, (0.5f + 10.0f / 290.0f) * texel);
    EXPECT_FLOAT_EQ(near.second, (0.5f + 100.0f / 290.0f) * texel);
    const auto far = uv_at(squares, 2, 150.0f, 100.0f);
    EXPECT_NEAR(far.first, (150.0f / 290.0f - 0.5f) * texel, 1e-6f); // repeated
    EXPECT_FLOAT_EQ(far.second, (0.5f - 100.0f / 290.0f) * texel);
    for (int f = 0; f < squares->face_count; f++)
        for (int k = 0; k < 6; k++) {
            EXPECT_GE(squares->faces[f].uv[k], 0.0f);
            EXPECT_LT(squares->faces[f].uv[k], 1.0f);
        }
}

TEST_F(TexturedSceneTest, RefusesMissingOrMisshapenData) {
    for (const char *name : {"scene.lws", "scentmap.jpg", "scenmap2.jpg", "scenfmap.jpg"}) {
        std::filesystem::rename(data + "/" + name, data + "/aside");
        data_clear_error();
        EXPECT_EQ(textured_scene_load(), 0) << name;
        EXPECT_THAT(data_last_error(), HasSubstr(name));
        EXPECT_EQ(textured_scene_scene(), nullptr);
        EXPECT_EQ(frame(1.0f), 0) << "nothing loaded, nothing to play";
        std::filesystem::rename(data + "/aside", data + "/" + name);
    }
    // The filler reads whole 256 x 256 pages: a smaller texture is refused, not overrun.
    write_jpeg(data + "/scenmap2.jpg", 128, 256, [](int, int) { return ::Rgb{1, 2, 3}; });
    EXPECT_EQ(textured_scene_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("scenmap2.jpg"));
    EXPECT_THAT(data_last_error(), HasSubstr("128 x 256"));
}

TEST_F(TexturedSceneTest, StillFramesAndLongStepsKeepTheLevelsSound) {
    ASSERT_EQ(textured_scene_load(), 1) << data_last_error();
    ASSERT_EQ(frame(3.0f), 1);
    const TexturedSceneState before = *textured_scene_state();
    EXPECT_EQ(before.brightness, 3.0f);
    for (int n = 0; n < 5; n++) ASSERT_EQ(frame(0.0f), 1);
    EXPECT_EQ(textured_scene_state()->brightness, before.brightness);
    EXPECT_EQ(textured_scene_state()->clock, before.clock);
    // A long step is held at neutral, never past it.
    ASSERT_EQ(frame(400.0f), 1);
    EXPECT_EQ(textured_scene_state()->brightness, 256.0f);
    EXPECT_EQ(display_brightness, 256);
    // A long step at the close goes straight to white and ends.
    ASSERT_EQ(frame(1000.0f), 1);
    EXPECT_EQ(frame(1000.0f), 0);
    EXPECT_EQ(display_brightness, 511);
}

} // namespace
