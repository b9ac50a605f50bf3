// bench/magnet.cpp -- the magnet part's per-frame 2D work beside a plain frame copy.
//
// The floor and ceiling (the grid of 65 x 33 rays, then the grid warp through the shade table),
// the masked dissolve, and the in-place radial blur, each beside blit_copy of one 512 x 256
// frame. Read the ratios across rows of one run (the blur's two paths side by side).

#include "parts/magnet.h"
#include "data/blit.h"
#include "data/cpu.h"
#include "data/image.h"
#include "engine/morph.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Setup {
    Image *frame = image_create(512, 256, 0);
    Image *copy = image_create(512, 256, 0);
    Image *mask = image_create(512, 256, 0);
    std::vector<uint8_t> texture = std::vector<uint8_t>(256 * 256);
    std::vector<uint32_t> palette = std::vector<uint32_t>(256);
    std::vector<uint32_t> shades = std::vector<uint32_t>(65536);
    std::vector<GridPoint> grid = std::vector<GridPoint>(GRID_COLUMNS * GRID_ROWS);

    Setup() {
        for (int n = 0; n < 256 * 256; n++) texture[n] = uint8_t(n * 7 % 251);
        for (int n = 0; n < 512 * 256; n++) {
            mask->pixels[n] = pixel_rgb(n * 13 % 256, 0, 0);
            frame->pixels[n] = copy->pixels[n] = pixel_rgb(n, n >> 3, n >> 5);
        }
        for (int p = 0; p < 256; p++) palette[p] = pixel_rgb(p, 255 - p, p / 2);
        magnet_build_background_table(palette.data(), shades.data());
    }
};

Setup &setup() {
    static Setup s;
    return s;
}

void BM_FrameCopy(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        blit_copy(s.copy, s.frame, 0, 0, 512, 256, 0, 0);
        benchmark::DoNotOptimize(s.frame->pixels);
    }
}

void BM_Background(benchmark::State &state) {
    Setup &s = setup();
    float z = 0.0f;
    for (auto _ : state) {
        magnet_background_grid(s.grid.data(), Vec3{z * 3.0f, 0.0f, z}, 40.0f);
        grid_warp(s.grid.data(), s.texture.data(), s.shades.data(), s.frame);
        z += 1.0f;
        benchmark::DoNotOptimize(s.frame->pixels);
    }
}

// Argument 0: the plain loop; 1: the packed one.
void BM_Dissolve(benchmark::State &state) {
    Setup &s = setup();
    auto dissolve = state.range(0) ? magnet_dissolve : magnet_dissolve_plain;
    for (auto _ : state) {
        dissolve(s.copy, s.mask, s.frame, 128);
        benchmark::DoNotOptimize(s.frame->pixels);
    }
}

// Argument 0: the per-pixel path; 1: the column table and packed rows.
void BM_RadialBlur(benchmark::State &state) {
    Setup &s = setup();
    int32_t saved = has_mmx;
    has_mmx = int32_t(state.range(0));
    for (auto _ : state) {
        radial_blur(s.frame, s.frame, 256.0f, 128.0f, 0.12f);
        benchmark::DoNotOptimize(s.frame->pixels);
    }
    has_mmx = saved;
}

BENCHMARK(BM_FrameCopy);
BENCHMARK(BM_Background);
BENCHMARK(BM_Dissolve)->Arg(0)->Arg(1);
BENCHMARK(BM_RadialBlur)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
