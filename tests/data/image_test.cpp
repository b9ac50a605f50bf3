// Tests of picture creation, release and the two small drawing calls.

#include "data/image.h"
#include "data/memory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

static bool aligned_32k(const void *p) {
    return reinterpret_cast<uintptr_t>(p) % 32768 == 0;
}

static bool all_zero(const void *p, size_t bytes) {
    const uint8_t *b = static_cast<const uint8_t *>(p);
    for (size_t i = 0; i < bytes; i++)
        if (b[i] != 0) return false;
    return true;
}

TEST(ImageCreate, AllocatesZeroedBuffersTheFlagsAskFor) {
    int32_t blocks = mem_live_blocks();
    Image *plain = image_create(7, 5, 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->flags, 0);
    EXPECT_EQ(plain->width, 7);
    EXPECT_EQ(plain->height, 5);
    EXPECT_EQ(plain->lookup, nullptr);
    EXPECT_EQ(plain->depth, nullptr);
    EXPECT_EQ(plain->spare, 0);
    EXPECT_TRUE(all_zero(plain->pixels, 7 * 5 * 4 + IMG_PIXEL_SLACK));
    EXPECT_TRUE(all_zero(plain->palette, sizeof plain->palette));

    Image *frame = image_create(512, 256, 0x87);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(aligned_32k(frame->pixels));
    ASSERT_NE(frame->depth, nullptr);
    EXPECT_TRUE(all_zero(frame->depth, 512 * 256 * sizeof(float)));
    EXPECT_EQ(frame->lookup, nullptr) << "0x87 does not ask for the lookup table";

    Image *table = image_create(16, 16, IMG_LOOKUP | IMG_ALIGNED_LOOKUP);
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table->lookup, nullptr);
    EXPECT_TRUE(aligned_32k(table->lookup));
    EXPECT_TRUE(all_zero(table->lookup, IMG_LOOKUP_SIZE));

    image_free(plain);
    image_free(frame);
    image_free(table);
    image_free(nullptr);
    EXPECT_EQ(mem_live_blocks(), blocks) << "image_free gives every buffer back";
}

TEST(ImageCreate, RefusesSidesThatAreNotPositive) {
    int32_t blocks = mem_live_blocks();
    EXPECT_EQ(image_create(0, 5, 0), nullptr);
    EXPECT_EQ(image_create(5, 0, IMG_DEPTH), nullptr);
    EXPECT_EQ(image_create(-4, 5, 0), nullptr);
    EXPECT_EQ(mem_live_blocks(), blocks);
}

// Fills the rectangle into a fresh 8 x 6 picture and checks every pixel against the
// intersection [left, right) x [top, bottom).
static void expect_fill(int32_t x, int32_t y, int32_t w, int32_t h, int left, int top, int right,
                        int bottom) {
    Image *image = image_create(8, 6, 0);
    ASSERT_NE(image, nullptr);
    image_fill_rect(image, 0xAABBCC00, x, y, w, h);
    for (int py = 0; py < 6; py++)
        for (int px = 0; px < 8; px++) {
            bool inside = px >= left && px < right && py >= top && py < bottom;
            EXPECT_EQ(image->pixels[py * 8 + px], inside ? 0xAABBCC00u : 0u)
                << "rectangle " << x << "," << y << " " << w << "x" << h << " at pixel " << px
                << "," << py;
        }
    EXPECT_TRUE(all_zero(image->pixels + 48, IMG_PIXEL_SLACK)) << "spare bytes untouched";
    image_free(image);
}

TEST(ImageFillRect, ClipsEveryEdge) {
    expect_fill(2, 1, 3, 2, 2, 1, 5, 3);         // inside
    expect_fill(-3, -2, 5, 4, 0, 0, 2, 2);       // off the top left
    expect_fill(6, 4, 100, 100, 6, 4, 8, 6);     // off the bottom right
    expect_fill(-10, -10, 100, 100, 0, 0, 8, 6); // covering it all
    expect_fill(-5, 0, 5, 6, 0, 0, 0, 0);        // ends where the picture starts
    expect_fill(8, 0, 3, 6, 0, 0, 0, 0);         // starts where it ends
    expect_fill(2, 2, 0, 3, 0, 0, 0, 0);         // empty
    expect_fill(2, 2, 3, -1, 0, 0, 0, 0);        // negative height
    expect_fill(INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX, 0, 0, 0, 0);
    expect_fill(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0, 0, 0);
    image_fill_rect(nullptr, 1, 0, 0, 1, 1);
}

TEST(ImagePutPixel, SetsOnlyPixelsInsideThePicture) {
    Image *image = image_create(4, 3, 0);
    ASSERT_NE(image, nullptr);
    const int32_t outside[][2] = {{4, 0}, {0, -1}, {-1, 0}, {0, 3}, {INT32_MIN, INT32_MAX}};
    for (const auto &p : outside) image_put_pixel(image, 0xFFFFFFFF, p[0], p[1]);
    EXPECT_TRUE(all_zero(image->pixels, 4 * 3 * 4 + IMG_PIXEL_SLACK));
    image_put_pixel(image, 0x11223344, 3, 2);
    image_put_pixel(image, 0x55667788, 0, 0);
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(image->pixels[i], i == 11 ? 0x11223344u : i == 0 ? 0x55667788u : 0u);
    image_put_pixel(nullptr, 1, 0, 0);
    image_free(image);
}
