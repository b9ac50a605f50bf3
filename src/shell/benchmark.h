// benchmark.h -- the built-in benchmark: the show played headless as fast as it goes, every
// frame timed, and a table of frame times per part.
#pragma once

#include "parts/parts.h"

#include <cstdint>
#include <cstdio>

constexpr double BENCHMARK_TICK_SECONDS = 0.014; // real time a frame stands for: one tick

// Forgets every frame and the preload time.
void benchmark_reset();

// Notes one frame of part (1..12) that took ms milliseconds. Grows its store only when full,
// so frames rarely allocate.
void benchmark_add_frame(int32_t part, double ms);

// Notes the time the preload (loading and the loading screen) took.
void benchmark_set_preload(double seconds);

// Runs the main loop over parts (show_parts in the show) to the end of the show, timing every
// frame and noting the part that drew it (the closing frame, which draws nothing, counts for the
// last part). Leaves the sequencer on show_parts.
void benchmark_run_show(const PartRun *parts);

// Writes the table: one row per part that ran, in order, with frames, mean, p50, p99 and max
// frame time in ms; the preload time; the processor time of the timed frames (after a run); and
// "whole show: FRAMES frames in SECONDS s (SPEED x real
// time)", real time being FRAMES x 14 ms.
void benchmark_report(FILE *out);

// Seconds on the monotonic clock, for timing.
double benchmark_now();
