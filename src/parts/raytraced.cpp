// raytraced.cpp -- the raytraced spheres live, between bars, faded in from and out to black

#include "parts/raytraced.h"

#include "data/blit.h"
#include "data/cpu.h"
#include "data/error.h"
#include "data/image.h"
#include "data/packed.h"
#include "parts/parts.h"
#include "parts/raytracer.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

constexpr float RAYTRACED_PACE = 0.1f;         // part clock per tick
constexpr float RAYTRACED_FADE_IN_END = 50.0f; // part clock below which it fades in
constexpr float RAYTRACED_FADE_OUT = 340.0f;   // part clock above which it fades out
constexpr float RAYTRACED_FADE = 1.8f;         // brightness per tick
constexpr float RAYTRACED_FULL = 256.0f;
constexpr float RAYTRACED_STEP = 0.028571429f; // tracer seconds per tick (1 / 35)

static Image *raytraced_texture;
static TraceScene *raytraced_scene;
static float raytraced_clock;
static float raytraced_brightness;

// Turns n pixel words into tracer words in place: rotated right by 8 bits, so the mask byte
// lands in byte 3.
static void raytraced_to_tracer(uint32_t *pixels, int32_t n) {
    for (int32_t i = 0; i < n; i++) pixels[i] = pixels[i] << 24 | pixels[i] >> 8;
}

void raytraced_from_tracer(uint32_t *pixels, int32_t n) {
    int32_t i = 0;
#if QM_PACKED
    // Four at a time: the two halves of the sum never overlap, so it is an or.
    const __m128i low = _mm_set1_epi32(0xFF), high = _mm_set1_epi32(int32_t(0xFFFF0000));
    for (; has_mmx && i + 4 <= n; i += 4) {
        __m128i *at = reinterpret_cast<__m128i *>(pixels + i);
        __m128i p = _mm_loadu_si128(at), red = _mm_and_si128(p, low);
        __m128i rest = _mm_and_si128(_mm_slli_epi32(p, 8), high);
        _mm_storeu_si128(at, _mm_or_si128(_mm_or_si128(red, _mm_slli_epi32(red, 8)), rest));
    }
#endif
    for (; i < n; i++) pixels[i] = (pixels[i] & 0xFF) * 257 + ((pixels[i] >> 8) << 16);
}

int raytraced_load() {
    raytraced_texture = load_jpeg("data\\tracemap.jpg", 0);
    if (!raytraced_texture) return 0;
    // The tracer reads texels at (v & 255) * 256 + (u & 255): anything smaller reads outside.
    if (raytraced_texture->width != TRACE_TEXTURE_SIDE ||
        raytraced_texture->height != TRACE_TEXTURE_SIDE) {
        data_error("data\\tracemap.jpg: the wall texture is %d x %d, not 256 x 256",
                   raytraced_texture->width, raytraced_texture->height);
        return 0;
    }
    raytraced_to_tracer(raytraced_texture->pixels, TRACE_TEXTURE_SIDE * TRACE_TEXTURE_SIDE);
    raytraced_scene = tracer_setup(FrameBuffer->pixels, raytraced_texture->pixels);
    if (!raytraced_scene) {
        data_error("raytraced part: out of memory for the tracer");
        return 0;
    }
    raytraced_clock = 0.0f;
    raytraced_brightness = 0.0f;
    return 1;
}

// The fade in and out. Returns 0 once the fade-out has reached black.
static int raytraced_fade(float dt) {
    if (raytraced_clock > RAYTRACED_FADE_OUT) {
        if (!(raytraced_brightness > 0.0f)) {
            raytraced_brightness = 0.0f;
            display_brightness = 0;
            return 0;
        }
        raytraced_brightness -= RAYTRACED_FADE * dt;
        if (!(raytraced_brightness > 0.0f)) {
            raytraced_brightness = 0.0f;
            display_brightness = 0;
            return 0;
        }
        display_brightness = int32_t(raytraced_brightness);
    }
    if (raytraced_clock < RAYTRACED_FADE_IN_END) {
        if (raytraced_brightness < RAYTRACED_FULL) raytraced_brightness += RAYTRACED_FADE * dt;
        if (raytraced_brightness > RAYTRACED_FULL) raytraced_brightness = RAYTRACED_FULL;
        display_brightness = int32_t(raytraced_brightness);
    }
    return 1;
}

int raytraced_run() {
    if (!raytraced_scene) return 0; // not loaded: nothing to trace into
    float dt = frame_time;
    if (!raytraced_fade(dt)) return 0;
    tracer_frame(raytraced_scene, dt * RAYTRACED_STEP);
    raytraced_from_tracer(FrameBuffer->pixels, TRACE_WIDTH * TRACE_HEIGHT);
    blit_masked(BarUp, FrameBuffer, 0, 0, 304, 29, -32, 0);
    blit_masked(BarDown, FrameBuffer, 0, 0, 304, 29, 240, 227);
    blit_masked(TextStrip[11], FrameBuffer, 0, 0, 256, 24, 0, 0);
    blit_masked(TextStrip[12], FrameBuffer, 0, 0, 256, 24, 254, 231);
    raytraced_clock += RAYTRACED_PACE * dt;
    return 1;
}
