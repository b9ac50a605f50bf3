// particle_morph.cpp -- a particle cloud morphing through five shapes over a turning lettering

#include "parts/particle_morph.h"

#include "data/blit.h"
#include "data/error.h"
#include "data/packed.h"
#include "engine/morph.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scalar.h"
#include "engine/scene.h"
#include "fillers/fillers.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <initializer_list>

constexpr const char *BACKGROUND_NAME = "data\\ptl_back.jpg";
constexpr const char *TEXT_NAME = "data\\ptl_text.jpg";
constexpr const char *MASK_NAME = "data\\ptl_alph.jpg";
constexpr const char *FACE_MAP_NAME = "data\\ptl_fmap.jpg";
constexpr const char *SCENE_NAME = "data\\ptl_scen.lws";

constexpr int SHAPES = 5;
static const char *const SHAPE_NAMES[SHAPES] = {
    "data\\pmorph1.lwo", "data\\pmorph2.lwo", "data\\pmorph3.lwo",
    "data\\pmorph4.lwo", "data\\pmorph5.lwo",
};

// The shape (0-based) reached every 200 ticks of morph time, from 0 to 1800.
constexpr int MORPH_KEYS = 10;
static const int MORPH_ORDER[MORPH_KEYS] = {0, 1, 2, 3, 4, 0, 1, 3, 2, 4};
constexpr float MORPH_STEP = 200.0f;
constexpr float MORPH_SWING = 900.0f; // morph time = (cos(angle) + 1) * 900
constexpr float MORPH_PACE = 0.002f;

// The scene: depth-sorted, animated, drawn into a work image; its clock runs 1.5 times fast.
constexpr float SCENE_FOCAL = 400.0f;
constexpr float SCENE_SPEED = 1.5f;
constexpr float TURN_PITCH = 0.013f, TURN_HEADING = 0.015f, TURN_BANK = 0.01f;

constexpr float ROTO_PACE_A = 0.025f;
constexpr float ROTO_PACE_B = 0.022f;
constexpr float ZOOM_FULL = 65535.0f; // zoom 1 steps one texel (16.16) per pixel

constexpr float PART_LENGTH = 970.0f;
constexpr float START_BRIGHTNESS = 256.0f;
constexpr float DISSOLVE_PACE = 0.9f;
constexpr int32_t DISSOLVE_DONE = 256;
constexpr uint32_t WHITE_PIXEL = 0xFFFFFF00u;

// The side bars slide in once the dissolve threshold has passed 210.
constexpr int32_t BARS_START = 210;
constexpr float BAR_PACE = 0.5f;
constexpr float LEFT_START = -32.0f, LEFT_STOP = 0.0f;
constexpr float RIGHT_START = 512.0f, RIGHT_STOP = 488.0f;
constexpr int32_t BAR_WIDTH = 24, BAR_HEIGHT = 307, CAPTION_HEIGHT = 256;
constexpr int32_t LEFT_BAR_Y = 32, RIGHT_BAR_Y = -79;
constexpr int32_t LEFT_CAPTION_Y = 32, RIGHT_CAPTION_Y = -22;
constexpr int LEFT_CAPTION = 9, RIGHT_CAPTION = 10;

// Everything the part animates; times and speeds in ticks. Set by particle_morph_load.
struct ParticleMorphState {
    float clock;           // ticks since the part started; the fade-out starts above 970
    float brightness;      // 256, falling one step per tick during the fade-out
    float morph_angle;     // 0.002 per tick; morph time = (cos(angle) + 1) * 900
    float roto_phase_a;    // 0.025 per tick; rotozoom angle = sin(a) + 1
    float roto_phase_b;    // 0.022 per tick; rotozoom zoom = cos(b) / 3 + 1
    float dissolve_level;  // 0.9 per tick while below 256
    int32_t threshold;     // trunc(dissolve_level) of the last frame
    float left_x, right_x; // the side bars, -32 sliding to 0 and 512 sliding to 488
};

static ParticleMorphState state;
static Rotozoom rotozoom;
static Image *background;
static Image *lettering;
static Image *dissolve_mask;
static Image *face_map;
static Scene *scene;
static SceneObject *cloud;
static SceneObject *shapes[SHAPES];
static MorphSequence *morph;

