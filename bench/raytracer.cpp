// bench/raytracer.cpp -- a traced frame, refined in blocks, beside every pixel traced alone.
//
// The same scene at three moments of the part (spheres up high, bouncing, on the floor with the
// view swaying). Read the ratio of the two rows of one moment: what the coarse grid and the
// block interpolation save.

#include "parts/raytracer.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Frame {
    std::vector<uint32_t> texture = std::vector<uint32_t>(TRACE_TEXTURE_SIDE * TRACE_TEXTURE_SIDE);
    std::vector<uint32_t> output = std::vector<uint32_t>(TRACE_WIDTH * TRACE_HEIGHT);
    TraceScene *scene;
    explicit Frame(int steps) {
        for (size_t i = 0; i < texture.size(); i++)
            texture[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
        scene = tracer_setup(output.data(), texture.data());
        for (int i = 0; i < steps; i++) tracer_animate(scene, 1.0f / 35.0f);
    }
};

Frame &frame(int steps) {
    static Frame at0(0), at300(300), at1500(1500);
    return steps == 0 ? at0 : steps == 300 ? at300 : at1500;
}

void BM_refined(benchmark::State &state) {
    Frame &f = frame(int(state.range(0)));
    for (auto _ : state) {
        tracer_render(f.scene);
        benchmark::DoNotOptimize(f.output.data());
    }
}

void BM_every_pixel(benchmark::State &state) {
    Frame &f = frame(int(state.range(0)));
    for (auto _ : state) {
        for (int32_t y = 0; y < TRACE_HEIGHT - 7; y++)
            for (int32_t x = 0; x < TRACE_WIDTH - 7; x++)
                f.output[y * TRACE_WIDTH + x] = tracer_reference_pixel(f.scene, x, y);
        benchmark::DoNotOptimize(f.output.data());
    }
}

} // namespace

BENCHMARK(BM_refined)->Arg(0)->Arg(300)->Arg(1500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_every_pixel)->Arg(0)->Arg(300)->Arg(1500)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
