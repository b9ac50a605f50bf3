// Tests of recording: the streams ffmpeg writes, the music in step with the ticks, failures.

#include "platform/audio.h"
#include "platform/video.h"
#include "shell/record.h"
#include "shell/sequencer.h"
#include "show_files.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/music.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// What ffprobe says of one stream.
struct Stream {
    std::string type;
    int width = 0, height = 0;
    long frames = 0;
    double start = 0.0, seconds = 0.0;
    double end() const { return start + seconds; }
};

std::vector<Stream> probe(const std::string &path) {
    std::istringstream lines(run_command("ffprobe -v error -count_frames -show_entries "
                                         "stream=codec_type,width,height,nb_read_frames,"
                                         "start_time,duration "
                                         "-of csv=p=0 '" +
                                         path + "'")
                                 .out);
    std::vector<Stream> streams;
    for (std::string line; std::getline(lines, line);) {
        Stream s;
        // Fields a container does not give (Matroska's stream durations) read "N/A": 0 here.
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        auto number = [&](size_t i) { return i < f.size() ? std::atof(f[i].c_str()) : 0.0; };
        size_t at = f.size() == 6 ? 3 : 1; // after the width and height of a video stream
        if (f.empty() || (f.size() != 6 && f.size() != 4)) continue;
        s.type = f[0];
        s.width = int(number(1)), s.height = int(number(2));
        s.start = number(at), s.seconds = number(at + 1), s.frames = long(number(at + 2));
        streams.push_back(s);
    }
    return streams;
}

// One line of ffprobe's answer for the file's first video stream or its container: "a,b,c".
std::string probe_entries(const std::string &path, const std::string &entries) {
    std::string text = run_command("ffprobe -v error -select_streams v:0 -show_entries " + entries +
                                   " -of csv=p=0 '" + path + "'")
                           .out;
    while (!text.empty() && (text.back() == '\n' || text.back() == ',')) text.pop_back();
    return text;
}

// The names in a folder, sorted.
std::vector<std::string> folder_names(const std::string &dir) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

