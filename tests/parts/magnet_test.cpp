// Tests of the magnet part: its shade tables, the floor and ceiling grid, the dissolve, the
// strips, the cube's table shading, and its data checks. Its timeline is pinned by the digests.

#include "../engine/object_test_files.h"
#include "data/error.h"
#include "data/memory.h"
#include "fillers/part_fillers.h"
#include "part_fixture.h"
#include "parts/magnet.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A LightWave object: the first `corners` corners of an axis-aligned box of half-side `half`
// and those of its 12 triangles that use only them, on one surface named `surface`.
std::string box(float half, const char *surface, int corners = 8) {
    static const unsigned tris[12][3] = {{3, 0, 1}, {3, 1, 2}, {6, 5, 4}, {6, 4, 7},
                                         {7, 4, 0}, {7, 0, 3}, {2, 1, 5}, {2, 5, 6},
                                         {0, 4, 5}, {0, 5, 1}, {7, 3, 2}, {7, 2, 6}};
    std::vector<float> xyz;
    for (int m = 0; m < corners; m++) {
        const bool x = m == 1 || m == 2 || m == 5 || m == 6,
                   y = m == 0 || m == 1 || m == 4 || m == 5;
        xyz.insert(xyz.end(), {x ? half : -half, y ? half : -half, m >= 4 ? half : -half});
    }
    Bytes pols;
    for (const auto &t : tris)
        if (int(t[0]) < corners && int(t[1]) < corners && int(t[2]) < corners)
            put_polygon(pols, {t[0], t[1], t[2]}, 1);
    const Bytes b = lwob({pnts(xyz), srfs({surface}), chunk("POLS", pols)});
    return std::string(b.begin(), b.end());
}

// The cube, then `flares` flares far ahead, and a camera 500 in front of the cube.
std::string magnet_scene(int flares) {
    std::vector<Placed> placed = {{"magnkub5.lwo", 0, 0, -500}};
    for (int n = 0; n < flares; n++) placed.push_back({"magnspk.lwo", 300, 0, 3000});
    return scene_text(placed, false, 0, -1000);
}

constexpr Rgb STEEL = {200, 40, 40};
constexpr uint32_t MARKER = pixel_rgb(1, 2, 3);

struct MagnetTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        // The dissolve reaches the left half at once, the right half only at threshold 201.
        write_jpeg(data + "/magnalph.jpg", 512, 256, [](int x, int) {
            return x < 256 ? Rgb{0, 0, 0} : Rgb{200, 200, 200};
        });
        for (const char *shape : {"magnkub1", "magnkub2", "magnkub3", "magnkub4", "magnkub5"})
            write_data(std::string(shape) + ".lwo", box(100.0f, "Steel"));
        write_data("magnspk.lwo", box(10.0f, "QVX_FLARE"));
        write_jpeg(data + "/magnflar.jpg", 32, 32, [](int, int) { return Rgb{90, 90, 250}; });
        write_jpeg(data + "/magnfla2.jpg", 32, 32, [](int, int) { return Rgb{250, 160, 90}; });
        write_jpeg(data + "/magnenvm.jpg", 256, 256, [](int, int) { return STEEL; });
        write_jpeg(data + "/magnphng.jpg", 256, 256, [](int, int) { return Rgb{255, 255, 255}; });
        write_jpeg(data + "/magntxtr.jpg", 256, 256, [](int x, int y) {
            return Rgb{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
        });
        write_data("magnscen.lws", magnet_scene(2));
        image_fill_rect(FrameBuffer, MARKER, 0, 0, 512, 256);
        magnet_reset();
    }
    void TearDown() override {
        fill_set_shade_table(nullptr);
        PartFixture::TearDown();
    }
    static int frame(float dt) { return PartFixture::frame(magnet_run, dt); }
    // The shade table row of the steel map's one colour (as its JPEG decodes).
    static std::vector<uint32_t> steel_table() {
        std::vector<uint32_t> palette(256, 0), table(SHADE_TABLE_SIZE);
        Image *steel = load_jpeg("data\\magnenvm.jpg", 0);
        if (steel) palette[0] = steel->pixels[0];
        magnet_build_shade_table(palette.data(), table.data());
        return table;
    }
    // A face square to the camera: full intensity, the steel with its white sheen.
    static uint32_t sheened_steel() { return steel_table()[255]; }
};

TEST(MagnetTables, ShadeTableLightsEachPaletteColourAndAddsTheSheenNearFullIntensity) {
    std::vector<uint32_t> palette(256, 0), table(SHADE_TABLE_SIZE);
    palette[7] = pixel_rgb(128, 0, 255);
    magnet_build_shade_table(palette.data(), table.data());
    EXPECT_EQ(table[7 * 256 + 255], pixel_rgb(255, 229, 255)); // cos 0 + 0.9 sheen
    EXPECT_EQ(table[7 * 256 + 192], pixel_rgb(161, 43, 255));  // theta = 63/256 pi/2
    EXPECT_EQ(table[7 * 256 + 128], pixel_rgb(90, 0, 180));    // sheen all but gone
    EXPECT_EQ(table[7 * 256 + 127], pixel_rgb(90, 0, 179));    // theta = pi/4: no sheen
    EXPECT_EQ(table[0 * 256 + 0], 0u);                         // black stays black
    for (uint32_t word : table) EXPECT_EQ(word & 0xFF, 0u);
}

