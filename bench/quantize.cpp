// bench/quantize.cpp -- the octree quantiser on pictures of the magnet part's size, beside one
// plain pass that only reads each pixel and writes a byte.
//
// The ratio of the quantiser to the plain pass says how many passes over the picture its tree
// building, pruning and nearest-colour search cost.

#include "engine/quantize.h"
#include "data/image.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// Gradients with noise: far more colours than the palette holds, as a rendered texture has.
std::vector<uint32_t> picture(int side) {
    std::mt19937 rng(4);
    std::vector<uint32_t> pixels(static_cast<size_t>(side) * side);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            const uint32_t noise = rng() % 16;
            pixels[y * side + x] = pixel_rgb(x * 255 / side + noise, y * 255 / side, (x ^ y) & 255);
        }
    return pixels;
}

void BM_Quantize(benchmark::State &state) {
    const int side = static_cast<int>(state.range(0));
    const std::vector<uint32_t> pixels = picture(side);
    std::vector<uint8_t> indices(pixels.size());
    uint32_t palette[256];
    int size = 0;
    for (auto _ : state) {
        quantize_colors(palette, pixels.data(), indices.data(), static_cast<int>(pixels.size()),
                        255, &size);
        benchmark::DoNotOptimize(indices.data());
    }
    state.counters["colours"] = size;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
}
BENCHMARK(BM_Quantize)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);

void BM_PlainPass(benchmark::State &state) {
    const int side = static_cast<int>(state.range(0));
    const std::vector<uint32_t> pixels = picture(side);
    std::vector<uint8_t> indices(pixels.size());
    for (auto _ : state) {
        for (size_t i = 0; i < pixels.size(); i++)
            indices[i] = static_cast<uint8_t>((pixels[i] >> 8) ^ (pixels[i] >> 24));
        benchmark::DoNotOptimize(indices.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
}
BENCHMARK(BM_PlainPass)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
