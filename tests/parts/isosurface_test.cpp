// Tests of the isosurface: tables, field, placement, polygonising and the triangle filler.

#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scene.h"
#include "parts/isosurface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

// The cube's corner and edge numbering, as the grid reads it.
const int corner_of_edge[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                   {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

TEST(IsoTables, EveryMaskIsTheCrossedEdgesAndTheEdgesItsTrianglesUse) {
    int triangles = 0;
    for (int index = 0; index < 256; index++) {
        int crossed = 0;
        for (int e = 0; e < 12; e++) {
            bool a = index >> corner_of_edge[e][0] & 1, b = index >> corner_of_edge[e][1] & 1;
            if (a != b) crossed |= 1 << e;
        }
        int used = 0, n = 0;
        const int32_t *row = iso_triangles(index);
        for (; n < 16 && row[n] != -1; n++) {
            ASSERT_GE(row[n], 0);
            ASSERT_LT(row[n], 12);
            used |= 1 << row[n];
        }
        ASSERT_LT(n, 16) << index; // always ended by -1
        EXPECT_EQ(n % 3, 0) << index;
        EXPECT_EQ(iso_edge_mask(index), crossed) << index;
        EXPECT_EQ(used, crossed) << index;
        triangles += n / 3;
    }
    EXPECT_EQ(iso_edge_mask(0), 0);
    EXPECT_EQ(iso_edge_mask(255), 0);
    EXPECT_EQ(triangles, 820);
}

// The check above passes a triangle that names another crossed edge, or the right edges in
// another order (turning it to face inwards). So the tables are pinned to the published ones
// (Bourke's edge and triangle tables): FNV-1a, over little-endian 32-bit words, of each index's
// edge mask, its triangle edges and a -1, computed from the published text.
TEST(IsoTables, AreThePublishedTables) {
    uint64_t h = 0xcbf29ce484222325u;
    auto feed = [&h](int32_t v) {
        for (int b = 0; b < 4; b++) h = (h ^ (uint32_t(v) >> (8 * b) & 255)) * 0x100000001b3u;
    };
    for (int index = 0; index < 256; index++) {
        feed(iso_edge_mask(index));
        const int32_t *row = iso_triangles(index);
        for (int n = 0; n < 16 && row[n] != -1; n++) feed(row[n]);
        feed(-1);
    }
    EXPECT_EQ(h, 0x591a8064c0b1a63bu);
}

struct IsoTest : testing::Test {
    IsoSurface *iso = nullptr;
    Image *target = nullptr;
    Image *envmap = nullptr;
    Light light{};

    void SetUp() override {
        iso = iso_create();
        ASSERT_NE(iso, nullptr);
        target = image_create(512, 256, IMG_DEPTH);
        envmap = image_create(256, 256, 0);
        ASSERT_TRUE(target && envmap);
        clear_depth();
        // Each texel tells where it is: red = column, green = row, blue 7.
        for (int r = 0; r < 256; r++)
            for (int c = 0; c < 256; c++) envmap->pixels[r * 256 + c] = pixel_rgb(c, r, 7);
        light.type = 2;
        light.intensity = 255.0f;
        light.range = 100.0f;
        light.view_position = Vec3{0.0f, 0.0f, -930.0f};
    }
    void TearDown() override { mem_free_all(); }

    void clear_depth() {
        for (int n = 0; n < 512 * 256; n++) target->depth[n] = ISO_DEPTH_CLEAR;
    }
    uint32_t at(int x, int y) const { return target->pixels[y * 512 + x]; }
    static int column_of(uint32_t p) { return int(p >> 8 & 255); }
    static int row_of(uint32_t p) { return int(p >> 16 & 255); }
    int drawn_pixels() const {
        int n = 0;
        for (int i = 0; i < 512 * 256; i++) n += target->pixels[i] != 0;
        return n;
    }

    // Lays the grid out facing the viewer: 8 pixels per step, y up the screen, depth growing
    // with i, the grid's middle at (cx, cy).
    void lay_out_grid(float cx, float cy) {
        for (int i = 0; i < ISO_SIDE; i++)
            for (int j = 0; j < ISO_SIDE; j++)
                for (int k = 0; k < ISO_SIDE; k++)
                    iso->grid[iso_index(k, j, i)].screen =
                        Vec3{cx + 8.0f * float(k - 8), cy - 8.0f * float(j - 8),
                             -800.0f + 8.0f * float(i - 8)};
    }
    // All five charges at the world's origin: a sphere of radius 5 / threshold.
    void one_sphere() {
        const Vec3 still[ISO_BLOBS] = {};
        iso_set_blobs(iso, still, 0.039f);
        iso_blob_centres(iso, 1.0f);
        iso_evaluate_field(iso);
    }
};

TEST_F(IsoTest, BlobCentresFollowTheirWaves) {
    const Vec3 swing[ISO_BLOBS] = {
        {80, 64, 80}, {148, -64, -110}, {-120, 32, -94}, {-180, -80, 106}, {150, 122, -156}};
    iso_set_blobs(iso, swing, 0.039f);
    iso_blob_centres(iso, 0.0f); // sines 0, cosines 1
    const Vec3 expect[ISO_BLOBS] = {
        {0, 0, 0}, {148, -64, 0}, {0, 32, 0}, {0, -80, 106}, {150, 0, -156}};
    for (int b = 0; b < ISO_BLOBS; b++) {
        EXPECT_FLOAT_EQ(iso->centre[b].x, expect[b].x) << b;
        EXPECT_FLOAT_EQ(iso->centre[b].y, expect[b].y) << b;
        EXPECT_FLOAT_EQ(iso->centre[b].z, expect[b].z) << b;
    }
    const float quarter = 0.7f * 1.5707964f; // t / 0.7 = pi / 2
    iso_blob_centres(iso, quarter);
    EXPECT_NEAR(iso->centre[0].x, 80.0f, 1e-4f);
    EXPECT_NEAR(iso->centre[1].x, 148.0f * std::cos(quarter / 0.4f), 1e-3f);
}

TEST_F(IsoTest, FieldSumsInverseDistancesAndSkipsACentreOnThePoint) {
    one_sphere(); // five centres on grid point (8, 8, 8)
    const IsoPoint &on = iso->grid[iso_index(8, 8, 8)];
    EXPECT_EQ(on.value, 0.0f);
    EXPECT_EQ(on.normal.x, 0.0f);
    EXPECT_EQ(on.normal.y, 0.0f);
    EXPECT_EQ(on.normal.z, 0.0f);
    const IsoPoint &right = iso->grid[iso_index(9, 8, 8)]; // at (27, 0, 0)
    EXPECT_NEAR(right.value, 5.0f / 27.0f, 1e-6f);
    EXPECT_NEAR(right.normal.x, 5.0f * 256.0f * -27.0f / 729.0f, 1e-3f); // towards the centres
    EXPECT_EQ(right.normal.y, 0.0f);
    const IsoPoint &corner = iso->grid[iso_index(0, 0, 0)]; // at (-216, -216, -216)
    EXPECT_NEAR(corner.value, 5.0f / (216.0f * std::sqrt(3.0f)), 1e-6f);
    EXPECT_GT(corner.normal.x, 0.0f);
    EXPECT_GT(corner.normal.y, 0.0f);
    EXPECT_GT(corner.normal.z, 0.0f);
}

TEST_F(IsoTest, GridSpansTheProjectedCubeCornersInTheirOrder) {
    Scene *scene = scene_create(512, 256, 400.0f, 0x51);
    SceneObject *cube = new_empty_object();
    ASSERT_TRUE(scene && cube);
    EXPECT_EQ(iso_place_grid(iso, scene, cube), 0); // no corners: nothing placed
    Vec3 view[8];
    const int dx[8] = {0, 1, 1, 0, 0, 1, 1, 0}, dy[8] = {1, 1, 0, 0, 1, 1, 0, 0};
    for (int m = 0; m < 8; m++)
        view[m] = Vec3{dx[m] ? 50.0f : -50.0f, dy[m] ? 40.0f : -40.0f, m >= 4 ? 300.0f : 100.0f};
    cube->view_points = view;
    cube->point_count = 8;
    cube->position.z = 20.0f;
    ASSERT_EQ(iso_place_grid(iso, scene, cube), 1);
    auto expect_on = [&](int k, int j, int i, int m) {
        Vec3 p;
        project_point(scene->view, p, view[m]);
        const Vec3 &g = iso->grid[iso_index(k, j, i)].screen;
        EXPECT_NEAR(g.x, p.x, 1e-3f) << k << j << i;
        EXPECT_NEAR(g.y, p.y, 1e-3f) << k << j << i;
        EXPECT_NEAR(g.z, view[m].z - 420.0f, 1e-3f) << k << j << i; // relative to the cube
    };
    expect_on(0, 0, 0, 3);
    expect_on(16, 0, 0, 2);
    expect_on(0, 16, 0, 0);
    expect_on(16, 16, 0, 1);
    expect_on(0, 0, 16, 7);
    expect_on(16, 0, 16, 6);
    expect_on(0, 16, 16, 4);
    expect_on(16, 16, 16, 5);
    // Screen positions are interpolated, not projected: the middle is the corners' average.
    const Vec3 &mid = iso->grid[iso_index(8, 8, 8)].screen;
    Vec3 near_corner, far_corner;
    project_point(scene->view, near_corner, view[1]);
    project_point(scene->view, far_corner, view[5]);
    EXPECT_NEAR(mid.x, 256.0f, 1e-3f);
    EXPECT_NEAR(mid.y, 128.0f, 1e-3f);
    EXPECT_NEAR(mid.z, 200.0f - 420.0f, 1e-3f);
    EXPECT_NEAR(iso->grid[iso_index(16, 8, 8)].screen.x, (near_corner.x + far_corner.x) / 2, 1e-3f);
}

TEST_F(IsoTest, AZeroFieldOrAFieldAboveEverywhereDrawsNothing) {
    lay_out_grid(256, 128);
    EXPECT_EQ(iso_polygonise(iso, &light, envmap, target), 0); // every corner below
    for (IsoPoint &p : iso->grid) p.value = 1.0f;
    iso->threshold = 0.039f;
    EXPECT_EQ(iso_polygonise(iso, &light, envmap, target), 0); // every corner above
    EXPECT_EQ(drawn_pixels(), 0);
}

TEST_F(IsoTest, ASphereDrawsItsFrontWithTheEnvironmentOfItsNormals) {
    lay_out_grid(256, 128);
    one_sphere(); // radius 128 world units = 4.74 steps = 37.9 pixels
    EXPECT_GT(iso_polygonise(iso, &light, envmap, target), 20);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            float r = std::hypot(float(x) - 256.0f, float(y) - 128.0f);
            if (r > 40.0f) {
                ASSERT_EQ(at(x, y), 0u) << x << "," << y;
            }
        }
    // The middle faces the viewer: its normal has no x or y, the middle of the map.
    EXPECT_NEAR(column_of(at(256, 128)), 127, 3);
    EXPECT_NEAR(row_of(at(256, 128)), 127, 3);
    // Normals point towards the charges: the right side looks left in the map, the top down.
    EXPECT_LT(column_of(at(276, 128)), 110);
    EXPECT_GT(column_of(at(236, 128)), 144);
    EXPECT_LT(row_of(at(256, 108)), 110); // screen up = world up, the normal pointing down
    EXPECT_GT(row_of(at(256, 148)), 144);
    // Only the front was drawn: the depths written are the near half's.
    EXPECT_LT(target->depth[128 * 512 + 256], -800.0f);
}

TEST_F(IsoTest, TrianglesTheLightDoesNotReachAreNotDrawn) {
    lay_out_grid(256, 128);
    one_sphere();
    light.view_position = Vec3{0.0f, 0.0f, -1e9f}; // far behind every depth: lights back faces
    EXPECT_EQ(iso_polygonise(iso, &light, envmap, target), 0);
    EXPECT_EQ(drawn_pixels(), 0);
}

TEST_F(IsoTest, AnEdgeOfEqualValuesTakesItsFirstCorner) {
    lay_out_grid(256, 128);
    iso->threshold = 0.5f;
    // One cell whose corners 0..3 are below and 4..7 above, values differing by 1e-6: every
    // crossed edge (8..11) snaps to its first corner, so the surface lies on the face 0-1-2-3.
    for (IsoPoint &p : iso->grid) p.value = 1.0f;
    for (int m = 0; m < 4; m++) {
        const int dx[4] = {0, 1, 1, 0}, dy[4] = {1, 1, 0, 0};
        iso->grid[iso_index(8 + dx[m], 8 + dy[m], 8)].value = 0.4999995f;
        iso->grid[iso_index(8 + dx[m], 8 + dy[m], 9)].value = 0.5000005f;
    }
    for (IsoPoint &p : iso->grid) p.normal = Vec3{0.0f, 0.0f, 1.0f};
    // Cells around it see the low corners too; count only pixel depths of layer 8 (-800).
    iso_polygonise(iso, &light, envmap, target);
    int on_face = 0;
    for (int n = 0; n < 512 * 256; n++)
        if (target->depth[n] != ISO_DEPTH_CLEAR) {
            EXPECT_NEAR(target->depth[n], -800.0f, 1e-3f);
            on_face++;
        }
    EXPECT_GT(on_face, 0);
}

// ---- the filler ------------------------------------------------------------------------------

IsoVertex vtx(float x, float y, float z, float u = 0.5f, float v = 0.5f) {
    return IsoVertex{x, y, z, u, v};
}

TEST_F(IsoTest, FillerCoversRowsFromTruncToTheLastBelowTheLowerVertex) {
    // Flat top (10, 10)-(20, 10)-(10, 20): row r covers columns 10 .. 28 - r, rows 10..18.
    const IsoVertex t[3] = {vtx(20, 10, 5), vtx(10, 20, 5), vtx(10, 10, 5)};
    iso_fill_triangle(t, envmap, target);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            bool inside = y >= 10 && y <= 18 && x >= 10 && x <= 28 - y;
            ASSERT_EQ(at(x, y) != 0, inside) << x << "," << y;
        }
    EXPECT_EQ(drawn_pixels(), 45);
    // Upper and lower halves with a prestep: apex (30.5, 40.25).
    clear_depth();
    const IsoVertex s[3] = {vtx(30.5f, 40.25f, 5), vtx(10, 50, 5), vtx(50, 60, 5)};
    iso_fill_triangle(s, envmap, target);
    EXPECT_NE(at(30, 40), 0u); // row trunc(y0) is drawn with the edges at ceil(y0)
    EXPECT_EQ(at(30, 39), 0u);
    EXPECT_EQ(at(40, 60), 0u); // row trunc(y2) is not
    EXPECT_NE(at(45, 58), 0u);
}

