// Tests of the render pipeline: back faces, the depth sort, clipping into fans, lighting,
// environment coordinates, points, flares, particles and whole frames of small scenes.

#include "engine/render.h"

#include "data/image.h"
#include "data/memory.h"
#include "engine/motion.h"
#include "engine/object.h"
#include "engine/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// What a draw hook saw of one triangle.
struct Drawn {
    Vec3 v[3];
    float gouraud[3];
    float uv[6];
    int flags;
};

std::vector<Drawn> drawn;

void record(const Face *face, Image *) {
    Drawn d{};
    for (int k = 0; k < 3; k++) {
        d.v[k] = face->v[k];
        d.gouraud[k] = face->gouraud_intensity[k];
    }
    std::copy(face->uv, face->uv + 6, d.uv);
    d.flags = face->flags;
    drawn.push_back(d);
}

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        drawn.clear();
        view = view_create(512, 256, 400);
        target = image_create(512, 256, 0);
        ASSERT_NE(view, nullptr);
        ASSERT_NE(target, nullptr);
    }
    void TearDown() override { mem_free_all(); }

    // A face with camera-space vertices (z already less the focal length), recorded when drawn.
    Face *face_at(Vec3 a, Vec3 b, Vec3 c, int flags = FACE_SOLID | FACE_FLAT) {
        Face *f = new_faces(1);
        f->v[0] = a;
        f->v[1] = b;
        f->v[2] = c;
        f->flags = flags;
        f->draw_hook = record;
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

TEST_F(RenderTest, DepthSortDrawsFarFirstAndEqualKeysInReverse) {
    Face *f = new_faces(5);
    const int keys[5] = {65600, 70000, 70000, 0x01000000, -5};
    std::vector<Face *> list, scratch(5);
    for (int i = 0; i < 5; i++) {
        f[i].depth_key = keys[i];
        list.push_back(&f[i]);
    }
    depth_sort(list.data(), scratch.data(), 5);
    // -5 reads as the largest unsigned key; the later of two equal keys comes first.
    EXPECT_EQ(list, (std::vector<Face *>{&f[4], &f[3], &f[2], &f[1], &f[0]}));
}

TEST_F(RenderTest, DepthSortMatchesAStableSortReversed) {
    const int n = 3000;
    Face *f = new_faces(n);
    std::mt19937 rng(7);
    std::vector<Face *> list, scratch(n);
    for (int i = 0; i < n; i++) {
        // Few distinct low bytes and a spread of high ones: ties and every byte matter.
        f[i].depth_key = static_cast<int>((rng() & 0xFF0F00F3u) | (rng() % 4));
        list.push_back(&f[i]);
    }
    std::vector<Face *> expected = list;
    std::stable_sort(expected.begin(), expected.end(), [](const Face *a, const Face *b) {
        return static_cast<uint32_t>(a->depth_key) < static_cast<uint32_t>(b->depth_key);
    });
    std::reverse(expected.begin(), expected.end());
    depth_sort(list.data(), scratch.data(), n);
    EXPECT_EQ(list, expected);
}

TEST_F(RenderTest, TriangleAcrossTheLeftEdgeBecomesTwoFanTriangles) {
    // Vertex 0 is far left of the view, the other two inside.
    Face *f = face_at(Vec3{-600, 0, 100}, Vec3{50, 60, 100}, Vec3{50, -60, 100});
    f->flags = FACE_SOLID; // unlit: nothing but clipping changes the vertices
    submit_face(view, f, target);
    ASSERT_EQ(drawn.size(), 2u);
    // Both share the fan's vertex 0 and keep the winding; the cut lies on the left plane, which
    // projects just left of column 0.
    EXPECT_EQ(drawn[0].v[0].x, drawn[1].v[0].x);
    EXPECT_EQ(drawn[0].v[0].y, drawn[1].v[0].y);
    EXPECT_EQ(drawn[0].v[2].x, drawn[1].v[1].x);
    int on_edge = 0;
    for (const Drawn &d : drawn)
        for (const Vec3 &v : d.v) {
            EXPECT_GE(v.x, -0.19f);
            EXPECT_LT(v.x, 512.0f);
            EXPECT_NEAR(v.z, 100.0f, 1e-3f);
            if (std::fabs(v.x - (256.0f - 400.0f * 256.5f / 400.5f)) < 1e-2f) on_edge++;
        }
    EXPECT_EQ(on_edge, 3); // the two cut points; the shared one counted twice
    // The face itself keeps its camera-space vertices.
    EXPECT_EQ(f->v[0].x, -600.0f);
}

TEST_F(RenderTest, WhollyInsideIsOneCallOutsideOrBehindIsNone) {
    submit_face(view, face_at(Vec3{0, 0, 100}, Vec3{10, 0, 100}, Vec3{0, 10, 100}, FACE_SOLID),
                target);
    EXPECT_EQ(drawn.size(), 1u);
    drawn.clear();
    submit_face(view, face_at(Vec3{-900, 0, 0}, Vec3{-800, 0, 0}, Vec3{-900, 10, 0}), target);
    submit_face(view, face_at(Vec3{0, 0, -500}, Vec3{10, 0, -500}, Vec3{0, 10, -500}), target);
    Face *hidden = face_at(Vec3{0, 0, 100}, Vec3{10, 0, 100}, Vec3{0, 10, 100});
    hidden->flags |= FACE_HIDDEN;
    submit_face(view, hidden, target);
    EXPECT_TRUE(drawn.empty());
}

TEST_F(RenderTest, ClippingCarriesEveryLayerAndTheIntensity) {
    // Two texture layers, Gouraud: u of layer 0 and layer 1 and the intensity all follow x, so
    // at every clipped vertex they must still match its eye-space x.
    Face *f = face_at(Vec3{-600, 0, 100}, Vec3{50, 60, 100}, Vec3{50, -60, 100},
                      FACE_GOURAUD | FACE_SOLID);
    f->uv_count = 12;
    f->clip_stride = 7;
    view->light_count = 0;
    for (int k = 0; k < 3; k++) {
        f->uv[2 * k] = f->v[k].x;
        f->uv[6 + 2 * k] = 2 * f->v[k].x;
    }
    submit_face(view, f, target);
    ASSERT_EQ(drawn.size(), 2u);
    const Face *s = view->scratch;
    // The last triangle is still in the scratch face: its eye x is known from its screen x.
    for (int k = 0; k < 3; k++) {
        const float eye_x = (s->v[k].x - 256.0f) * (s->v[k].z + 400.0f) / 400.0f;
        EXPECT_NEAR(s->uv[2 * k], eye_x, 0.05f);
        EXPECT_NEAR(s->uv[6 + 2 * k], 2 * eye_x, 0.1f);
        EXPECT_EQ(s->gouraud_intensity[k], 0.0f); // no lights: lit to zero
    }
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

TEST_F(RenderTest, FaceLightingSumsAndCaps) {
    Light *lights[2] = {light_at(2, Vec3{0, 0, -300}), light_at(2, Vec3{0, 0, -200})};
    view->lights = lights;
    view->light_count = 2;
    // Gouraud: two full lights cap at exactly 255.
    Face *g =
        face_at(Vec3{0, 0, 100}, Vec3{10, 0, 100}, Vec3{0, 10, 100}, FACE_GOURAUD | FACE_SOLID);
    for (Vec3 &vn : g->vertex_normal) vn = Vec3{0, 0, -1};
    submit_face(view, g, target);
    for (int k = 0; k < 3; k++) EXPECT_EQ(g->gouraud_intensity[k], 255.0f);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].gouraud[2], 255.0f);
    // Flat: the normal comes from the vertices; one light at 60 degrees from the face centre.
    Face *f = face_at(Vec3{0, 0, 100}, Vec3{30, 0, 100}, Vec3{0, 30, 100});
    Light *one[1] = {light_at(2, Vec3{10 + 86.60254f, 10, 50})};
    view->lights = one;
    view->light_count = 1;
    submit_face(view, f, target);
    EXPECT_NEAR(f->face_normal.z, -1.0f, 1e-6f);
    EXPECT_NEAR(f->flat_intensity, 127.5f, 0.01f);
}