// Double-precision cosine and sine of a float phase, the same bits on every machine.
static double part_cos(float x) {
    return scalar_cos(double(x));
}

static double part_sin(float x) {
    return scalar_sin(double(x));
}

// ---- drawing steps ---------------------------------------------------------------------------

// One row of the rotozoom: n pixels from (u, v), stepping by (du, dv).
using RotozoomRow = void (*)(uint32_t *out, int32_t n, const uint32_t *texels, uint32_t u,
                             uint32_t v, uint32_t du, uint32_t dv);

static void rotozoom_row_plain(uint32_t *out, int32_t n, const uint32_t *texels, uint32_t u,
                               uint32_t v, uint32_t du, uint32_t dv) {
    for (int32_t x = 0; x < n; x++, u += du, v += dv) {
        const uint32_t index = uint32_t((int32_t(v) >> 16) * 256 + (int32_t(u) >> 16));
        out[x] = texels[index & 0xFFFFu];
    }
}

#if QM_PACKED
// Four texel numbers at once. Kept to 16 bits, (v >> 16) * 256 + (u >> 16) with arithmetic
// shifts is ((v >> 8) & 0xFF00) + (u >> 16) with logical ones: the bits the arithmetic shifts
// fill in lie above bit 15.
static void rotozoom_row_packed(uint32_t *out, int32_t n, const uint32_t *texels, uint32_t u,
                                uint32_t v, uint32_t du, uint32_t dv) {
    __m128i us = fill_lanes4(u, du), vs = fill_lanes4(v, dv);
    const __m128i du4 = _mm_set1_epi32(int32_t(4 * du)), dv4 = _mm_set1_epi32(int32_t(4 * dv));
    const __m128i row = _mm_set1_epi32(0xFF00), word = _mm_set1_epi32(0xFFFF);
    int32_t x = 0;
    for (; x + 4 <= n; x += 4) {
        const __m128i at = _mm_and_si128(
            _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(vs, 8), row), _mm_srli_epi32(us, 16)), word);
        fill_fetch4(out + x, texels, at);
        us = _mm_add_epi32(us, du4);
        vs = _mm_add_epi32(vs, dv4);
    }
    rotozoom_row_plain(out + x, n - x, texels, u + uint32_t(x) * du, v + uint32_t(x) * dv, du, dv);
}
#else
static constexpr RotozoomRow rotozoom_row_packed = rotozoom_row_plain;
#endif

static void rotozoom_rows(const Rotozoom *rz, Image *dst, RotozoomRow draw_row) {
    const float z = rz->zoom * ZOOM_FULL;
    // 16.16 steps along a row (kc, ks) and down a column (-ks, kc), truncated toward zero.
    const int32_t kc = int32_t(double(z) * part_cos(rz->angle));
    const int32_t ks = int32_t(double(z) * part_sin(rz->angle));
    // Unsigned sums wrap like the 32-bit registers they stand for; the shifts are arithmetic.
    uint32_t row_u = uint32_t(65536 - kc) * uint32_t(rz->centre_x);
    uint32_t row_v = uint32_t(65536 - ks) * uint32_t(rz->centre_y);
    for (int32_t y = 0; y < dst->height; y++) {
        draw_row(dst->pixels + int64_t(y) * dst->width, dst->width, rz->texture->pixels, row_u,
                 row_v, uint32_t(kc), uint32_t(ks));
        row_u -= uint32_t(ks), row_v += uint32_t(kc);
    }
}

void particle_morph_rotozoom(const Rotozoom *rz, Image *dst) {
    rotozoom_rows(rz, dst, rotozoom_row_packed);
}

void particle_morph_rotozoom_plain(const Rotozoom *rz, Image *dst) {
    rotozoom_rows(rz, dst, rotozoom_row_plain);
}

static void dissolve_pixels(const uint32_t *src, const uint32_t *mask, uint32_t *dst, int32_t n,
                            int32_t threshold) {
    for (int32_t i = 0; i < n; i++) {
        const int32_t red = int32_t((mask[i] >> 8) & 0xFF);
        dst[i] = red < threshold ? src[i] : WHITE_PIXEL;
    }
}

void particle_morph_dissolve_plain(const Image *src, const Image *mask, Image *dst,
                                   int32_t threshold) {
    dissolve_pixels(src->pixels, mask->pixels, dst->pixels, dst->width * dst->height, threshold);
}

