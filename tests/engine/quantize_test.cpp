// Tests of the octree quantiser: one colour, the palette bound, nearest-colour mapping and the
// tie rule.

#include "engine/quantize.h"

#include "data/image.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

class QuantizeTest : public ::testing::Test {
  protected:
    void TearDown() override { mem_free_all(); }
};

} // namespace

TEST_F(QuantizeTest, OneColourGivesOneEntryAndIndexZero) {
    std::vector<uint32_t> pixels(1000, pixel_rgb(12, 200, 77) | 0x99); // mask byte ignored
    std::vector<uint8_t> indices(1000, 0xEE);
    uint32_t palette[256];
    std::fill(palette, palette + 256, 0xABu);
    int size = -1;
    ASSERT_EQ(quantize_colors(palette, pixels.data(), indices.data(), 1000, 255, &size), 1);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(palette[0], pixel_rgb(12, 200, 77) | 0xAB); // byte 0 is not written
    EXPECT_EQ(std::count(indices.begin(), indices.end(), 0), 1000);
    EXPECT_EQ(mem_live_blocks(), 0) << "the tree must be freed";
}

// The show asks for 255 colours; smaller palettes are honoured too, down to a single entry.
TEST_F(QuantizeTest, SmallerPalettesStayWithinTheirSize) {
    std::mt19937 rng(11);
    const int n = 256 * 256;
    std::vector<uint32_t> pixels(n);
    for (int i = 0; i < n; i++) {
        const uint32_t x = i & 255, y = i >> 8;
        pixels[i] = pixel_rgb(x, y, (x ^ y) + rng() % 8);
    }
    std::vector<uint8_t> indices(n);
    uint32_t palette[256] = {};
    int size = 0;
    for (int colours : {16, 3, 0}) {
        ASSERT_EQ(quantize_colors(palette, pixels.data(), indices.data(), n, colours, &size), 1);
        EXPECT_LE(size, std::max(colours - 2, 1)) << colours;
        EXPECT_LT(*std::max_element(indices.begin(), indices.end()), size) << colours;
    }
}

TEST_F(QuantizeTest, EmptyPictureWritesNothing) {
    uint32_t palette[1] = {7};
    int size = -1;
    EXPECT_EQ(quantize_colors(palette, nullptr, nullptr, 0, 255, &size), 1);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(palette[0], 7u);
}

TEST_F(QuantizeTest, PruningFoldsEveryNodeAtTheSmallestWeightTogether) {
    // Three colours in three octants for two entries. 200 has two pixels, so its branch weighs
    // twice the others at every level; the two single ones fold up to the root together, at
    // the same weight, and become one entry after 200's.
    std::vector<uint32_t> palette;
    std::vector<uint32_t> pixels = {pixel_rgb(200, 0, 0), pixel_rgb(200, 0, 0),
                                    pixel_rgb(0, 200, 0), pixel_rgb(0, 0, 201)};
    std::vector<uint8_t> indices(4);
    palette.assign(256, 0);
    int size = 0;
    ASSERT_EQ(quantize_colors(palette.data(), pixels.data(), indices.data(), 4, 4, &size), 1);
    ASSERT_EQ(size, 2);
    EXPECT_EQ(palette[0], pixel_rgb(200, 0, 0));
    EXPECT_EQ(palette[1], pixel_rgb(0, 100, 101)); // (200 + 1) / 2, (201 + 1) / 2
    EXPECT_EQ(indices, (std::vector<uint8_t>{0, 0, 1, 1}));
}

// Cubes at depth 4 (255 colours) split at 128, 64, 96, 112: a value on a split goes to the lower
// half, so 127 and 128 share a leaf (averaged, (255 + 1) / 2) and 129 does not. Leaves below and
// above 16 hold 0 and 16 (entry 8) and 17 and 31 (entry 24): 16, 8 from both, keeps the first.
TEST_F(QuantizeTest, ValuesOnASplitGoLowAndEqualDistancesToTheFirstEntry) {
    const struct {
        std::vector<int> reds;
        std::vector<uint8_t> indices;
        std::vector<int> entries;
    } cases[] = {{{127, 128}, {0, 0}, {128}},
                 {{128, 129}, {0, 1}, {128, 129}},
                 {{0, 16, 17, 31}, {0, 0, 1, 1}, {8, 24}}};
    for (const auto &c : cases) {
        std::vector<uint32_t> pixels, palette(256, 0);
        for (int r : c.reds) pixels.push_back(pixel_rgb(r, 0, 0));
        std::vector<uint8_t> indices(pixels.size());
        int size = 0;
        ASSERT_EQ(quantize_colors(palette.data(), pixels.data(), indices.data(), int(pixels.size()),
                                  255, &size),
                  1);
        EXPECT_EQ(indices, c.indices) << c.reds[0] << " " << c.reds[1];
        ASSERT_EQ(size, int(c.entries.size()));
        for (int i = 0; i < size; i++) EXPECT_EQ(palette[i], pixel_rgb(c.entries[i], 0, 0)) << i;
    }
}
