// bench/raytracer.cpp -- a traced frame, refined in blocks, beside every pixel traced alone.
//
// The same scene at three moments of the part (spheres up high, bouncing, on the floor with the
// view swaying). Read the ratios across rows of one moment: what the coarse grid and the block
// interpolation save, the packed block fill against the plain one (second argument 1 and 0),
// and a refined frame against one copy of the frame. The block fill alone, packed beside the
// plain reference, fills one block in each of a frame's 2048 cells of 8 x 8 pixels per pass.

#include "parts/raytracer.h"
#include "data/cpu.h"

#include <benchmark/benchmark.h>

#include <cstring>
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
    int32_t saved = has_mmx;
    has_mmx = int32_t(state.range(1));
    for (auto _ : state) {
        tracer_render(f.scene);
        benchmark::DoNotOptimize(f.output.data());
    }
    has_mmx = saved;
}

void BM_frame_copy(benchmark::State &state) {
    Frame &f = frame(0);
    std::vector<uint32_t> copy(f.output.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), f.output.data(), f.output.size() * 4);
        benchmark::DoNotOptimize(copy.data());
    }
}

// Arguments: block side (8, 4 or 2), material (0 plain, 1 textured), path (0 plain, 1 packed).
// The corners carry the same light in every lane that holds it, as the shading leaves them.
void BM_fill_block(benchmark::State &state) {
    Frame &f = frame(0);
    const int32_t w = int32_t(state.range(0));
    const TraceMaterial *m = &f.scene->materials[state.range(1) ? 4 : 0];
    TraceSample c[4];
    const int16_t light[4] = {-40, 25, -10, 60};
    for (int i = 0; i < 4; i++) {
        c[i] = TraceSample{int16_t(30 + 90 * (i & 1)),
                           int16_t(200 + 70 * (i >> 1)),
                           light[i],
                           light[i],
                           light[i],
                           0,
                           light[i]};
        if (m->kind != MATERIAL_TEXTURED) c[i].u = c[i].v = light[i];
    }
    const TraceSample *corner[4] = {&c[0], &c[1], &c[2], &c[3]};
    int32_t saved = has_mmx;
    has_mmx = int32_t(state.range(2));
    const int32_t blocks = TRACE_COARSE_COLUMNS * TRACE_COARSE_ROWS;
    for (auto _ : state) {
        for (int32_t b = 0; b < blocks; b++) {
            int32_t x = b % TRACE_COARSE_COLUMNS * TRACE_BLOCK;
            int32_t y = b / TRACE_COARSE_COLUMNS * TRACE_BLOCK;
            tracer_fill_block(f.output.data() + y * TRACE_WIDTH + x, w, m, corner);
        }
        benchmark::DoNotOptimize(f.output.data());
    }
    has_mmx = saved;
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

BENCHMARK(BM_refined)->ArgsProduct({{0, 300, 1500}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_frame_copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_fill_block)->ArgsProduct({{8, 4, 2}, {0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_every_pixel)->Arg(0)->Arg(300)->Arg(1500)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
