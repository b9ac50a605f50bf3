// Tests of the particle morph part: the shapes and scenes it refuses, and its packed rotozoom
// against the plain one. The show's digests pin its frames.

#include "data/image.h"
#include "part_fixture.h"
#include "parts/particle_morph.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using ParticleMorphTest = PartFixture;

TEST_F(ParticleMorphTest, RefusesAShapeOfOtherPointsAndASceneWithoutTheCloud) {
    write_points_object(data + "/pmorph4.lwo", 3);
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_NE(error().find("pmorph4.lwo: 3 points"), std::string::npos) << error();
    restore_data("pmorph4.lwo");
    write_data("ptl_scen.lws", scene_text({}));
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_NE(error().find("ptl_scen.lws: the scene has no objects"), std::string::npos) << error();
}

// Random angles and zooms (some large enough that the coordinates wrap, with steps still inside
// 32 bits; some turned past the half turn so that they run negative), centres anywhere, over a
// texture whose words all differ; a picture of a width that leaves a tail after the last four.
TEST(ParticleMorphRotozoom, PackedRowsEqualThePlainOnes) {
    std::mt19937 rng(16);
    std::uniform_real_distribution<float> angle(-7.0f, 7.0f), zoom(0.0f, 40.0f);
    std::vector<uint32_t> texels(65536);
    for (auto &t : texels) t = static_cast<uint32_t>(rng());
    std::vector<uint32_t> packed(37 * 9), plain(37 * 9);
    Image texture{}, out{};
    texture.width = texture.height = 256;
    texture.pixels = texels.data();
    out.width = 37, out.height = 9;
    for (int i = 0; i < 300; i++) {
        const int32_t cx = static_cast<int32_t>(rng() % 2000) - 1000;
        const Rotozoom rz{cx,         static_cast<int32_t>(rng() % 600) - 300,
                          angle(rng), i % 4 ? zoom(rng) : zoom(rng) * 500.0f,
                          0,          0,
                          &texture};
        out.pixels = packed.data();
        particle_morph_rotozoom(&rz, &out);
        out.pixels = plain.data();
        particle_morph_rotozoom_plain(&rz, &out);
        ASSERT_EQ(packed, plain) << i;
    }
}

// Random pictures and masks, thresholds on both sides of every red byte and beyond, a pixel
// count that leaves a tail after the last four.
TEST(ParticleMorphDissolve, PackedPixelsEqualThePlainOnes) {
    std::mt19937 rng(17);
    std::vector<uint32_t> src(203), mask(203), packed(203), plain(203);
    Image from{}, by{}, out{};
    from.width = by.width = out.width = 29;
    from.height = by.height = out.height = 7;
    from.pixels = src.data(), by.pixels = mask.data();
    for (int i = 0; i < 300; i++) {
        for (size_t k = 0; k < src.size(); k++) src[k] = rng(), mask[k] = rng();
        const int32_t threshold =
            i % 10 ? static_cast<int32_t>(rng() % 260) : static_cast<int32_t>(rng());
        out.pixels = packed.data();
        particle_morph_dissolve(&from, &by, &out, threshold);
        out.pixels = plain.data();
        particle_morph_dissolve_plain(&from, &by, &out, threshold);
        ASSERT_EQ(packed, plain) << i;
    }
}

} // namespace
