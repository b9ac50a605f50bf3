// The end part replaces the first tune with the second while the audio callback plays, and the
// ticker thread counts ticks for the main loop: a windowed run with sound and a headless one
// must end by themselves with nothing on stderr (in the tsan build: no race reported).

#include "helpers.h"
#include "xvfb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string read_text(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ThreadsTest : testing::Test {
    std::string err_path = "threads_test_" + std::to_string(getpid()) + ".err";
    void SetUp() override {
        // Ignored unless the program is built with ThreadSanitizer.
        setenv("TSAN_OPTIONS", "halt_on_error=1 suppressions=" QM_TEST_DIR "/tsan.supp", 1);
    }
    void TearDown() override { unlink(err_path.c_str()); }
    std::string show(const std::string &args) {
        return std::string(QM_PROGRAM) + " " + args + " --part 12 --ticks 200 --data " +
               QM_BUILD_DIR + " >/dev/null 2>" + err_path;
    }
};

TEST_F(ThreadsTest, AWindowedShowWithSoundEndsCleanly) {
    if (!xvfb_start()) GTEST_SKIP() << "no Xvfb";
    int status = xvfb_run("SDL_AUDIODRIVER=dummy " + show("--windowed --sound-device 0"));
    std::string err = read_text(err_path);
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(err, "");
}

TEST_F(ThreadsTest, AHeadlessShowEndsCleanly) {
    int status = run_command(show("--headless")).status;
    std::string err = read_text(err_path);
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(err, "");
}

} // namespace