TEST_F(RenderTest, EnvironmentCoordinatesComeFromTheVertexNormals) {
    Face *f = face_at(Vec3{0, 0, 100}, Vec3{10, 0, 100}, Vec3{0, 10, 100}, FACE_ENVMAP);
    f->uv_count = 6;
    f->clip_stride = 5;
    f->uv_layer[1] = 0;
    f->vertex_normal[0] = Vec3{0, 0, -1};
    f->vertex_normal[1] = Vec3{1, 0, 0};
    f->vertex_normal[2] = Vec3{0, -0.5f, 0};
    submit_face(view, f, target);
    const float expected[6] = {127, 127, 255, 127, 127, 63};
    EXPECT_EQ(std::vector<float>(f->uv, f->uv + 6), std::vector<float>(expected, expected + 6));
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(std::vector<float>(drawn[0].uv, drawn[0].uv + 6),
              std::vector<float>(expected, expected + 6));
}

TEST_F(RenderTest, PointsAreDrawnOnlyInFrontAndOnTheTarget) {
    Face *p = face_at(Vec3{0, 0, 0}, Vec3{}, Vec3{}, FACE_POINT);
    p->colour = pixel_rgb(1, 2, 3);
    p->draw_hook = nullptr;
    submit_face(view, p, target);
    EXPECT_EQ(target->pixels[128 * 512 + 256], pixel_rgb(1, 2, 3));
    EXPECT_EQ(p->v[0].x, 256.0f); // projected in place
    Face *behind = face_at(Vec3{0, 0, -401}, Vec3{}, Vec3{}, FACE_POINT);
    Face *off = face_at(Vec3{-400, 0, 0}, Vec3{}, Vec3{}, FACE_POINT);
    behind->draw_hook = off->draw_hook = nullptr;
    behind->colour = off->colour = pixel_rgb(9, 9, 9);
    submit_face(view, behind, target);
    submit_face(view, off, target);
    EXPECT_EQ(std::count(target->pixels, target->pixels + 512 * 256, pixel_rgb(9, 9, 9)), 0);
    // With a focal length of 256 the top left corner is exactly (-256, 128) at depth 0: drawn.
    RenderView *square = view_create(512, 256, 256);
    Face *corner = face_at(Vec3{-256, 128, 0}, Vec3{}, Vec3{}, FACE_POINT);
    corner->draw_hook = nullptr;
    corner->colour = pixel_rgb(7, 7, 7);
    submit_face(square, corner, target);
    EXPECT_EQ(target->pixels[0], pixel_rgb(7, 7, 7));
}