bool no_child_left() {
    errno = 0;
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// The recording's sound decoded to 48 kHz stereo.
std::vector<int16_t> decode_audio(const std::string &path) {
    std::string raw =
        run_command("ffmpeg -v error -i '" + path + "' -f s16le -ac 2 -ar 48000 -").out;
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

// The red byte at the middle of every frame of the recording, enlarged twice: the frames the
// file holds, none repeated to fill the audio's lead-in.
std::vector<int> middle_reds(const std::string &path) {
    std::string raw = run_command("ffmpeg -v error -i '" + path +
                                  "' -vsync passthrough -f rawvideo -pix_fmt rgb24 -")
                          .out;
    std::vector<int> reds;
    const size_t frame = 1024 * 768 * 3, middle = (384 * 1024 + 512) * 3;
    for (size_t at = 0; at + frame <= raw.size(); at += frame)
        reds.push_back(uint8_t(raw[at + middle]));
    return reds;
}

double loudness(const std::vector<int16_t> &s, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to && i < s.size(); i++) sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

constexpr int SAMPLES_PER_TICK = 672;        // 14 ms at 48 kHz
constexpr double FRAME_SECONDS = 0.014;      // one frame of the video
constexpr size_t CODEC_SLACK = 2 * 1024 * 2; // two AAC frames, both channels
constexpr int RED_STEP = 8;                  // red byte per tick (mod 256) in the test's frames

struct RecordTest : testing::Test {
    TempDir dir;
    std::string path = dir + "/show.mp4";
    void SetUp() override {
        if (!have_program("ffmpeg") || !have_program("ffprobe"))
            GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_NO_FATAL_FAILURE(open_headless_stage());
        sequencer_reset();
    }
    void TearDown() override {
        record_finish(0);
        music_shutdown();
        close_headless_stage();
    }
    // The forge's tune through the offline driver; skips the test without it.
    bool load_music() {
        music_set_dir(QM_BUILD_DIR);
        if (access(QM_BUILD_DIR "/quellmor.xm", R_OK) != 0) return false;
        return music_init(&audio_offline, 0) && music_load("quellmor.xm");
    }
    // One frame as the show makes it: the parts' music calls, the tick, the present, the hook.
    void frame(int tick, int music_at) {
        if (tick == music_at) {
            music_play();
            music_set_volume(255.0f);
        }
        // Each frame's red byte says which tick drew it.
        image_fill_rect(FrameBuffer, pixel_rgb(uint8_t(tick * RED_STEP), 80, 160), 0, 0, 512, 256);
        clock_step();
        clock_update();
        display_device->present(FrameBuffer, 0, 1, 511, 254, 0, 64);
        record_capture();
    }
    int record(int ticks, int music_at, int scale) {
        RecordSettings settings = {path.c_str(), scale, AUDIO_OFFLINE_RATE, 1};
        if (!record_start(&settings)) return 0;
        for (int t = 0; t < ticks && !sequencer.quit_requested; t++) frame(t, music_at);
        return record_finish(1);
    }
};

// Enlarged twice, with the forge's tune when it is there: silent until the music is played.
TEST_F(RecordTest, EachTickIsOneFrameAndTheMusicStartsAtItsTick) {
    const bool music = load_music();
    const int ticks = 60, music_at = 20;
    ASSERT_EQ(record(ticks, music_at, 2), 1);
    std::vector<Stream> streams = probe(path);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].type, "video");
    EXPECT_EQ(streams[0].width, 1024);
    EXPECT_EQ(streams[0].height, 768);
    EXPECT_EQ(streams[0].frames, ticks);
    EXPECT_NEAR(streams[0].seconds, ticks * FRAME_SECONDS, FRAME_SECONDS);
    EXPECT_EQ(streams[1].type, "audio");
    // The AAC encoder's lead-in starts before the picture and is not played: both end together.
    EXPECT_NEAR(streams[0].start, 0.0, 1e-6);
    EXPECT_NEAR(streams[1].end(), streams[0].end(), FRAME_SECONDS);
    std::vector<int> reds = middle_reds(path);
    ASSERT_EQ(reds.size(), size_t(ticks));
    for (int t = 0; t < ticks; t++) {
        int off = (reds[t] - t * RED_STEP) & 255; // the colours and the codec lose a few steps
        EXPECT_TRUE(off <= RED_STEP / 2 || off >= 256 - RED_STEP / 2) << "frame " << t;
    }

    std::vector<int16_t> sound = decode_audio(path);
    size_t start = size_t(music_at) * SAMPLES_PER_TICK * 2;
    EXPECT_NEAR(double(sound.size()), double(ticks * SAMPLES_PER_TICK * 2), CODEC_SLACK);
    EXPECT_LT(loudness(sound, 0, start - CODEC_SLACK), 4.0) << "music before it was played";
    double after = loudness(sound, start + CODEC_SLACK, sound.size());
    EXPECT_TRUE(music ? after > 100.0 : after == 0.0) << after;
}

// The folder is tried before the show starts: nothing is started, and it is named with the
// system's reason.
TEST_F(RecordTest, AMissingFolderIsRefusedBeforeTheShowStarts) {
    path = dir + "/no/such/folder/show.mp4";
    RecordSettings settings = {path.c_str(), 1, AUDIO_OFFLINE_RATE, 1};
    testing::internal::CaptureStderr();
    EXPECT_EQ(record_start(&settings), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(dir + "/no/such/folder: No such file or directory"), std::string::npos)
        << err;
    EXPECT_TRUE(no_child_left());
}

