// The pipeline's short cuts against the plain road: triangles inside the view skip the clipper,
// and the back-face test reads points projected once per frame. Random input; the plain road is
// rebuilt here from the public clipper and projection.

#include "engine/render.h"

#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"
#include "engine/scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// The scratch face as a filler receives it: positions, both layers' coordinates, intensities.
struct Seen {
    float f[3 * 3 + 12 + 3];
    bool operator==(const Seen &o) const { return std::memcmp(f, o.f, sizeof f) == 0; }
};

std::vector<Seen> seen;

Seen seen_of(const Face *s) {
    Seen d{};
    for (int k = 0; k < 3; k++) {
        d.f[3 * k] = s->v[k].x;
        d.f[3 * k + 1] = s->v[k].y;
        d.f[3 * k + 2] = s->v[k].z;
        d.f[21 + k] = s->gouraud_intensity[k];
    }
    std::memcpy(d.f + 9, s->uv, 12 * sizeof(float));
    return d;
}

void record(const Face *face, Image *) {
    seen.push_back(seen_of(face));
}

// The plain road: clip layout, both clipping passes, the fan, each vertex projected.
// s: the scratch face before the call, whose unused parts the fan leaves as they were.
std::vector<Seen> by_the_clipper(const RenderView *view, const Face &face, int layers, bool gouraud,
                                 Face s) {
    const int stride = 3 + 2 * layers + (gouraud ? 1 : 0);
    float in[3 * 8], mid[12 * 8], out[12 * 8];
    for (int k = 0; k < 3; k++) {
        float *c = in + k * stride;
        c[0] = face.v[k].x, c[1] = face.v[k].y, c[2] = face.v[k].z + view->near;
        for (int l = 0; l < layers; l++) {
            c[3 + 2 * l] = face.uv[6 * l + 2 * k];
            c[4 + 2 * l] = face.uv[6 * l + 2 * k + 1];
        }
        if (gouraud) c[3 + 2 * layers] = face.gouraud_intensity[k];
    }
    std::vector<Seen> fans;
    int n = clip_polygon_pair(view->left_plane, view->right_plane, in, 3, stride, mid);
    if (n >= 3) n = clip_polygon_pair(view->top_plane, view->bottom_plane, mid, n, stride, out);
    if (n < 3) return fans;
    auto vertex = [&](int k, const float *c) {
        s.v[k] = Vec3{c[0], c[1], c[2] - view->near};
        for (int l = 0; l < layers; l++) {
            s.uv[6 * l + 2 * k] = c[3 + 2 * l];
            s.uv[6 * l + 2 * k + 1] = c[4 + 2 * l];
        }
        if (gouraud) s.gouraud_intensity[k] = c[3 + 2 * layers];
        project_point(view, s.v[k], s.v[k]);
    };
    vertex(0, out);
    vertex(1, out + stride);
    for (int j = 2; j < n; j++) {
        vertex(2, out + j * stride);
        fans.push_back(seen_of(&s));
        s.v[1] = s.v[2];
        s.gouraud_intensity[1] = s.gouraud_intensity[2];
        for (int l = 0; l < layers; l++) {
            s.uv[6 * l + 2] = s.uv[6 * l + 4];
            s.uv[6 * l + 3] = s.uv[6 * l + 5];
        }
    }
    return fans;
}

