// scenes.cpp -- a frame of each 3D scene part of the show (the textured scene, the light scene,
// the end), drawn from the forge's files, beside a plain frame copy.
//
// Each part runs from its first frame at one tick per frame and starts again when it ends; the
// figures are per frame, the whole part included (its scene, its blits, its bars). Read them as
// ratios to BM_frame_copy of the same run.

#include "data/archive.h"
#include "data/blit.h"
#include "data/cpu.h"
#include "data/image.h"
#include "parts/end.h"
#include "parts/parts.h"
#include "parts/textured_scene.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The stage as the preload leaves it, with plain bars and captions, reading the forge's files.
bool stage_ready() {
    static bool ready = [] {
        cpu_detect();
        file_set_data_dir(QM_FORGE_DIR);
        return stage_create_images() && stage_plain_pictures();
    }();
    return ready;
}

void run_part(benchmark::State &state, PartLoad load, PartRun run, void (*restart)()) {
    if (!stage_ready() || (load && !load())) {
        state.SkipWithError("the forge's files cannot be loaded (build the forge first)");
        return;
    }
    frame_time = 1.0f;
    for (auto _ : state) {
        if (!run()) {
            restart();
            if (load) load();
        }
        benchmark::ClobberMemory();
    }
}

void restart_end() {
    end_reset();
}

void BM_textured_scene(benchmark::State &state) {
    run_part(state, textured_scene_load, textured_scene_run, textured_scene_restart);
}

void BM_light_scene(benchmark::State &state) {
    run_part(state, light_scene_load, light_scene_run, [] {});
}

// The end part loads on its first call.
void BM_end(benchmark::State &state) {
    run_part(state, nullptr, end_run, restart_end);
}

void BM_frame_copy(benchmark::State &state) {
    if (!stage_ready()) return;
    for (auto _ : state) {
        blit_copy(WorkImageA, FrameBuffer, 0, 0, 512, 256, 0, 0);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_frame_copy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_textured_scene)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_light_scene)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_end)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