// The user's file stays as it was, byte for byte, unless a recording ends well; ffmpeg's own
// reason is given when it fails part-way (here a file size limit in place of a full disk), and
// nothing of ours is left in the folder.
TEST_F(RecordTest, AnEarlierFileIsReplacedOnlyByARecordingThatEndedWell) {
    const std::string precious = "precious\n";
    write_text(path, precious);
    RecordSettings settings = {path.c_str(), 1, AUDIO_OFFLINE_RATE, 1};
    // The show fails before it begins, or part-way.
    for (int outcome : {RECORD_DISCARD, RECORD_CUT}) {
        ASSERT_EQ(record_start(&settings), 1);
        for (int t = 0; t < 5; t++) frame(t, -1);
        EXPECT_EQ(record_finish(outcome), 0);
        EXPECT_EQ(read_text(path), precious);
        EXPECT_EQ(folder_names(dir), std::vector<std::string>{"show.mp4"});
    }
    // ffmpeg cannot write all of it: the limit is ffmpeg's, set while it starts.
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = {60000, old.rlim_max};
    auto *xfsz = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    int started = record_start(&settings);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, xfsz);
    ASSERT_EQ(started, 1);
    testing::internal::CaptureStderr();
    for (int t = 0; t < 3000 && !sequencer.quit_requested; t++) frame(t, -1);
    EXPECT_EQ(record_finish(RECORD_COMPLETE), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("recording " + path + " failed: "), std::string::npos) << err;
    EXPECT_NE(err.find("File too large"), std::string::npos) << err;
    EXPECT_EQ(err.find("part-"), std::string::npos) << "the temporary name is shown: " << err;
    EXPECT_EQ(read_text(path), precious);
    EXPECT_EQ(folder_names(dir), std::vector<std::string>{"show.mp4"});
    EXPECT_TRUE(no_child_left());
    // A recording that ends well replaces it, and says so.
    sequencer_reset();
    testing::internal::CaptureStderr();
    EXPECT_EQ(record(20, -1, 1), 1);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(path + " was replaced"), std::string::npos) << err;
    EXPECT_EQ(probe(path).size(), 2u);
    EXPECT_EQ(folder_names(dir), std::vector<std::string>{"show.mp4"});
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::others_read)
        << "the file keeps the temporary file's private mode";
}

// An ffmpeg that gives up without ending (it stops reading, having said why) does not hold the
// show: the recording fails with its reason, and the child is stopped and reaped.
TEST_F(RecordTest, AnFfmpegThatStopsReadingWithoutEndingIsGivenUpOn) {
    const std::string bin = dir + "/bin", old_path = std::getenv("PATH");
    std::filesystem::create_directory(bin);
    write_text(bin + "/ffmpeg", "#!/bin/sh\necho 'Error writing trailer: No space left on "
                                "device' >&2\nexec sleep 600\n");
    std::filesystem::permissions(bin + "/ffmpeg", std::filesystem::perms::owner_all);
    setenv("PATH", (bin + ":" + old_path).c_str(), 1);
    testing::internal::CaptureStderr();
    int recorded = record(3000, -1, 1);
    std::string err = testing::internal::GetCapturedStderr();
    setenv("PATH", old_path.c_str(), 1);
    EXPECT_EQ(recorded, 0);
    EXPECT_EQ(sequencer.quit_requested, 1) << "the show was not asked to end";
    EXPECT_NE(err.find("failed: Error writing trailer: No space left on device"), std::string::npos)
        << err;
    EXPECT_TRUE(no_child_left());
    EXPECT_EQ(folder_names(dir), std::vector<std::string>{"bin"});
}

