// ticker_test.cpp -- the stepped ticker's exact steps and the tick thread's start and stop.

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

#include "platform/ticker.h"

static std::atomic<int> ticks;
static void count_tick() {
    ticks++;
}

TEST(SteppedTicker, TicksExactlyOncePerStepWhileRunning) {
    ticks = 0;
    ticker_stepped.step(); // not started: nothing
    EXPECT_EQ(ticks, 0);
    ASSERT_EQ(ticker_stepped.start(14, count_tick), 1);
    EXPECT_EQ(ticker_stepped.start(14, count_tick), 0) << "a second start must fail";
    for (int i = 0; i < 1000; i++) ticker_stepped.step();
    EXPECT_EQ(ticker_stepped.stop(), 1);
    ticker_stepped.step();
    EXPECT_EQ(ticks, 1000);
    EXPECT_EQ(ticker_stepped.stop(), 0);
}

TEST(ThreadTicker, TicksOnItsOwnAndNeverAfterStop) {
    ticks = 0;
    EXPECT_EQ(ticker_thread.start(0, count_tick), 0);
    EXPECT_EQ(ticker_thread.start(1, nullptr), 0);
    ASSERT_EQ(ticker_thread.start(1, count_tick), 1);
    EXPECT_EQ(ticker_thread.start(1, count_tick), 0);
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ticks < 5 && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(ticker_thread.stop(), 1);
    int at_stop = ticks;
    EXPECT_GE(at_stop, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ticks, at_stop);
    EXPECT_EQ(ticker_thread.stop(), 0);
    ASSERT_EQ(ticker_thread.start(1, count_tick), 1) << "it starts again after a stop";
    EXPECT_EQ(ticker_thread.stop(), 1);
}

// exit() while the thread ticks (Xlib calls it when the display goes away) ends the program with
// that status, not an abort.
TEST(ThreadTickerDeathTest, ExitWhileTickingEndsWithItsStatus) {
    EXPECT_EXIT(
        {
            ticker_thread.start(1, count_tick);
            std::exit(3);
        },
        testing::ExitedWithCode(3), "");
}
