// canvas_test.cpp -- the forge's masks own their coverages: a move hands them over, an
// assignment frees the old ones (the sanitizer build sees a leak or a second free).

#include "canvas.h"

#include <gtest/gtest.h>

#include <utility>

TEST(Mask, OwnsItsCoveragesThroughMovesAndDilation) {
    Mask dot = mask_create(9, 7);
    ASSERT_NE(dot.a, nullptr);
    mask_ellipse(&dot, 4.5f, 3.5f, 1.0f, 1.0f, 0.5f);
    Mask copy = mask_copy(&dot);
    Mask moved = std::move(dot);
    EXPECT_EQ(dot.a, nullptr);
    EXPECT_EQ(dot.width, 0);
    ASSERT_EQ(moved.width, 9);
    EXPECT_GT(moved.a[3 * 9 + 4], 0.9f);
    // Dilation replaces the coverages with wider ones of the same size.
    mask_dilate(&moved, 2);
    EXPECT_EQ(moved.width, 9);
    EXPECT_EQ(moved.height, 7);
    EXPECT_GT(moved.a[3 * 9 + 6], 0.9f);
    EXPECT_EQ(copy.a[3 * 9 + 6], 0.0f);
    // Assigning over a mask frees what it held; a moved-from mask takes a new one.
    copy = mask_create(2, 2);
    dot = std::move(moved);
    EXPECT_EQ(copy.width, 2);
    EXPECT_EQ(dot.width, 9);
    EXPECT_EQ(moved.a, nullptr);
}
