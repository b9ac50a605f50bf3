// Tests of the raytraced part: its wall texture and the pixel conversions. The show's digests
// pin its frames.

#include "data/error.h"
#include "part_fixture.h"
#include "parts/raytraced.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct RaytracedTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        write_jpeg(data + "/tracemap.jpg", 256, 256, [](int x, int y) {
            return Rgb{uint8_t(x), uint8_t(y), 128};
        });
    }
};

TEST(RaytracedPixels, ConvertToTheTracerLayoutAndBack) {
    uint32_t words[3] = {pixel_rgb(0x12, 0x34, 0x56) | 0x7F, pixel_rgb(255, 0, 1), 0};
    raytraced_to_tracer(words, 3);
    EXPECT_EQ(words[0], 0x7F563412u); // red, green, blue in bytes 0..2, the mask in byte 3
    EXPECT_EQ(words[1], 0x000100FFu);
    EXPECT_EQ(words[2], 0u);
    uint32_t traced[2] = {0x00563412u, 0x000100FFu};
    raytraced_from_tracer(traced, 2);
    EXPECT_EQ(traced[0], pixel_rgb(0x12, 0x34, 0x56) | 0x12); // the mask byte copies red
    EXPECT_EQ(traced[1], pixel_rgb(255, 0, 1) | 0xFF);
}

TEST_F(RaytracedTest, AMissingOrMisshapenWallTextureFailsTheLoad) {
    remove_tree(dir + "/data/tracemap.jpg");
    data_clear_error();
    EXPECT_EQ(raytraced_load(), 0);
    EXPECT_NE(std::string(data_last_error()).find("tracemap.jpg"), std::string::npos);
    write_jpeg(dir + "/data/tracemap.jpg", 128, 256, [](int, int) { return Rgb{1, 2, 3}; });
    data_clear_error();
    EXPECT_EQ(raytraced_load(), 0);
    EXPECT_NE(std::string(data_last_error()).find("tracemap.jpg"), std::string::npos);
}

} // namespace
