// Tests that run the built program headless on a small data folder written by the test.

#include "show_files.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct Outcome {
    int status;
    std::string err;
};

// Runs the program with args (a shell word list) and an optional environment prefix.
Outcome run_program(const std::string &dir, const std::string &args, const std::string &env = "") {
    std::string err_path = dir + "/stderr.txt";
    std::string cmd = env + " " QM_PROGRAM " " + args + " >/dev/null 2>" + err_path;
    int raw = std::system(cmd.c_str());
    std::ifstream in(err_path);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t *at(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + x) * 3]; }
};

Picture read_png(const std::string &path) {
    Picture p;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) {
        p.width = int(image.width);
        p.height = int(image.height);
    }
    return p;
}

struct ProgramTest : testing::Test {
    std::string dir = make_temp_dir();
    void TearDown() override { remove_tree(dir); }
};

TEST_F(ProgramTest, AHeadlessRunOfTheWholeShowEndsByItself) {
    write_show_data(dir);
    Outcome r = run_program(dir, "--headless --data " + dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST_F(ProgramTest, FramesAreWrittenAtTheTicksAsked) {
    write_show_data(dir);
    std::string frames = dir + "/frames";
    // Tick 100 is in the dissolve; 400 and 1000 in the portrait, the show starting there.
    Outcome r = run_program(dir, "--headless --part 4 --data " + dir + " --frames " + frames +
                                     " --at 1000,100,400");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(frames))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names, (std::vector<std::string>{"frame-000100.png", "frame-000400.png",
                                               "frame-001000.png"}));
    Picture p = read_png(frames + "/frame-001000.png");
    ASSERT_EQ(p.width, 512);
    ASSERT_EQ(p.height, 384);
    // Letterboxed: black above row 64, the portrait from row 64 to 316.
    EXPECT_EQ(p.at(100, 30)[1], 0);
    EXPECT_NEAR(p.at(100, 200)[1], PORTRAIT_COLOUR.green, 4);
    EXPECT_NEAR(p.at(100, 316)[1], PORTRAIT_COLOUR.green, 4);
}

TEST_F(ProgramTest, StartingAtALaterPartSkipsTheEarlierOnes) {
    write_show_data(dir);
    std::string frames = dir + "/frames";
    Outcome r =
        run_program(dir, "--headless --part 4 --data " + dir + " --frames " + frames + " --at 400");
    ASSERT_EQ(r.status, 0) << r.err;
    Picture p = read_png(frames + "/frame-000400.png");
    ASSERT_EQ(p.width, 512);
    EXPECT_NEAR(p.at(100, 200)[1], PORTRAIT_COLOUR.green, 4);
}

TEST_F(ProgramTest, AMissingCaptionFailsWithItsNameBeforeAnythingIsShown) {
    write_show_data(dir, "tx3.tga");
    std::string frames = dir + "/frames";
    Outcome r = run_program(dir, "--headless --data " + dir + " --frames " + frames + " --every 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tx3.tga"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(frames));
}

TEST_F(ProgramTest, ADamagedArchiveFailsWithItsName) {
    write_show_data(dir);
    std::ofstream(dir + "/quellmor.dat") << "this is not an archive at all, just some words";
    Outcome r = run_program(dir, "--headless --data " + dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("quellmor.dat"), std::string::npos) << r.err;
}

TEST_F(ProgramTest, AMissingHiddenPictureIsNotASuccess) {
    write_show_data(dir, "moorlight.jpg");
    // Unlocking the hidden picture needs keys; without them the show does not miss it.
    Outcome r = run_program(dir, "--headless --part 11 --data " + dir);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(ProgramTest, WithoutADisplayItPointsToHeadless) {
    write_show_data(dir);
    Outcome r = run_program(dir, "--data " + dir, "env -u DISPLAY -u WAYLAND_DISPLAY");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
}

TEST_F(ProgramTest, UsageErrorsAndHelp) {
    EXPECT_EQ(run_program(dir, "--depth 8").status, 2);
    EXPECT_EQ(run_program(dir, "--help").status, 0);
    Outcome r = run_program(dir, "--headless --frames " + dir + "/no/such/folder --every 5");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no/such/folder"), std::string::npos) << r.err;
}

} // namespace
