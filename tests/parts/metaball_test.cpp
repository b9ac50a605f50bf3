// Tests of the metaball part: its plasma windows at any time, the one-pass plasma against the
// plain routines on random input, the turn of its fade, and its data checks. Its frames are
// pinned by the show's digests.

#include "data/blit.h"
#include "data/memory.h"
#include "part_fixture.h"
#include "parts/metaball.h"
#include "stage/display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(Plasma, WindowsStayInsideTheFieldAtAnyTime) {
    for (float t = 0.0f; t < 400.0f; t += 0.37f) {
        PlasmaOffset o[PLASMA_LAYERS];
        plasma_offsets(t, o);
        for (const PlasmaOffset &w : o) {
            ASSERT_GE(w.row, 0) << t;
            ASSERT_LE(w.row + PLASMA_HEIGHT, PLASMA_FIELD_HEIGHT) << t;
            ASSERT_GE(w.column, 0) << t;
            ASSERT_LE(w.column + PLASMA_WIDTH, PLASMA_FIELD_WIDTH) << t;
        }
    }
}

struct MetaballTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        metaball_reset();
    }
};

TEST_F(MetaballTest, AClockOfExactly1200NeitherFadesDownNorUp) {
    ASSERT_EQ(metaball_load(), 1) << error();
    ASSERT_EQ(frame(metaball_run, 1200), 1); // clock 0: fades to 256 at once; then 1200
    EXPECT_EQ(display_brightness, 256);
    ASSERT_EQ(frame(metaball_run, 5), 1); // clock exactly 1200
    EXPECT_EQ(display_brightness, 256);
    ASSERT_EQ(frame(metaball_run, 5), 1); // clock 1205: brightens by 15
    EXPECT_EQ(display_brightness, 271);
}

TEST_F(MetaballTest, ACubeOfSevenCornersIsRefused) {
    write_points_object(data + "/metacube.lwo", 7);
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("metascen.lws"), std::string::npos) << error();
}

// Random fields, palettes (mask bytes too) and text at random plasma times: the one-pass plasma
// leaves both pictures as the plasma, a copy and the text averaged over it do.
TEST(Plasma, TheBlendedPassEqualsPlasmaCopyAndAverage) {
    std::mt19937 rng(7);
    Image *field = image_create(PLASMA_FIELD_WIDTH, PLASMA_FIELD_HEIGHT, 0);
    Image *text = image_create(512, 256, 0);
    Image *plain = image_create(512, 256, 0), *target = image_create(512, 256, 0);
    Image *want_plain = image_create(512, 256, 0), *want = image_create(512, 256, 0);
    std::vector<uint8_t> bytes(size_t(PLASMA_FIELD_WIDTH) * PLASMA_FIELD_HEIGHT);
    uint32_t palette[256];
    for (int round = 0; round < 4; round++) {
        for (int n = 0; n < PLASMA_FIELD_WIDTH * PLASMA_FIELD_HEIGHT; n++) field->pixels[n] = rng();
        for (int n = 0; n < 512 * 256; n++) text->pixels[n] = rng();
        for (uint32_t &p : palette) p = rng();
        plasma_pack_field(field, bytes.data());
        float t = std::uniform_real_distribution<float>(0.0f, 300.0f)(rng);
        plasma_draw(field, palette, t, want_plain);
        blit_copy(want_plain, want, 0, 0, 512, 256, 0, 0);
        blit_average(text, want, 0, 0, 512, 256, 0, 0);
        plasma_draw_blended(bytes.data(), palette, t, text, plain, target);
        ASSERT_EQ(std::memcmp(plain->pixels, want_plain->pixels, 512 * 256 * 4), 0) << round;
        ASSERT_EQ(std::memcmp(target->pixels, want->pixels, 512 * 256 * 4), 0) << round;
    }
    mem_free_all();
}

} // namespace
