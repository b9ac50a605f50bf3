// web_test.cpp -- the show built for WebAssembly (`make web`): under node its frames are the
// native build's, both with the plain and the packed paths; in a page in headless Chromium, served
// from 127.0.0.1, so are they, the Run click shows the show's picture letterboxed as the native
// program draws it, and damaged or missing data ends with the program's own message in the page.

#include "helpers.h"
#include "show_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string SOURCE = QM_SOURCE_DIR;
const std::string SITE = SOURCE + "/build/web";
const std::string SHOW_RECORD = QM_TEST_DIR "/shell/show.digests";
// The whole show runs in about twice the native time; a loaded machine gets plenty of slack.
constexpr auto SHOW_LIMIT = 1800s;

// Starts argv in a session of its own (so that all it starts can be ended with it), stdout and
// stderr to log.
pid_t spawn(const std::vector<std::string> &argv, const std::string &log) {
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1), dup2(fd, 2);
        std::vector<char *> args;
        for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// Ends the session pid leads and waits for pid.
void end_session(pid_t *pid) {
    if (*pid <= 0) return;
    kill(-*pid, SIGTERM);
    for (int i = 0; i < 100 && waitpid(*pid, nullptr, WNOHANG) == 0; i++)
        std::this_thread::sleep_for(50ms);
    kill(-*pid, SIGKILL);
    waitpid(*pid, nullptr, 0);
    *pid = 0;
}

