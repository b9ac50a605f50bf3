// Tests of the closing part where the show does not go: its first call, a long frame, files
// that are missing or wrong. The show's digests pin its frames.

#include "data/memory.h"
#include "part_fixture.h"
#include "parts/end.h"
#include "platform/audio.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/music.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

struct EndTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        end_reset();
    }
    void TearDown() override {
        end_reset();
        PartFixture::TearDown();
    }
    // The first call, which loads: it must end the part, reporting one fault that names `what`.
    void expect_refused(const std::string &what) {
        end_reset();
        mem_free_all(); // the registry holds a few thousand blocks: not enough for every load
        make_stage();
        fault_reset();
        testing::internal::CaptureStderr();
        EXPECT_EQ(frame(end_run, 0), 0) << what;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(what), std::string::npos) << err;
        EXPECT_EQ(fault_count(), 1) << what;
        EXPECT_EQ(end_state()->loaded, 0);
        EXPECT_EQ(end_scene(), nullptr);
    }
};

TEST_F(EndTest, FirstCallLoadsAndLeavesTheScreenBlack) {
    image_fill_rect(FrameBuffer, pixel_rgb(9, 8, 7), 0, 0, 512, 256);
    ASSERT_EQ(frame(end_run, 500), 1); // however long the loading took
    EXPECT_EQ(display_brightness, 0);
    EXPECT_EQ(fb(300, 200), pixel_rgb(9, 8, 7)); // nothing drawn
    const EndState *s = end_state();
    EXPECT_EQ(s->loaded, 1);
    EXPECT_EQ(s->scroll, -256.0f);
    EXPECT_EQ(s->clock, 0.0f);
    EXPECT_EQ(s->volume, 0.0f);
    EXPECT_EQ(fault_count(), 0); // no sound device: the music is not a fault
}

TEST_F(EndTest, ALongFrameJumpsStraightToTheHeldLevel) {
    ASSERT_EQ(frame(end_run, 0), 1);
    ASSERT_EQ(frame(end_run, 300), 1); // 240 at once
    EXPECT_EQ(display_brightness, 240);
    ASSERT_EQ(frame(end_run, 1), 1);
    EXPECT_EQ(display_brightness, 216);
    EXPECT_EQ(end_state()->volume, 150.5f);
}

TEST_F(EndTest, AMissingOrDamagedFileOrASceneWithoutALightEndsThePartWithAReport) {
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(data)) {
        const std::string name = entry.path().filename();
        if (name.rfind("end", 0) != 0) continue;
        SCOPED_TRACE(name);
        write_data(name, "damaged");
        expect_refused(name);
        std::filesystem::remove(entry.path());
        expect_refused(name);
        restore_data(name);
        files++;
    }
    EXPECT_GE(files, 7);
    write_data("endscene.lws", without_lights(read_data("endscene.lws")));
    expect_refused("endscene.lws");
}

// With sound on, an end tune that cannot be played ends the part (and so the show) at once with
// one report, instead of a silent minute that ends in a failure anyway.
TEST_F(EndTest, AnEndTuneThatCannotBePlayedEndsThePartAtOnce) {
    ASSERT_EQ(music_init(&audio_offline, 0), 1);
    music_set_dir(dir.c_str());
    write_text(dir + "/end.xm", "Extended Module: cut short");
    fault_reset();
    testing::internal::CaptureStderr();
    EXPECT_EQ(frame(end_run, 0), 0);
    std::string err = testing::internal::GetCapturedStderr();
    music_shutdown();
    music_set_dir(nullptr);
    EXPECT_EQ(fault_count(), 1);
    EXPECT_NE(err.find("end.xm"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(display_brightness, 0);
}

} // namespace
