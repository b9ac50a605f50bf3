// Tests of the render pipeline where the show's scenes do not reach: zero-area and special faces,
// degenerate clipping, the light types the show never uses, and single points.

#include "engine/render.h"

#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"
#include "engine/scene.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view = view_create(512, 256, 400);
        target = image_create(512, 256, 0);
        ASSERT_NE(view, nullptr);
        ASSERT_NE(target, nullptr);
    }
    void TearDown() override { mem_free_all(); }

    // A face with camera-space vertices (z already less the focal length).
    Face *face_at(Vec3 a, Vec3 b, Vec3 c, int flags = FACE_SOLID | FACE_FLAT) {
        Face *f = new_faces(1);
        f->v[0] = a;
        f->v[1] = b;
        f->v[2] = c;
        f->flags = flags;
        return f;
    }

    RenderView *view = nullptr;
    Image *target = nullptr;
};

// Light of a type at a camera-relative position.
Light *light_at(int type, Vec3 p, float intensity = 255.0f) {
    Light *l = static_cast<Light *>(mem_alloc(sizeof(Light)));
    l->type = type;
    l->range = 200.0f;
    l->view_position = p;
    l->intensity = intensity;
    return l;
}

} // namespace

TEST_F(RenderTest, BackFacesAreThoseClockwiseOnScreen) {
    const Vec3 a{0, 0, 100}, b{10, 0, 100}, c{0, 10, 100};
    EXPECT_TRUE(face_visible(view, face_at(a, b, c)));
    EXPECT_FALSE(face_visible(view, face_at(a, c, b)));
    // A zero area passes (c >= 0); double-sided faces, flares, points and particles skip the test.
    EXPECT_TRUE(face_visible(view, face_at(a, a, c)));
    for (int kind : {FACE_DOUBLE_SIDED | FACE_SOLID, FACE_FLARE, FACE_POINT, FACE_PARTICLE})
        EXPECT_TRUE(face_visible(view, face_at(a, c, b, kind))) << kind;
}

TEST_F(RenderTest, SegmentsLyingInAClipPlaneStayFinite) {
    // Planes x = 0 and z = 0 (inside: negative side). The first edge lies in x = 0.
    const Vec3 a{1, 0, 0}, b{0, 0, 1};
    const float in[9] = {0, 0, -1, 0, 1, -1, -1, 0, -1};
    float out[12 * 3];
    const int n = clip_polygon_pair(a, b, in, 3, 3, out);
    // Nothing is cut off: every vertex that comes out is one that went in (a vertex on a plane
    // may come out twice), and none is 0 / 0.
    ASSERT_GE(n, 3);
    for (int i = 0; i < n; i++) {
        bool found = false;
        for (int j = 0; j < 3; j++) found |= std::equal(out + 3 * i, out + 3 * i + 3, in + 3 * j);
        EXPECT_TRUE(found) << out[3 * i] << " " << out[3 * i + 1] << " " << out[3 * i + 2];
    }
    // Wholly outside one plane: nothing.
    const float outside[9] = {1, 0, -1, 2, 1, -1, 1, 1, -1};
    EXPECT_EQ(clip_polygon_pair(a, b, outside, 3, 3, out), 0);
}

TEST_F(RenderTest, LightTypesByHand) {
    const Vec3 p{0, 0, 0}, n{0, 0, -1};
    EXPECT_FLOAT_EQ(light_intensity(light_at(2, Vec3{0, 0, -10}), p, n), 255.0f);
    // 60 degrees off the normal: cos = 0.5.
    EXPECT_NEAR(light_intensity(light_at(1, Vec3{8.660254f, 0, -5}), p, n), 127.5f, 1e-3f);
    EXPECT_FLOAT_EQ(light_intensity(light_at(2, Vec3{0, 0, 10}), p, n), 0.0f); // behind
    EXPECT_FLOAT_EQ(light_intensity(light_at(4, Vec3{0, 0, 10}, 77.0f), p, n), 77.0f);
    // range 200 x 255 x (L . N = 10) / (L . L = 100), and range x intensity / |L|.
    EXPECT_FLOAT_EQ(light_intensity(light_at(9, Vec3{0, 0, -10}), p, n), 5100.0f);
    EXPECT_FLOAT_EQ(light_intensity(light_at(12, Vec3{0, 0, 10}), p, n), 5100.0f);
    EXPECT_FLOAT_EQ(light_intensity(light_at(0x12, Vec3{0, 0, -10}), p, n), 255.0f); // & 0xF
    EXPECT_FLOAT_EQ(light_intensity(light_at(3, Vec3{0, 0, -10}), p, n), 0.0f);
}

