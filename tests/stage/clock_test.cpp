// Tests of the show clock on the stepped ticker.

#include "stage/clock.h"

#include <gtest/gtest.h>

namespace {

// frame_time counts whole ticks since the last update that saw time move; a stopped clock
// leaves it alone, and started again the clock begins from zero.
TEST(ClockTest, FrameTimeCountsTicksSinceTheLastUpdateThatSawThemMove) {
    ASSERT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 1);
    EXPECT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 0); // already running
    clock_step();
    clock_update();
    EXPECT_EQ(frame_time, 1.0f);
    EXPECT_EQ(last_update_time, 1.0f);
    clock_update();
    EXPECT_EQ(frame_time, 0.0f);
    EXPECT_EQ(last_update_time, 1.0f); // the reference stays
    for (int i = 0; i < 4; i++) clock_step();
    clock_update();
    EXPECT_EQ(frame_time, 4.0f);
    EXPECT_EQ(tick_count.load(), 5);
    EXPECT_EQ(global_time.load(), 5.0f);
    EXPECT_EQ(clock_stop(), 1);
    EXPECT_EQ(clock_stop(), 0);
    clock_step();
    clock_update();
    EXPECT_EQ(tick_count.load(), 5);
    EXPECT_EQ(frame_time, 4.0f);
    ASSERT_EQ(clock_start(CLOCK_RATE, CLOCK_STEPPED), 1);
    clock_step();
    clock_update();
    EXPECT_EQ(tick_count.load(), 1);
    EXPECT_EQ(frame_time, 1.0f);
    clock_stop();
}

} // namespace
