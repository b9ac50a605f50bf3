// Tests of the texture mappings the show's surfaces never ask for (planar, cylindrical,
// spherical, angular), the direction angles, and the surfaces apply_surface_textures passes by.

#include "engine/texmap.h"

#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"

#include <gtest/gtest.h>

namespace {

constexpr float PI = 3.14159265358979f;

class TexmapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        surface = new_surfaces(1);
        surface->texture_centre = Vec3{0, 0, 0};
    }
    void TearDown() override { mem_free_all(); }

    // u and v of p with the given mapping flags, starting from the marker -7.
    std::pair<float, float> map(int flags, Vec3 p) {
        surface->flags = flags;
        float u = -7.0f, v = -7.0f;
        map_point(surface, p, u, v);
        return {u, v};
    }

    Surface *surface = nullptr;
};

// One triangle on points 0, 1, 2 with surface 0 (of surface_count surfaces).
SceneObject *triangle(Vec3 a, Vec3 b, Vec3 c, int surface_count = 1) {
    SceneObject *o = new_empty_object();
    o->point_count = 3;
    o->points = static_cast<Vec3 *>(mem_alloc(3 * sizeof(Vec3)));
    o->point_normals = static_cast<Vec3 *>(mem_alloc(3 * sizeof(Vec3)));
    o->points[0] = a;
    o->points[1] = b;
    o->points[2] = c;
    o->face_count = 1;
    o->faces = new_faces(1);
    o->faces[0].point_index[1] = 1;
    o->faces[0].point_index[2] = 2;
    o->faces[0].surface_index = 0;
    o->faces[0].flags = FACE_SOLID | FACE_FLAT;
    o->surface_count = surface_count;
    o->surfaces = new_surfaces(surface_count);
    o->surfaces[0].texture_centre = Vec3{0, 0, 0};
    return o;
}

} // namespace

// The maps below reach the angles through their quadrants; these are the cases they do not.
TEST_F(TexmapTest, DirectionAnglesAtTheOriginAndThePoles) {
    EXPECT_FLOAT_EQ(heading_of(1, 0, -1), PI + PI / 4);
    float h, q;
    heading_pitch_of(0, 0, 0, h, q);
    EXPECT_EQ(h, 0.0f);
    EXPECT_EQ(q, 0.0f);
    heading_pitch_of(0, -2, 0, h, q);
    EXPECT_FLOAT_EQ(q, -PI / 2);
    heading_pitch_of(1e-30f, 1, 0, h, q); // x too small to square: straight up
    EXPECT_FLOAT_EQ(h, -PI / 2);
    EXPECT_FLOAT_EQ(q, PI / 2);
}

TEST_F(TexmapTest, PlanarMapsAlongTheAxesWithSignedFractions) {
    auto [u, v] = map(MAP_PLANAR, Vec3{0.25f, 0.25f, 0});
    EXPECT_FLOAT_EQ(u, 0.75f);
    EXPECT_FLOAT_EQ(v, 0.25f);
    // frac keeps the sign: -0.75 + 0.5 = -0.25.
    EXPECT_FLOAT_EQ(map(MAP_PLANAR, Vec3{-0.75f, 0, 0}).first, -0.25f);
    // X axis: u from z; Y axis: v from z. Sizes divide; the centre is subtracted first.
    surface->texture_size = Vec3{2, 4, 8};
    surface->texture_centre = Vec3{1, 1, 1};
    EXPECT_FLOAT_EQ(map(MAP_PLANAR | MAP_AXIS_X, Vec3{0, 0, 3}).first, 0.75f); // 2/8 + 0.5
    EXPECT_FLOAT_EQ(map(MAP_PLANAR | MAP_AXIS_Y, Vec3{0, 0, 3}).second, 0.25f);
    EXPECT_FLOAT_EQ(map(MAP_PLANAR, Vec3{0, 2, 0}).second, 0.25f); // 0.5 - 1/4
}

