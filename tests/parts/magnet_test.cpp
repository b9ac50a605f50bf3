// Tests of the magnet part where the show does not take it: long frames and the scenes and shapes
// it refuses. Its frames are pinned by the show's digests.

#include "fillers/part_fillers.h"
#include "part_fixture.h"
#include "parts/magnet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>

namespace {

struct MagnetTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        magnet_reset();
    }
    void TearDown() override {
        fill_set_shade_table(nullptr);
        PartFixture::TearDown();
    }
};

// The packed dissolve against the plain one: random pictures and masks, thresholds around the
// byte's range and past it either way.
TEST(MagnetDissolve, PackedEqualsPlain) {
    std::mt19937 rng(3);
    Image *src = image_create(512, 256, 0), *mask = image_create(512, 256, 0);
    Image *packed = image_create(512, 256, 0), *plain = image_create(512, 256, 0);
    for (int32_t threshold : {INT_MIN, -1, 0, 1, 77, 128, 255, 256, 257, 1000, INT_MAX}) {
        for (Image *p : {src, mask, packed})
            for (int32_t n = 0; n < 512 * 256; n++) p->pixels[n] = rng();
        std::copy(packed->pixels, packed->pixels + 512 * 256, plain->pixels);
        magnet_dissolve(src, mask, packed, threshold);
        magnet_dissolve_plain(src, mask, plain, threshold);
        ASSERT_TRUE(std::equal(packed->pixels, packed->pixels + 512 * 256, plain->pixels))
            << threshold;
    }
    for (Image *p : {src, mask, packed, plain}) image_free(p);
}

TEST_F(MagnetTest, StripsSlideInAndStopAtTheirPlacesWhateverTheFrameLength) {
    image_fill_rect(BarLeft, 0, 0, 0, 24, 307);
    image_fill_rect(TextStrip[3], 0, 0, 0, 24, 256);
    ASSERT_EQ(magnet_load(), 1) << error();
    const MagnetState *s = magnet_state();
    for (int n = 0; n < 40; n++) {
        ASSERT_EQ(frame(magnet_run, 7.0f), 1);
        EXPECT_LE(s->left_x, 0.0f);
        EXPECT_GE(s->right_x, 488.0f);
    }
    EXPECT_EQ(s->left_x, 0.0f);
    EXPECT_EQ(s->right_x, 488.0f);
    ASSERT_EQ(frame(magnet_run, 1.0f), 1);
    EXPECT_EQ(WorkImageA->pixels[100 * 512], 0u); // the black strip drawn at column 0
}

TEST_F(MagnetTest, ShapesAndScenesThatDoNotFitTheCubeAreRefused) {
    write_points_object(data + "/magnkub4.lwo", 4); // points missing
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("magnkub4.lwo: 4 points"), std::string::npos) << error();
    restore_data("magnkub4.lwo");
    const struct {
        std::vector<std::string> objects;
        const char *says;
    } scenes[] = {{{}, "no objects"}, {{"magnkub5.lwo", ""}, "object 2 should be a flare"}};
    for (const auto &s : scenes) {
        write_data("magnscen.lws", scene_text(s.objects));
        EXPECT_EQ(magnet_load(), 0);
        EXPECT_NE(error().find(s.says), std::string::npos) << error();
    }
    // The cube alone, without flares, is a scene it plays.
    write_data("magnscen.lws", scene_text({"magnkub5.lwo"}));
    ASSERT_EQ(magnet_load(), 1) << error();
    EXPECT_EQ(frame(magnet_run, 1.0f), 1);
}

} // namespace
