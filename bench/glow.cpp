// bench/glow.cpp -- the glow part's per-frame 2D work beside a plain frame copy.
//
// The teal fill, the radial blur from (416, 70), the see-through overlay, one caption blend and
// the masked dissolve, each beside blit_copy of one 512 x 256 frame. Read the ratios across
// rows of one run (the blur beside its per-pixel reference).

#include "parts/glow.h"
#include "parts/magnet.h"

#include "data/blit.h"
#include "data/cpu.h"
#include "data/image.h"
#include "engine/morph.h"
#include "stage/stage.h"

#include <benchmark/benchmark.h>

namespace {

struct Setup {
    Image *frame = image_create(512, 256, 0);
    Image *copy = image_create(512, 256, 0);
    Image *overlay = image_create(512, 256, 0);
    Image *mask = image_create(512, 256, 0);
    Image *caption = image_create(192, 24, 0);

    Setup() {
        for (int n = 0; n < 512 * 256; n++) {
            const int x = n % 512, y = n / 512;
            copy->pixels[n] = pixel_rgb(n, n >> 3, n >> 5);
            // A frame round a window, as the part's overlay has.
            const bool window = x >= 228 && x < 502 && y >= 10 && y < 246;
            overlay->pixels[n] = window ? GLOW_KEY : pixel_rgb(30, 50, 52);
            mask->pixels[n] = pixel_rgb(n * 13 % 256, 0, 0);
        }
        preload_key_text(overlay, GLOW_KEY);
        for (int n = 0; n < 192 * 24; n++) caption->pixels[n] = pixel_rgb(240, 200, n);
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

void BM_TealFill(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        image_fill_rect(s.frame, GLOW_KEY, 0, 0, 512, 256);
        benchmark::DoNotOptimize(s.frame->pixels);
    }
}

// Argument 0: the per-pixel reference; 1: the column table and packed rows.
void BM_RadialBlur(benchmark::State &state) {
    Setup &s = setup();
    int32_t saved = has_mmx;
    has_mmx = int32_t(state.range(0));
    for (auto _ : state) {
        blit_copy(s.copy, s.frame, 0, 0, 512, 256, 0, 0);
        radial_blur(s.frame, s.frame, 416.0f, 70.0f, 0.06f);
        benchmark::DoNotOptimize(s.frame->pixels);
    }
    has_mmx = saved;
}

void BM_Overlay(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        blit_masked(s.overlay, s.frame, 0, 0, 512, 256, 0, 0);
        benchmark::DoNotOptimize(s.frame->pixels);
    }
}

void BM_CaptionBlend(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        blit_blend(s.caption, s.frame, 0, 0, 192, 24, 14, 110, 128);
        benchmark::DoNotOptimize(s.frame->pixels);
    }
}

void BM_Dissolve(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        magnet_dissolve(s.copy, s.mask, s.frame, 128);
        benchmark::DoNotOptimize(s.frame->pixels);
    }
}

} // namespace

BENCHMARK(BM_FrameCopy);
BENCHMARK(BM_TealFill);
BENCHMARK(BM_RadialBlur)->Arg(0)->Arg(1);
BENCHMARK(BM_Overlay);
BENCHMARK(BM_CaptionBlend);
BENCHMARK(BM_Dissolve);
BENCHMARK_MAIN();
