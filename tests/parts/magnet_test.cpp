// Tests of the magnet part: its shade tables, the floor and ceiling grid, the dissolve, the
// strips, the cube's table shading, and its data checks. Its timeline is pinned by the digests.

#include "data/error.h"
#include "data/memory.h"
#include "stage/stage.h"
#include "fillers/part_fillers.h"
#include "part_fixture.h"
#include "parts/magnet.h"
#include "stage/display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A big-endian LightWave object: the first `corners` corners of an axis-aligned box of half-side
// `half` and those of its 12 triangles that use only them, on one surface named `surface`.
void write_box(const std::string &path, float half, const char *surface, int corners = 8) {
    std::vector<uint8_t> bytes;
    auto u16 = [&](uint32_t v) {
        bytes.push_back(uint8_t(v >> 8));
        bytes.push_back(uint8_t(v));
    };
    auto u32 = [&](uint32_t v) {
        u16(v >> 16);
        u16(v & 0xFFFF);
    };
    auto chunk = [&](const char *id, size_t size) {
        bytes.insert(bytes.end(), id, id + 4);
        u32(uint32_t(size));
    };
    static const uint16_t tris[12][3] = {{3, 0, 1}, {3, 1, 2}, {6, 5, 4}, {6, 4, 7},
                                         {7, 4, 0}, {7, 0, 3}, {2, 1, 5}, {2, 5, 6},
                                         {0, 4, 5}, {0, 5, 1}, {7, 3, 2}, {7, 2, 6}};
    const size_t name = (std::strlen(surface) + 2) & ~size_t(1); // padded, terminated
    int tri_count = 0;
    for (const auto &t : tris) tri_count += t[0] < corners && t[1] < corners && t[2] < corners;
    chunk("FORM", 4 + 8 + 12 * corners + 8 + name + 8 + 10 * tri_count);
    bytes.insert(bytes.end(), {'L', 'W', 'O', 'B'});
    chunk("PNTS", 12 * corners);
    for (int m = 0; m < corners; m++) {
        const bool x = m == 1 || m == 2 || m == 5 || m == 6,
                   y = m == 0 || m == 1 || m == 4 || m == 5;
        for (float f : {x ? half : -half, y ? half : -half, m >= 4 ? half : -half}) {
            uint32_t b;
            std::memcpy(&b, &f, 4);
            u32(b);
        }
    }
    chunk("SRFS", name);
    for (size_t k = 0; k < name; k++) bytes.push_back(k < std::strlen(surface) ? surface[k] : 0);
    chunk("POLS", 10 * tri_count);
    for (const auto &t : tris) {
        if (t[0] >= corners || t[1] >= corners || t[2] >= corners) continue;
        u16(3);
        for (uint16_t p : t) u16(p);
        u16(1);
    }
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string motion_at(float x, float y, float z) {
    char line[160];
    std::snprintf(line, sizeof line, "  9\r\n  1\r\n  %g %g %g 0 0 0 1 1 1\r\n  0 0 0 0 0\r\n\r\n",
                  x, y, z);
    return line;
}

// The cube, then the given extra object blocks, and a camera 500 in front of the cube.
void write_scene(const std::string &path, const std::string &extra) {
    std::string s = "LWSC\r\n1\r\n\r\nLoadObject data\\magnkub5.lwo\r\nObjectMotion (unnamed)\r\n" +
                    motion_at(0, 0, -500) + extra + "ShowCamera 1 7\r\nCameraMotion (unnamed)\r\n" +
                    motion_at(0, 0, -1000);
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(s.data(), 1, s.size(), f);
    std::fclose(f);
}

const std::string FLARE_BLOCK =
    "LoadObject data\\magnspk.lwo\r\nObjectMotion (unnamed)\r\n" + motion_at(300, 0, 3000);

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
            write_box(data + "/" + shape + ".lwo", 100.0f, "Steel");
        write_box(data + "/magnspk.lwo", 10.0f, "QVX_FLARE");
        write_jpeg(data + "/magnflar.jpg", 32, 32, [](int, int) { return Rgb{90, 90, 250}; });
        write_jpeg(data + "/magnfla2.jpg", 32, 32, [](int, int) { return Rgb{250, 160, 90}; });
        write_jpeg(data + "/magnenvm.jpg", 256, 256, [](int, int) { return STEEL; });
        write_jpeg(data + "/magnphng.jpg", 256, 256, [](int, int) { return Rgb{255, 255, 255}; });
        write_jpeg(data + "/magntxtr.jpg", 256, 256, [](int x, int y) {
            return Rgb{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
        });
        write_scene(data + "/magnscen.lws", FLARE_BLOCK + FLARE_BLOCK);
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

TEST_F(MagnetTest, LoadsIntoTheStartStateAndAFrameWithoutTimeStillDraws) {
    ASSERT_EQ(magnet_load(), 1) << error();
    const MagnetState *s = magnet_state();
    EXPECT_EQ(s->part_time, 0.0f);
    EXPECT_EQ(s->left_x, -120.0f);
    EXPECT_EQ(s->right_x, 608.0f);
    EXPECT_EQ(s->plane_camera.z, -666.0f);
    EXPECT_EQ(s->background_on, 1);
    ASSERT_EQ(frame(0.0f), 1);
    EXPECT_EQ(s->part_time, 0.0f);
    EXPECT_EQ(s->dissolve, 0.0f);
    EXPECT_EQ(s->left_x, -120.0f);
    EXPECT_EQ(s->plane_angle_z, 0.0f);
    EXPECT_EQ(s->plane_angle_x, 0.0f);
    EXPECT_EQ(fb(10, 10), MARKER); // threshold 0 shows nothing yet
    EXPECT_NE(work(10, 10), 0u);   // but the plane was drawn
    EXPECT_EQ(work(256, 128), sheened_steel());
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
    write_scene(data + "/magnscen.lws", "");
    ASSERT_EQ(magnet_load(), 1) << error();
    ASSERT_EQ(frame(1.0f), 1);
    EXPECT_EQ(work(256, 128), sheened_steel());
}

TEST_F(MagnetTest, BadDataIsRefusedNamingTheFile) {
    write_jpeg(data + "/magnphng.jpg", 128, 256, [](int, int) { return Rgb{255, 255, 255}; });
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("magnphng.jpg"), std::string::npos) << error();

    write_jpeg(data + "/magnphng.jpg", 256, 256, [](int, int) { return Rgb{255, 255, 255}; });
    write_box(data + "/magnkub4.lwo", 100.0f, "Steel", 4); // points missing
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("magnkub4.lwo"), std::string::npos) << error();

    write_box(data + "/magnkub4.lwo", 100.0f, "Steel");
    write_scene(data + "/magnscen.lws",
                "AddNullObject NullFlare\r\nObjectMotion (unnamed)\r\n" + motion_at(0, 0, 0));
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("no face"), std::string::npos) << error();

    remove((data + "/magnalph.jpg").c_str());
    EXPECT_EQ(magnet_load(), 0);
    EXPECT_NE(error().find("magnalph.jpg"), std::string::npos) << error();
}

} // namespace
