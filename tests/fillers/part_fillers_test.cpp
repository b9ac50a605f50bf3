// Tests of the shade-table filler and the unit-coordinate texture filler.

#include "fillers/part_fillers.h"
#include "support.h"

#include <gtest/gtest.h>

#include <random>

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

// Random triangles and coordinates, drawn from the pictures' words and from their low bytes:
// the same pixels. Pictures other than the copied ones keep being read as words.
TEST_F(ShadedTest, ByteCopiesDrawWhatTheWordsDraw) {
    std::mt19937 rng(5);
    std::vector<uint8_t> index_bytes(65536), level_bytes(65536), zeros(65536);
    for (uint32_t i = 0; i < 65536; i++) {
        indices.pixels[i] = rng(), levels.pixels[i] = rng();
        index_bytes[i] = uint8_t(indices.pixels[i]), level_bytes[i] = uint8_t(levels.pixels[i]);
    }
    Target other{256, 256};
    std::uniform_real_distribution<float> at(-20, 84), texel(-600, 600);
    int drawn = 0;
    for (int round = 0; round < 300; round++) {
        Face f = shaded(at(rng), at(rng), at(rng), at(rng), at(rng), at(rng));
        for (float &c : f.uv) c = texel(rng);
        Target words(64, 64), bytes(64, 64), other_pictures(64, 64), forgotten(64, 64);
        fill_table_shaded(&f, &words.image);
        fill_set_shade_bytes(&indices.image, index_bytes.data(), &levels.image, level_bytes.data());
        fill_table_shaded(&f, &bytes.image);
        ASSERT_EQ(words.pixels, bytes.pixels) << "round " << round;
        fill_set_shade_bytes(&other.image, zeros.data(), &levels.image, zeros.data());
        fill_table_shaded(&f, &other_pictures.image);
        ASSERT_EQ(words.pixels, other_pictures.pixels) << "round " << round;
        fill_set_shade_bytes(&indices.image, zeros.data(), &levels.image, zeros.data());
        fill_set_shade_table(table.data()); // forgets the copies
        fill_table_shaded(&f, &forgotten.image);
        ASSERT_EQ(words.pixels, forgotten.pixels) << "round " << round;
        drawn += words.changed() > 0;
    }
    EXPECT_GT(drawn, 150);
}

// A right edge on a pixel boundary (x = 20.0) gives end = 20: columns 0 .. 18.
TEST(UnitTexturedTest, RightEdgesOnABoundaryStopTwoShortAndPastTheTargetAtItsLastColumn) {
    Texture texture;
    Target t(32, 12);
    fill_unit_textured_triangle(0, 0, 0, 0, 20, 0, 0.5f, 0, 0, 10, 0, 0.5f, &texture.image,
                                &t.image);
    EXPECT_NE(t.at(18, 0), 0u);
    EXPECT_EQ(t.at(19, 0), 0u);
    EXPECT_EQ(t.at(0, 0), texel_word(0, 0));
    // Past the target's right edge a row stops at its last column, not in the next row.
    Target wide(32, 4);
    fill_unit_textured_triangle(20, 0, 0, 0, 60, 0, 0.5f, 0, 20, 4, 0, 0.5f, &texture.image,
                                &wide.image);
    EXPECT_NE(wide.at(31, 1), 0u);
    for (int32_t y = 1; y < 4; y++) EXPECT_EQ(wide.at(0, y), 0u) << y;
}

} // namespace