TEST_F(RenderTest, ClipPlanesSitJustOutsideEveryEdgeOfTheView) {
    // A triangle far larger than the view, 200 deep (z + near = 600): what is drawn is cut by
    // the four side planes. Planes (-400.5, 0, -256.5), (400.5, 0, -256), (0, 400.5, -128) and
    // (0, -400.5, -128) meet the depth 600 at x = -384.27 and 383.52, y = 191.76 and -191.76,
    // which project to -0.1873, 511.6804, 0.1598 and 255.8402.
    Face *f = face_at(Vec3{-5000, -5000, 200}, Vec3{5000, -5000, 200}, Vec3{0, 9000, 200},
                      FACE_SOLID | FACE_DOUBLE_SIDED);
    submit_face(view, f, target);
    ASSERT_FALSE(drawn.empty());
    float lo_x = 1e9f, hi_x = -1e9f, lo_y = 1e9f, hi_y = -1e9f;
    for (const Drawn &d : drawn)
        for (const Vec3 &v : d.v) {
            lo_x = std::min(lo_x, v.x), hi_x = std::max(hi_x, v.x);
            lo_y = std::min(lo_y, v.y), hi_y = std::max(hi_y, v.y);
        }
    EXPECT_NEAR(lo_x, 256.0 - 400.0 * 256.5 / 400.5, 2e-3);
    EXPECT_NEAR(hi_x, 256.0 + 400.0 * 256.0 / 400.5, 2e-3);
    EXPECT_NEAR(lo_y, 128.0 - 400.0 * 128.0 / 400.5, 2e-3);
    EXPECT_NEAR(hi_y, 128.0 + 400.0 * 128.0 / 400.5, 2e-3);
}

TEST_F(RenderTest, FlaresShrinkWithDistanceAndAgainByAThousandthOfTheirDepth) {
    // Radius 10 at depth 100 (500 from the eye): 10 x 400 / 500 = 8 pixels.
    EXPECT_FLOAT_EQ(project_size(view, Vec3{0, 0, 100}, 10.0f), 8.0f);
    EXPECT_FLOAT_EQ(project_size(view, Vec3{0, 0, -300}, 10.0f), 40.0f);
    Image *glow = image_create(16, 16, 0);
    for (int i = 0; i < 16 * 16; i++) glow->pixels[i] = pixel_rgb(10, 20, 30);
    // Radius 60 at depth 2000: 60 x 400 / 2400 = 10, less 2000 / 1024 = 8.05 -> 8 pixels wide.
    Face *f = face_at(Vec3{0, 0, 2000}, Vec3{}, Vec3{}, FACE_FLARE);
    f->flare_radius = 60.0f;
    f->texture[0] = glow;
    submit_face(view, f, target);
    const uint32_t *row = target->pixels + 128 * 512;
    EXPECT_EQ(std::count(row, row + 512, pixel_rgb(10, 20, 30)), 8);
    EXPECT_EQ(row[252], pixel_rgb(10, 20, 30));
    EXPECT_EQ(row[259], pixel_rgb(10, 20, 30));
    // Radius 10 at depth 100: 8, less 0.1 -> 7, too small to draw.
    mem_fill(target->pixels, 0, 512 * 256 * 4);
    Face *small = face_at(Vec3{0, 0, 100}, Vec3{}, Vec3{}, FACE_FLARE);
    small->flare_radius = 10.0f;
    small->texture[0] = glow;
    submit_face(view, small, target);
    EXPECT_EQ(std::count(target->pixels, target->pixels + 512 * 256, 0u), 512 * 256);
}
