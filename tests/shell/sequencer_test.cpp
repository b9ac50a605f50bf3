// Tests of the main loop's keys on the headless screen and the stepped clock, with parts of its
// own. The show's digests pin its order of parts and its end.

#include "platform/video.h"
#include "shell/sequencer.h"
#include "show_files.h"
#include "stage/display.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Calls per test part, and after how many calls it ends (0 = never).
int calls[PART_END + 1];
int ends_after[PART_END + 1];

template <int N> int test_part() {
    calls[N]++;
    return ends_after[N] == 0 || calls[N] < ends_after[N];
}

const PartRun all_parts[PART_END + 1] = {nullptr,       test_part<1>, test_part<2>,  test_part<3>,
                                         test_part<4>,  test_part<5>, test_part<6>,  test_part<7>,
                                         test_part<8>,  test_part<9>, test_part<10>, test_part<11>,
                                         test_part<12>, nullptr};

struct SequencerTest : testing::Test {
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(open_headless_stage());
        sequencer_reset();
        sequencer_use_parts(all_parts);
        for (int i = 0; i <= PART_END; i++) calls[i] = ends_after[i] = 0;
    }
    void TearDown() override {
        sequencer_use_parts(nullptr);
        close_headless_stage();
    }
    static void push(VideoEventKind kind, int32_t key = 0) {
        VideoEvent e = {kind, key};
        video_headless_push(&e);
    }
};

TEST_F(SequencerTest, EmptySlotsArePassedOverAtOnce) {
    const PartRun sparse[PART_END + 1] = {nullptr, nullptr, test_part<2>,  nullptr, nullptr,
                                          nullptr, nullptr, nullptr,       nullptr, nullptr,
                                          nullptr, nullptr, test_part<12>, nullptr};
    sequencer_use_parts(sparse);
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

TEST_F(SequencerTest, HoldingTheSkipKeySkipsEveryFewTicksNotEveryFrame) {
    push(VIDEO_EVENT_KEY_DOWN, SKIP_KEY);
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
    push(VIDEO_EVENT_KEY_UP, SKIP_KEY);
    for (int frame = 0; frame < 10; frame++) sequencer_frame(0);
    EXPECT_EQ(sequencer.part_index, 4);
}

TEST_F(SequencerTest, AClickIsTakenByTheFirstKeyTest) {
    // Before the skip test is armed, the first key tested is the first hidden key.
    push(VIDEO_EVENT_MOUSE_DOWN);
    sequencer_frame(0);
    EXPECT_EQ(sequencer.hidden_seen[0], 1);
    EXPECT_EQ(sequencer.part_index, 1);
    for (int i = 0; i < 3; i++) sequencer_frame(0);
    EXPECT_GT(sequencer.skip_timer, SKIP_ARMED);
    // Armed, the skip test comes first: a click skips the part, and nothing else sees it.
    push(VIDEO_EVENT_MOUSE_DOWN);
    EXPECT_EQ(sequencer_frame(0), 1);
    EXPECT_EQ(sequencer.part_index, 2);
    EXPECT_EQ(sequencer.hidden_seen[1], 0);
}

TEST_F(SequencerTest, HiddenModeStartsTheFrameAfterItsFourKeysAndEscapeStillEndsIt) {
    // Each key seen once, at different times, in any order; whichever is missing, three are not
    // enough. The last round leaves out the first key.
    for (int missing = HIDDEN_KEY_COUNT - 1; missing >= 0; missing--) {
        sequencer_reset();
        for (int i = HIDDEN_KEY_COUNT - 1; i >= 0; i--) {
            if (i == missing) continue;
            push(VIDEO_EVENT_KEY_DOWN, hidden_keys[i]);
            sequencer_frame(0);
            push(VIDEO_EVENT_KEY_UP, hidden_keys[i]);
            sequencer_frame(0);
        }
        EXPECT_EQ(sequencer.hidden_counter, 0) << "without key " << missing;
    }
    int part_calls = calls[1];
    push(VIDEO_EVENT_KEY_DOWN, hidden_keys[0]);
    sequencer_frame(0); // the last key is seen at the end of this frame
    EXPECT_EQ(calls[1], part_calls + 1);
    testing::internal::CaptureStderr(); // the test has no hidden picture to load
    sequencer_frame(0);
    sequencer_frame(0);
    EXPECT_EQ(calls[1], part_calls + 1); // the parts are no longer called
    EXPECT_EQ(sequencer.hidden_counter, 2);
    push(VIDEO_EVENT_KEY_DOWN, VK_ESCAPE);
    EXPECT_EQ(sequencer_frame(0), 0);
    testing::internal::GetCapturedStderr();
}

TEST_F(SequencerTest, EscapeEndsTheShowFromAnyPart) {
    for (int part = 1; part <= PART_COUNT; part++) {
        sequencer_reset();
        sequencer.part_index = part;
        push(VIDEO_EVENT_KEY_UP, VK_ESCAPE);
        EXPECT_EQ(sequencer_frame(0), 1);
        push(VIDEO_EVENT_KEY_DOWN, VK_ESCAPE);
        EXPECT_EQ(sequencer_frame(0), 0) << "part " << part;
        EXPECT_GT(calls[part], 0);
    }
}

} // namespace
