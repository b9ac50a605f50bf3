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

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
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
    double seconds = 0.0;
};

std::vector<Stream> probe(const std::string &path) {
    std::istringstream lines(run_command("ffprobe -v error -count_frames -show_entries "
                                         "stream=codec_type,width,height,nb_read_frames,duration "
                                         "-of csv=p=0 '" +
                                         path + "'")
                                 .out);
    std::vector<Stream> streams;
    for (std::string line; std::getline(lines, line);) {
        Stream s;
        if (std::sscanf(line.c_str(), "video,%d,%d,%lf,%ld", &s.width, &s.height, &s.seconds,
                        &s.frames) == 4)
            s.type = "video";
        else if (std::sscanf(line.c_str(), "audio,%lf,%ld", &s.seconds, &s.frames) == 2)
            s.type = "audio";
        streams.push_back(s);
    }
    return streams;
}

// The recording's sound decoded to 48 kHz stereo.
std::vector<int16_t> decode_audio(const std::string &path) {
    std::string raw =
        run_command("ffmpeg -v error -i '" + path + "' -f s16le -ac 2 -ar 48000 -").out;
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

// The red byte at the middle of every frame of the recording, enlarged twice.
std::vector<int> middle_reds(const std::string &path) {
    std::string raw =
        run_command("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt rgb24 -").out;
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
    EXPECT_NEAR(streams[1].seconds, streams[0].seconds, FRAME_SECONDS);
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

TEST_F(RecordTest, AFailedFfmpegEndsTheShowWithAReasonAndIsReaped) {
    path = dir + "/no/such/folder/show.mp4";
    testing::internal::CaptureStderr();
    int ok = record(2000, -1, 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(sequencer.quit_requested, 1) << "the show was not asked to end";
    EXPECT_NE(err.find(path + " failed"), std::string::npos) << err;
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child is left";
    EXPECT_EQ(errno, ECHILD);
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

// Ctrl-C closes ffmpeg's input, so what was recorded so far is a playable file.
TEST(RecordProgram, AnInterruptedRecordingKeepsWhatWasRecorded) {
    TempDir dir;
    const std::string path = dir + "/cut.mp4";
    if (!have_program("ffmpeg") || !have_program("ffprobe") ||
        !copy_forge_data(QM_BUILD_DIR "/forge", dir))
        GTEST_SKIP() << "no ffmpeg, or the forge has not made the show's data";
    pid_t show = start_program(QM_PROGRAM, {"--record", path, "--data", dir}, dir + "/log.txt");
    // Well into the loading screen's dissolve or the show.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    int status = stop_program(show, SIGINT);
    const std::string log = read_text(dir + "/log.txt");
    EXPECT_EQ(status, 128 + SIGINT) << log;
    EXPECT_NE(log.find("so far is in " + path), std::string::npos) << log;
    std::vector<Stream> streams = probe(path);
    ASSERT_EQ(streams.size(), 2u) << "ffprobe cannot read " << path;
    EXPECT_GT(streams[0].frames, 10);
}

} // namespace
