// Tests of quellmoor-view: a scene of two balls written with the forge's writers, read from plain
// files and from an archive, rendered at several ticks; options and failures.

#include "helpers.h"
#include "lwo_write.h"
#include "lws_write.h"
#include "pack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A frame read back: 8-bit RGB.
struct Picture : PngPicture {
    int at(int x, int y, int c) const { return pixels[3 * (y * width + x) + c]; }
    int sum(int x, int y) const { return at(x, y, 0) + at(x, y, 1) + at(x, y, 2); }
};

// A ball of radius 60 in one colour: 8 bands of 12 sectors.
void save_ball(const fs::path &path, const LwoSurface &surface) {
    const int bands = 8, sectors = 12;
    std::vector<float> points;
    for (int b = 0; b <= bands; b++)
        for (int s = 0; s < sectors; s++) {
            const double lat = M_PI * b / bands - M_PI / 2, lon = 2 * M_PI * s / sectors;
            points.push_back(float(60 * std::cos(lat) * std::cos(lon)));
            points.push_back(float(60 * std::sin(lat)));
            points.push_back(float(60 * std::cos(lat) * std::sin(lon)));
        }
    std::vector<LwoTriangle> tris;
    for (int b = 0; b < bands; b++)
        for (int s = 0; s < sectors; s++) {
            const auto at = [&](int bb, int ss) { return uint16_t(bb * sectors + ss % sectors); };
            tris.push_back(LwoTriangle{{at(b, s), at(b + 1, s), at(b + 1, s + 1)}, 0});
            tris.push_back(LwoTriangle{{at(b, s), at(b + 1, s + 1), at(b, s + 1)}, 0});
        }
    const LwoMesh mesh{
        int(points.size() / 3), points.data(), int(tris.size()), tris.data(), 1, &surface};
    ASSERT_EQ(lwo_save(path.c_str(), &mesh), 1);
}

LwsKey key(float frame, float x, float y, float z, float heading = 0) {
    return LwsKey{x, y, z, heading, 0, 0, 1, 1, 1, frame, 0, 0, 0, 0};
}

struct ViewTest : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("qm_view_" + std::to_string(getpid()));
    std::string err;

    // A red ball (the "cube") turns a quarter about y between ticks 0 and 70, left of the
    // centre; a blue one rises on the right; one light above the camera, which looks along +z from
    // the origin.
    void SetUp() override {
        fs::create_directories(dir / "data");
        save_ball(dir / "data" / "cube.lwo", LwoSurface{"Red", 230, 40, 40, 0});
        save_ball(dir / "data" / "ball.lwo", LwoSurface{"Blue", 40, 80, 230, 0});
        const LwsKey cube_keys[2] = {key(0, -100, 0, 350), key(70, -100, 0, 350, 90)};
        const LwsKey ball_keys[2] = {key(0, 110, -20, 350), key(70, 110, 40, 350)};
        const LwsKey light_key = key(0, 0, 200, 0), camera_key = key(0, 0, 0, 0);
        const LwsObject objects[2] = {{"cube.lwo", 0, {2, cube_keys}},
                                      {"ball.lwo", 0, {2, ball_keys}}};
        const LwsLight light{{1, &light_key}, 0, 255, 255, 255, 1.0f};
        const LwsScene scene{0, 70, 2, objects, 1, &light, {{1, &camera_key}, 0, 3.2f}};
        ASSERT_EQ(lws_save((dir / "data" / "show.lws").c_str(), &scene), 1);
    }
    void TearDown() override { remove_tree(dir); }

    int run(const std::string &args) {
        const CommandResult r =
            run_command("cd '" + dir.string() + "' && '" QM_VIEW_BIN "' " + args);
        err = r.err;
        return r.status;
    }
    Picture frame(int tick) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", tick);
        return {read_png(dir / "out" / name)};
    }
};

int column_of(float x, float z) {
    return int(256 + 400 * x / z);
}