TEST_F(RenderTest, PointsAreDrawnOnlyInFrontAndOnTheTarget) {
    Face *p = face_at(Vec3{0, 0, 0}, Vec3{}, Vec3{}, FACE_POINT);
    p->colour = pixel_rgb(1, 2, 3);
    submit_face(view, p, target);
    EXPECT_EQ(target->pixels[128 * 512 + 256], pixel_rgb(1, 2, 3));
    EXPECT_EQ(p->v[0].x, 256.0f); // projected in place
    Face *behind = face_at(Vec3{0, 0, -401}, Vec3{}, Vec3{}, FACE_POINT);
    Face *off = face_at(Vec3{-400, 0, 0}, Vec3{}, Vec3{}, FACE_POINT);
    behind->colour = off->colour = pixel_rgb(9, 9, 9);
    submit_face(view, behind, target);
    submit_face(view, off, target);
    EXPECT_EQ(std::count(target->pixels, target->pixels + 512 * 256, pixel_rgb(9, 9, 9)), 0);
    // With a focal length of 256 the top left corner is exactly (-256, 128) at depth 0: drawn.
    RenderView *square = view_create(512, 256, 256);
    Face *corner = face_at(Vec3{-256, 128, 0}, Vec3{}, Vec3{}, FACE_POINT);
    corner->colour = pixel_rgb(7, 7, 7);
    submit_face(square, corner, target);
    EXPECT_EQ(target->pixels[0], pixel_rgb(7, 7, 7));
}

// The box of every vertex handed to a filler.
float lo_x, hi_x, lo_y, hi_y;
void extent(const Face *face, Image *) {
    for (const Vec3 &v : face->v) {
        lo_x = std::min(lo_x, v.x), hi_x = std::max(hi_x, v.x);
        lo_y = std::min(lo_y, v.y), hi_y = std::max(hi_y, v.y);
    }
}

// A triangle far larger than the view, 200 deep (600 from the eye), is cut by the side planes
// (-400.5, 0, -256.5), (400.5, 0, -256), (0, 400.5, -128) and (0, -400.5, -128), just outside
// the view's edges: they meet that depth at x = -384.27 and 383.52, y = +-191.76.
TEST_F(RenderTest, ClipPlanesSitJustOutsideEveryEdgeOfTheView) {
    Face *f = face_at(Vec3{-5000, -5000, 200}, Vec3{5000, -5000, 200}, Vec3{0, 9000, 200},
                      FACE_SOLID | FACE_DOUBLE_SIDED);
    f->draw_hook = extent;
    lo_x = lo_y = 1e9f, hi_x = hi_y = -1e9f;
    submit_face(view, f, target);
    EXPECT_NEAR(lo_x, 256.0 - 400.0 * 256.5 / 400.5, 2e-3);
    EXPECT_NEAR(hi_x, 256.0 + 400.0 * 256.0 / 400.5, 2e-3);
    EXPECT_NEAR(lo_y, 128.0 - 400.0 * 128.0 / 400.5, 2e-3);
    EXPECT_NEAR(hi_y, 128.0 + 400.0 * 128.0 / 400.5, 2e-3);
}

// A flare of radius 60 at depth 2000 is 60 x 400 / 2400 = 10 pixels, less a thousandth of its
// depth (2000 / 1024): 8 pixels wide; radius 10 at depth 100 is 8 less 0.1, too small to draw.
TEST_F(RenderTest, FlaresShrinkWithDistanceAndAgainByAThousandthOfTheirDepth) {
    EXPECT_FLOAT_EQ(project_size(view, Vec3{0, 0, -300}, 10.0f), 40.0f);
    Image *glow = image_create(16, 16, 0);
    for (int i = 0; i < 16 * 16; i++) glow->pixels[i] = pixel_rgb(10, 20, 30);
    const struct {
        float z, radius;
        int wide;
    } cases[] = {{2000, 60, 8}, {100, 10, 0}};
    for (const auto &c : cases) {
        Face *f = face_at(Vec3{0, 0, c.z}, Vec3{}, Vec3{}, FACE_FLARE);
        f->flare_radius = c.radius;
        f->texture[0] = glow;
        std::fill(target->pixels, target->pixels + 512 * 256, 0u);
        submit_face(view, f, target);
        const uint32_t *row = target->pixels + 128 * 512;
        EXPECT_EQ(std::count(row, row + 512, pixel_rgb(10, 20, 30)), c.wide) << c.z;
        EXPECT_EQ(row[252] != 0 && row[259] != 0, c.wide > 0) << "centred at " << c.z;
    }
}
