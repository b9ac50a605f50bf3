// bench/render.cpp -- frames of a generated 5,000-face scene, and the radix depth sort beside
// std::stable_sort of the same keys.
//
// The scene holds four balls of 1,250 faces each, one per kind of face (flat-lit, Gouraud,
// textured, environment-mapped), turning in front of the camera into a 512 x 256 target. Read
// the per-kind rows against the whole frame, the radix rows against the stable_sort rows, and the
// packed sprite row against the plain one.

#include "engine/render.h"
#include "data/cpu.h"
#include "data/image.h"
#include "data/memory.h"
#include "engine/motion.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "engine/texmap.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int BANDS = 25, SECTORS = 25; // 1,250 faces a ball

template <typename T> T *block(int n) {
    return static_cast<T *>(mem_alloc(sizeof(T) * static_cast<size_t>(n)));
}

// A key turning by heading degrees at frame, at a fixed place.
MotionKey *turn_key(Vec3 at, float frame, float heading) {
    MotionKey *k = new_key();
    k->value[MOTION_X] = at.x;
    k->value[MOTION_Y] = at.y;
    k->value[MOTION_Z] = at.z;
    k->value[MOTION_HEADING] = heading;
    k->value[MOTION_PITCH] = heading / 2;
    k->frame = frame;
    return k;
}

Motion *turning(Vec3 at) {
    Motion *m = new_motion();
    for (int i = 0; i < 4; i++) motion_insert(m, turn_key(at, 100.0f * i, 2.0f * i));
    return m;
}

void ball_points(SceneObject *o, float radius) {
    for (int b = 0; b <= BANDS; b++)
        for (int s = 0; s < SECTORS; s++) {
            const float lat = 3.14159265f * b / BANDS - 1.5707963f;
            const float lon = 6.2831853f * s / SECTORS;
            Vec3 &p = o->points[b * SECTORS + s];
            p = Vec3{radius * std::cos(lat) * std::cos(lon), radius * std::sin(lat),
                     radius * std::cos(lat) * std::sin(lon)};
            vec_scale(o->point_normals[b * SECTORS + s], 1.0f / radius, p);
        }
}

void ball_faces(SceneObject *o, int flags) {
    int f = 0;
    for (int b = 0; b < BANDS; b++)
        for (int s = 0; s < SECTORS; s++) {
            const int a = b * SECTORS + s, c = b * SECTORS + (s + 1) % SECTORS;
            const int quad[2][3] = {{a, a + SECTORS, c + SECTORS}, {a, c + SECTORS, c}};
            for (const auto &tri : quad) {
                Face &face = o->faces[f++];
                for (int k = 0; k < 3; k++) face.point_index[k] = tri[k];
                face.flags = flags;
                face.colour = pixel_rgb(200, 180, 120);
                face.surface_index = 0;
            }
        }
}

SceneObject *ball(Vec3 at, int flags) {
    SceneObject *o = new_empty_object();
    o->point_count = (BANDS + 1) * SECTORS;
    o->points = block<Vec3>(o->point_count);
    o->point_normals = block<Vec3>(o->point_count);
    o->view_points = block<Vec3>(o->point_count);
    o->view_normals = block<Vec3>(o->point_count);
    o->face_count = 2 * BANDS * SECTORS;
    o->faces = new_faces(o->face_count);
    o->surface_count = 1;
    o->surfaces = new_surfaces(1);
    o->surfaces[0].texture_centre = Vec3{0, 0, 0};
    o->surfaces[0].texture_size = Vec3{120, 120, 120};
    o->surfaces[0].flags = MAP_SPHERICAL | MAP_AXIS_Y;
    ball_points(o, 60.0f);
    ball_faces(o, flags);
    o->motion = turning(at);
    return o;
}

Image *checker() {
    Image *img = image_create(256, 256, 0);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            img->pixels[y * 256 + x] =
                ((x ^ y) & 32) ? pixel_rgb(x, 255 - y, 90) : pixel_rgb(30, 30, 30);
    return img;
}

// Kinds of ball, by face flags; 0 in a scene's kind list stands for all four.
constexpr int KIND_FLAT = FACE_SOLID | FACE_FLAT;
constexpr int KIND_GOURAUD = FACE_SOLID | FACE_GOURAUD;

struct Bench {
    Scene *scene = nullptr;
};

