// digest_test.cpp -- every frame of the headless show against the committed record of it.
//
// The program writes a digest of the frame buffer at every tick (--digests). The record in
// tests/shell/show.digests folds them into one digest per part and one per 100 ticks, each
// block with the low byte of every tick's own digest, so a mismatch names the first tick that
// moved. tests/shell/screen.digests pins what present makes of frames, at both depths.
//
// When pixels are meant to change, `make digests` rewrites both records (it runs these tests
// with QM_UPDATE_DIGESTS=1); the commit says why they moved.

#include "data/digest.h"
#include "show_files.h"
#include "show_record.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string SHOW_RECORD = QM_TEST_DIR "/shell/show.digests";
const std::string SCREEN_RECORD = QM_TEST_DIR "/shell/screen.digests";

bool updating() {
    const char *v = std::getenv("QM_UPDATE_DIGESTS");
    return v && *v && std::string(v) != "0";
}

void write_record(const std::string &path, const std::string &header,
                  const std::vector<std::string> &lines) {
    std::ofstream out(path);
    out << header;
    for (const auto &line : lines) out << line << "\n";
}

// The first tick of a "ticks" line whose own digest differs from the other line's, by the low
// bytes each keeps; -1 when the lines are not comparable blocks.
int first_moved_tick(const std::string &got, const std::string &want) {
    std::istringstream a(got), b(want);
    std::string word_a, word_b, digest_a, digest_b, bytes_a, bytes_b;
    int first_a = -1, first_b = -1;
    a >> word_a >> first_a >> digest_a >> bytes_a;
    b >> word_b >> first_b >> digest_b >> bytes_b;
    if (word_a != "ticks" || word_b != "ticks" || first_a != first_b) return -1;
    for (size_t i = 0; i + 2 <= std::min(bytes_a.size(), bytes_b.size()); i += 2)
        if (bytes_a.compare(i, 2, bytes_b, i, 2) != 0) return first_a + int(i / 2);
    return first_a; // same bytes, other digest: somewhere in the block
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int RUN_SECONDS = 1800;
#else
constexpr int RUN_SECONDS = 900;
#endif

struct ShowDigests : testing::Test {
    TempDir dir;
    // The show as built: the archive the forge's data was packed into, beside the program.
    std::string program(const std::string &args) {
        return "timeout " + std::to_string(RUN_SECONDS) +
               " " QM_PROGRAM " --data " QM_BUILD_DIR " " + args;
    }
    std::vector<Frame> play() {
        std::string list = dir + "/digests.txt";
        CommandResult r = run_command(program("--digests " + list));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return read_frames(read_text(list));
    }
    // Writes the screen shown at tick to a PNG beside the build, for a person to look at.
    std::string keep_frame(int tick) {
        std::string out = QM_BUILD_DIR "/digest-mismatch", at = std::to_string(tick);
        std::filesystem::create_directories(out);
        run_command(program("--headless --ticks " + std::to_string(tick + 1) + " --frames " + out +
                            " --at " + at));
        return frame_file(out, tick);
    }
};

TEST_F(ShowDigests, EveryFrameOfTheWholeShowIsAsRecorded) {
    std::vector<Frame> frames = play();
    ASSERT_GT(frames.size(), 20000u);
    for (size_t i = 1; i < frames.size(); i++) {
        ASSERT_EQ(frames[i].tick, frames[i - 1].tick + 1) << "one frame per tick, headless";
        ASSERT_GE(frames[i].part, frames[i - 1].part) << "the parts play in order";
    }
    EXPECT_EQ(frames.front().part, 0);
    EXPECT_EQ(frames.back().part, 12);
    std::vector<std::string> got = fold_show(frames);
    if (updating()) {
        write_record(SHOW_RECORD,
                     "# Digests of every frame of the headless show: per part (part, first and "
                     "last tick, digest)\n# and per 100 ticks (first tick, digest, the low byte "
                     "of each tick's digest).\n# Rewritten by `make digests`; a commit that "
                     "changes it says why the pixels moved.\n",
                     got);
        return;
    }
    std::vector<std::string> want = record_lines(SHOW_RECORD);
    ASSERT_FALSE(want.empty()) << SHOW_RECORD << " is missing; `make digests` writes it";
    if (got == want) return;
    // The first part that differs, then the first block and tick within it.
    std::string moved_part;
    for (size_t i = 0; i < std::min(got.size(), want.size()) && moved_part.empty(); i++)
        if (got[i] != want[i] && got[i].rfind("part", 0) == 0) moved_part = got[i];
    int tick = -1;
    for (size_t i = 0; i < std::min(got.size(), want.size()) && tick < 0; i++)
        if (got[i] != want[i]) tick = first_moved_tick(got[i], want[i]);
    std::string png = tick >= 0 ? keep_frame(tick) : "";
    ADD_FAILURE() << "the show's frames moved: first in " << moved_part << "; first tick " << tick
                  << " (the screen is in " << png << ", compare it with tick " << tick
                  << " of the build that wrote " << SHOW_RECORD << ")";
}

// The loading screen's dissolve (whose last rows stay below the show), the portrait in its
// flash (brightness above neutral) and at rest; --ticks ends the run after the last of them.
const int SCREEN_TICKS[] = {100, 250, 400};

TEST_F(ShowDigests, PresentShowsTheFramesAsRecordedAtBothDepths) {
    std::vector<std::string> got;
    for (int depth : {16, 24}) {
        std::string frames = dir + "/frames" + std::to_string(depth);
        run_command(program("--headless --part 4 --ticks 401 --depth " + std::to_string(depth) +
                            " --frames " + frames + " --at 100,250,400"));
        for (int tick : SCREEN_TICKS) {
            PngPicture screen = read_png(frame_file(frames, tick));
            ASSERT_TRUE(screen.width == 512 && screen.height == 384) << frame_file(frames, tick);
            const std::vector<uint8_t> &rgb = screen.pixels;
            got.push_back(std::to_string(depth) + " " + std::to_string(tick) + " " +
                          hex(digest_bytes(rgb.data(), rgb.size(), 0)));
        }
    }
    if (updating()) {
        write_record(SCREEN_RECORD,
                     "# Digests of the screens written by --frames (8-bit RGB) in a run from "
                     "part 4: depth, tick, digest.\n# Rewritten by `make digests`.\n",
                     got);
        return;
    }
    EXPECT_EQ(got, record_lines(SCREEN_RECORD));
}

} // namespace
