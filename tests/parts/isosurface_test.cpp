// Tests of the isosurface where the show does not take it: all of its tables, a charge on a grid
// point, fields with no surface or with equal values along an edge, and the filler's rows and
// clipping. The show's digests pin its frames.

#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scene.h"
#include "parts/isosurface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// The tables are the published ones (Bourke's edge and triangle tables): FNV-1a, over
// little-endian 32-bit words, of each index's edge mask, its triangle edges and a -1, computed
// from the published text. The show meets only some of the 256 cases.
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
}

TEST_F(IsoTest, AnObjectWithoutCornersPlacesNoGrid) {
    Scene *scene = scene_create(512, 256, 400.0f, SCENE_PART_FLAGS);
    SceneObject *cube = new_empty_object();
    ASSERT_TRUE(scene && cube);
    EXPECT_EQ(iso_place_grid(iso, scene, cube), 0);
}

TEST_F(IsoTest, AZeroFieldOrAFieldAboveEverywhereDrawsNothing) {
    lay_out_grid(256, 128);
    EXPECT_EQ(iso_polygonise(iso, &light, envmap, target), 0); // every corner below
    for (IsoPoint &p : iso->grid) p.value = 1.0f;
    iso->threshold = 0.039f;
    EXPECT_EQ(iso_polygonise(iso, &light, envmap, target), 0); // every corner above
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

// The packed field and the point-at-a-time one give the same bits, also where a charge sits
// exactly on a grid point (and adds nothing there) and for charges beyond the grid.
TEST_F(IsoTest, PackedFieldEqualsTheScalarOne) {
    IsoSurface *packed = iso_create();
    ASSERT_NE(packed, nullptr);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 40; round++) {
        for (int b = 0; b < ISO_BLOBS; b++) {
            float c[3];
            for (float &v : c) v = float(int32_t(next() >> 8) % 600000) / 1000.0f - 300.0f;
            if (b == round % ISO_BLOBS) { // a charge on a grid point
                c[0] = ISO_WORLD_START + ISO_WORLD_STEP * float(next() % ISO_SIDE);
                c[1] = ISO_WORLD_START + ISO_WORLD_STEP * float(next() % ISO_SIDE);
                c[2] = ISO_WORLD_START + ISO_WORLD_STEP * float(next() % ISO_SIDE);
            }
            iso->centre[b] = packed->centre[b] = Vec3{c[0], c[1], c[2]};
        }
        iso_evaluate_field_scalar(iso);
        iso_evaluate_field(packed);
        ASSERT_EQ(std::memcmp(iso->grid, packed->grid, sizeof iso->grid), 0) << round;
    }
}

// Running only the cells near the points above the threshold draws what running every cell
// draws, pixel for pixel and in the same order (overlapping triangles decide by order).
TEST_F(IsoTest, PolygonisingTheBoxEqualsEveryCell) {
    Image *every = image_create(512, 256, IMG_DEPTH);
    ASSERT_NE(every, nullptr);
    lay_out_grid(256.0f, 128.0f);
    const Vec3 swing[ISO_BLOBS] = {
        {80, 64, 80}, {148, -64, -110}, {-120, 32, -94}, {-180, -80, 106}, {150, 122, -156}};
    const float thresholds[] = {0.039f, 0.02f, 0.08f, 1.0f};
    for (int round = 0; round < 24; round++) {
        iso_set_blobs(iso, swing, thresholds[round % 4]);
        iso_blob_centres(iso, 0.7f * float(round));
        iso_evaluate_field(iso);
        if (round == 5) iso->grid[iso_index(16, 0, 16)].value = 1.0f; // a lone far corner
        if (round == 7) { // points on the first face only, none beside them
            for (IsoPoint &point : iso->grid) point.value = 0.0f;
            for (int j = 0; j < ISO_SIDE; j++)
                for (int i = 0; i < ISO_SIDE; i++)
                    iso->grid[iso_index(0, j, i)].value = (i + j) % 2 ? 0.0f : 2.0f;
        }
        clear_depth();
        for (int n = 0; n < 512 * 256; n++) every->depth[n] = ISO_DEPTH_CLEAR;
        const int drawn = iso_polygonise(iso, &light, envmap, target);
        ASSERT_EQ(drawn, iso_polygonise_every_cell(iso, &light, envmap, every)) << round;
        ASSERT_EQ(std::memcmp(target->pixels, every->pixels, 512 * 256 * 4), 0) << round;
        if (round % 4 == 0) {
            EXPECT_GT(drawn, 0) << round;
        }
    }
}

} // namespace