// A LightWave 5 object as modellers store it: a red double-sided square of side 120 about the
// origin, facing the camera, as one quadrilateral; or with the form type given.
void save_square(const fs::path &path, const char *form = "LWOB") {
    Bytes b;
    bytes_text(&b, "FORM");
    bytes_u32be(&b, 0);
    bytes_text(&b, form);
    bytes_text(&b, "PNTS");
    bytes_u32be(&b, 48);
    for (float v : {-60.f, -60.f, 0.f, -60.f, 60.f, 0.f, 60.f, 60.f, 0.f, 60.f, -60.f, 0.f})
        bytes_f32be(&b, v);
    bytes_text(&b, "SRFS");
    bytes_u32be(&b, 4);
    bytes_raw(&b, "Red", 4);
    bytes_text(&b, "SURF");
    bytes_u32be(&b, 4 + 6 + 4 + 6 + 2);
    bytes_raw(&b, "Red", 4);
    bytes_text(&b, "COLR");
    bytes_u16be(&b, 4);
    bytes_raw(&b, "\xE6\x28\x28", 4);
    bytes_text(&b, "FLAG");
    bytes_u16be(&b, 2);
    bytes_u16be(&b, 0x100);
    bytes_text(&b, "POLS");
    bytes_u32be(&b, 12);
    for (uint32_t v : {4, 0, 1, 2, 3, 1}) bytes_u16be(&b, v);
    bytes_patch_u32be(&b, 4, uint32_t(b.data.size() - 8));
    ASSERT_EQ(bytes_save(&b, path.c_str()), 1);
}

// A motion block of one key at (x, y, z).
std::string one_key(const char *keyword, int x, int y, int z) {
    return std::string(keyword) + " (unnamed)\n  9\n  1\n  " + std::to_string(x) + " " +
           std::to_string(y) + " " + std::to_string(z) + " 0 0 0 1 1 1\n  0 0 0 0 0\n";
}

} // namespace

// The engine's pixels are its own tests'; here, that the tool places the scene at each tick,
// reads an archive as it reads plain files, and heeds its light and shade options.
TEST_F(ViewTest, RendersTheSceneFromFilesOrArchiveWithItsOptions) {
    ASSERT_EQ(run("show.lws --data data --ticks 0,70 --out out"), 0) << err;
    const Picture f0 = frame(0), f70 = frame(70);
    ASSERT_EQ(f0.width, 512);
    ASSERT_EQ(f0.height, 256);
    // The red ball left of the centre at column 256 + 400 x / z, the blue one right, lit from
    // above; the blue ball rises by 60 units at depth 350: about 68 rows.
    const int red_x = column_of(-100, 300), blue_x = column_of(110, 290);
    EXPECT_GT(f0.at(red_x, 128, 0), f0.at(red_x, 128, 2));
    EXPECT_GT(f0.at(blue_x, 128 + 8, 2), f0.at(blue_x, 128 + 8, 0));
    EXPECT_GT(f0.sum(blue_x, 128 - 20), f0.sum(blue_x, 128 + 40));
    EXPECT_EQ(f70.sum(blue_x, 128 + 60), 0);
    EXPECT_GT(f70.sum(blue_x, 128 - 50), 0);

    const char *names[] = {"show.lws", "cube.lwo", "ball.lwo"};
    std::vector<PackEntry> entries(3);
    std::string error;
    for (int i = 0; i < 3; i++) {
        const char *name = names[i];
        std::vector<uint8_t> data;
        ASSERT_TRUE(pack_read_file((dir / "data" / name).string(), &data, &error)) << error;
        ASSERT_TRUE(pack_make_entry(name, data.data(), data.size(), false, &entries[i], &error));
    }
    ASSERT_TRUE(pack_write_file((dir / "show.dat").string(), pack_archive(entries), &error));
    ASSERT_EQ(run("show.lws --archive show.dat --ticks 0 --out out"), 0) << err;
    EXPECT_EQ(frame(0).pixels, f0.pixels);
    // A light straight below the ball lights its underside instead of its top.
    ASSERT_EQ(run("show.lws --archive show.dat --ticks 0 --out out --light 110,-400,350"), 0)
        << err;
    EXPECT_LT(frame(0).sum(blue_x, 128 - 40), frame(0).sum(blue_x, 128 + 40));
    ASSERT_EQ(run("show.lws --archive show.dat --ticks 0 --out out --shade gouraud"), 0) << err;
    EXPECT_NE(frame(0).pixels, f0.pixels);
}

