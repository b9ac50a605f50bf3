// Tests of the shade-table filler and the unit-coordinate texture filler.

#include "fillers/part_fillers.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Index texture: word = column; level texture: word = row. The table entry index * 256 + level
// is index in byte 1 and level in byte 2, so a pixel tells which texels it combined.
struct ShadedTest : ::testing::Test {
    Target indices{256, 256}, levels{256, 256};
    std::vector<uint32_t> table = std::vector<uint32_t>(SHADE_TABLE_SIZE);
    void SetUp() override {
        for (uint32_t i = 0; i < 65536; i++) {
            indices.pixels[i] = i & 255;
            levels.pixels[i] = i >> 8;
            table[i] = (i >> 8) << 8 | (i & 255) << 16 | 0x77u;
        }
        fill_set_shade_table(table.data());
    }
    void TearDown() override { fill_set_shade_table(nullptr); }
    Face shaded(float x0, float y0, float x1, float y1, float x2, float y2) {
        Face f = make_face(FACE_TEXTURED | FACE_ENVMAP, x0, y0, x1, y1, x2, y2);
        f.texture[0] = &indices.image;
        f.texture[1] = &levels.image;
        f.uv_layer[0] = 0, f.uv_layer[1] = 6, f.uv_count = 12;
        return f;
    }
    static uint32_t entry(uint32_t index, uint32_t level) {
        return index << 8 | level << 16 | 0x77u;
    }
};

// (0,0) (4,0) (0,4): colour u steps 16 per pixel, environment v 8 per row from 8; row y runs
// to column 3 - y (no extra pixel on the right).
TEST_F(ShadedTest, SmallTriangleByHand) {
    Target t(8, 8);
    Face f = shaded(0, 0, 4, 0, 0, 4);
    set_uv(f, 0, 0, 0, 64, 0, 0, 64);
    set_uv(f, 6, 0, 8, 0, 8, 0, 40);
    fill_table_shaded(&f, &t.image);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(t.at(x, y), x < 4 - y ? entry(16 * x, 8 + 8 * y) : 0u) << x << "," << y;
}

// Short edges on the left: at the middle row the left edge restarts at vertex 1 with its
// coordinates (u = 100), where walking on would have reached 3 x 8533 = 25599 (u = 99).
TEST_F(ShadedTest, LeftEdgeRestartsAtTheMiddleVertex) {
    Target t(12, 8);
    Face f = shaded(8, 0, 0, 3, 8, 6);
    set_uv(f, 0, 0, 0, 100, 0, 0, 0);
    fill_table_shaded(&f, &t.image);
    EXPECT_EQ(t.at(0, 3), entry(100, 0));
    EXPECT_EQ(t.at(8, 3), 0u) << "no extra pixel on the right";
    EXPECT_NE(t.at(7, 3), 0u);
}

// All-zero intensities give entry index * 256 for every index; a table whose whole row of an
// index holds one colour reproduces the index texture whatever the intensities.
TEST_F(ShadedTest, TableRowsByIndex) {
    Target zero(256, 256);
    Face f = shaded(1, 1, 30, 5, 8, 28);
    set_uv(f, 0, 10, 3, 200, 40, 60, 250);
    set_uv(f, 6, 0, 0, 0, 0, 0, 0);
    f.texture[1] = &zero.image;
    Target a(32, 32);
    fill_table_shaded(&f, &a.image);
    EXPECT_GT(a.changed(), 100);
    for (uint32_t p : a.pixels) EXPECT_TRUE(p == 0 || (p >> 16 & 255) == 0) << std::hex << p;

    for (uint32_t i = 0; i < 65536; i++) table[i] = (i >> 8) << 24 | 0x55u;
    f.texture[1] = &levels.image;
    set_uv(f, 6, 0, 0, 255, 17, 90, 255);
    Target b(32, 32);
    fill_table_shaded(&f, &b.image);
    for (size_t i = 0; i < a.pixels.size(); i++) {
        EXPECT_EQ(b.pixels[i] == 0, a.pixels[i] == 0) << i;
        if (a.pixels[i]) {
            EXPECT_EQ(b.pixels[i], (a.pixels[i] >> 8 & 255) << 24 | 0x55u) << i;
        }
    }
}

struct UnitTest : ::testing::Test {
    Texture texture;
};

// u from 0 to 1 over columns 0.5 .. 256.5: pixel k of row 0 samples column k, every one of
// 0..255; v = 1.0 is row 255.
TEST_F(UnitTest, UnitCoordinatesCoverColumnsZeroTo255) {
    Target t(260, 4);
    Face f = make_face(FACE_TEXTURED, 0.5f, 0, 256.5f, 0, 0.5f, 8);
    f.texture[0] = &texture.image;
    set_uv(f, 0, 0, 1, 1, 1, 0, 1);
    fill_unit_textured(&f, &t.image);
    for (int x = 0; x < 256; x++) ASSERT_EQ(t.at(x, 0), texel_word(x, 255)) << x;
    EXPECT_EQ(t.at(256, 0), 0u);
}

// A right edge on a pixel boundary (x = 20.0) gives end = 20: columns 0 .. 18.
TEST_F(UnitTest, RightEdgeOnABoundaryStopsTwoShort) {
    Target t(32, 12);
    fill_unit_textured_triangle(0, 0, 0, 0, 20, 0, 0.5f, 0, 0, 10, 0, 0.5f, &texture.image,
                                &t.image);
    EXPECT_NE(t.at(18, 0), 0u);
    EXPECT_EQ(t.at(19, 0), 0u);
    EXPECT_EQ(t.at(0, 0), texel_word(0, 0));
}

} // namespace
