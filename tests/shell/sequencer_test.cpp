// Tests of the main loop on the headless screen and the stepped clock, with parts of its own.

#include "data/memory.h"
#include "stage/stage.h"
#include "platform/video.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "shell/sequencer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// What each test part did: calls per part, and after how many calls it ends (0 = never).
int calls[PART_END + 1];
int ends_after[PART_END + 1];

template <int N> int test_part() {
    calls[N]++;
    // Each part paints its number, so the screen shows which part drew the frame.
    image_fill_rect(FrameBuffer, pixel_rgb(N * 10, 0, 0), 0, 0, 512, 256);
    return ends_after[N] == 0 || calls[N] < ends_after[N];
}

const PartRun all_parts[PART_END + 1] = {nullptr,       test_part<1>, test_part<2>,  test_part<3>,
                                         test_part<4>,  test_part<5>, test_part<6>,  test_part<7>,
                                         test_part<8>,  test_part<9>, test_part<10>, test_part<11>,
                                         test_part<12>, nullptr};

const PartRun sparse_parts[PART_END + 1] = {nullptr, nullptr, test_part<2>,  nullptr, nullptr,
                                            nullptr, nullptr, nullptr,       nullptr, nullptr,
                                            nullptr, nullptr, test_part<12>, nullptr};

struct SequencerTest : testing::Test {
    void SetUp() override {
        ASSERT_NE(display_open(512, 384, 24, DISPLAY_CREATE, &video_headless), nullptr);
        FrameBuffer = image_create(512, 256, IMG_DEPTH | 7);
        ASSERT_NE(FrameBuffer, nullptr);
        ASSERT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 1);
        sequencer_reset();
        sequencer_use_parts(all_parts);
        for (int i = 0; i <= PART_END; i++) calls[i] = ends_after[i] = 0;
    }
    void TearDown() override {
        sequencer_use_parts(nullptr);
        clock_stop();
        display_device->close();
        mem_free_all();
    }
    static void press(int32_t key) {
        VideoEvent e = {VIDEO_EVENT_KEY_DOWN, key};
        video_headless_push(&e);
    }
    static void release(int32_t key) {
        VideoEvent e = {VIDEO_EVENT_KEY_UP, key};
        video_headless_push(&e);
    }
    static void click() {
        VideoEvent e = {VIDEO_EVENT_MOUSE_DOWN, 0};
        video_headless_push(&e);
    }
    // The red byte the shown frame has at the middle of the screen (a part number * 10).
    static int shown_part() {
        static std::vector<uint8_t> rgb(512 * 384 * 3);
        display_read_screen(rgb.data());
        return (rgb[(200 * 512 + 256) * 3] + 1) / 10; // 10 * N shows as 10 * N - 1
    }
};

TEST_F(SequencerTest, PartsPlayInOrderAndTheShowEndsAfterTheLast) {
    for (int i = 1; i <= PART_COUNT; i++) ends_after[i] = 3;
    int frames = 0;
    while (!sequencer.quit_requested && frames < 1000) {
        ASSERT_EQ(sequencer_frame(0), 1);
        frames++;
    }
    for (int i = 1; i <= PART_COUNT; i++) EXPECT_EQ(calls[i], 3) << "part " << i;
    // 36 frames of parts, then one frame at index 13 that is still presented.
    EXPECT_EQ(frames, 37);
    EXPECT_EQ(sequencer.part_index, PART_END);
    EXPECT_EQ(tick_count.load(), 37);
}

TEST_F(SequencerTest, EmptySlotsArePassedOverAtOnce) {
    sequencer_use_parts(sparse_parts);
    ends_after[2] = 2;
    ends_after[12] = 1;
    sequencer_frame(0);
    EXPECT_EQ(calls[2], 1); // slot 1 is empty: part 2 runs on the first frame
    sequencer_frame(0);
    sequencer_frame(0); // part 2 has ended; parts 3..11 are empty
    EXPECT_EQ(calls[12], 1);
    EXPECT_EQ(sequencer.quit_requested, 0);
    sequencer_frame(0);
    EXPECT_EQ(sequencer.quit_requested, 1);
}

