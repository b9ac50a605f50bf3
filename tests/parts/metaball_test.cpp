// Tests of the metaball part: its plasma, the turn of its fade, and its data checks. Its frames
// are pinned by the show's digests.

#include "data/error.h"
#include "data/memory.h"
#include "part_fixture.h"
#include "parts/metaball.h"
#include "stage/display.h"

#include "data/blit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct MetaballTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        if (!use_forge_data()) GTEST_SKIP() << "the forge has not made the show's data";
        metaball_reset();
    }
    static int frame(float dt) { return PartFixture::frame(metaball_run, dt); }
};

TEST(Plasma, FieldIsTheRippledDistanceWrappedToAByte) {
    Image *field = image_create(PLASMA_FIELD_WIDTH, PLASMA_FIELD_HEIGHT, 0);
    plasma_build_field(field);
    auto value = [&](int x, int y) { return field->pixels[(y + 256) * 1024 + x + 512]; };
    EXPECT_EQ(value(0, 0), 133u << 24);       // angle 0: only cos(0) x 133.93
    EXPECT_EQ(value(100, 0), 233u << 24);     // 100 + 133.93
    EXPECT_EQ(value(-100, 0), 223u << 24);    // 100 - 133.93 = -33 wraps to 223
    EXPECT_EQ(value(0, 0) & 0x00FFFFFFu, 0u); // only the blue byte is used
    mem_free_all();
}

TEST(Plasma, PaletteRisesFallsAndFallsAgainInThirds) {
    uint32_t palette[256];
    plasma_build_palette(palette);
    EXPECT_EQ(palette[0], 0u);
    EXPECT_EQ(palette[127], pixel_rgb(84, 84, 84)); // 254 / 3
    EXPECT_EQ(palette[128], pixel_rgb(85, 85, 85)); // 255 / 3
    EXPECT_EQ(palette[191], pixel_rgb(43, 43, 43)); // 129 / 3
    EXPECT_EQ(palette[192], pixel_rgb(42, 42, 42)); // 128 / 3
    EXPECT_EQ(palette[255], 0u);                    // 2 / 3
}

TEST(Plasma, WindowsStayInsideTheFieldAndSumFourLayers) {
    for (float t = 0.0f; t < 400.0f; t += 0.37f) {
        PlasmaOffset o[PLASMA_LAYERS];
        plasma_offsets(t, o);
        for (const PlasmaOffset &w : o) {
            ASSERT_GE(w.row, 0);
            ASSERT_LE(w.row + PLASMA_HEIGHT, PLASMA_FIELD_HEIGHT);
            ASSERT_GE(w.column, 0);
            ASSERT_LE(w.column + PLASMA_WIDTH, PLASMA_FIELD_WIDTH);
        }
    }
    PlasmaOffset o[PLASMA_LAYERS];
    plasma_offsets(0.0f, o);
    EXPECT_EQ(o[0].row, int(std::cos(1.3 * 0.8f + 1.1f) * 90 + 128));
    EXPECT_EQ(o[3].column, int(std::sin(2.1) * 150 + 256));
    // A field whose byte is its row: each pixel sums the four windows' rows.
    Image *field = image_create(PLASMA_FIELD_WIDTH, PLASMA_FIELD_HEIGHT, 0);
    Image *target = image_create(512, 256, 0);
    for (int r = 0; r < PLASMA_FIELD_HEIGHT; r++)
        for (int c = 0; c < PLASMA_FIELD_WIDTH; c++)
            field->pixels[r * PLASMA_FIELD_WIDTH + c] = uint32_t(r & 255) << 24;
    uint32_t palette[256];
    for (uint32_t i = 0; i < 256; i++) palette[i] = i << 8;
    plasma_draw(field, palette, 0.0f, target);
    for (int y : {0, 77, 255}) {
        int sum = 0;
        for (const PlasmaOffset &w : o) sum += (w.row + y) & 255;
        EXPECT_EQ(target->pixels[y * 512 + 300], uint32_t(sum & 255) << 8) << y;
    }
    mem_free_all();
}

TEST_F(MetaballTest, AClockOfExactly1200NeitherFadesDownNorUp) {
    ASSERT_EQ(metaball_load(), 1) << error();
    ASSERT_EQ(frame(1200), 1); // clock 0: fades to 256 at once; clock becomes 1200
    EXPECT_EQ(display_brightness, 256);
    ASSERT_EQ(frame(5), 1); // clock exactly 1200
    EXPECT_EQ(display_brightness, 256);
    ASSERT_EQ(frame(5), 1); // clock 1205: brightens by 15
    EXPECT_EQ(display_brightness, 271);
}

TEST_F(MetaballTest, DataThatCannotCarryThePartIsRefusedByName) {
    write_cube_object(dir + "/data/metacube.lwo", 7, 34.0f);
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("metascen.lws"), std::string::npos) << error();

    write_cube_object(dir + "/data/metacube.lwo", 8, 34.0f);
    write_metaball_scene(dir + "/data/metascen.lws", false);
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("no light"), std::string::npos) << error();

    write_metaball_scene(dir + "/data/metascen.lws", true);
    write_jpeg(dir + "/data/metaenvm.jpg", 128, 256, [](int, int) { return Rgb{1, 2, 3}; });
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("metaenvm.jpg"), std::string::npos) << error();

    remove_tree(dir + "/data/metatxt1.jpg");
    EXPECT_EQ(metaball_load(), 0);
    EXPECT_NE(error().find("metatxt1.jpg"), std::string::npos) << error();
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
