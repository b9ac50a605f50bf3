// Tests of the music calls against the recording audio driver.

#include "recording_audio.h"
#include "stage/music.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

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
