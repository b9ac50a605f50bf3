// bench/light_scene.cpp -- the light scene's per-frame 2D work beside a plain frame copy.
//
// The tunnel (one table read and one texel read per pixel), the average with the background,
// and the radial blur over the whole frame, each beside blit_copy of one 512 x 256 frame; and
// the tunnel table the load builds once. Read the ratios across rows of one run (the blur
// beside its per-pixel reference).

#include "parts/light_scene.h"

#include "data/blit.h"
#include "data/cpu.h"
#include "data/image.h"
#include "engine/morph.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Setup {
    Image *frame = image_create(512, 256, IMG_DEPTH);
    Image *copy = image_create(512, 256, 0);
    Image *texture = image_create(256, 256, 0);
    std::vector<uint16_t> table = std::vector<uint16_t>(512 * 256);

    Setup() {
        for (int n = 0; n < 256 * 256; n++) texture->pixels[n] = uint32_t(n) << 8;
        for (int n = 0; n < 512 * 256; n++) copy->pixels[n] = uint32_t(n * 2654435761u) & ~0xffu;
        for (int r = 0; r < 256; r++)
            for (int c = 0; c < 512; c++)
                table[r * 512 + c] = uint16_t(light_scene_tunnel_entry(c, r));
    }
};

Setup &setup() {
    static Setup s;
    return s;
}

void BM_frame_copy(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        blit_copy(s.copy, s.frame, 0, 0, 512, 256, 0, 0);
        benchmark::ClobberMemory();
    }
}

void BM_tunnel(benchmark::State &state) {
    Setup &s = setup();
    float phase = 0.0f;
    for (auto _ : state) {
        light_scene_draw_tunnel(s.table.data(), s.texture, light_scene_tunnel_offset(phase),
                                s.frame);
        phase += 0.005f;
        benchmark::ClobberMemory();
    }
}

void BM_average(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        blit_average(s.copy, s.frame, 0, 0, 512, 256, 0, 0);
        benchmark::ClobberMemory();
    }
}

// Argument 0: the per-pixel reference; 1: the column table and packed rows.
void BM_radial_blur(benchmark::State &state) {
    Setup &s = setup();
    int32_t saved = has_mmx;
    has_mmx = int32_t(state.range(0));
    for (auto _ : state) {
        radial_blur(s.frame, s.frame, 300.0f, 100.0f, 0.06f);
        benchmark::ClobberMemory();
    }
    has_mmx = saved;
}

void BM_tunnel_table(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        for (int r = 0; r < 256; r++)
            for (int c = 0; c < 512; c++)
                s.table[r * 512 + c] = uint16_t(light_scene_tunnel_entry(c, r));
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_frame_copy);
BENCHMARK(BM_tunnel);
BENCHMARK(BM_average);
BENCHMARK(BM_radial_blur)->Arg(0)->Arg(1);
BENCHMARK(BM_tunnel_table);

} // namespace

BENCHMARK_MAIN();
