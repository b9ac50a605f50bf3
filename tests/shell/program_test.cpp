// Tests that run the built program headless: what it ends with, and what it says.

#include "show_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

struct ProgramTest : testing::Test {
    TempDir dir;
    // Runs the program with args (a shell word list) after an optional environment prefix.
    CommandResult run(const std::string &args, const std::string &env = "") {
        return run_command(env + " " QM_PROGRAM " " + args);
    }
};

TEST_F(ProgramTest, AMissingCaptionFailsWithItsNameBeforeAnythingIsShown) {
    if (!copy_forge_data(QM_BUILD_DIR "/forge", dir, "tx3.tga"))
        GTEST_SKIP() << "the forge has not made the show's data";
    CommandResult r = run("--headless --data " + dir + " --frames " + dir + "/frames --every 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tx3.tga"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir + "/frames"));
}

// Help and the version are answered at once; a usage error, and no display to show on, end
// with status 2 (the latter pointing to --headless); a folder the frames cannot be written to
// with 1.
TEST_F(ProgramTest, HelpUsageErrorsNoDisplayAndAnUnwritableFolder) {
    EXPECT_EQ(run("--depth 8").status, 2);
    EXPECT_EQ(run("--help").status, 0);
    CommandResult r;
    EXPECT_EQ(run("--headless --version --data " + dir).status, 0); // answered at once
    // An answer that cannot be written is a failure, said on stderr.
    for (const char *answer : {"--help", "--version"}) {
        r = run_command(QM_PROGRAM " " + std::string(answer) + " >/dev/full");
        EXPECT_EQ(r.status, 1) << answer;
        EXPECT_NE(r.err.find("quellmoor: write error: No space left"), std::string::npos) << r.err;
    }
    r = run("--data " + dir, "env -u DISPLAY -u WAYLAND_DISPLAY");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--headless"), std::string::npos) << r.err;
    r = run("--headless --frames " + dir + "/no/such/folder --every 5");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no/such/folder"), std::string::npos) << r.err;
}

// --at ticks the show never reaches are named in a warning; the run still succeeds.
TEST_F(ProgramTest, AtTicksTheShowNeverReachesAreWarnedOf) {
    if (!copy_forge_data(QM_BUILD_DIR "/forge", dir))
        GTEST_SKIP() << "the forge has not made the show's data";
    CommandResult r = run("--headless --data " + dir + " --part 12 --ticks 5 --frames " + dir +
                          "/frames --at 1,99999999");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the show ended at tick"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("before tick 99999999 of --at; 1 listed screen was not written"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir + "/frames/frame-000001.png"));
}

// A screen that cannot be written whole (a file size limit in place of a full disk: the black
// screens of the start fit, the loading screen does not) is named with the system's reason,
// and no cut picture is left.
TEST_F(ProgramTest, AFrameThatCannotBeWrittenIsNamedAndRemoved) {
    if (!copy_forge_data(QM_BUILD_DIR "/forge", dir))
        GTEST_SKIP() << "the forge has not made the show's data";
    const std::string frames = dir + "/frames";
    CommandResult r =
        run("--headless --data " + dir + " --ticks 40 --frames " + frames + " --every 1",
            "trap '' XFSZ; ulimit -f 50;");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(": cannot write the picture: File too large"), std::string::npos) << r.err;
    for (const auto &entry : std::filesystem::directory_iterator(frames))
        EXPECT_GT(read_png(entry.path()).width, 0) << entry.path() << " is cut short";
}

} // namespace