// Waits until path exists, up to limit, while the process pid runs; false on time-out or when
// it ended (a browser that is missing or cannot start) without writing it.
bool wait_for_file(const std::string &path, pid_t pid, std::chrono::seconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (waitpid(pid, nullptr, WNOHANG) == pid) return fs::exists(path);
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

// The first line of text that starts with "quellmoor: ", or "".
std::string program_message(const std::string &text) {
    size_t at = text.rfind("quellmoor: ", 0) == 0 ? 0 : text.find("\nquellmoor: ");
    if (at == std::string::npos) return "";
    if (at > 0) at++;
    return text.substr(at, text.find('\n', at) - at);
}

void expect_show_record(const std::string &digests, const std::string &who) {
    std::vector<Frame> frames = read_frames(digests);
    ASSERT_GT(frames.size(), 20000u) << who << " played only part of the show";
    std::vector<std::string> got = fold_show(frames), want = record_lines(SHOW_RECORD);
    ASSERT_EQ(got.size(), want.size()) << who;
    for (size_t i = 0; i < got.size(); i++)
        ASSERT_EQ(got[i], want[i])
            << who << ": the frames moved (line " << i + 1 << " of the record)";
}

struct NodeDigests : testing::TestWithParam<const char *> {};

TEST_P(NodeDigests, EveryFrameOfTheWholeShowIsAsRecorded) {
    TempDir dir;
    std::string program = SOURCE + "/build/" + GetParam() + "/quellmoor-node.js";
    ASSERT_TRUE(fs::exists(program)) << program << " is missing: `make web` builds it";
    std::string log = dir + "/log.txt", list = dir + "/digests.txt";
    pid_t pid = spawn(
        {"node", "--no-experimental-fetch", program, "--data", QM_BUILD_DIR, "--digests", list},
        log);
    int raw = 0;
    auto end = std::chrono::steady_clock::now() + SHOW_LIMIT;
    while (waitpid(pid, &raw, WNOHANG) == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(100ms);
    if (std::chrono::steady_clock::now() >= end) end_session(&pid);
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << read_text(log);
    expect_show_record(read_text(list), GetParam());
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, NodeDigests, testing::Values("wasm", "wasm-simd"));

// The site served on 127.0.0.1 by the project's own server, and one headless Chromium on it.
struct Page : testing::Test {
    TempDir dir;
    pid_t server = 0, browser = 0;
    std::string address, reports = dir + "/reports";
    int opened = 0, served = 0;

    void TearDown() override {
        end_session(&browser);
        end_session(&server);
    }

    void serve(const std::string &site) {
        ASSERT_TRUE(fs::exists(site + "/index.html")) << site << ": `make web` builds the site";
        fs::create_directories(reports);
        std::string log = dir + "/server" + std::to_string(++served) + ".txt";
        server = spawn({"python3", SOURCE + "/scripts/serve-web.py", "--port", "0", "--reports",
                        reports, site},
                       log);
        for (int i = 0; i < 200 && address.empty(); i++) {
            std::string said = read_text(log);
            size_t at = said.find("http://"), end = said.find(' ', at);
            if (at != std::string::npos && end != std::string::npos)
                address = said.substr(at, end - at);
            else
                std::this_thread::sleep_for(50ms);
        }
        ASSERT_FALSE(address.empty()) << "the server did not start: " << read_text(log);
    }

    // Opens the page with these parameters and waits for what it reports; returns the exit
    // status it reports, or "" when none came within limit.
    std::string open_page(const std::string &query, std::chrono::seconds limit) {
        browser = spawn({"chromium", "--headless", "--no-sandbox", "--disable-gpu",
                         "--disable-background-networking", "--disable-component-update",
                         "--disable-sync", "--no-first-run",
                         "--user-data-dir=" + dir + "/profile" + std::to_string(++opened),
                         "--window-size=1024,768", address + "?" + query + "&report=/report"},
                        dir + "/chromium.txt");
        bool reported = wait_for_file(reports + "/status", browser, limit);
        end_session(&browser);
        if (!reported)
            ADD_FAILURE() << "the page reported nothing: " << read_text(dir + "/chromium.txt");
        return read_text(reports + "/status");
    }

    std::string said(const std::string &name) { return read_text(reports + "/" + name); }
};

TEST_F(Page, DigestModeGivesEveryFrameAsRecorded) {
    serve(SITE);
    ASSERT_EQ(open_page("digests&autorun", SHOW_LIMIT), "0") << said("stderr");
    expect_show_record(said("digests"), "the page");
}

// The portrait at rest: the same picture from about 170 ticks into its part until it ends (902),
// so the page's real clock shows what the native stepped one does at that tick.
constexpr int PORTRAIT_TICKS = 600;

// Pressing Run (the page presses its own button) plays the show at the depth chosen in the form.
struct RunClick : Page, testing::WithParamInterface<int> {};

TEST_P(RunClick, ShowsTheShowsPictureLetterboxed) {
    std::string native = dir + "/native", depth = std::to_string(GetParam());
    std::string ticks = std::to_string(PORTRAIT_TICKS);
    std::string command = std::string(QM_PROGRAM) +
                          " --data " QM_BUILD_DIR " --headless --part 4 --ticks " + ticks +
                          " --depth " + depth + " --frames " + native + " --every " + ticks;
    ASSERT_EQ(run_command(command).status, 0);
    std::vector<fs::path> pictures;
    for (const auto &e : fs::directory_iterator(native)) pictures.push_back(e.path());
    ASSERT_FALSE(pictures.empty());
    PngPicture want = read_png(std::max_element(pictures.begin(), pictures.end())->string());

    serve(SITE);
    ASSERT_EQ(open_page("part=4&ticks=" + ticks + "&depth=" + depth + "&nosound&autorun", 300s),
              "0")
        << said("stderr");
    PngPicture got = read_png(reports + "/picture.png");
    ASSERT_EQ(got.width, 512);
    ASSERT_EQ(got.height, 384);
    ASSERT_EQ(got.pixels.size(), want.pixels.size());
    // Each frame is presented to columns 0..510 of rows 64..316; the last column and row keep
    // what the loading screen left there, which depends on how long loading took by the clock.
    size_t differ = 0, black_border = 0;
    for (size_t i = 0; i < got.pixels.size(); i++) {
        size_t x = i / 3 % 512, y = i / 3 / 512;
        differ += x < 511 && y >= 64 && y < 317 && got.pixels[i] != want.pixels[i];
    }
    for (int y : {0, 63, 320, 383})
        for (int x = 0; x < 512; x++)
            for (int c = 0; c < 3; c++)
                black_border += got.pixels[(size_t(y) * 512 + x) * 3 + c] == 0;
    EXPECT_EQ(differ, 0u) << "the page's picture is not the native one";
    EXPECT_EQ(black_border, 4u * 512 * 3) << "the 512 x 256 frame is letterboxed on black";
}

INSTANTIATE_TEST_SUITE_P(BothDepths, RunClick, testing::Values(24, 16));

// A site whose files are the real one's, but for the data file named, which is `bytes` (or
// missing when bytes is empty).
std::string site_with(const std::string &where, const std::string &name, const std::string &bytes) {
    fs::create_directories(where);
    for (const auto &e : fs::directory_iterator(SITE))
        if (e.path().filename() != name)
            fs::create_symlink(e.path(), fs::path(where) / e.path().filename());
    if (!bytes.empty()) write_text(where + "/" + name, bytes);
    return where;
}

TEST_F(Page, DamagedOrMissingDataEndsWithTheProgramsMessage) {
    // A data file cut short: the page shows what the native program says of the same file.
    std::string archive = read_text(std::string(QM_BUILD_DIR) + "/quellmor.dat");
    ASSERT_GT(archive.size(), 4096u);
    std::string damaged = archive.substr(0, archive.size() / 2);
    std::string native = dir + "/native";
    site_with(native, "", "");
    fs::remove(native + "/quellmor.dat");
    write_text(native + "/quellmor.dat", damaged);
    CommandResult native_run =
        run_command(std::string(QM_PROGRAM) + " --headless --data " + native);
    std::string message = program_message(native_run.err);
    ASSERT_NE(native_run.status, 0);
    ASSERT_FALSE(message.empty());
    for (size_t at; (at = message.find(native)) != std::string::npos;)
        message.replace(at, native.size(), "/data");

    serve(site_with(dir + "/damaged", "quellmor.dat", damaged));
    EXPECT_NE(open_page("autorun&nosound", 300s), "0");
    EXPECT_EQ(said("shown"), message);

    // A file the server does not have: the page says which, and nothing runs.
    end_session(&server);
    address.clear();
    fs::remove_all(reports);
    serve(site_with(dir + "/missing", "end.xm", ""));
    EXPECT_NE(open_page("autorun&nosound", 300s), "0");
    EXPECT_EQ(said("shown"), "quellmoor: cannot download end.xm (HTTP 404)");
}

} // namespace
