// clock.h -- the show's clock: ticks of 14 ms counted by a ticker thread, read once per frame.
//
// Every animation advances by frame_time, the whole ticks that passed since the previous frame,
// so the show keeps its pace on fast and slow machines. A stepped clock (headless runs) advances
// exactly one tick per frame, when the frame loop calls clock_step.
#pragma once

#include <atomic>
#include <cstdint>

constexpr float CLOCK_RATE = 70.0f; // ticks per second the show asks for (14 ms each)

// Ticks since the clock started. Written by the ticker thread only (+1 per tick).
extern std::atomic<float> global_time;
extern std::atomic<int32_t> tick_count;

// Whole ticks between the last two clock_update calls that saw time move (0, 1, 2, ...).
extern float frame_time;

// global_time at the last clock_update that saw time move.
extern float last_update_time;

// How the clock is driven.
enum ClockMode {
    CLOCK_REAL,    // a ticker thread every truncate(1000 / rate) ms
    CLOCK_STEPPED, // one tick per clock_step
};

// Starts the clock from zero. Returns 1 on success, 0 when the ticker cannot be started (the
// clock then stays stopped and time does not move).
int clock_start(float rate, ClockMode mode);

// Stops the clock. Returns 1 if it was running, else 0.
int clock_stop();

// Sets frame_time from the ticks since the previous update; nothing while the clock is stopped.
void clock_update();

// One frame's worth of time on a stepped clock (one tick); nothing on a real clock.
void clock_step();
