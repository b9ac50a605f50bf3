// Tests that run the built program on a virtual X display of their own (skipped without Xvfb).

#include "show_files.h"
#include "xvfb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Waits up to limit for done() to hold, checking every 200 ms.
bool wait_for(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(200ms);
    }
    return done();
}

// Where the 512 x 384 show screen lies on the display, scaled by scale.
struct Placement {
    int x, y, scale;
};

struct XvfbTest : testing::Test {
    TempDir dir;
    pid_t show = 0;
    RootPicture shot;

    void SetUp() override {
        if (access("/usr/bin/xdotool", X_OK) != 0 || access("/usr/bin/import", X_OK) != 0)
            GTEST_SKIP() << "xdotool or ImageMagick's import is not installed";
        if (!xvfb_start()) GTEST_SKIP() << "no Xvfb";
        if (!copy_forge_data(QM_BUILD_DIR "/forge", dir))
            GTEST_SKIP() << "the forge has not made the show's data";
    }
    void TearDown() override {
        if (show > 0) {
            kill(show, SIGKILL);
            waitpid(show, nullptr, 0);
        }
    }

    // Starts the program on the display with args; its messages go to dir/show.txt. Sound goes
    // to SDL's dummy device unless env says otherwise.
    void start_show(const std::vector<std::string> &args,
                    const std::vector<std::string> &env = {"SDL_AUDIODRIVER=dummy"}) {
        show = start_program(QM_PROGRAM, args, dir + "/show.txt", env);
    }
    // Sends signal; the program must end at once with status 128 + signal.
    void signal_ends_the_show(int signal) {
        EXPECT_EQ(stop_program(show, signal), 128 + signal) << log();
        show = 0;
    }
    // What the program said.
    std::string log() { return read_text(dir + "/show.txt"); }
    int x_command(const std::string &cmd) { return xvfb_run(cmd + " >/dev/null 2>&1"); }
    bool wait_for_dialog() {
        return wait_for(
            [&] { return x_command("xdotool search --name 'Quellmoor by Vandrel'") == 0; }, 30s);
    }
    // Once the display can be grabbed: where the show's screen lies on it, centred, scaled by
    // the largest whole factor that fits (full screen) or not at all (a window).
    Placement place(bool full_screen) {
        EXPECT_TRUE(wait_for([&] { return xvfb_grab(&shot) && shot.width >= 512; }, 20s));
        int scale = full_screen ? std::min(shot.width / 512, shot.height / 384) : 1;
        return {(shot.width - 512 * scale) / 2, (shot.height - 384 * scale) / 2, scale};
    }
    // Mean level over a rectangle of the last shot, given in show screen pixels placed at p.
    double level(const Placement &p, int x0, int y0, int x1, int y1) {
        double sum = 0;
        int count = 0;
        for (int y = p.y + y0 * p.scale; y < p.y + y1 * p.scale; y++)
            for (int x = p.x + x0 * p.scale; x < p.x + x1 * p.scale; x++, count++)
                for (int c = 0; c < 3; c++)
                    sum += uint8_t(shot.rgb[(size_t(y) * size_t(shot.width) + x) * 3 + c]);
        return count ? sum / count / 3 : 0;
    }
    // Takes shots until the show's picture area (screen rows 64..316) shows something.
    bool wait_for_picture(const Placement &p) {
        return wait_for([&] { return xvfb_grab(&shot) && level(p, 0, 64, 512, 317) > 5; }, 60s);
    }
};

TEST_F(XvfbTest, TheSetupDialogRunsTheShow) {
    // The dialog's first sound device plays the music: use the forged tune when it is built.
    bool tune = std::filesystem::exists(QM_BUILD_DIR "/quellmor.xm");
    if (tune) std::filesystem::copy_file(QM_BUILD_DIR "/quellmor.xm", dir + "/quellmor.xm");
    start_show({"--data", dir});
    ASSERT_TRUE(wait_for_dialog()) << "the setup dialog did not appear: " << log();
    // Run is the default button: Alt+R presses it.
    x_command("sh -c 'xdotool windowfocus --sync $(xdotool search --name \"Quellmoor by Vandrel\" "
              "| head -1) && xdotool key alt+r'");
    Placement screen = place(true);
    ASSERT_TRUE(wait_for_picture(screen)) << "the show did not start after Run: " << log();
    EXPECT_NE(x_command("xdotool search --name 'Quellmoor by Vandrel'"), 0); // the dialog went
    EXPECT_LT(level(screen, 0, 0, 512, 64), 1.0);
    // Escape, held down until the program ends (after the loading screen, or at once during
    // the show).
    x_command("sh -c \"xdotool search --name '^Vandrel$' windowfocus --sync; xdotool keydown "
              "Escape\"");
    int status = wait_program(show, 60s);
    show = 0;
    x_command("xdotool keyup Escape");
    // Without the tune the show plays silent and the missing file is reported in the status.
    EXPECT_EQ(status, tune ? 0 : 1) << log();
}

TEST_F(XvfbTest, KillEndsTheSetupDialog) {
    start_show({"--data", dir});
    ASSERT_TRUE(wait_for_dialog()) << "the setup dialog did not appear: " << log();
    signal_ends_the_show(SIGTERM);
}

