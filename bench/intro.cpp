// bench/intro.cpp -- the opening's per-frame steps beside memcpy of one frame.
//
// The tunnel reads a table entry and a texel per pixel; it should cost a small multiple of
// copying the frame. The table build is the work the load does once instead of every frame.
// Read the ratios across rows of one run.

#include "parts/intro.h"
#include "data/blit.h"
#include "data/cpu.h"
#include "data/image.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int32_t W = 512, H = 256;

struct Frame {
    Image *texture = image_create(256, 256, 0);
    Image *background = image_create(W, H, 0);
    Image *bob = image_create(128, 128, 0);
    Image *dst = image_create(W, H, 0);
    std::vector<uint16_t> table = std::vector<uint16_t>(size_t(W) * H);
    Frame() {
        cpu_detect(); // the packed blits, as the program takes them
        for (int32_t i = 0; i < 65536; i++) texture->pixels[i] = uint32_t(i) * 2654435761u;
        for (int32_t i = 0; i < 128 * 128; i++) bob->pixels[i] = uint32_t(i & 0xFF) << 8;
        for (int32_t r = 0; r < H; r++)
            for (int32_t c = 0; c < W; c++)
                table[size_t(r) * W + c] = uint16_t(intro_tunnel_entry(c, r));
    }
};

Frame &frame() {
    static Frame f;
    return f;
}

void finish(benchmark::State &state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * W * H * 4);
}

void BM_memcpy_frame(benchmark::State &state) {
    Frame &f = frame();
    for (auto _ : state) {
        std::memcpy(f.dst->pixels, f.background->pixels, size_t(W) * H * 4);
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_memcpy_frame);

void BM_tunnel(benchmark::State &state) {
    Frame &f = frame();
    float phase = 0.0f;
    for (auto _ : state) {
        intro_draw_tunnel(f.table.data(), f.texture, phase, f.dst);
        phase += 0.01f;
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_tunnel);

// The tunnel as it would be without the table: the angle and distance of every pixel.
void BM_tunnel_computed(benchmark::State &state) {
    Frame &f = frame();
    for (auto _ : state) {
        for (int32_t r = 0; r < H; r++)
            for (int32_t c = 0; c < W; c++)
                f.dst->pixels[r * W + c] = f.texture->pixels[intro_tunnel_entry(c, r) & 0xFFFF];
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_tunnel_computed);

// The four bobs and the per-pixel alpha blend that follows them.
void BM_bobs_and_blend(benchmark::State &state) {
    Frame &f = frame();
    for (auto _ : state) {
        for (int32_t n = 0; n < 4; n++) intro_add_bob(f.background, f.bob, 90 * n, 30 * n);
        blit_alpha(f.background, f.dst, 0, 0, W, H, 0, 0);
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_bobs_and_blend);

} // namespace

BENCHMARK_MAIN();
