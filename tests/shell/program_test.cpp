// Tests that run the built program headless on a small data folder written by the test.

#include "data/archive.h"
#include "data/memory.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Runs the program with args (a shell word list) and an optional environment prefix.
CommandResult run_program(const std::string &dir, const std::string &args,
                          const std::string &env = "") {
    return run_command(env + " " QM_PROGRAM " " + args, dir + "/stderr.txt");
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

TEST_F(ProgramTest, AMissingCaptionFailsWithItsNameBeforeAnythingIsShown) {
    forge_data("tx3.tga");
    CommandResult r =
        run_program(dir, "--headless --data " + dir + " --frames " + dir + "/frames --every 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tx3.tga"), std::string::npos) << r.err;
    EXPECT_EQ(frames(), std::vector<std::string>{});
}

TEST_F(ProgramTest, WithoutADisplayItPointsToHeadless) {
    CommandResult r = run_program(dir, "--data " + dir, "env -u DISPLAY -u WAYLAND_DISPLAY");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
}

TEST_F(ProgramTest, UsageErrorsAndHelp) {
    EXPECT_EQ(run_program(dir, "--depth 8").status, 2);
    EXPECT_EQ(run_program(dir, "--help").status, 0);
    CommandResult r = run_program(dir, "--headless --frames " + dir + "/no/such/folder --every 5");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no/such/folder"), std::string::npos) << r.err;
}

} // namespace