// SDL lists no output device (ALSA without any): the defaults play silently with a warning in
// a window that shows the letterboxed show, and Ctrl-C ends it; the window goes away.
TEST_F(XvfbTest, AWindowWithoutASoundDevicePlaysSilentlyUntilCtrlC) {
    std::string empty = dir + "/alsa.conf";
    std::ofstream(empty) << "\n";
    start_show({"--no-dialog", "--windowed", "--data", dir},
               {"SDL_AUDIODRIVER=alsa", "ALSA_CONFIG_PATH=" + empty});
    Placement window = place(false);
    ASSERT_TRUE(wait_for_picture(window)) << "nothing showed: " << log();
    EXPECT_LT(level(window, 0, 0, 512, 64), 1.0);    // the black band above the picture
    EXPECT_LT(level(window, 0, 320, 512, 384), 1.0); // and below it
    EXPECT_NE(log().find("no sound device was found; the show plays silently"), std::string::npos)
        << log();
    signal_ends_the_show(SIGINT);
    EXPECT_NE(x_command("xdotool search --name '^Vandrel$'"), 0) << "the window stayed";
}

// Escape pressed and let go while the show loads ends the program once the loading can stop,
// long before the show would end.
TEST_F(XvfbTest, EscapeWhileLoadingEndsTheProgram) {
    start_show({"--no-dialog", "--windowed", "--sound-device", "none", "--data", dir});
    ASSERT_TRUE(wait_for(
        [&] {
            return x_command("xdotool search --onlyvisible --classname '^quellmoor$' "
                             "windowfocus --sync key Escape") == 0;
        },
        30s))
        << log();
    EXPECT_EQ(wait_program(show, 30s), 0) << "the show played on: " << log();
    show = 0;
    EXPECT_EQ(log(), "");
}

// No process whose command line holds text is left (a zombie has none).
bool none_running(const std::string &text) {
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::string line = read_text(entry.path().string() + "/cmdline");
        std::replace(line.begin(), line.end(), '\0', ' ');
        if (line.find(text) != std::string::npos) return false;
    }
    return true;
}

// On a screen the show cannot use (8 bits), the message box waits for OK; kill ends it at once
// with nothing left on screen. The box here is a stand-in for the helper SDL may start, which
// ignores SIGTERM, as the real one was seen to.
TEST_F(XvfbTest, KillEndsTheDisplayFailureBoxAndLeavesNothingBehind) {
    const std::string eight_bits = xvfb_start_other("1024x768x8");
    if (eight_bits.empty()) GTEST_SKIP() << "no second Xvfb";
    const std::string bin = dir + "/bin";
    std::filesystem::create_directory(bin);
    std::ofstream(bin + "/zenity") << "#!/bin/sh\ntrap '' TERM INT\nwhile :; do sleep 1; done\n";
    std::filesystem::permissions(bin + "/zenity", std::filesystem::perms::owner_all);
    for (int signal : {SIGTERM, SIGINT}) {
        start_show({"--windowed", "--sound-device", "none", "--data", dir},
                   {"DISPLAY=" + eight_bits, "PATH=" + bin + ":" + std::getenv("PATH")});
        ASSERT_TRUE(
            wait_for([&] { return log().find("Unable to initialize") != std::string::npos; }, 20s))
            << log();
        std::this_thread::sleep_for(1s);
        if (waitpid(show, nullptr, WNOHANG) == show) {
            show = 0;
            GTEST_SKIP() << "no message box could be shown: " << log();
        }
        signal_ends_the_show(signal);
        EXPECT_EQ(log(), "quellmoor: Unable to initialize 512x384 with a color depth of 24 "
                         "bits/pixel\n");
        EXPECT_TRUE(wait_for([&] { return none_running(bin + "/zenity"); }, 2s))
            << "the box outlived the program";
    }
}

// A window on a screen smaller than the show's fits it, title bar and all; a sound device past
// the list is named in a warning and the show plays silent.
TEST_F(XvfbTest, AWindowFitsASmallScreenAndAMissingSoundDeviceIsWarnedOf) {
    const std::string small = xvfb_start_other("400x300x24");
    if (small.empty()) GTEST_SKIP() << "no second Xvfb";
    start_show({"--windowed", "--sound-device", "5", "--data", dir},
               {"DISPLAY=" + small, "SDL_AUDIODRIVER=dummy"});
    std::string geometry;
    auto shown = [&] {
        geometry = run_command("DISPLAY=" + small +
                               " xdotool search --onlyvisible --classname '^quellmoor$' "
                               "getwindowgeometry --shell")
                       .out;
        return geometry.find("WIDTH=") != std::string::npos;
    };
    ASSERT_TRUE(wait_for(shown, 30s)) << log();
    int x = -1, y = -1, width = 0, height = 0;
    std::sscanf(geometry.substr(geometry.find("X=")).c_str(), "X=%d Y=%d WIDTH=%d HEIGHT=%d", &x,
                &y, &width, &height);
    EXPECT_GE(x, 0) << geometry;
    EXPECT_GE(y, 0) << geometry;
    EXPECT_LE(x + width, 400) << geometry;
    EXPECT_LE(y + height, 300) << geometry;
    EXPECT_EQ(width * 3, height * 4) << geometry;
    EXPECT_NE(log().find("there is no sound device 5 (the devices are 0 to "), std::string::npos)
        << log();
    EXPECT_NE(log().find("); the show plays silently"), std::string::npos) << log();
    signal_ends_the_show(SIGTERM);
}

} // namespace
