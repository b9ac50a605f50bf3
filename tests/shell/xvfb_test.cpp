// Tests that run the built program on a virtual X display of their own (skipped without Xvfb).

#include "show_files.h"

#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
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

struct XvfbTest : testing::Test {
    std::string dir = make_temp_dir();
    std::string display;
    pid_t server = 0;
    pid_t show = 0;
    int show_status = -1;

    void SetUp() override {
        if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0 ||
            access("/usr/bin/import", X_OK) != 0)
            GTEST_SKIP() << "Xvfb, xdotool or ImageMagick's import is not installed";
        write_show_data(dir);
        start_server();
    }
    void TearDown() override {
        if (show > 0) {
            kill(show, SIGKILL);
            waitpid(show, nullptr, 0);
        }
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
        remove_tree(dir);
    }

    // A display number no other server uses, then waits for its socket.
    void start_server() {
        int n = 40 + getpid() % 400;
        while (access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0) n++;
        display = ":" + std::to_string(n);
        server = fork();
        if (server == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1), dup2(null, 2);
            execl("/usr/bin/Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24",
                  "-nolisten", "tcp", nullptr);
            _exit(127);
        }
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        ASSERT_TRUE(wait_for([&] { return access(socket.c_str(), F_OK) == 0; }, 10s));
    }

    // Starts the program on the display with args; its messages go to dir/show.txt.
    void start_show(const std::vector<std::string> &args) {
        show = fork();
        if (show == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            int log = open((dir + "/show.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(log, 1), dup2(log, 2);
            std::vector<char *> argv = {const_cast<char *>(QM_PROGRAM)};
            for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(QM_PROGRAM, argv.data());
            _exit(127);
        }
    }
    bool show_ended() {
        if (show <= 0) return true;
        int raw;
        if (waitpid(show, &raw, WNOHANG) != show) return false;
        show_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        show = 0;
        return true;
    }
    std::string log() {
        std::ifstream in(dir + "/show.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int x_command(const std::string &cmd) {
        return std::system(("DISPLAY=" + display + " " + cmd + " >/dev/null 2>&1").c_str());
    }
    // The whole display as 8-bit RGB, row by row; empty when it cannot be read.
    std::vector<uint8_t> screenshot() {
        std::string path = dir + "/root.png";
        if (x_command("import -window root " + path) != 0) return {};
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
        image.format = PNG_FORMAT_RGB;
        std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
        return rgb;
    }
    // Mean red level of rows y0..y1-1, columns x0..x1-1 of a 1024-wide screenshot.
    static double red_level(const std::vector<uint8_t> &rgb, int y0, int y1, int x0, int x1) {
        double sum = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) sum += rgb[(size_t(y) * 1024 + x) * 3];
        return sum / ((y1 - y0) * (x1 - x0));
    }
    // Mean brightness of rows y0..y1-1, columns x0..x1-1 of a 1024-wide screenshot.
    static double level(const std::vector<uint8_t> &rgb, int y0, int y1, int x0 = 0,
                        int x1 = 1024) {
        double sum = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0 * 3; x < x1 * 3; x++) sum += rgb[size_t(y) * 1024 * 3 + x];
        return sum / ((y1 - y0) * (x1 - x0) * 3.0);
    }
    // Escape, held for a moment as a person would press it; expected_status is what the
    // program then ends with.
    void escape_ends_the_show(int expected_status = 0) {
        x_command("sh -c \"xdotool search --name '^Vandrel$' windowfocus --sync; xdotool keydown "
                  "Escape sleep 0.2 keyup Escape\"");
        ASSERT_TRUE(wait_for([&] { return show_ended(); }, 10s)) << log();
        EXPECT_EQ(show_status, expected_status) << log();
    }
};

TEST_F(XvfbTest, AWindowShowsTheLetterboxedShowAndEscapeEndsIt) {
    start_show({"--windowed", "--sound-device", "none", "--data", dir});
    // Without a window manager the 512 x 384 window sits in the middle: screen rows 192..575,
    // the picture in its rows 64..316.
    std::vector<uint8_t> shot;
    bool shown = wait_for(
        [&] {
            shot = screenshot();
            return !shot.empty() && level(shot, 300, 400) > 20;
        },
        20s);
    ASSERT_TRUE(shown) << "no picture on the display";
    EXPECT_LT(level(shot, 200, 250, 256, 768), 1.0); // the black band above the picture
    // The loading screen is blue; the title after it is white, then orange.
    bool title = wait_for(
        [&] {
            shot = screenshot();
            return !shot.empty() && red_level(shot, 300, 400, 300, 700) > 150;
        },
        30s);
    ASSERT_TRUE(title) << "the show did not get past its loading screen";
    EXPECT_FALSE(show_ended());
    escape_ends_the_show();
}

TEST_F(XvfbTest, TheSetupDialogRunsTheShow) {
    // The dialog's first sound device plays the music: use the forged tune when it is built.
    bool tune = std::filesystem::exists(QM_BUILD_DIR "/quellmor.xm");
    if (tune) std::filesystem::copy_file(QM_BUILD_DIR "/quellmor.xm", dir + "/quellmor.xm");
    start_show({"--data", dir});
    ASSERT_TRUE(wait_for(
        [&] { return x_command("xdotool search --name 'Quellmoor by Vandrel'") == 0; }, 20s))
        << "the setup dialog did not appear";
    // Its controls: the light dialog in the middle of the black display.
    std::vector<uint8_t> shot = screenshot();
    ASSERT_FALSE(shot.empty());
    EXPECT_GT(level(shot, 370, 400, 400, 600), 100);
    // Run is the default button: Alt+R presses it.
    x_command("sh -c 'xdotool windowfocus --sync $(xdotool search --name \"Quellmoor by Vandrel\" "
              "| head -1) && xdotool key alt+r'");
    bool shown = wait_for(
        [&] {
            shot = screenshot();
            // Full screen, scaled to 1024 x 768: the picture fills rows 128..633, black above.
            return !shot.empty() && x_command("xdotool search --name 'Quellmoor by'") != 0 &&
                   red_level(shot, 300, 400, 0, 1024) > 150 && level(shot, 0, 100) < 1.0;
        },
        20s);
    ASSERT_TRUE(shown) << "the show did not start after Run";
    // Without the tune the show plays silent and the missing file is reported in the status.
    escape_ends_the_show(tune ? 0 : 1);
}

} // namespace