TEST_F(TexmapTest, CylinderRepeatsFourTimesAroundItsAxis) {
    // Y axis: 45 degrees round gives heading pi/4, a = 1 - 0.5.
    auto [u, v] = map(MAP_CYLINDRICAL | MAP_AXIS_Y, Vec3{1, 0.25f, 1});
    EXPECT_FLOAT_EQ(u, 0.5f);
    EXPECT_FLOAT_EQ(v, 0.25f);
    // A quarter turn is a whole repeat; on the axis the heading is 0.
    EXPECT_NEAR(map(MAP_CYLINDRICAL | MAP_AXIS_Y, Vec3{1, 0, 0}).first, 0.0f, 1e-6f);
    EXPECT_EQ(map(MAP_CYLINDRICAL | MAP_AXIS_Y, Vec3{0, 5, 0}).first, 0.0f);
    // Z axis (no axis bit): the frame (-x, z, -y); v runs along z.
    auto [uz, vz] = map(MAP_CYLINDRICAL, Vec3{-1, -1, 0.25f});
    EXPECT_FLOAT_EQ(uz, 0.5f);
    EXPECT_FLOAT_EQ(vz, 0.25f);
    // X axis: the frame (z, x, -y): 45 degrees between +z and -y.
    EXPECT_FLOAT_EQ(map(MAP_CYLINDRICAL | MAP_AXIS_X, Vec3{0, -1, -1}).first, 0.5f);
    // Wrap multiplies only when it is not exactly 1.
    surface->wrap.u = 3.0f;
    EXPECT_FLOAT_EQ(map(MAP_CYLINDRICAL | MAP_AXIS_Y, Vec3{1, 0, 1}).first, 0.5f); // 1.5
}

TEST_F(TexmapTest, SphereAndAngularMaps) {
    auto [u, v] = map(MAP_SPHERICAL | MAP_AXIS_Y, Vec3{1, 0, 1});
    EXPECT_FLOAT_EQ(u, 0.5f);
    EXPECT_FLOAT_EQ(v, 0.5f);
    EXPECT_FLOAT_EQ(map(MAP_SPHERICAL | MAP_AXIS_Y, Vec3{0, 1, 1}).second, 0.25f);
    EXPECT_FLOAT_EQ(map(MAP_SPHERICAL | MAP_AXIS_Y, Vec3{0, 1, 0}).second, 0.0f); // the pole
    surface->wrap = SurfaceWrap{1.0f, 2.0f};
    EXPECT_FLOAT_EQ(map(MAP_SPHERICAL | MAP_AXIS_Y, Vec3{0, 1, 1}).second, 0.5f);
    // Angular: (atan2(x, z) + pi) / 2 pi, no fraction taken.
    auto [au, av] = map(MAP_ANGULAR, Vec3{1, 0, 1});
    EXPECT_FLOAT_EQ(au, 0.625f);
    EXPECT_FLOAT_EQ(av, 0.5f);
    // Planar wins over the others; no projection leaves u and v alone.
    EXPECT_FLOAT_EQ(map(MAP_PLANAR | MAP_SPHERICAL, Vec3{0.25f, 0, 0}).first, 0.75f);
    EXPECT_EQ(map(0, Vec3{1, 2, 3}), std::make_pair(-7.0f, -7.0f));
}

TEST_F(TexmapTest, ObjectCoordinatesInTexels) {
    SceneObject *o = triangle(Vec3{0.25f, 0.25f, 0}, Vec3{0, 0, 0}, Vec3{-0.25f, 0, 0});
    o->surfaces[0].flags = MAP_PLANAR;
    map_object_coordinates(o);
    const float *uv = o->faces[0].uv;
    EXPECT_FLOAT_EQ(uv[0], 0.75f * 255);
    EXPECT_FLOAT_EQ(uv[4], 0.25f * 255);
    // No projection flags, or no surface: coordinates kept.
    o->surfaces[0].flags = SURF_DOUBLE_SIDED;
    o->faces[0].uv[0] = 42.0f;
    map_object_coordinates(o);
    EXPECT_EQ(uv[0], 42.0f);
    o->faces[0].surface_index = -1;
    o->surfaces[0].flags = MAP_PLANAR;
    map_object_coordinates(o);
    EXPECT_EQ(uv[0], 42.0f);
}

TEST_F(TexmapTest, ApplySurfaceTexturesLeavesFacesWithBothOrNoSurface) {
    Image *picture = image_create(256, 256, 0), *env = image_create(256, 256, 0);
    // Both pictures: not a kind of its own; the face keeps its flags but gets coordinates.
    SceneObject *both = triangle(Vec3{0.25f, 0.25f, 0}, Vec3{0, 0, 0}, Vec3{-0.25f, 0, 0});
    both->surfaces[0].flags = MAP_PLANAR;
    both->surfaces[0].texture_image = picture;
    both->surfaces[0].env_image = env;
    apply_surface_textures(both);
    EXPECT_EQ(both->faces[0].flags, FACE_SOLID | FACE_FLAT);
    EXPECT_EQ(both->faces[0].texture[0], nullptr);
    EXPECT_FLOAT_EQ(both->faces[0].uv[0], 0.75f * 255);

    // A surface index past the table is no surface.
    SceneObject *bad = triangle(Vec3{}, Vec3{}, Vec3{});
    bad->faces[0].surface_index = 3;
    bad->surfaces[0].texture_image = picture;
    apply_surface_textures(bad);
    EXPECT_EQ(bad->faces[0].flags, FACE_SOLID | FACE_FLAT);
}
