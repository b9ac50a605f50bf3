// Ctrl-C and kill end the program within a second in every phase, through the usual shut-down,
// with status 128 + the signal's number (the dialog and the window are tried in xvfb_test.cpp,
// recording in record_test.cpp).

#include "show_files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

struct InterruptTest : testing::Test {
    TempDir dir;
    void SetUp() override {
        if (!copy_forge_data(QM_BUILD_DIR "/forge", dir))
            GTEST_SKIP() << "the forge has not made the show's data";
    }
    std::string log() { return read_text(dir + "/log.txt"); }
};

// Whether process pid has a handler for signal (the SigCgt mask of /proc/PID/status).
bool catches(pid_t pid, int signal) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1;
    return false;
}

// Sends signal once ready() holds; returns the exit status.
int stop_when(pid_t show, const std::function<bool()> &ready, int signal) {
    for (int i = 0; i < 1200 && !ready(); i++) std::this_thread::sleep_for(50ms);
    return stop_program(show, signal);
}

TEST_F(InterruptTest, HeadlessLoadingAndShowEndWithinASecond) {
    std::string frames = dir + "/frames";
    std::vector<std::string> args = {"--headless", "--data", dir,    "--frames",
                                     frames,       "--at",   "1,200"};
    // As soon as the program catches the signal: it is starting or loading.
    pid_t show = start_program(QM_PROGRAM, args, dir + "/log.txt");
    EXPECT_EQ(stop_when(
                  show, [&] { return catches(show, SIGTERM); }, SIGTERM),
              128 + SIGTERM)
        << log();
    // During the show.
    show = start_program(QM_PROGRAM, args, dir + "/log.txt");
    auto playing = [&] { return std::filesystem::exists(frames + "/frame-000200.png"); };
    EXPECT_EQ(stop_when(show, playing, SIGINT), 128 + SIGINT) << log();
    EXPECT_EQ(log(), "");
}

} // namespace
