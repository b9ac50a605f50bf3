// benchmark.cpp -- times every frame of a headless show and prints the frame times per part

#include "shell/benchmark.h"

#include "data/decimal.h"
#include "data/memory.h"
#include "shell/sequencer.h"

#include <algorithm>
#include <ctime>

constexpr size_t FIRST_CAPACITY = 1 << 15; // frames; about 8 minutes of show

struct FrameTime {
    int32_t part;
    float ms;
};

static FrameTime *frames;
static size_t frame_count;
static size_t frame_capacity;
static double preload_seconds;
static double cpu_seconds; // the main thread's processor time over the timed frames

static double clock_seconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double benchmark_now() {
    return clock_seconds(CLOCK_MONOTONIC);
}

void benchmark_reset() {
    frames = nullptr; // blocks live until mem_free_all
    frame_count = frame_capacity = 0;
    preload_seconds = cpu_seconds = 0.0;
}

void benchmark_add_frame(int32_t part, double ms) {
    if (frame_count == frame_capacity) {
        size_t capacity = frame_capacity ? 2 * frame_capacity : FIRST_CAPACITY;
        void *grown = frames ? mem_resize(frames, capacity * sizeof(FrameTime))
                             : mem_alloc(capacity * sizeof(FrameTime));
        if (!grown) return; // out of memory: the frame goes untimed
        frames = static_cast<FrameTime *>(grown);
        frame_capacity = capacity;
    }
    frames[frame_count++] = FrameTime{part, float(ms)};
}

void benchmark_set_preload(double seconds) {
    preload_seconds = seconds;
}

void benchmark_run_show(const PartRun *parts) {
    sequencer_use_parts(parts);
    double cpu_start = clock_seconds(CLOCK_THREAD_CPUTIME_ID);
    while (!sequencer.quit_requested) {
        double start = benchmark_now();
        int go_on = sequencer_frame(0);
        double ms = (benchmark_now() - start) * 1000.0;
        if (sequencer.drawn_part) benchmark_add_frame(sequencer.drawn_part, ms);
        if (!go_on) break;
    }
    cpu_seconds = clock_seconds(CLOCK_THREAD_CPUTIME_ID) - cpu_start;
    sequencer_use_parts(nullptr);
}

// The value at or below which p percent of the sorted times lie (nearest rank).
static float percentile(const float *sorted, size_t count, double p) {
    size_t rank = size_t(p / 100.0 * double(count) + 0.999999);
    return sorted[std::clamp<size_t>(rank, 1, count) - 1];
}

// Gathers part's times into scratch, sorted. Returns how many.
static size_t part_times(int32_t part, float *scratch) {
    size_t n = 0;
    for (size_t i = 0; i < frame_count; i++)
        if (frames[i].part == part) scratch[n++] = frames[i].ms;
    std::sort(scratch, scratch + n);
    return n;
}

void benchmark_report(FILE *out) {
    auto *scratch =
        static_cast<float *>(mem_alloc(std::max<size_t>(frame_count, 1) * sizeof(float)));
    double total_ms = 0.0;
    std::fprintf(out, "part   frames    mean ms     p50 ms     p99 ms     max ms\n");
    for (int32_t part = 1; part <= PART_COUNT && scratch; part++) {
        size_t n = part_times(part, scratch);
        if (n == 0) continue;
        double sum = 0.0;
        for (size_t i = 0; i < n; i++) sum += scratch[i];
        total_ms += sum;
        char mean[32], p50[32], p99[32], max[32];
        std::fprintf(out, "%4d %8zu %10s %10s %10s %10s\n", part, n,
                     decimal_fixed(mean, sizeof mean, sum / double(n), 3),
                     decimal_fixed(p50, sizeof p50, percentile(scratch, n, 50.0), 3),
                     decimal_fixed(p99, sizeof p99, percentile(scratch, n, 99.0), 3),
                     decimal_fixed(max, sizeof max, scratch[n - 1], 3));
    }
    mem_free(scratch);
    char a[32], b[32];
    std::fprintf(out, "preload: %s s\n", decimal_fixed(a, sizeof a, preload_seconds, 3));
    double seconds = total_ms / 1000.0;
    double real = double(frame_count) * BENCHMARK_TICK_SECONDS;
    // On a busy machine the wall clock counts other programs' time too; the processor time of
    // the show's own thread does not.
    if (cpu_seconds > 0.0)
        std::fprintf(out, "processor time: %s s (%s x real time)\n",
                     decimal_fixed(a, sizeof a, cpu_seconds, 3),
                     decimal_fixed(b, sizeof b, real / cpu_seconds, 1));
    std::fprintf(out, "whole show: %zu frames in %s s (%s x real time)\n", frame_count,
                 decimal_fixed(a, sizeof a, seconds, 3),
                 decimal_fixed(b, sizeof b, seconds > 0.0 ? real / seconds : 0.0, 1));
}