// Four pixels at once: the red bytes (0..255) against the threshold as signed 32-bit numbers,
// as the plain comparison makes them.
void particle_morph_dissolve(const Image *src, const Image *mask, Image *dst, int32_t threshold) {
    const int32_t n = dst->width * dst->height;
    int32_t i = 0;
#if QM_PACKED
    const __m128i limit = _mm_set1_epi32(threshold), red = _mm_set1_epi32(0xFF);
    const __m128i white = _mm_set1_epi32(int32_t(WHITE_PIXEL));
    for (; i + 4 <= n; i += 4) {
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i *>(mask->pixels + i));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src->pixels + i));
        const __m128i below = _mm_cmplt_epi32(_mm_and_si128(_mm_srli_epi32(m, 8), red), limit);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst->pixels + i),
                         _mm_or_si128(_mm_and_si128(below, s), _mm_andnot_si128(below, white)));
    }
#endif
    dissolve_pixels(src->pixels + i, mask->pixels + i, dst->pixels + i, n - i, threshold);
}

// ---- load ------------------------------------------------------------------------------------

// The picture, or null when it is missing or not width x height (side 0 takes any size).
static Image *load_picture(const char *name, int32_t width, int32_t height) {
    Image *picture = load_jpeg(name, 0);
    return width == 0 ? picture : image_require_size(picture, name, width, height);
}

static int load_pictures() {
    background = load_picture(BACKGROUND_NAME, PARTICLE_FRAME_WIDTH, PARTICLE_FRAME_HEIGHT);
    if (!background) return 0;
    lettering = load_picture(TEXT_NAME, PARTICLE_TEXTURE_SIDE, PARTICLE_TEXTURE_SIDE);
    if (!lettering) return 0;
    dissolve_mask = load_picture(MASK_NAME, PARTICLE_FRAME_WIDTH, PARTICLE_FRAME_HEIGHT);
    if (!dissolve_mask) return 0;
    face_map = load_picture(FACE_MAP_NAME, 0, 0);
    return face_map != nullptr;
}

static int work_images_ready() {
    for (const Image *image : {WorkImageA, WorkImageB, FrameBuffer}) {
        if (!image || image->width != PARTICLE_FRAME_WIDTH ||
            image->height != PARTICLE_FRAME_HEIGHT) {
            data_error("the particle morph part needs the 512 x 256 frame and work images");
            return 0;
        }
    }
    return 1;
}

static int load_particle_scene() {
    scene = load_scene(SCENE_NAME, PARTICLE_FRAME_WIDTH, PARTICLE_FRAME_HEIGHT, SCENE_FOCAL,
                       SCENE_PART_FLAGS);
    if (!scene) return 0;
    if (scene->object_count < 1) {
        data_error("%s: the scene has no objects; the first must be the particle cloud",
                   SCENE_NAME);
        return 0;
    }
    scene->target = WorkImageB;
    scene->speed = SCENE_SPEED;
    cloud = scene->objects[0];
    cloud->motion = nullptr; // the part turns it itself
    for (int i = 0; i < scene->object_count; i++) {
        SceneObject *object = scene->objects[i];
        for (int f = 0; f < object->face_count; f++) object->faces[f].texture[0] = face_map;
    }
    return 1;
}

// Every shape must move every point of the cloud, in the cloud's own point order.
static int load_shapes() {
    for (int k = 0; k < SHAPES; k++) {
        shapes[k] = load_object(SHAPE_NAMES[k], 1.0f);
        if (!shapes[k]) return 0;
        if (shapes[k]->point_count < cloud->point_count) {
            data_error("%s: %d points, but the scene's particle cloud has %d", SHAPE_NAMES[k],
                       shapes[k]->point_count, cloud->point_count);
            return 0;
        }
    }
    return 1;
}

static int build_morph() {
    morph = morph_new();
    for (int k = 0; morph && k < MORPH_KEYS; k++) {
        MorphKey *key = morph_key(shapes[MORPH_ORDER[k]], MORPH_STEP * float(k));
        if (!morph_add(morph, key)) morph = nullptr;
    }
    if (!morph) data_error("out of memory for the particle morph part's sequence");
    return morph != nullptr;
}

