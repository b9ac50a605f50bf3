// Tests of the float-branch fillers: the additive triangle by hand, inside and clipped, and the
// depth test of the two depth-tested fillers.

#include "fillers/fillers.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

Face solid(float x0, float y0, float x1, float y1, float x2, float y2, uint32_t colour) {
    Face f = make_face(FACE_SOLID, x0, y0, x1, y1, x2, y2);
    f.colour = colour;
    return f;
}

// Row y of (0,0) (8,0) (0,8) runs from column 0 to ceil(8 - y) - 2: seven pixels on row 0.
TEST(FlatAddTest, SmallTriangleByHand) {
    Target t(16, 16);
    Face f = solid(0, 0, 8, 0, 0, 8, 0x30201000u);
    fill_flat_add(&f, &t.image);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            EXPECT_EQ(t.at(x, y), x <= 6 - y ? 0x30201000u : 0u) << x << "," << y;
}

// The same triangle moved 4 up and left into an exactly-sized 8 x 8 target: rows and columns
// before 0 are cut, and the right end is held at width - 1, so no row runs past column 5.
TEST(FlatAddTest, ClippedTriangleByHand) {
    Target t(8, 8);
    Face f = solid(-4, -4, 12, -4, -4, 12, 0x30201000u);
    fill_flat_add(&f, &t.image);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(t.at(x, y), x <= std::min(5, 6 - y) ? 0x30201000u : 0u) << x << "," << y;
}

struct DepthTest : ::testing::Test {
    Texture texture;
    Face flat(float z) {
        Face f = solid(2, 2, 14, 3, 6, 13, 0x00402000u);
        for (Vec3 &v : f.v) v.z = z;
        return f;
    }
    Face textured(float z) {
        Face f = flat(z);
        f.flags = FACE_TEXTURED;
        f.texture[0] = &texture.image;
        set_uv(f, 0, 300, 10, 300, 10, 300, 10);
        return f;
    }
};

// A pixel is drawn only where the whole depth is strictly nearer than the stored one, which then
// takes that whole depth.
TEST_F(DepthTest, StrictTestOnWholeDepths) {
    for (Filler fill : {fill_flat_add_depth, fill_textured_depth}) {
        Target t(16, 16, 0, true);
        std::fill(t.depth.begin(), t.depth.end(), 5.0f);
        Face same = textured(5.9f); // truncates to 5: equal, not nearer
        fill(&same, &t.image);
        EXPECT_EQ(t.changed(), 0);
        Face nearer = textured(4.9f);
        fill(&nearer, &t.image);
        int drawn = t.changed();
        EXPECT_GT(drawn, 20);
        for (int i = 0; i < 256; i++) EXPECT_EQ(t.depth[i], t.pixels[i] ? 4.0f : 5.0f) << i;
        Face farther = textured(4.0f);
        farther.colour = 0xffffff00u;
        std::fill(t.pixels.begin(), t.pixels.end(), 0);
        fill(&farther, &t.image);
        EXPECT_EQ(t.changed(), 0);
    }
}

// A flat top given right vertex first: its depth goes with its own vertex when the two top
// vertices are put in order (row 0 starts at z = -5, steps by -4.75).
TEST_F(DepthTest, FlatTopKeepsEachVertexsDepth) {
    Target t(32, 16, 0, true);
    Face f = solid(20, 0, 0, 0, 10, 10, 0x00101000u);
    f.v[0].z = -100, f.v[1].z = -5, f.v[2].z = -50;
    fill_flat_add_depth(&f, &t.image);
    EXPECT_EQ(t.depth_at(0, 0), -5.0f);
    EXPECT_EQ(t.depth_at(1, 0), -9.0f);
    EXPECT_NE(t.at(19, 0), 0u);
    EXPECT_EQ(t.at(20, 0), 0u);  // columns trunc(left) .. trunc(right) - 1
    Target cut(32, 16, 0, true); // moved 4 left: column 0 takes the depth of column 4 above
    for (Vec3 &v : f.v) v.x -= 4;
    fill_flat_add_depth(&f, &cut.image);
    EXPECT_EQ(cut.depth_at(0, 0), -24.0f);
}

} // namespace
