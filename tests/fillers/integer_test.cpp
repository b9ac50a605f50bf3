// Tests of the integer-branch fillers: hand-checked triangles, inside and clipped by an
// exactly-sized target, and lights and edges the show's faces never have.

#include "fillers/fillers.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t BLANK = 0x11111111u;

// Texels sampled by row: pixel (x, y) of a target filled with a texture is texel_word(u, v).
struct TexturedTest : ::testing::Test {
    Texture texture;
    Face textured(float x0, float y0, float x1, float y1, float x2, float y2) {
        Face f = make_face(FACE_TEXTURED, x0, y0, x1, y1, x2, y2);
        f.texture[0] = &texture.image;
        return f;
    }
};

// Rows 0..3 of the right triangle (0,0) (4,0) (0,4): du/dx = 16 texels, 16 more v per row,
// and the extra right pixel makes row y run to column 4 - y.
TEST_F(TexturedTest, SmallTriangleSamplesEveryTexelByHand) {
    Target t(8, 8, BLANK);
    Face f = textured(0, 0, 4, 0, 0, 4);
    set_uv(f, 0, 0, 0, 64, 0, 0, 64);
    fill_textured(&f, &t.image);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            uint32_t want = (y < 4 && x <= 4 - y) ? texel_word(16 * x, 16 * y) : BLANK;
            EXPECT_EQ(t.at(x, y), want) << x << "," << y;
        }
}

TEST(FlatLitTest, IntensityScalesBytesOneToThreeAndKeepsByteZero) {
    const uint32_t colour = 0x80ff40abu; // mask 0xab, red 64, green 255, blue 128
    struct Case {
        float intensity;
        uint32_t want;
    } cases[] = {
        {0.0f, 0x000000abu},
        {255.0f, 0x7ffe3fabu}, // 63.75, 254.00, 127.5 truncated
        {-40.0f, 0x000000abu}, // a negative light draws black, not wrapped bytes
    };
    for (const Case &c : cases) {
        Target t(8, 8);
        Face f = make_face(FACE_FLAT | FACE_SOLID, 0, 0, 6, 0, 0, 6);
        f.colour = colour;
        f.flat_intensity = c.intensity;
        fill_flat_lit(&f, &t.image);
        EXPECT_EQ(t.at(0, 0), c.want) << c.intensity;
        EXPECT_EQ(t.at(5, 0), c.want) << c.intensity;
        EXPECT_EQ(t.at(6, 0), 0u) << "no extra pixel on the right";
    }
}

// Short edges on the right: at the middle row the right edge restarts at x1.
TEST(FlatLitTest, RightEdgeRestartsAtTheMiddleVertex) {
    Target g(8, 8);
    Face f = make_face(FACE_FLAT | FACE_SOLID, 0, 0, 5, 3, 0, 6);
    f.flat_intensity = 256;
    fill_flat_lit(&f, &g.image);
    // Right edge 0 + 5/3 per row (109226 in 16.16) on rows 0..2, then from x1 = 5 exactly
    // (walked on it would be 327678, one column short) back by 5/3 on rows 3..5.
    int widths[6] = {0, 1, 3, 5, 3, 1};
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(g.at(x, y) != 0, y < 6 && x < widths[y]) << x << "," << y;
}

// Along row 1 of this triangle the red channel falls to 0 at the right edge, and the extra right
// pixel lies a third of a pixel beyond it: its value dips below 0 and must read 0, not 245.
TEST(GouraudTest, ChannelsByHandAndSaturatingPastTheEdge) {
    Target t(12, 8);
    Face f = make_face(FACE_GOURAUD | FACE_SOLID, 0, 3, 8, 0, 8, 6); // the lit one given first
    f.colour = 0x000000ffu | 0xffu << 8; // mask 0xff, red 255, green and blue 0
    f.gouraud_intensity[0] = 255, f.gouraud_intensity[1] = 0, f.gouraud_intensity[2] = 0;
    fill_gouraud(&f, &t.image);
    uint32_t want[4] = {84, 52, 21, 0}; // 16.16: 5548714 stepping by -2080768
    for (int i = 0; i < 4; i++) EXPECT_EQ(t.at(5 + i, 1), 0xffu | want[i] << 8) << 5 + i;
    EXPECT_EQ(t.at(4, 1), 0u);
    EXPECT_EQ(t.at(9, 1), 0u);
    // Row 3 starts from the walked left edge, not from vertex 1 (254): 3 x 5548714 is just
    // under 254 in 16.16.
    EXPECT_EQ(t.at(0, 3), 0xffu | 253u << 8);
}

// The same triangle scaled by 4 and moved 4 up and left into an exactly-sized 8 x 8 target: the
// cut rows and columns advance u and v as if drawn, 4 texels a pixel, and the extra right pixel
// is held inside the target.
TEST_F(TexturedTest, ClippedTriangleByHand) {
    Target t(8, 8, BLANK);
    Face f = textured(-4, -4, 12, -4, -4, 12);
    set_uv(f, 0, 0, 0, 64, 0, 0, 64);
    fill_textured(&f, &t.image);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            uint32_t want = x <= 8 - y ? texel_word(4 * (x + 4), 4 * (y + 4)) : BLANK;
            EXPECT_EQ(t.at(x, y), want) << x << "," << y;
        }
}

} // namespace
