// fillers.cpp -- fill rate of every filler against a plain store loop over the same pixels
//
// Each filler draws the same set of triangles into a 512 x 256 target. BM_Store/<name> writes
// one constant word to exactly the pixels that filler covers, span by span, so items per second
// of BM_Fill/<name> over BM_Store/<name> is the filler's cost per pixel relative to a bare
// store.

#include "fillers/fillers.h"
#include "data/image.h"
#include "engine/object.h"
#include "fillers/part_fillers.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int WIDTH = 512, HEIGHT = 256, TRIANGLES = 400;

struct Span {
    int32_t row, first, last;
};

struct Case {
    const char *name;
    Filler filler;
    int flags;
    bool unit_uv;
};

const Case CASES[] = {
    {"flat_add", fill_flat_add, FACE_SOLID, false},
    {"flat_lit", fill_flat_lit, FACE_FLAT | FACE_SOLID, false},
    {"textured", fill_textured, FACE_TEXTURED, false},
    {"env_mapped", fill_env_mapped, FACE_ENVMAP, false},
    {"gouraud", fill_gouraud, FACE_GOURAUD | FACE_SOLID, false},
    {"flat_add_depth", fill_flat_add_depth, FACE_SOLID, false},
    {"textured_depth", fill_textured_depth, FACE_TEXTURED, false},
    {"table_shaded", fill_table_shaded, FACE_TEXTURED | FACE_ENVMAP, false},
    {"unit_textured", fill_unit_textured, FACE_TEXTURED, true},
};

struct World {
    std::vector<uint32_t> texels = std::vector<uint32_t>(65536), levels, table;
    Image texture{}, level_texture{};
    Image *target = image_create(WIDTH, HEIGHT, IMG_DEPTH);

    World() : levels(65536), table(SHADE_TABLE_SIZE) {
        for (uint32_t i = 0; i < 65536; i++) {
            texels[i] = (i * 2654435761u) | 0xff;
            levels[i] = i >> 8;
            table[i] = i << 8 | 0xff;
        }
        texture = {0, 256, 256, texels.data(), nullptr, {}, nullptr, 0};
        level_texture = {0, 256, 256, levels.data(), nullptr, {}, nullptr, 0};
        fill_set_shade_table(table.data());
    }
};

World &world() {
    static World w;
    return w;
}

// Triangles of 8 to 60 pixels a side spread over the target, as a scene hands them over.
std::vector<Face> make_faces(const Case &c) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> cx(40, WIDTH - 41), cy(40, HEIGHT - 41), d(-30, 30);
    std::uniform_real_distribution<float> texel(0, 255), light(40, 255);
    Face *defaults = new_faces(1);
    std::vector<Face> faces(TRIANGLES, *defaults);
    for (Face &f : faces) {
        float x = cx(rng), y = cy(rng);
        for (Vec3 &v : f.v) v = {x + d(rng), y + d(rng), -10.0f};
        f.flags = c.flags;
        f.colour = 0x40302010u | 0xff;
        f.flat_intensity = light(rng);
        for (float &g : f.gouraud_intensity) g = light(rng);
        f.texture[0] = &world().texture;
        f.texture[1] = c.filler == fill_table_shaded ? &world().level_texture : &world().texture;
        f.uv_layer[1] = 6;
        for (int i = 0; i < 12; i++) f.uv[i] = c.unit_uv ? texel(rng) / 256.0f : texel(rng);
    }
    return faces;
}

// The spans each filler writes, found by drawing once over a cleared target.
std::vector<Span> covered_spans(const Case &c, const std::vector<Face> &faces) {
    std::vector<Span> spans;
    Image *t = world().target;
    for (const Face &f : faces) {
        std::fill(t->pixels, t->pixels + WIDTH * HEIGHT, 0u);
        std::fill(t->depth, t->depth + WIDTH * HEIGHT, 0.0f);
        c.filler(&f, t);
        for (int32_t y = 0; y < HEIGHT; y++)
            for (int32_t x = 0; x < WIDTH; x++) {
                if (t->pixels[y * WIDTH + x] == 0) continue;
                int32_t first = x;
                while (x < WIDTH && t->pixels[y * WIDTH + x] != 0) x++;
                spans.push_back({y, first, x});
            }
    }
    return spans;
}

int64_t pixel_count(const std::vector<Span> &spans) {
    int64_t n = 0;
    for (const Span &s : spans) n += s.last - s.first;
    return n;
}

void BM_Store(benchmark::State &state, const Case &c) {
    std::vector<Span> spans = covered_spans(c, make_faces(c));
    uint32_t *pixels = world().target->pixels;
    for (auto _ : state) {
        for (const Span &s : spans) {
            uint32_t *row = pixels + s.row * WIDTH;
            for (int32_t x = s.first; x < s.last; x++) row[x] = 0x12345600u;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixel_count(spans));
}

void BM_Fill(benchmark::State &state, const Case &c) {
    std::vector<Face> faces = make_faces(c);
    int64_t pixels = pixel_count(covered_spans(c, faces));
    Image *t = world().target;
    std::fill(t->depth, t->depth + WIDTH * HEIGHT, 0.0f);
    float z = -10.0f;
    for (auto _ : state) {
        // Depth-tested fillers draw every pixel when each pass lies nearer than the last.
        z -= 1.0f;
        for (Face &f : faces) {
            for (Vec3 &v : f.v) v.z = z;
            c.filler(&f, t);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

const bool registered = [] {
    for (const Case &c : CASES) {
        benchmark::RegisterBenchmark((std::string("BM_Store/") + c.name).c_str(), BM_Store, c);
        benchmark::RegisterBenchmark((std::string("BM_Fill/") + c.name).c_str(), BM_Fill, c);
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
