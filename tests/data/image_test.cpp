// Tests of picture creation, release and the two small drawing calls.

#include "data/error.h"
#include "data/image.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

static bool aligned_32k(const void *p) {
    return reinterpret_cast<uintptr_t>(p) % 32768 == 0;
}

static bool all_zero(const void *p, size_t bytes) {
    const uint8_t *b = static_cast<const uint8_t *>(p);
    return std::all_of(b, b + bytes, [](uint8_t v) { return v == 0; });
}

TEST(ImageCreate, AllocatesZeroedBuffersTheFlagsAskForAndFreesThemAll) {
    int32_t blocks = mem_live_blocks();
    Image *plain = image_create(7, 5, 0);
    EXPECT_TRUE(plain->lookup == nullptr && plain->depth == nullptr);
    EXPECT_TRUE(all_zero(plain->pixels, 7 * 5 * 4 + IMG_PIXEL_SLACK));
    Image *frame = image_create(512, 256, IMG_WORK_DEPTH); // what the frame buffer asks for
    EXPECT_TRUE(aligned_32k(frame->pixels) && frame->lookup == nullptr);
    ASSERT_NE(frame->depth, nullptr);
    EXPECT_TRUE(all_zero(frame->depth, 512 * 256 * sizeof(float)));

    Image *table = image_create(16, 16, IMG_LOOKUP | IMG_ALIGNED_LOOKUP);
    EXPECT_TRUE(aligned_32k(table->lookup) && all_zero(table->lookup, IMG_LOOKUP_SIZE));
    EXPECT_EQ(image_create(0, 5, 0), nullptr);
    EXPECT_EQ(image_create(-4, 5, IMG_DEPTH), nullptr);
    for (Image *image : {plain, frame, table, (Image *)nullptr}) image_free(image);
    EXPECT_EQ(mem_live_blocks(), blocks);
}

// Draws into a fresh 8 x 6 picture and checks every pixel against the intersection
// [left, right) x [top, bottom) and the spare bytes after the last row.
static void expect_fill(int32_t x, int32_t y, int32_t w, int32_t h, int left, int top, int right,
                        int bottom) {
    Image *image = image_create(8, 6, 0);
    image_fill_rect(image, 0xAABBCC00, x, y, w, h);
    std::vector<uint32_t> expected(8 * 6 + IMG_PIXEL_SLACK / 4, 0);
    for (int py = top; py < bottom; py++)
        for (int px = left; px < right; px++) expected[py * 8 + px] = 0xAABBCC00;
    EXPECT_EQ(std::vector<uint32_t>(image->pixels, image->pixels + expected.size()), expected)
        << "rectangle " << x << "," << y << " " << w << " x " << h;
    image_free(image);
}

TEST(ImageDrawing, StaysInsideThePicture) {
    expect_fill(2, 1, 3, 2, 2, 1, 5, 3);         // inside
    expect_fill(-3, -2, 5, 4, 0, 0, 2, 2);       // off the top left
    expect_fill(6, 4, 100, 100, 6, 4, 8, 6);     // off the bottom right
    expect_fill(-10, -10, 100, 100, 0, 0, 8, 6); // covering it all
    expect_fill(8, 0, 3, 6, 0, 0, 0, 0);         // starting where it ends
    expect_fill(2, 2, 0, 3, 0, 0, 0, 0);         // empty
    expect_fill(INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX, 0, 0, 0, 0);
    expect_fill(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0, 0, 0);
    image_fill_rect(nullptr, 1, 0, 0, 1, 1);
    std::mt19937 rng(5); // widths around the four-word stores
    for (int i = 0; i < 100; i++) {
        int32_t x = int32_t(rng() % 12) - 2, y = int32_t(rng() % 8) - 1;
        int32_t w = int32_t(rng() % 14), h = int32_t(rng() % 8);
        expect_fill(x, y, w, h, std::clamp(x, 0, 8), std::clamp(y, 0, 6), std::clamp(x + w, 0, 8),
                    std::clamp(y + h, 0, 6));
    }

    Image *image = image_create(4, 3, 0);
    for (auto [x, y] : {std::pair{4, 0}, {0, -1}, {-1, 0}, {0, 3}, {INT32_MIN, INT32_MAX}})
        image_put_pixel(image, 0xFFFFFFFF, x, y);
    image_put_pixel(image, 0x11223344, 3, 2);
    std::vector<uint32_t> expected(4 * 3 + IMG_PIXEL_SLACK / 4, 0);
    expected[11] = 0x11223344;
    EXPECT_EQ(std::vector<uint32_t>(image->pixels, image->pixels + expected.size()), expected);
    image_free(image);
}

TEST(ImageRequireSize, PassesTheExactSizeAndRefusesAnyOtherNamingTheFile) {
    Image *image = image_create(4, 3, 0);
    EXPECT_EQ(image_require_size(image, "data\\a.jpg", 4, 3), image);
    EXPECT_EQ(image_require_size(nullptr, "data\\a.jpg", 4, 3), nullptr);
    EXPECT_EQ(image_require_size(image, "data\\a.jpg", 3, 3), nullptr);
    EXPECT_STREQ(data_last_error(), "data\\a.jpg: the picture is 4 x 3, not 3 x 3");
    EXPECT_EQ(image_require_size(image, "data\\a.jpg", 4, 4), nullptr);
    image_free(image);
}