Scene *make_scene(const std::vector<int> &kinds) {
    Scene *s = block<Scene>(1);
    s->flags = SCENE_PART_FLAGS;
    s->speed = 1.0f;
    s->view = view_create(512, 256, 400);
    s->target = image_create(512, 256, IMG_DEPTH);
    s->cameras = block<Camera *>(1);
    s->cameras[0] = block<Camera>(1);
    s->cameras[0]->motion = turning(Vec3{0, 0, 0});
    s->camera_count = 1;
    s->lights = block<Light *>(1);
    s->lights[0] = block<Light>(1);
    *s->lights[0] = Light{};
    s->lights[0]->type = 2;
    s->lights[0]->intensity = 255.0f;
    s->lights[0]->world_position = Vec3{0, 200, 0};
    s->light_count = 1;
    s->view->lights[0] = s->lights[0];
    s->view->light_count = 1;
    const Vec3 places[4] = {{-80, 45, 300}, {80, 45, 300}, {-80, -45, 300}, {80, -45, 300}};
    Image *texture = checker();
    s->objects = block<SceneObject *>(static_cast<int>(kinds.size()));
    for (size_t i = 0; i < kinds.size(); i++) {
        const int kind = kinds[i];
        SceneObject *o =
            ball(places[i % 4], kind == FACE_TEXTURED || kind == FACE_ENVMAP ? 0 : kind);
        if (kind == FACE_TEXTURED) o->surfaces[0].texture_image = texture;
        if (kind == FACE_ENVMAP) o->surfaces[0].env_image = texture;
        apply_surface_textures(o);
        s->objects[s->object_count++] = o;
    }
    return s;
}

// One frame of the scene per iteration, one tick apart.
void run_frames(benchmark::State &state, const std::vector<int> &kinds) {
    cpu_detect();
    Scene *s = make_scene(kinds);
    int faces = 0;
    for (int i = 0; i < s->object_count; i++) faces += s->objects[i]->face_count;
    for (auto _ : state) {
        render_scene_ticks(s, 1.0f);
        if (s->time > 300.0f) s->time = 0.0f;
        benchmark::ClobberMemory();
    }
    state.counters["faces"] = faces;
    mem_free_all();
}

void BM_RenderFlat(benchmark::State &state) {
    run_frames(state, {KIND_FLAT});
}
void BM_RenderGouraud(benchmark::State &state) {
    run_frames(state, {KIND_GOURAUD});
}
void BM_RenderTextured(benchmark::State &state) {
    run_frames(state, {FACE_TEXTURED});
}
void BM_RenderEnvMapped(benchmark::State &state) {
    run_frames(state, {FACE_ENVMAP});
}
void BM_RenderAllFourKinds(benchmark::State &state) {
    run_frames(state, {KIND_FLAT, KIND_GOURAUD, FACE_TEXTURED, FACE_ENVMAP});
}
BENCHMARK(BM_RenderFlat)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderGouraud)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderTextured)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderEnvMapped)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderAllFourKinds)->Unit(benchmark::kMicrosecond);

// Depth keys as a frame makes them: 65535 + 64 x (sum of three depths), depths spread over a
// few hundred units with many equal keys.
std::vector<Face> keyed_faces(int n) {
    std::mt19937 rng(9);
    std::vector<Face> faces(static_cast<size_t>(n));
    for (Face &f : faces) f.depth_key = 65535 + static_cast<int>(rng() % 60000) - 30000;
    return faces;
}

void BM_DepthSortRadix(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<Face> faces = keyed_faces(n);
    std::vector<Face *> unsorted, list(n), scratch(n);
    for (Face &f : faces) unsorted.push_back(&f);
    for (auto _ : state) {
        std::copy(unsorted.begin(), unsorted.end(), list.begin());
        depth_sort(list.data(), scratch.data(), n);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The same order from the standard library: stable ascending, then reversed.
void BM_DepthSortStable(benchmark::State &state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<Face> faces = keyed_faces(n);
    std::vector<Face *> unsorted, list(n);
    for (Face &f : faces) unsorted.push_back(&f);
    for (auto _ : state) {
        std::copy(unsorted.begin(), unsorted.end(), list.begin());
        std::stable_sort(list.begin(), list.end(), [](const Face *a, const Face *b) {
            return static_cast<uint32_t>(a->depth_key) < static_cast<uint32_t>(b->depth_key);
        });
        std::reverse(list.begin(), list.end());
        benchmark::DoNotOptimize(list.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DepthSortRadix)->Arg(1000)->Arg(2500)->Arg(10000);
BENCHMARK(BM_DepthSortStable)->Arg(1000)->Arg(2500)->Arg(10000);

// 64 flare-sized sprites a frame, additive, over a 512 x 256 target: plain (0) and packed (1).
void BM_Sprites(benchmark::State &state) {
    const int32_t saved = has_mmx;
    has_mmx = static_cast<int32_t>(state.range(0));
    Image *target = image_create(512, 256, 0);
    Image *sprite = checker();
    for (auto _ : state) {
        for (int i = 0; i < 64; i++) draw_sprite_add(8 * i, 40 + (i % 8) * 24, target, sprite, 64);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 64 * 64 * 64);
    has_mmx = saved;
    mem_free_all();
}
BENCHMARK(BM_Sprites)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
