// part_fixture.h -- what a show part finds when it runs: a data folder of its own, the frame
// buffer and work images, and the bars and captions in flat colours, as the preload leaves them.
#pragma once

#include "data/image.h"
#include "parts/parts.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The flat colours of the bars (up, down, left, right) and of caption n.
constexpr uint32_t BAR_PIXEL[4] = {pixel_rgb(200, 10, 10), pixel_rgb(10, 200, 10),
                                   pixel_rgb(10, 10, 200), pixel_rgb(200, 200, 10)};
constexpr uint32_t caption_pixel(int n) {
    return pixel_rgb(uint32_t(60 + 10 * n), 100, 30);
}

// A picture of one word everywhere.
Image *flat_image(int32_t width, int32_t height, uint32_t word);

// An object (file name in the scene) placed at (x, y, z) by a one-key motion.
struct Placed {
    std::string file;
    float x, y, z;
};

// A LightWave scene of the objects, a light at light_z on the axis when with_light, and the
// camera at (0, 0, camera_z) looking along +z.
std::string scene_text(const std::vector<Placed> &objects, bool with_light, float light_z,
                       float camera_z);

struct PartFixture : testing::Test {
    std::string dir = make_temp_dir();
    std::string data = dir + "/data";

    void SetUp() override;
    void TearDown() override;
    // Copies the show's data as the forge made it into the data folder; false (the caller
    // skips) when the forge has not run. restore_data copies one file of it back.
    bool use_forge_data() const;
    void restore_data(const std::string &name) const;
    // Writes bytes to data/name.
    void write_data(const std::string &name, const std::string &bytes) const;
    void write_data(const std::string &name, const std::vector<uint8_t> &bytes) const;
    // One frame of dt ticks; then n such frames, giving the number of the one that ended the
    // part (0 when it went on).
    static int frame(PartRun run, float dt);
    static int frames(PartRun run, int n, float dt);
    static uint32_t fb(int x, int y);
    static uint32_t work(int x, int y);
    static std::string error();
};