static void reset_state() {
    rotozoom =
        Rotozoom{PARTICLE_FRAME_WIDTH / 2, PARTICLE_FRAME_HEIGHT / 2, 0.0f, 0.0f, 0, 0, lettering};
    state = ParticleMorphState{};
    state.brightness = START_BRIGHTNESS;
    state.left_x = LEFT_START;
    state.right_x = RIGHT_START;
}

int particle_morph_load() {
    if (!load_pictures() || !work_images_ready() || !load_particle_scene() || !load_shapes() ||
        !build_morph())
        return 0;
    reset_state();
    return 1;
}

// ---- run -------------------------------------------------------------------------------------

// The closing fade to black; 0 once the brightness has run out (the offset is then 0).
static int fade_out(float dt) {
    if (state.clock <= PART_LENGTH) return 1;
    state.brightness -= dt;
    if (state.brightness >= 1.0f) {
        display_brightness = int32_t(state.brightness);
        return 1;
    }
    state.brightness = 0.0f;
    display_brightness = BRIGHTNESS_BLACK;
    return 0;
}

static void draw_lettering(float dt) {
    rotozoom.angle = float(part_sin(state.roto_phase_a) + 1.0);
    rotozoom.zoom = float(part_cos(state.roto_phase_b) / 3.0 + 1.0);
    state.roto_phase_a += ROTO_PACE_A * dt;
    state.roto_phase_b += ROTO_PACE_B * dt;
    particle_morph_rotozoom(&rotozoom, WorkImageB);
}

// The picture comes out of white where the mask is darker than the threshold; once the
// threshold reaches 256 it is copied whole and the dissolve stops.
static void show_picture(float dt) {
    state.threshold = int32_t(state.dissolve_level);
    if (state.threshold >= DISSOLVE_DONE) {
        blit_copy(WorkImageA, FrameBuffer, 0, 0, PARTICLE_FRAME_WIDTH, PARTICLE_FRAME_HEIGHT, 0, 0);
        return;
    }
    particle_morph_dissolve(WorkImageA, dissolve_mask, FrameBuffer, state.threshold);
    state.dissolve_level += DISSOLVE_PACE * dt;
}

static void draw_bars() {
    const int32_t left = int32_t(state.left_x), right = int32_t(state.right_x);
    blit_masked(BarLeft, FrameBuffer, 0, 0, BAR_WIDTH, BAR_HEIGHT, left, LEFT_BAR_Y);
    blit_masked(BarRight, FrameBuffer, 0, 0, BAR_WIDTH, BAR_HEIGHT, right, RIGHT_BAR_Y);
    blit_masked(TextStrip[LEFT_CAPTION], FrameBuffer, 0, 0, BAR_WIDTH, CAPTION_HEIGHT, left,
                LEFT_CAPTION_Y);
    blit_masked(TextStrip[RIGHT_CAPTION], FrameBuffer, 0, 0, BAR_WIDTH, CAPTION_HEIGHT, right,
                RIGHT_CAPTION_Y);
}

static void move_bars(float dt) {
    if (state.threshold <= BARS_START) return;
    state.left_x += BAR_PACE * dt;
    if (state.left_x > LEFT_STOP) state.left_x = LEFT_STOP;
    state.right_x -= BAR_PACE * dt;
    if (state.right_x < RIGHT_STOP) state.right_x = RIGHT_STOP;
}

int particle_morph_run() {
    const float dt = frame_time;
    if (!fade_out(dt)) return 0;
    morph_apply(morph, cloud, float((part_cos(state.morph_angle) + 1.0) * MORPH_SWING));
    state.morph_angle += MORPH_PACE * dt;
    blit_copy(background, WorkImageA, 0, 0, PARTICLE_FRAME_WIDTH, PARTICLE_FRAME_HEIGHT, 0, 0);
    draw_lettering(dt);
    render_scene(scene);
    blit_average(WorkImageB, WorkImageA, 0, 0, PARTICLE_FRAME_WIDTH, PARTICLE_FRAME_HEIGHT, 0, 0);
    show_picture(dt);
    cloud->rotation.pitch += TURN_PITCH * dt;
    cloud->rotation.heading += TURN_HEADING * dt;
    cloud->rotation.bank += TURN_BANK * dt;
    draw_bars();
    move_bars(dt);
    state.clock += dt;
    return 1;
}