// .mp4 and .mkv get their own containers, tagged BT.709; a file cut short (a full disk, a killed
// encoder) still plays up to near where it was cut.
TEST_F(RecordTest, TheNameChoosesTheContainerAndACutFileStillPlays) {
    const int ticks = 300;
    for (const char *name : {"show.mp4", "cut.MKV"}) {
        SCOPED_TRACE(name);
        path = dir + "/" + name;
        sequencer_reset();
        ASSERT_EQ(record(ticks, -1, 1), 1);
        EXPECT_EQ(probe_entries(path, "stream=color_space,color_primaries,color_transfer"),
                  "bt709,bt709,bt709");
        bool mp4 = name[5] == 'm';
        std::string format = run_command("ffprobe -v error -show_entries format=format_name "
                                         "-of csv=p=0 '" +
                                         path + "'")
                                 .out;
        EXPECT_NE(format.find(mp4 ? "mp4" : "matroska"), std::string::npos) << format;
        std::string bytes = read_text(path);
        write_text(dir + "/half", bytes.substr(0, bytes.size() / 2));
        std::vector<Stream> streams = probe(dir + "/half");
        ASSERT_FALSE(streams.empty()) << "half of " << name << " does not play";
        // The clock runs on from the first file: the second starts with its ticks repeated.
        const long whole = probe(path).at(0).frames;
        EXPECT_GE(whole, ticks);
        EXPECT_GT(streams[0].frames, whole / 4);
        EXPECT_LT(streams[0].frames, whole);
    }
}

TEST(RecordSamples, AreCountedFromTheTickSoNothingDrifts) {
    EXPECT_EQ(record_samples_at(100000, 48000), 67200000);
    // 617.4 per tick at 44.1 kHz: rounded down at each tick, never accumulated.
    EXPECT_EQ(record_samples_at(5, 44100), 3087);
}

TEST(RecordProgram, AMissingFfmpegIsNamedAndFails) {
    TempDir dir;
    CommandResult r =
        run_command("env PATH=" + dir + " " QM_PROGRAM " --record " + dir + "/x.mp4 --data " + dir);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("package \"ffmpeg\""), std::string::npos) << r.err;
}

// The name is checked before anything starts; a data failure leaves an earlier file as it was.
TEST(RecordProgram, ABadNameOrADataFailureLeavesAnEarlierFileAsItWas) {
    TempDir dir;
    if (!have_program("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    CommandResult r = run_command(QM_PROGRAM " --record " + dir + "/show.avi");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(".mp4 or a .mkv"), std::string::npos) << r.err;
    const std::string keep = dir + "/keep.mp4", precious = "precious\n";
    write_text(keep, precious);
    std::filesystem::create_directory(dir + "/empty");
    r = run_command(QM_PROGRAM " --record " + keep + " --ticks 10 --data " + dir + "/empty");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quellmoor: no quellmor.dat in " + dir +
                         "/empty (looked for data\\bardown.tga too)\n");
    EXPECT_EQ(read_text(keep), precious);
    EXPECT_EQ(folder_names(dir), (std::vector<std::string>{"empty", "keep.mp4"}));
}

// Ctrl-C closes ffmpeg's input, so what was recorded so far is a playable file, which replaces
// the earlier one.
TEST(RecordProgram, AnInterruptedRecordingKeepsWhatWasRecorded) {
    TempDir dir;
    const std::string path = dir + "/cut.mp4";
    if (!have_program("ffmpeg") || !have_program("ffprobe") ||
        !copy_forge_data(QM_BUILD_DIR "/forge", dir))
        GTEST_SKIP() << "no ffmpeg, or the forge has not made the show's data";
    for (const char *tune : {"quellmor.xm", "end.xm"})
        std::filesystem::copy_file(std::string(QM_BUILD_DIR "/") + tune, dir + "/" + tune);
    write_text(path, "precious\n");
    pid_t show = start_program(QM_PROGRAM, {"--record", path, "--data", dir}, dir + "/log.txt");
    // Well into the loading screen's dissolve or the show.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    int status = stop_program(show, SIGINT);
    const std::string log = read_text(dir + "/log.txt");
    EXPECT_EQ(status, 128 + SIGINT) << log;
    EXPECT_NE(log.find("so far is in " + path), std::string::npos) << log;
    EXPECT_NE(log.find(path + " was replaced"), std::string::npos) << log;
    std::vector<Stream> streams = probe(path);
    ASSERT_EQ(streams.size(), 2u) << "ffprobe cannot read " << path;
    EXPECT_GT(streams[0].frames, 10);
}

} // namespace
