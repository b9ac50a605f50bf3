// Tests that run the built program on a virtual X display of their own (skipped without Xvfb).

#include "show_files.h"
#include "xvfb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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
    std::string dir = make_temp_dir();
    pid_t show = 0;
    int show_status = -1;
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
        remove_tree(dir);
    }

    // Starts the program on the display with args; its messages go to dir/show.txt. Sound goes
    // to SDL's dummy device unless env says otherwise.
    void start_show(const std::vector<std::string> &args,
                    const std::vector<std::string> &env = {"SDL_AUDIODRIVER=dummy"}) {
        show = start_program(QM_PROGRAM, args, dir + "/show.txt", env);
    }
    // Sends signal; the program must end within the limit with status 128 + signal.
    void signal_ends_the_show(int signal) {
        auto sent = std::chrono::steady_clock::now();
        kill(show, signal);
        int status = wait_program(show, 20s);
        show = 0;
#if defined(__SANITIZE_ADDRESS__)
        constexpr auto limit = 6s; // the sanitizers' shut-down checks every block
#else
        constexpr auto limit = 2s;
#endif
        EXPECT_LT(std::chrono::steady_clock::now() - sent, limit) << "a second, and some slack";
        EXPECT_EQ(status, 128 + signal) << log();
    }
    bool show_ended() {
        if (show <= 0) return true;
        int raw;
        if (waitpid(show, &raw, WNOHANG) != show) return false;
        show_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        show = 0;
        return true;
    }
    // What the program said.
    std::string log() {
        return read_text(dir + "/show.txt");
    }
    int x_command(const std::string &cmd) {
        return xvfb_run(cmd + " >/dev/null 2>&1");
    }
    // Mean of one channel (0 red, 1 green, 2 blue; 3 all) over a rectangle of the last shot,
    // given in show screen pixels placed at p.
    double level(const Placement &p, int x0, int y0, int x1, int y1, int channel = 3) {
        double sum = 0;
        int count = 0;
        for (int y = p.y + y0 * p.scale; y < p.y + y1 * p.scale; y++)
            for (int x = p.x + x0 * p.scale; x < p.x + x1 * p.scale; x++, count++)
                for (int c = 0; c < 3; c++)
                    if (channel == 3 || channel == c)
                        sum += uint8_t(shot.rgb[(size_t(y) * size_t(shot.width) + x) * 3 + c]);
        return count ? sum / count / (channel == 3 ? 3 : 1) : 0;
    }
    // Takes shots until the show's picture area (screen rows 64..316) shows something.
    bool wait_for_picture(const Placement &p) {
        return wait_for([&] { return xvfb_grab(&shot) && level(p, 0, 64, 512, 317) > 5; }, 60s);
    }
    // Escape, held down until the program ends (after the loading screen, or at once during
    // the show); expected_status is what the program then ends with.
    void escape_ends_the_show(int expected_status = 0) {
        x_command("sh -c \"xdotool search --name '^Vandrel$' windowfocus --sync; xdotool keydown "
                  "Escape\"");
        bool ended = wait_for([&] { return show_ended(); }, 60s);
        x_command("xdotool keyup Escape");
        ASSERT_TRUE(ended) << log();
        EXPECT_EQ(show_status, expected_status) << log();
    }
};

TEST_F(XvfbTest, AWindowShowsTheLetterboxedShowAndEscapeEndsIt) {
    start_show({"--windowed", "--sound-device", "none", "--data", dir});
    // Without a window manager the window sits in the middle of the display.
    ASSERT_TRUE(wait_for([&] { return xvfb_grab(&shot) && shot.width >= 512; }, 20s));
    Placement window = {(shot.width - 512) / 2, (shot.height - 384) / 2, 1};
    ASSERT_TRUE(wait_for_picture(window)) << "nothing showed: " << log();
    EXPECT_LT(level(window, 0, 0, 512, 64), 1.0);    // the black band above the picture
    EXPECT_LT(level(window, 0, 320, 512, 384), 1.0); // and below it
    EXPECT_FALSE(show_ended());
    escape_ends_the_show();
}

TEST_F(XvfbTest, TheSetupDialogRunsTheShow) {
    // The dialog's first sound device plays the music: use the forged tune when it is built.
    bool tune = std::filesystem::exists(QM_BUILD_DIR "/quellmor.xm");
    if (tune) std::filesystem::copy_file(QM_BUILD_DIR "/quellmor.xm", dir + "/quellmor.xm");
    start_show({"--data", dir});
    ASSERT_TRUE(wait_for(
        [&] { return x_command("xdotool search --name 'Quellmoor by Vandrel'") == 0; }, 30s))
        << "the setup dialog did not appear: " << log();
    // Run is the default button: Alt+R presses it.
    x_command("sh -c 'xdotool windowfocus --sync $(xdotool search --name \"Quellmoor by Vandrel\" "
              "| head -1) && xdotool key alt+r'");
    // Full screen, the show scaled by the largest whole factor that fits.
    ASSERT_TRUE(wait_for([&] { return xvfb_grab(&shot) && shot.width >= 512; }, 20s));
    int scale = std::min(shot.width / 512, shot.height / 384);
    Placement screen = {(shot.width - 512 * scale) / 2, (shot.height - 384 * scale) / 2, scale};
    ASSERT_TRUE(wait_for_picture(screen)) << "the show did not start after Run: " << log();
    EXPECT_NE(x_command("xdotool search --name 'Quellmoor by Vandrel'"), 0); // the dialog went
    EXPECT_LT(level(screen, 0, 0, 512, 64), 1.0);
    // Without the tune the show plays silent and the missing file is reported in the status.
    escape_ends_the_show(tune ? 0 : 1);
}

TEST_F(XvfbTest, KillEndsTheSetupDialog) {
    start_show({"--data", dir});
    ASSERT_TRUE(wait_for(
        [&] { return x_command("xdotool search --name 'Quellmoor by Vandrel'") == 0; }, 30s))
        << "the setup dialog did not appear: " << log();
    signal_ends_the_show(SIGTERM);
}

// SDL lists no output device (ALSA without any): the defaults play silently with a warning,
// and Ctrl-C ends the show in its window, which goes away.
TEST_F(XvfbTest, WithoutASoundDeviceTheDefaultsPlaySilently) {
    std::string empty = dir + "/alsa.conf";
    std::ofstream(empty) << "\n";
    start_show({"--no-dialog", "--windowed", "--data", dir},
               {"SDL_AUDIODRIVER=alsa", "ALSA_CONFIG_PATH=" + empty});
    ASSERT_TRUE(wait_for([&] { return xvfb_grab(&shot) && shot.width >= 512; }, 20s));
    Placement window = {(shot.width - 512) / 2, (shot.height - 384) / 2, 1};
    ASSERT_TRUE(wait_for_picture(window)) << "nothing showed: " << log();
    EXPECT_NE(log().find("no sound device was found; the show plays silently"), std::string::npos)
        << log();
    signal_ends_the_show(SIGINT);
    EXPECT_NE(x_command("xdotool search --name '^Vandrel$'"), 0) << "the window stayed";
}

} // namespace