TEST_F(ViewTest, FailuresNameTheFileAndExitWithOne) {
    EXPECT_EQ(run("none.lws --data data --ticks 0 --out out"), 1);
    EXPECT_NE(err.find("none.lws"), std::string::npos) << err;
    write_text(dir / "data" / "cube.lwo", std::string("FORM\0\0\0\4LWOX", 12));
    EXPECT_EQ(run("show.lws --data data --ticks 0 --out out"), 1);
    EXPECT_NE(err.find("cube.lwo"), std::string::npos) << err;
    EXPECT_EQ(run("show.lws --archive missing.dat --ticks 0 --out out"), 1);
    EXPECT_NE(err.find("missing.dat"), std::string::npos) << err;
    // Usage mistakes: no source, both sources, bad ticks, bad shade.
    for (const char *args : {"show.lws --ticks 0 --out out",
                             "show.lws --data data --archive x.dat --ticks 0 --out out",
                             "show.lws --data data --ticks 0,,3 --out out",
                             "show.lws --data data --ticks -4 --out out",
                             "show.lws --data data --ticks 0 --out out --shade soft"})
        EXPECT_EQ(run(args), 1) << args;
    EXPECT_FALSE(fs::exists(dir / "out" / "frame-000000.png"));
    EXPECT_EQ(run("show.lws --data=data --ticks=0 --out out --shine"), 1);
    EXPECT_NE(err.find("quellmoor-view: unknown option '--shine'"), std::string::npos) << err;
    const CommandResult r = run_command("'" QM_VIEW_BIN "' --version >/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("quellmoor-view: write error"), std::string::npos) << err;
}

// GNU style: values joined by '=', the scene anywhere, "--" before a scene named like an option.
TEST_F(ViewTest, OptionsAsGnuToolsTakeThem) {
    fs::copy_file(dir / "data" / "show.lws", dir / "data" / "-show.lws");
    ASSERT_EQ(run("--ticks=70 --data=data --out=out -- -show.lws"), 0) << err;
    ASSERT_EQ(run("--ticks 0 --data data show.lws --light=0,-300,350 --out out"), 0) << err;
    EXPECT_EQ(read_png((dir / "out" / "frame-000070.png").string()).width, 512);
    EXPECT_EQ(read_png((dir / "out" / "frame-000000.png").string()).width, 512);
}

// What the manual page says the tool reads, it reads: a LightWave 5 scene with bare LF line ends,
// an object file name with a space, a quadrilateral, a child placed by its parent; and it says
// what it refuses and does not load.
TEST_F(ViewTest, ReadsWhatItsManualPageSays) {
    const std::string page = read_text(QM_MAN_DIR "/quellmoor-view.1.in");
    for (const char *said : {"LWSC 1", "CR LF, LF or CR", "spaces included", "ParentObject", "LWOB",
                             "polygons of any number of", "(LWO2)", "no picture is loaded"})
        EXPECT_NE(page.find(said), std::string::npos) << said;
    save_square(dir / "data" / "red square.lwo");
    write_text(dir / "data" / "square.lws",
               "LWSC\n1\n\nLoadObject red square.lwo\n" + one_key("ObjectMotion", 100, 0, 0) +
                   "ParentObject 2\n\nAddNullObject Null\n" + one_key("ObjectMotion", 0, 0, 350) +
                   "\nAddLight\n" + one_key("LightMotion", 0, 200, 0) + "\nShowCamera 1 7\n" +
                   one_key("CameraMotion", 0, 0, 0));
    ASSERT_EQ(run("square.lws --data data --ticks 0 --out out"), 0) << err;
    // The square is 100 right of its parent, 350 ahead: its middle at column 256 + 400 * 100 / 350.
    const Picture f = frame(0);
    const int x = column_of(100, 350);
    EXPECT_GT(f.at(x, 128, 0), 2 * f.at(x, 128, 2) + 20);
    EXPECT_EQ(f.sum(column_of(-100, 350), 128), 0);
    save_square(dir / "data" / "red square.lwo", "LWO2");
    EXPECT_EQ(run("square.lws --data data --ticks 0 --out out"), 1);
    EXPECT_NE(err.find("red square.lwo: LightWave 6 object (LWO2)"), std::string::npos) << err;
}
