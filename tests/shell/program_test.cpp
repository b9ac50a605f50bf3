// Tests that run the built program headless on a small data folder written by the test.

#include "data/archive.h"
#include "data/image.h"
#include "data/memory.h"
#include "show_files.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
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
    // The forge's data in the test's folder, without the file named skip.
    void forge_data(const std::string &skip = "") {
        if (!copy_forge_data(QM_BUILD_DIR "/forge", dir, skip))
            GTEST_SKIP() << "the forge has not made the show's data";
    }
    // The file names in dir/frames, sorted.
    std::vector<std::string> frames() {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(dir + "/frames"))
            names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(ProgramTest, TheFramesWrittenShowTheFrameBufferLetterboxed) {
    forge_data();
    // The dissolve ends at tick 160; from tick 330 the portrait has come out of its flash. The
    // run is stopped once tick 401 is written, so tick 400 is complete.
    std::string args =
        "--headless --part 4 --data " + dir + " --frames " + dir + "/frames" + " --at 100,400,401";
    pid_t show = fork();
    if (show == 0) {
        execl("/bin/sh", "sh", "-c", (QM_PROGRAM " " + args + " >/dev/null 2>&1").c_str(), nullptr);
        _exit(127);
    }
    for (int i = 0; i < 1200 && !std::filesystem::exists(dir + "/frames/frame-000401.png"); i++)
        usleep(100000);
    kill(show, SIGKILL);
    waitpid(show, nullptr, 0);
    ASSERT_EQ(frames(), (std::vector<std::string>{"frame-000100.png", "frame-000400.png",
                                                  "frame-000401.png"}));
    Picture p = read_png(dir + "/frames/frame-000400.png");
    ASSERT_EQ(p.width, 512);
    ASSERT_EQ(p.height, 384);
    file_set_data_dir(dir.c_str());
    Image *portrait = load_jpeg("data\\girl.jpg", 0);
    ASSERT_NE(portrait, nullptr);
    // Screen row 64 + y shows FrameBuffer row 1 + y, columns 0..510, each byte v as v - 1.
    auto shown = [](uint32_t v) { return v ? v - 1 : 0; };
    for (int y = 0; y < 253; y++) {
        for (int x = 0; x < 511; x++) {
            uint32_t px = portrait->pixels[(y + 1) * 512 + x];
            const uint8_t *s = p.at(x, 64 + y);
            ASSERT_EQ(s[0], shown(px >> 8 & 0xFF)) << x << "," << y;
            ASSERT_EQ(s[2], shown(px >> 24)) << x << "," << y;
        }
    }
    for (int x = 0; x < 512; x++) ASSERT_EQ(p.at(x, 30)[1], 0); // the band above
    mem_free_all();
}

TEST_F(ProgramTest, AMissingCaptionFailsWithItsNameBeforeAnythingIsShown) {
    forge_data("tx3.tga");
    Outcome r =
        run_program(dir, "--headless --data " + dir + " --frames " + dir + "/frames --every 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tx3.tga"), std::string::npos) << r.err;
    EXPECT_EQ(frames(), std::vector<std::string>{});
}

TEST_F(ProgramTest, ADamagedArchiveFailsWithItsName) {
    forge_data();
    std::ofstream(dir + "/quellmor.dat") << "this is not an archive at all, just some words";
    Outcome r = run_program(dir, "--headless --data " + dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("quellmor.dat"), std::string::npos) << r.err;
}

TEST_F(ProgramTest, WithoutADisplayItPointsToHeadless) {
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
