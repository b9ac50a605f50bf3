// present.cpp -- the shell's share of a frame: converting the FrameBuffer to the screen, against
// copying the same bytes, and a whole frame of the main loop on the headless screen.

#include "data/cpu.h"
#include "data/image.h"
#include "data/memory.h"
#include "platform/video.h"
#include "shell/sequencer.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

// A FrameBuffer of varied colours on a headless screen of the given depth.
struct Screen {
    explicit Screen(int depth) {
        display_open(512, 384, depth, DISPLAY_CREATE, &video_headless);
        FrameBuffer = image_create(512, 256, IMG_WORK_DEPTH);
        for (int i = 0; i < 512 * 256; i++) FrameBuffer->pixels[i] = uint32_t(i) * 2654435761u;
    }
    ~Screen() {
        display_device->close();
        mem_free_all();
    }
};

// Arguments: the depth, and 0 for the table path, 1 for SSE2, 2 for SSSE3's byte shuffle.
void present_frame(benchmark::State &state) {
    Screen screen(int(state.range(0)));
    cpu_detect();
    int32_t saved[2] = {has_mmx, has_ssse3};
    has_mmx = state.range(1) > 0;
    has_ssse3 = state.range(1) > 1 && saved[1];
    for (auto _ : state) display_device->present(FrameBuffer, 0, 1, 511, 254, 0, 64);
    has_mmx = saved[0];
    has_ssse3 = saved[1];
    state.SetBytesProcessed(state.iterations() * 511 * 253 * 4);
}
BENCHMARK(present_frame)->ArgsProduct({{16, 24, 32}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

// The same source bytes copied, no conversion: the floor for present.
void copy_frame(benchmark::State &state) {
    std::vector<uint32_t> src(512 * 256), dst(512 * 384);
    for (auto _ : state) {
        for (int y = 1; y < 254; y++)
            std::memcpy(&dst[size_t(y + 63) * 512], &src[size_t(y) * 512], 511 * 4);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(state.iterations() * 511 * 253 * 4);
}
BENCHMARK(copy_frame)->Unit(benchmark::kMicrosecond);

int still_part() {
    return 1;
}
const PartRun one_part[PART_END + 1] = {nullptr, still_part};

// One pass of the main loop around a part that draws nothing: keys, clock, present.
void main_loop_frame(benchmark::State &state) {
    Screen screen(24);
    clock_start(CLOCK_RATE, CLOCK_STEPPED);
    sequencer_reset();
    sequencer_use_parts(one_part);
    for (auto _ : state) sequencer_frame(0);
    sequencer_use_parts(nullptr);
    clock_stop();
}
BENCHMARK(main_loop_frame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