TEST(MagnetTables, BackgroundTableRunsFromWhiteAtLevelZeroToTheDarkenedColour) {
    std::vector<uint32_t> palette(256, 0), table(SHADE_TABLE_SIZE);
    palette[3] = pixel_rgb(100, 0, 200);
    magnet_build_background_table(palette.data(), table.data());
    EXPECT_EQ(table[3 * 256 + 0], pixel_rgb(255, 255, 255));
    EXPECT_EQ(table[3 * 256 + 128], pixel_rgb(160, 90, 231)); // c = cos(pi/4)
    EXPECT_EQ(table[3 * 256 + 255], pixel_rgb(0, 0, 1));
    EXPECT_EQ(table[0 * 256 + 255], 0u);
}

TEST(MagnetGrid, PointsMeetFloorAndCeilingAndTheHorizonRowIsWhite) {
    std::vector<GridPoint> grid(GRID_COLUMNS * GRID_ROWS);
    magnet_background_grid(grid.data(), Vec3{0.0f, 0.0f, -666.0f}, 0.0f);
    const GridPoint bottom = grid[32 * GRID_ROWS + 32]; // x 256, y 256: straight down the middle
    EXPECT_EQ(bottom.u, 0.0f);
    EXPECT_EQ(bottom.v, 14.0f); // |-666 + 592| * 0.2
    EXPECT_NEAR(bottom.s, 212.714f, 0.01f);
    for (int i = 0; i < GRID_COLUMNS; i++) {
        const GridPoint h = grid[i * GRID_ROWS + 16]; // y = 128: parallel to both planes
        EXPECT_EQ(h.s, 0.0f);
        EXPECT_TRUE(std::isfinite(h.u) && std::isfinite(h.v));
    }
    // The floor from a camera moved sideways; fog takes light off, never below 0.
    magnet_background_grid(grid.data(), Vec3{100.0f, 0.0f, -666.0f}, 100.0f);
    const GridPoint corner = grid[0];
    EXPECT_EQ(corner.u, 92.0f); // |100 - 1024| * 0.1
    EXPECT_EQ(corner.v, 14.0f);
    EXPECT_NEAR(corner.s, 112.714f, 0.01f);
    magnet_background_grid(grid.data(), Vec3{0.0f, 0.0f, -666.0f}, 400.0f);
    for (const GridPoint &p : grid) EXPECT_EQ(p.s, 0.0f);
}

TEST(MagnetDissolve, CopiesOnlyPixelsWhoseMaskIsBelowTheThreshold) {
    Image *src = image_create(512, 256, 0), *mask = image_create(512, 256, 0);
    Image *dst = image_create(512, 256, 0);
    image_fill_rect(src, pixel_rgb(9, 9, 9), 0, 0, 512, 256);
    for (int n = 0; n < 512 * 256; n++) mask->pixels[n] = pixel_rgb(n % 512 / 2, 255, 255);
    magnet_dissolve(src, mask, dst, 0);
    for (int n = 0; n < 512 * 256; n++) ASSERT_EQ(dst->pixels[n], 0u);
    magnet_dissolve(src, mask, dst, 100);
    EXPECT_EQ(dst->pixels[199], pixel_rgb(9, 9, 9)); // red 99
    EXPECT_EQ(dst->pixels[200], 0u);                 // red 100
    mem_free_all();
}

TEST_F(MagnetTest, StripsSlideInAndStopAtTheirPlacesWhateverTheFrameLength) {
    image_fill_rect(BarLeft, 0, 0, 0, 24, 307);
    image_fill_rect(TextStrip[3], 0, 0, 0, 24, 256);
    ASSERT_EQ(magnet_load(), 1) << error();
    const MagnetState *s = magnet_state();
    for (int n = 0; n < 40; n++) {
        ASSERT_EQ(frame(7.0f), 1);
        EXPECT_LE(s->left_x, 0.0f);
        EXPECT_GE(s->right_x, 488.0f);
    }
    EXPECT_EQ(s->left_x, 0.0f);
    EXPECT_EQ(s->right_x, 488.0f);
    ASSERT_EQ(frame(1.0f), 1);
    EXPECT_EQ(work(0, 100), 0u); // the black strip drawn at column 0
}

TEST_F(MagnetTest, SceneOfTheCubeAloneLeavesTheCubeDressed) {
    write_data("magnscen.lws", magnet_scene(0));
    ASSERT_EQ(magnet_load(), 1) << error();
    ASSERT_EQ(frame(1.0f), 1);
    EXPECT_EQ(work(256, 128), sheened_steel());
}

TEST_F(MagnetTest, BadDataIsRefusedNamingTheFile) {
    write_jpeg(data + "/magnphng.jpg", 128, 256, [](int, int) { return Rgb{255, 255, 255}; });
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("magnphng.jpg"), std::string::npos) << error();

    write_jpeg(data + "/magnphng.jpg", 256, 256, [](int, int) { return Rgb{255, 255, 255}; });
    write_data("magnkub4.lwo", box(100.0f, "Steel", 4)); // points missing
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("magnkub4.lwo"), std::string::npos) << error();

    write_data("magnkub4.lwo", box(100.0f, "Steel"));
    std::string null_object = magnet_scene(0);
    null_object.insert(null_object.find("ShowCamera"),
                       "AddNullObject NullFlare\r\nObjectMotion (unnamed)\r\n9\r\n1\r\n"
                       "0 0 0 0 0 0 1 1 1\r\n0 0 0 0 0\r\n\r\n");
    write_data("magnscen.lws", null_object);
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("no face"), std::string::npos) << error();

    remove((data + "/magnalph.jpg").c_str());
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("magnalph.jpg"), std::string::npos) << error();
}

} // namespace