// Triangles in front of the eye, most inside the view, some across its edges, with one or two
// layers, with and without intensities: the filler sees what the clipper road gives, bit for bit.
TEST(RenderPaths, TrianglesInsideTheViewReachTheFillerAsThroughTheClipper) {
    RenderView *view = view_create(512, 256, 400);
    Image *target = image_create(512, 256, 0);
    ASSERT_TRUE(view && target);
    view->light_count = 0;
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> centre(-1.0f, 1.0f), spread(-60.0f, 60.0f),
        depth(-300.0f, 900.0f), texel(0.0f, 255.0f);
    Face *face = new_faces(1);
    int inside = 0;
    for (int i = 0; i < 400; i++) {
        const bool gouraud = i % 3 == 0;
        const int layers = 1 + i % 2;
        const float z = depth(rng), scale = (z + 400.0f) / 400.0f;
        const float cx = centre(rng) * 300.0f * scale, cy = centre(rng) * 150.0f * scale;
        for (int k = 0; k < 3; k++) {
            face->v[k] = Vec3{cx + spread(rng), cy + spread(rng), z + spread(rng)};
            face->gouraud_intensity[k] = texel(rng);
        }
        for (float &t : face->uv) t = texel(rng);
        face->flags = FACE_TEXTURED | FACE_DOUBLE_SIDED | (gouraud ? FACE_GOURAUD : 0);
        face->uv_count = 6 * layers;
        face->draw_hook = record;
        const Face before = *view->scratch;
        seen.clear();
        submit_face(view, face, target); // lights the intensities (to 0: no lights)
        const std::vector<Seen> expected = by_the_clipper(view, *face, layers, gouraud, before);
        ASSERT_EQ(seen.size(), expected.size()) << i;
        for (size_t t = 0; t < seen.size(); t++) ASSERT_TRUE(seen[t] == expected[t]) << i;
        inside += expected.size() == 1;
    }
    EXPECT_GT(inside, 200); // both roads were taken
    EXPECT_LT(inside, 390);
    mem_free_all();
}

// An object of random points and faces before a still camera: after a frame, exactly the faces
// face_visible passes carry a depth key. A frozen frame afterwards reads the faces' own vertices,
// not the points' projections of the frame before.
TEST(RenderPaths, TheBackFaceTestOnProjectedPointsIsFaceVisible) {
    Scene *scene = scene_create(512, 256, 400, SCENE_DEPTH_SORTED | SCENE_ANIMATE); // with a target
    ASSERT_TRUE(scene && scene->target);
    Camera *cam = static_cast<Camera *>(mem_alloc(sizeof(Camera)));
    ASSERT_TRUE(scene_add_camera(scene, cam));
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> coord(-200.0f, 200.0f), depth(50.0f, 900.0f);
    std::uniform_int_distribution<int> pick(0, 63);
    SceneObject *obj = new_empty_object();
    obj->point_count = 64;
    for (Vec3 **a : {&obj->points, &obj->point_normals, &obj->view_points, &obj->view_normals})
        *a = static_cast<Vec3 *>(mem_alloc(64 * sizeof(Vec3)));
    for (int i = 0; i < 64; i++) obj->points[i] = Vec3{coord(rng), coord(rng), depth(rng)};
    obj->face_count = 500;
    obj->faces = new_faces(500);
    for (int f = 0; f < 500; f++) {
        for (int k = 0; k < 3; k++) obj->faces[f].point_index[k] = pick(rng);
        obj->faces[f].flags = FACE_SOLID | (f % 50 == 0 ? FACE_DOUBLE_SIDED : 0);
        obj->faces[f].draw_hook = record;
    }
    ASSERT_TRUE(scene_add_object(scene, obj));
    constexpr int UNSEEN = 0x7eadbeef;
    auto check = [&](const char *frame) {
        int visible = 0;
        for (int f = 0; f < obj->face_count; f++) {
            const Face *face = &obj->faces[f];
            ASSERT_EQ(face->depth_key != UNSEEN, face_visible(scene->view, face) != 0)
                << frame << " face " << f;
            visible += face->depth_key != UNSEEN;
        }
        EXPECT_GT(visible, 100) << frame;
        EXPECT_LT(visible, 400) << frame;
    };
    for (int f = 0; f < obj->face_count; f++) obj->faces[f].depth_key = UNSEEN;
    seen.clear();
    render_scene_ticks(scene, 1.0f);
    check("animated");
    // Frozen, nothing moved: the same faces, nothing left over from the list of the frame before.
    const size_t drawn = seen.size();
    scene->flags = (scene->flags & ~SCENE_ANIMATE) | SCENE_FROZEN;
    seen.clear();
    render_scene_ticks(scene, 1.0f);
    EXPECT_EQ(seen.size(), drawn);
    for (int f = 0; f < obj->face_count; f++) {
        Face &face = obj->faces[f];
        face.depth_key = UNSEEN;
        std::swap(face.v[0], face.v[1]); // turns every face about
    }
    render_scene_ticks(scene, 1.0f);
    check("frozen");
    mem_free_all();
}