TEST_F(IsoTest, FillerMapsTheEnvironmentAcrossAndDown) {
    // A right triangle with u 0 -> 1 along x and v 0 -> 1 along y over 256 pixels.
    const IsoVertex t[3] = {vtx(0, 0, 5, 0, 0), vtx(256, 0, 5, 1, 0), vtx(0, 256, 5, 0, 1)};
    iso_fill_triangle(t, envmap, target);
    EXPECT_EQ(at(0, 0), pixel_rgb(0, 0, 7));
    EXPECT_NEAR(column_of(at(100, 10)), 100, 1);
    EXPECT_NEAR(row_of(at(100, 10)), 10, 1);
    EXPECT_NEAR(column_of(at(3, 200)), 3, 1);
    EXPECT_NEAR(row_of(at(3, 200)), 200, 1);
}

TEST_F(IsoTest, FillerKeepsTheNearerPixelWhicheverComesFirst) {
    const IsoVertex near_tri[3] = {vtx(0, 0, -900, 0.1f, 0.1f), vtx(100, 0, -900, 0.1f, 0.1f),
                                   vtx(0, 100, -900, 0.1f, 0.1f)};
    const IsoVertex far_tri[3] = {vtx(0, 0, -700, 0.9f, 0.9f), vtx(100, 0, -700, 0.9f, 0.9f),
                                  vtx(0, 100, -700, 0.9f, 0.9f)};
    iso_fill_triangle(far_tri, envmap, target);
    iso_fill_triangle(near_tri, envmap, target);
    const uint32_t near_texel = at(20, 20);
    EXPECT_LT(column_of(near_texel), 128);
    EXPECT_FLOAT_EQ(target->depth[20 * 512 + 20], -900.0f);
    iso_fill_triangle(far_tri, envmap, target);
    EXPECT_EQ(at(20, 20), near_texel);
    // And in the other order, at positive depths.
    clear_depth();
    const IsoVertex a[3] = {vtx(0, 0, 10, 0.9f, 0.9f), vtx(100, 0, 10, 0.9f, 0.9f),
                            vtx(0, 100, 10, 0.9f, 0.9f)};
    const IsoVertex b[3] = {vtx(0, 0, 400, 0.1f, 0.1f), vtx(100, 0, 400, 0.1f, 0.1f),
                            vtx(0, 100, 400, 0.1f, 0.1f)};
    iso_fill_triangle(a, envmap, target);
    iso_fill_triangle(b, envmap, target);
    EXPECT_GT(column_of(at(20, 20)), 128);
}

