// show_files.cpp -- writes small pictures and data folders for the tests

#include "show_files.h"

#include "data/memory.h"
#include "platform/video.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

void write_points_object(const std::string &path, int points) {
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const uint32_t pnts = uint32_t(points) * 12;
    std::ofstream(path, std::ios::binary)
        << "FORM" + be32(pnts + 12) + "LWOBPNTS" + be32(pnts) + std::string(pnts, '\0');
}

bool copy_forge_data(const std::string &forge_dir, const std::string &dir,
                     const std::string &skip) {
    namespace fs = std::filesystem;
    fs::path from = fs::path(forge_dir) / "data";
    if (!fs::exists(from / "loading.jpg")) return false;
    fs::create_directories(fs::path(dir) / "data");
    for (const auto &entry : fs::directory_iterator(from))
        if (entry.path().filename() != skip)
            fs::copy_file(entry.path(), fs::path(dir) / "data" / entry.path().filename());
    return true;
}

pid_t start_program(const std::string &program, const std::vector<std::string> &args,
                    const std::string &log_path, const std::vector<std::string> &env) {
    pid_t pid = fork();
    if (pid == 0) {
        for (const std::string &e : env) putenv(strdup(e.c_str()));
        int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, 1), dup2(log, 2);
        std::vector<char *> argv = {const_cast<char *>(program.c_str())};
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int wait_program(pid_t pid, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    int raw = 0;
    while (waitpid(pid, &raw, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 256 + WTERMSIG(raw);
}

void open_headless_stage() {
    ASSERT_NE(display_open(512, 384, 24, DISPLAY_CREATE, &video_headless), nullptr);
    ASSERT_EQ(stage_create_images(), 1);
    ASSERT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 1);
}

void close_headless_stage() {
    clock_stop();
    if (display_device) display_device->close();
    mem_free_all();
}

int stop_program(pid_t pid, int signal) {
    auto sent = std::chrono::steady_clock::now();
    kill(pid, signal);
    int status = wait_program(pid, std::chrono::seconds(20));
    EXPECT_LT(std::chrono::steady_clock::now() - sent, STOP_LIMIT) << "signal " << signal;
    return status;
}
