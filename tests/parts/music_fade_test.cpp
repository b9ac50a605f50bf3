// The music fade's volume ramp, heard through a driver that only records what it is given.

#include "part_fixture.h"
#include "recording_audio.h"
#include "stage/music.h"
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The music volumes the driver was given, in order.
std::vector<int32_t> volumes() {
    std::vector<int32_t> music;
    for (const std::string &c : calls)
        if (c.rfind("volumes ", 0) == 0) music.push_back(std::stoi(c.substr(8)));
    return music;
}

struct MusicFadeTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        ASSERT_EQ(music_init(&recording, 0), 1);
        ASSERT_EQ(music_open("tune.xm", MUSIC_MODULE), 1);
        calls.clear();
    }
    void TearDown() override {
        music_shutdown();
        PartFixture::TearDown();
    }
};

// The volume falls by one per tick from 255 (the driver hears v * 100 / 260, truncated) to
// silence. The part clock runs 1.1 per tick and the part ends once it is past 250.
TEST_F(MusicFadeTest, LowersTheVolumeOnePerTickAndEndsPast250) {
    ASSERT_EQ(music_fade_load(), 1);
    image_fill_rect(FrameBuffer, pixel_rgb(9, 9, 9), 0, 0, 512, 256);
    ASSERT_EQ(frame(music_fade_run, 1.0f), 1); // 254 -> 97.7
    EXPECT_EQ(fb(300, 200), 0u);               // blanked on the first frame
    image_put_pixel(FrameBuffer, pixel_rgb(9, 9, 9), 300, 200);
    ASSERT_EQ(frame(music_fade_run, 100.0f), 1); // 154 -> 59.2; clock 111.1
    ASSERT_EQ(frame(music_fade_run, 125.0f), 1); // 29 -> 11.2; clock 248.6
    ASSERT_EQ(frame(music_fade_run, 1.0f), 1);   // 28 -> 10.8; clock 249.7
    ASSERT_EQ(frame(music_fade_run, 0.5f), 1);   // 27.5 -> 10.6; clock 250.25
    EXPECT_EQ(frame(music_fade_run, 1.0f), 0);
    EXPECT_EQ(volumes(), (std::vector<int32_t>{97, 59, 11, 10, 10}));
    EXPECT_EQ(fb(300, 200), pixel_rgb(9, 9, 9)); // drawn on the first frame only
}

TEST_F(MusicFadeTest, LongFramesGoSilentNotNegative) {
    ASSERT_EQ(music_fade_load(), 1);
    ASSERT_EQ(frame(music_fade_run, 254.5f), 1); // 0.5: under 1 is silence
    EXPECT_EQ(frame(music_fade_run, 1.0f), 0);
    EXPECT_EQ(volumes(), (std::vector<int32_t>{0}));
}

} // namespace
