// bench/metaball.cpp -- the metaball part's per-frame work beside a plain frame copy.
//
// The plasma (four byte reads and a palette read per pixel; alone, and with the text blended in
// one pass beside the three passes it replaces), the field of five charges on the
// 17 x 17 x 17 grid, and polygonising with drawing, each beside blit_copy of one 512 x 256
// frame. Read the ratios across rows of one run.

#include "parts/metaball.h"
#include "data/blit.h"
#include "data/image.h"
#include "engine/scene.h"
#include "parts/isosurface.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

const Vec3 swing[ISO_BLOBS] = {
    {80, 64, 80}, {148, -64, -110}, {-120, 32, -94}, {-180, -80, 106}, {150, 122, -156}};

struct Setup {
    Image *field = image_create(PLASMA_FIELD_WIDTH, PLASMA_FIELD_HEIGHT, 0);
    Image *frame = image_create(512, 256, IMG_DEPTH);
    Image *copy = image_create(512, 256, 0);
    Image *envmap = image_create(256, 256, 0);
    Image *text = image_create(512, 256, 0);
    std::vector<uint8_t> field_bytes =
        std::vector<uint8_t>(size_t(PLASMA_FIELD_WIDTH) * PLASMA_FIELD_HEIGHT);
    uint32_t palette[256];
    IsoSurface *iso = iso_create();
    Light light{};

    Setup() {
        plasma_build_field(field);
        plasma_build_palette(palette);
        plasma_pack_field(field, field_bytes.data());
        for (int n = 0; n < 512 * 256; n++) text->pixels[n] = uint32_t(n) * 2654435761u;
        for (int n = 0; n < 256 * 256; n++) envmap->pixels[n] = uint32_t(n) << 8;
        // The grid as the part lays it out: about 0.6 pixels per world unit, facing the viewer.
        for (int i = 0; i < ISO_SIDE; i++)
            for (int j = 0; j < ISO_SIDE; j++)
                for (int k = 0; k < ISO_SIDE; k++)
                    iso->grid[iso_index(k, j, i)].screen =
                        Vec3{256.0f + 16.0f * float(k - 8), 128.0f - 16.0f * float(j - 8),
                             -800.0f + 16.0f * float(i - 8)};
        iso_set_blobs(iso, swing, 0.039f);
        iso_blob_centres(iso, 3.0f);
        iso_evaluate_field(iso);
        light.type = 2;
        light.intensity = 255.0f;
        light.view_position = Vec3{0.0f, 0.0f, -930.0f};
    }
    void clear_depth() {
        for (int n = 0; n < 512 * 256; n++) frame->depth[n] = ISO_DEPTH_CLEAR;
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

void BM_plasma(benchmark::State &state) {
    Setup &s = setup();
    float t = 0.0f;
    for (auto _ : state) {
        plasma_draw(s.field, s.palette, t, s.frame);
        t += 0.02f;
        benchmark::ClobberMemory();
    }
}

// The plasma, a copy to the target and the text averaged over it, as three passes (the
// reference) and as one.
void BM_plasma_copy_average(benchmark::State &state) {
    Setup &s = setup();
    float t = 0.0f;
    for (auto _ : state) {
        plasma_draw(s.field, s.palette, t, s.copy);
        blit_copy(s.copy, s.frame, 0, 0, 512, 256, 0, 0);
        blit_average(s.text, s.frame, 0, 0, 512, 256, 0, 0);
        t += 0.02f;
        benchmark::ClobberMemory();
    }
}

void BM_plasma_blended(benchmark::State &state) {
    Setup &s = setup();
    float t = 0.0f;
    for (auto _ : state) {
        plasma_draw_blended(s.field_bytes.data(), s.palette, t, s.text, s.copy, s.frame);
        t += 0.02f;
        benchmark::ClobberMemory();
    }
}

void BM_field(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        iso_evaluate_field(s.iso);
        benchmark::ClobberMemory();
    }
}

// The point-at-a-time reference of the packed field above.
void BM_field_scalar(benchmark::State &state) {
    Setup &s = setup();
    for (auto _ : state) {
        iso_evaluate_field_scalar(s.iso);
        benchmark::ClobberMemory();
    }
}

// Drawing included; the depth plane is cleared outside the timing, as the part clears it with
// the rest of its frame.
// Argument 1: only the cells near the surface; 0: the reference, every cell.
void BM_polygonise(benchmark::State &state) {
    Setup &s = setup();
    auto *polygonise = state.range(0) ? iso_polygonise : iso_polygonise_every_cell;
    int triangles = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s.clear_depth();
        state.ResumeTiming();
        triangles = polygonise(s.iso, &s.light, s.envmap, s.frame);
        benchmark::ClobberMemory();
    }
    state.counters["triangles"] = triangles;
}

BENCHMARK(BM_frame_copy);
BENCHMARK(BM_plasma);
BENCHMARK(BM_plasma_copy_average);
BENCHMARK(BM_plasma_blended);
BENCHMARK(BM_field);
BENCHMARK(BM_field_scalar);
BENCHMARK(BM_polygonise)->Arg(1)->Arg(0);

} // namespace

BENCHMARK_MAIN();
