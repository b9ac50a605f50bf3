// Tests of the music calls against a recording audio driver.

#include "platform/audio.h"
#include "stage/music.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;

void log_call(const std::string &c) {
    calls.push_back(c);
}

const AudioDriver recording = {
    "recording",
    [](int32_t i) -> const char * { return i == 0 ? "Speakers" : nullptr; },
    [](int32_t device, int32_t rate) {
        log_call("init " + std::to_string(device) + " " + std::to_string(rate));
        return 1;
    },
    [] { return log_call("start"), 1; },
    [] { return log_call("stop"), 1; },
    [] { log_call("free"); },
    [](const char *path) -> AudioHandle {
        log_call(std::string("music_load ") + path);
        return std::string(path).find("missing") == std::string::npos ? 7 : 0;
    },
    [](AudioHandle h) { return log_call("music_play " + std::to_string(h)), 1; },
    [](AudioHandle h) { log_call("music_free " + std::to_string(h)); },
    [](const char *path) -> AudioHandle { return log_call(std::string("stream_load ") + path), 9; },
    [](AudioHandle h) { return log_call("stream_play " + std::to_string(h)), 1; },
    [](AudioHandle h) { log_call("stream_free " + std::to_string(h)); },
    [](int32_t m, int32_t s, int32_t st) {
        log_call("volumes " + std::to_string(m) + " " + std::to_string(s) + " " +
                 std::to_string(st));
    },
};

using Calls = std::vector<std::string>;

struct MusicTest : testing::Test {
    void SetUp() override {
        ASSERT_EQ(music_init(&recording, 0), 1);
        calls.clear();
    }
    void TearDown() override {
        music_shutdown();
        music_set_dir(nullptr);
    }
};

// Modules get the music volume, streams the stream volume. The factor is a hair below
// 100 / 260, so exact multiples land one lower.
TEST_F(MusicTest, VolumeIsScaledTo100Over260) {
    music_set_volume(255.0f); // nothing plays yet: no call
    EXPECT_EQ(calls, Calls{});
    ASSERT_EQ(music_load("quellmor.xm"), 1);
    music_play();
    EXPECT_EQ(music_kind, MUSIC_MODULE);
    calls.clear();
    music_set_volume(255.0f);
    music_set_volume(27.9f);
    music_set_volume(0.0f);
    EXPECT_EQ(calls, (Calls{"volumes 98 0 0", "volumes 10 0 0", "volumes 0 0 0"}));
    ASSERT_EQ(music_open("end.ogg", MUSIC_STREAM), 1);
    EXPECT_EQ(music_kind, MUSIC_STREAM);
    calls.clear();
    music_set_volume(130.0f);
    EXPECT_EQ(calls, Calls{"volumes 0 0 49"});
}

TEST_F(MusicTest, TheEndTuneReplacesTheFirst) {
    music_set_dir("/data");
    ASSERT_EQ(music_load("quellmor.xm"), 1);
    music_play();
    music_release_and_restart();
    ASSERT_EQ(music_open("end.xm", MUSIC_MODULE), 1);
    music_shutdown();
    EXPECT_EQ(calls, (Calls{"music_load /data/quellmor.xm", "music_play 7", "stop", "music_free 7",
                            "start", "music_load /data/end.xm", "music_play 7", "stop",
                            "music_free 7", "free"}));
}

TEST_F(MusicTest, AMissingFileLeavesTheShowSilent) {
    EXPECT_EQ(music_load("missing.xm"), 0);
    music_play();
    EXPECT_EQ(music_kind, MUSIC_NONE);
    music_set_volume(255.0f);
    music_release_and_restart(); // nothing plays: nothing to release
    music_shutdown();            // the device is still closed
    EXPECT_EQ(calls, (Calls{"music_load missing.xm", "free"}));
}

} // namespace
