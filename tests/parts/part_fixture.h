// part_fixture.h -- what a show part finds when it runs: the forge's data in a folder of its own,
// the frame buffer and work images, and the bars and captions in flat colours.
#pragma once

#include "data/image.h"
#include "parts/parts.h"
#include "show_files.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// A picture of one word everywhere.
Image *flat_image(int32_t width, int32_t height, uint32_t word);

// A LightWave scene of the objects at the origin ("" for a null object), with no light, and the
// camera 500 back.
std::string scene_text(const std::vector<std::string> &objects);

// A scene's text with its lights taken out.
std::string without_lights(std::string scene);

// Skips the test when the forge has not made the show's data.
struct PartFixture : testing::Test {
    TempDir dir;
    std::string data = dir + "/data";

    void SetUp() override;
    void TearDown() override;
    // The frame buffer, work images, bars and captions (again after mem_free_all).
    static void make_stage();
    std::string read_data(const std::string &name) const;
    void write_data(const std::string &name, const std::string &bytes) const;
    // Puts the forge's copy of data/name back.
    void restore_data(const std::string &name) const;
    // Writes a JPEG of one colour to data/name.
    void write_flat_jpeg(const std::string &name, int width, int height) const;
    // One frame of dt ticks; then n such frames, giving the number of the one that ended the
    // part (0 when it went on).
    static int frame(PartRun run, float dt);
    static int frames(PartRun run, int n, float dt);
    static uint32_t fb(int x, int y);
    static std::string error();
};