TEST_F(SequencerTest, APartEndingOnItsFirstCallIsShownForOneFrame) {
    ends_after[1] = 1;
    sequencer_frame(0);
    EXPECT_EQ(shown_part(), 1);
    EXPECT_EQ(sequencer.part_index, 2);
    sequencer_frame(0);
    EXPECT_EQ(shown_part(), 2);
    EXPECT_EQ(calls[1], 1);
}

TEST_F(SequencerTest, HoldingTheSkipKeySkipsEveryFewTicksNotEveryFrame) {
    press(SKIP_KEY);
    std::vector<int> skipped_at;
    for (int frame = 1; frame <= 12; frame++) {
        int before = sequencer.part_index;
        sequencer_frame(0);
        if (sequencer.part_index != before) skipped_at.push_back(frame);
    }
    // 4 per tick: the timer passes 10 after the third tick; each skip starts it again.
    EXPECT_EQ(skipped_at, (std::vector<int>{4, 7, 10}));
    EXPECT_EQ(calls[1], 4);
    EXPECT_EQ(calls[2], 3);
    EXPECT_EQ(calls[3], 3);
    release(SKIP_KEY);
    for (int frame = 0; frame < 10; frame++) sequencer_frame(0);
    EXPECT_EQ(sequencer.part_index, 4);
}

TEST_F(SequencerTest, AClickIsTakenByTheFirstKeyTest) {
    // Before the skip test is armed, the first key tested is the first hidden key.
    click();
    sequencer_frame(0);
    EXPECT_EQ(sequencer.hidden_seen[0], 1);
    EXPECT_EQ(sequencer.part_index, 1);
    for (int i = 0; i < 3; i++) sequencer_frame(0);
    EXPECT_GT(sequencer.skip_timer, SKIP_ARMED);
    // Armed, the skip test comes first: a click skips the part, and nothing else sees it.
    click();
    EXPECT_EQ(sequencer_frame(0), 1);
    EXPECT_EQ(sequencer.part_index, 2);
    EXPECT_EQ(sequencer.hidden_seen[0], 1);
    EXPECT_EQ(sequencer.hidden_seen[1], 0);
}

TEST_F(SequencerTest, HiddenModeStartsTheFrameAfterItsFourKeys) {
    // Each key seen once, at different times, in any order.
    for (int i = HIDDEN_KEY_COUNT - 1; i >= 1; i--) {
        press(hidden_keys[i]);
        sequencer_frame(0);
        release(hidden_keys[i]);
        sequencer_frame(0);
    }
    EXPECT_EQ(sequencer.hidden_counter, 0);
    int part_calls = calls[1];
    press(hidden_keys[0]);
    sequencer_frame(0); // the last key is seen at the end of this frame
    EXPECT_EQ(calls[1], part_calls + 1);
    EXPECT_EQ(sequencer.hidden_counter, 0);
    testing::internal::CaptureStderr(); // the test folder has no hidden picture to load
    sequencer_frame(0);
    sequencer_frame(0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(calls[1], part_calls + 1); // the parts are no longer called
    EXPECT_EQ(sequencer.hidden_counter, 2);
    EXPECT_EQ(sequencer.part_index, 1);
    // Escape still ends the show.
    press(VK_ESCAPE);
    testing::internal::CaptureStderr();
    EXPECT_EQ(sequencer_frame(0), 0);
    testing::internal::GetCapturedStderr();
}

TEST_F(SequencerTest, EscapeEndsTheShowFromAnyPart) {
    for (int part = 1; part <= PART_COUNT; part++) {
        sequencer_reset();
        sequencer.part_index = part;
        release(VK_ESCAPE);
        EXPECT_EQ(sequencer_frame(0), 1);
        press(VK_ESCAPE);
        EXPECT_EQ(sequencer_frame(0), 0) << "part " << part;
        EXPECT_GT(calls[part], 0);
    }
}

} // namespace
