// bench/blit.cpp -- each blit, plain and packed, beside memcpy of the same bytes.
//
// A 512 x 256 picture onto another, as the parts do every frame. Read the ratios across rows
// of one run: packed against plain, and copy against memcpy.

#include "data/blit.h"
#include "data/cpu.h"
#include "data/image.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

namespace {

constexpr int32_t W = 512, H = 256;

struct Pictures {
    Image *src = image_create(W, H, IMG_ALIGNED);
    Image *dst = image_create(W, H, IMG_ALIGNED);
    Pictures() {
        std::mt19937 rng(7);
        for (int32_t i = 0; i < W * H; i++) {
            src->pixels[i] = rng() & (rng() % 2 ? 0xFFFFFFFF : 0xFFFFFF00);
            dst->pixels[i] = rng();
        }
    }
};

Pictures &pictures() {
    static Pictures p;
    return p;
}

void finish(benchmark::State &state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * W * H * 4);
}

void BM_memcpy(benchmark::State &state) {
    Pictures &p = pictures();
    for (auto _ : state) {
        std::memcpy(p.dst->pixels, p.src->pixels, size_t(W) * H * 4);
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_memcpy);

// Runs one blit over the whole picture with the path given by the benchmark argument
// (0 plain, 1 packed).
template <void (*blit)(const Image *, Image *)> void BM_blit(benchmark::State &state) {
    Pictures &p = pictures();
    int32_t saved = has_mmx;
    has_mmx = int32_t(state.range(0));
    for (auto _ : state) {
        blit(p.src, p.dst);
        benchmark::ClobberMemory();
    }
    has_mmx = saved;
    state.SetLabel(state.range(0) ? "packed" : "plain");
    finish(state);
}

void copy(const Image *s, Image *d) {
    blit_copy(s, d, 0, 0, W, H, 0, 0);
}
void key(const Image *s, Image *d) {
    blit_key(s, d, 0, 0, W, H, 0, 0, 0x00FF0000);
}
void masked(const Image *s, Image *d) {
    blit_masked(s, d, 0, 0, W, H, 0, 0);
}
void blend(const Image *s, Image *d) {
    blit_blend(s, d, 0, 0, W, H, 0, 0, 100);
}
void alpha(const Image *s, Image *d) {
    blit_alpha(s, d, 0, 0, W, H, 0, 0);
}
void average(const Image *s, Image *d) {
    blit_average(s, d, 0, 0, W, H, 0, 0);
}

BENCHMARK(BM_blit<copy>)->Name("BM_blit_copy")->Arg(0)->Arg(1);
BENCHMARK(BM_blit<key>)->Name("BM_blit_key")->Arg(0)->Arg(1);
BENCHMARK(BM_blit<masked>)->Name("BM_blit_masked")->Arg(0)->Arg(1);
BENCHMARK(BM_blit<blend>)->Name("BM_blit_blend")->Arg(0)->Arg(1);
BENCHMARK(BM_blit<alpha>)->Name("BM_blit_alpha")->Arg(0)->Arg(1);
BENCHMARK(BM_blit<average>)->Name("BM_blit_average")->Arg(0)->Arg(1);

// The grid warp of a gently waved grid over the whole frame.
void BM_grid_warp(benchmark::State &state) {
    Pictures &p = pictures();
    static GridPoint grid[GRID_COLUMNS * GRID_ROWS];
    static uint32_t shades[65536];
    static uint8_t texture[256 * 256];
    for (int32_t i = 0; i < 256 * 256; i++) texture[i] = uint8_t(i * 31);
    for (int32_t i = 0; i < 65536; i++) shades[i] = uint32_t(i) * 2654435761u;
    for (int32_t i = 0; i < GRID_COLUMNS; i++)
        for (int32_t j = 0; j < GRID_ROWS; j++)
            grid[i * GRID_ROWS + j] = {4.0f * i + (j % 3), 8.0f * j + (i % 5), 100.0f + (i ^ j)};
    for (auto _ : state) {
        grid_warp(grid, texture, shades, p.dst);
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_grid_warp);

} // namespace

BENCHMARK_MAIN();