TEST_F(IsoTest, FillerClipsToTheTargetAndRefusesWildVertices) {
    // An exactly sized target: any write outside it is caught by the address sanitizer.
    Image *small = image_create(40, 30, IMG_DEPTH);
    ASSERT_NE(small, nullptr);
    for (int n = 0; n < 40 * 30; n++) small->depth[n] = ISO_DEPTH_CLEAR;
    const IsoVertex big[3] = {vtx(-500, -300, 1), vtx(900, -200, 1), vtx(20, 700, 1)};
    iso_fill_triangle(big, envmap, small);
    for (int n = 0; n < 40 * 30; n++) ASSERT_NE(small->pixels[n], 0u) << n;
    Image *plain = image_create(40, 30, 0);
    iso_fill_triangle(big, envmap, plain); // no depth plane: nothing
    EXPECT_EQ(plain->pixels[0], 0u);
    const float nan = std::nanf("");
    const IsoVertex wild[][3] = {
        {vtx(nan, 0, 1), vtx(10, 10, 1), vtx(0, 20, 1)},
        {vtx(0, 0, 1), vtx(1e30f, 10, 1), vtx(0, 20, 1)},
        {vtx(0, -1e9f, 1), vtx(10, 10, 1), vtx(0, 20, 1)},
        {vtx(0, 0, nan), vtx(10, 0, nan), vtx(0, 20, nan)},
        {vtx(0, 0, 1, nan, 1e30f), vtx(10, 0, 1), vtx(0, 20, 1)},
    };
    for (auto &w : wild) iso_fill_triangle(w, envmap, target);
    for (int n = 0; n < 512 * 256; n++)
        if (target->pixels[n] != 0) {
            // Only the last one, whose position is sound, may draw (with any texel).
            ASSERT_LT(n % 512, 10);
            ASSERT_LT(n / 512, 20);
        }
}

} // namespace
