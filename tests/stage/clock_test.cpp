// Tests of the show clock on the stepped ticker.

#include "stage/clock.h"

#include <gtest/gtest.h>

namespace {

struct ClockTest : testing::Test {
    void TearDown() override { clock_stop(); }
};

TEST_F(ClockTest, TwoUpdatesWithinOneTickGiveZeroTheSecondTime) {
    ASSERT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 1);
    clock_step();
    clock_update();
    EXPECT_EQ(frame_time, 1.0f);
    EXPECT_EQ(last_update_time, 1.0f);
    clock_update();
    EXPECT_EQ(frame_time, 0.0f);
    EXPECT_EQ(last_update_time, 1.0f); // the reference stays
    clock_step();
    clock_step();
    clock_step();
    clock_update();
    EXPECT_EQ(frame_time, 3.0f); // whole ticks since the last update that saw time move
    EXPECT_EQ(tick_count.load(), 4);
    EXPECT_EQ(global_time.load(), 4.0f);
}

// A stopped clock leaves frame_time alone; started again, it begins from zero.
TEST_F(ClockTest, StoppingAndStartingAgain) {
    ASSERT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 1);
    EXPECT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 0); // already running
    for (int i = 0; i < 5; i++) clock_step();
    clock_update();
    EXPECT_EQ(clock_stop(), 1);
    EXPECT_EQ(clock_stop(), 0);
    clock_step();
    clock_update();
    EXPECT_EQ(tick_count.load(), 5);
    EXPECT_EQ(frame_time, 5.0f);
    ASSERT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 1);
    clock_step();
    clock_update();
    EXPECT_EQ(tick_count.load(), 1);
    EXPECT_EQ(frame_time, 1.0f);
}

} // namespace
