// The show under a locale whose decimal point is a comma (as a German desktop sets it): the
// program takes the user's locale, and its scenes must still read the same numbers, so the
// frames come out the same.

#include "show_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace std::chrono_literals;

struct CommaLocaleTest : testing::Test {
    TempDir dir;
    void SetUp() override {
        // The locale goes into the test's folder; LOCPATH points there.
        std::string cmd = "localedef -c -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
        ASSERT_TRUE(run_command(cmd).status >= 0 &&
                    std::filesystem::exists(dir + "/de_DE.UTF-8/LC_NUMERIC"))
            << "localedef cannot make de_DE.UTF-8 (install \"locales\")";
        if (!copy_forge_data(QM_BUILD_DIR "/forge", dir))
            GTEST_SKIP() << "the forge has not made the show's data";
    }
    // The screen of tick 300 of part 3 (a scene), from a headless run with env added.
    std::string magnet_frame(const std::string &name, const std::vector<std::string> &env) {
        std::string frames = dir + "/" + name;
        pid_t show = start_program(QM_PROGRAM,
                                   {"--headless", "--part", "3", "--ticks", "301", "--data", dir,
                                    "--frames", frames, "--at", "300"},
                                   dir + "/" + name + ".txt", env);
        wait_program(show, 120s);
        return read_text(frames + "/frame-000300.png");
    }
};

TEST_F(CommaLocaleTest, TheShowDrawsTheSameFrames) {
    std::string plain = magnet_frame("plain", {"LC_ALL=C"});
    std::string comma =
        magnet_frame("comma", {"LOCPATH=" + dir, "LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"});
    ASSERT_GT(plain.size(), 1000u);
    EXPECT_TRUE(comma == plain) << "the comma locale's frame differs or is missing";
}

} // namespace
