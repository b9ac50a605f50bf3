// music_test.cpp -- the two modules as files: written the same every time, and loaded, timed and
// rendered by another player without warnings, silence or clipping

#include "data/digest.h"
#include "helpers.h"
#include "music.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string TUNE_RECORD = QM_TEST_DIR "/tools/music/tunes.digests";

// Runs a shell command; gives back its exit status and puts its output (stdout and stderr) in
// *output.
int run(const std::string &command, std::string *output) {
    const CommandResult r = run_command(command + " 2>&1");
    *output = r.out;
    return r.status;
}

// A number after `label` in text (the first of the columns sox stats prints), or NAN.
double number_after(const std::string &text, const std::string &label) {
    size_t at = text.find(label);
    if (at == std::string::npos) return NAN;
    return strtod(text.c_str() + at + label.size(), nullptr);
}

// The modules are written once for the whole suite.
class Modules : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = make_temp_dir();
        std::filesystem::create_directories(dir_ + "/again");
        written_ = forge_music_write(dir_.c_str());
    }
    static void TearDownTestSuite() { remove_tree(dir_); }
    static std::string path(const char *name) { return dir_ + "/" + name; }

    // Renders with a player's command and checks what sox measures: peak at most -1 dBFS and
    // a level well above silence. The player must not complain.
    static void check_render(const std::string &command, const std::string &wav) {
        std::string out;
        ASSERT_EQ(run(command, &out), 0) << command << "\n" << out;
        EXPECT_EQ(out.find("arning"), std::string::npos) << out;
        EXPECT_EQ(out.find("rror"), std::string::npos) << out;
        ASSERT_EQ(run("sox " + wav + " -n stats", &out), 0) << out;
        double peak = number_after(out, "Pk lev dB"), rms = number_after(out, "RMS lev dB");
        EXPECT_LE(peak, -1.0) << wav << "\n" << out;
        EXPECT_GT(rms, -30.0) << wav << "\n" << out;
    }

    static std::string dir_;
    static bool written_;
};

std::string Modules::dir_;
bool Modules::written_ = false;

} // namespace

// Byte for byte as recorded: the tunes are the synthesiser's, the score's and the writer's
// whole output. `make digests` rewrites the record when they are meant to change.
TEST_F(Modules, AreWrittenTheSameEveryTimeAndAsRecorded) {
    ASSERT_TRUE(written_);
    std::string again = path("again");
    ASSERT_TRUE(forge_music_write((again + "/").c_str())); // a trailing slash is fine
    std::string got = "# The forge's tunes: file, XXH64. Rewritten by `make digests`.\n";
    for (const char *name : {"quellmor.xm", "end.xm"}) {
        std::string first = read_text(path(name)), second = read_text(again + "/" + name);
        EXPECT_TRUE(first == second) << name;
        char digest[17];
        std::snprintf(digest, sizeof digest, "%016llx",
                      static_cast<unsigned long long>(digest_bytes(first.data(), first.size(), 0)));
        got += std::string(name) + " " + digest + "\n";
    }
    const char *update = std::getenv("QM_UPDATE_DIGESTS");
    if (update && *update && std::string(update) != "0") write_text(TUNE_RECORD, got);
    EXPECT_EQ(got, read_text(TUNE_RECORD));
}

TEST_F(Modules, OpenMptLoadsAndRendersThemAtTheirLengths) {
    std::string out;
    if (run("command -v openmpt123 && command -v sox", &out) != 0)
        GTEST_SKIP() << "openmpt123 or sox missing";
    ASSERT_TRUE(written_);
    struct {
        const char *name;
        double low, high;
    } lengths[] = {{"quellmor.xm", 255.0, 290.0}, {"end.xm", 60.0, 100.0}};
    for (const auto &l : lengths) {
        ASSERT_EQ(run("openmpt123 --info " + path(l.name), &out), 0) << out;
        EXPECT_NE(out.find("FastTracker 2"), std::string::npos) << out;
        size_t at = out.find("Duration...: ");
        ASSERT_NE(at, std::string::npos) << out;
        int minutes = 0;
        double seconds = 0.0;
        ASSERT_EQ(sscanf(out.c_str() + at + 13, "%d:%lf", &minutes, &seconds), 2) << out;
        EXPECT_GE(minutes * 60 + seconds, l.low) << l.name;
        EXPECT_LE(minutes * 60 + seconds, l.high) << l.name;
        check_render("openmpt123 --quiet --render --force " + path(l.name), path(l.name) + ".wav");
    }
}