// The four-planes-at-once inside test against the plane-by-plane one: points near the view's
// edges, on a plane (a dot product of 0 is not inside), behind the eye, not finite; then planes
// of no particular view.
TEST(RenderPaths, TheInsideTestOfAllPlanesAtOnceIsThePlainOne) {
    RenderView *view = view_create(512, 256, 400);
    ASSERT_TRUE(view);
    std::mt19937 rng(14);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const float odd[] = {0.0f, -0.0f, NAN, INFINITY, -INFINITY};
    int inside = 0;
    for (int i = 0; i < 600; i++) {
        if (i == 300) // planes of no particular view
            for (Vec3 *n :
                 {&view->left_plane, &view->right_plane, &view->top_plane, &view->bottom_plane})
                *n = Vec3{unit(rng), unit(rng), unit(rng)};
        float c[3][3];
        for (auto &p : c) {
            const float z = 400.0f + 500.0f * unit(rng);
            p[0] = z * 0.65f * unit(rng), p[1] = z * 0.33f * unit(rng), p[2] = z;
        }
        if (i % 7 == 0) c[i % 3][0] = c[i % 3][2] * (256.0f / 400.5f); // on the right plane
        if (i % 11 == 0) c[i % 3][i % 2] = odd[i % 5];
        const int plain = view_triangle_inside_plain(view, c);
        ASSERT_EQ(view_triangle_inside(view, c), plain) << i;
        inside += plain;
    }
    EXPECT_GT(inside, 100); // both answers were given
    EXPECT_LT(inside, 500);
    // The packed projection of points against project_point's, every count up to a few groups,
    // odd values and the eye plane (z = -near) among them.
    std::vector<Vec3> points(13);
    for (int n = 0; n <= 13; n++) {
        for (Vec3 &p : points) p = Vec3{500.0f * unit(rng), 300.0f * unit(rng), 900.0f * unit(rng)};
        if (n % 3 == 1) points[n / 2] = Vec3{odd[n % 5], 1.0f, -400.0f};
        float packed[26], plain[26];
        view_project_xy(view, points.data(), n, packed);
        view_project_xy_plain(view, points.data(), n, plain);
        ASSERT_EQ(std::memcmp(packed, plain, sizeof(float) * 2 * n), 0) << n;
    }
    mem_free_all();
}

// The depth sort against a stable sort of the unsigned keys, reversed: keys over a narrow span
// and over all 32 bits, many equal, at both ends of the range, one key for all.
TEST(RenderPaths, TheDepthSortIsAStableSortReversed) {
    std::mt19937 rng(15);
    std::vector<Face> faces(3000);
    std::vector<Face *> list(faces.size()), scratch(faces.size()), expected;
    for (int round = 0; round < 40; round++) {
        const int count = 1 + static_cast<int>(rng() % faces.size());
        const uint32_t span = round % 4 == 0   ? 0
                              : round % 4 == 1 ? 40
                              : round % 4 == 2 ? 70000
                                               : ~0u;
        const uint32_t base = round % 5 == 0 ? 0u - span / 2 : static_cast<uint32_t>(rng());
        for (int i = 0; i < count; i++) {
            faces[i].depth_key = static_cast<int>(base + (span ? rng() % (span + 1ull) : 0));
            list[i] = &faces[i];
        }
        expected.assign(list.begin(), list.begin() + count);
        std::stable_sort(expected.begin(), expected.end(), [](const Face *a, const Face *b) {
            return static_cast<uint32_t>(a->depth_key) < static_cast<uint32_t>(b->depth_key);
        });
        std::reverse(expected.begin(), expected.end());
        depth_sort(list.data(), scratch.data(), count);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), list.begin())) << round;
    }
}

} // namespace
