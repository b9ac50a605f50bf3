// metaball.cpp -- five merging blobs, environment-mapped, over a moving four-layer plasma

#include "parts/metaball.h"

#include "data/blit.h"
#include "data/error.h"
#include "data/memory.h"
#include "data/packed.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scalar.h"
#include "engine/scene.h"
#include "parts/isosurface.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <cmath>

constexpr float META_LENGTH = 1200.0f;    // part clock ticks before the closing fade
constexpr float META_FADE_IN = 1.5f;      // brightness lost per tick while opening
constexpr float META_FADE_OUT = 3.0f;     // brightness gained per tick while closing
constexpr float META_PLASMA_PACE = 0.02f; // plasma time per tick
constexpr float META_BAR_PACE = 2.0f;     // pixels per tick the bars slide
constexpr float META_UPPER_START = -305.0f;
constexpr float META_UPPER_END = -32.0f;
constexpr float META_LOWER_START = 513.0f;
constexpr float META_LOWER_END = 240.0f;
constexpr float META_WHITE = 511.0f;
constexpr float META_THRESHOLD = 0.039f;

constexpr size_t META_PALETTE_BYTES = 262144;
// The depth plane has as many spare bytes before and after it as its block leaves over.
constexpr size_t META_DEPTH_BLOCK_BYTES = 786432;
constexpr size_t META_DEPTH_OFFSET = 131072;

static const char *const META_TEXT = "data\\metatxt1.jpg";
static const char *const META_ENVMAP = "data\\metaenvm.jpg";
static const char *const META_SCENE = "data\\metascen.lws";

// How far each charge swings along x, y and z.
static const Vec3 meta_swing[ISO_BLOBS] = {
    {80.0f, 64.0f, 80.0f},     {148.0f, -64.0f, -110.0f}, {-120.0f, 32.0f, -94.0f},
    {-180.0f, -80.0f, 106.0f}, {150.0f, 122.0f, -156.0f},
};

static Image *meta_text;
static Image *meta_field;
static uint8_t *meta_field_bytes; // the field's bytes alone, as the plasma reads them
static Image *meta_envmap;
static uint32_t *meta_palette;
static Image *meta_target; // rows 128..383 of WorkImageLarge, with a depth plane of its own
static Scene *meta_scene;
static SceneObject *meta_cube;
static IsoSurface *meta_iso;

static float meta_clock;
static float meta_upper_x;
static float meta_lower_x;
// Program-start values, not set by the load (metaball_reset puts them back).
static float meta_brightness = META_WHITE;
static float meta_time = 0.0f;

void metaball_reset() {
    meta_brightness = META_WHITE;
    meta_time = 0.0f;
}

// ---- plasma ----------------------------------------------------------------------------------

void plasma_build_field(Image *field) {
    for (int32_t r = 0; r < PLASMA_FIELD_HEIGHT; r++) {
        uint32_t *row = field->pixels + size_t(r) * PLASMA_FIELD_WIDTH;
        for (int32_t c = 0; c < PLASMA_FIELD_WIDTH; c++) {
            const double x = c - PLASMA_FIELD_WIDTH / 2, y = r - PLASMA_FIELD_HEIGHT / 2;
            const double angle = scalar_atan2(y, x);
            const int32_t value =
                int32_t(std::sqrt(x * x + y * y) + scalar_sin(4.0 * angle) * 125.81197901310598 +
                        scalar_cos(9.0 * angle) * 133.92888088491927);
            row[c] = (uint32_t(value) & 255) << 24;
        }
    }
}

void plasma_build_palette(uint32_t *palette) {
    for (uint32_t i = 0; i < 256; i++) {
        const uint32_t grey = i < 128 ? 2 * i : i < 192 ? 511 - 2 * i : 512 - 2 * i;
        palette[i] = pixel_rgb(grey / 3, grey / 3, grey / 3);
    }
}

// trunc(v) limited to 0..most (NaN gives 0).
static int32_t trunc_within(double v, int32_t most) {
    if (!(v >= 0.0)) return 0;
    return v >= most ? most : int32_t(v);
}

static PlasmaOffset window_at(double row, double column) {
    // The swings keep every window inside the field; the limits only guard a clock gone wrong.
    return PlasmaOffset{trunc_within(row, PLASMA_FIELD_HEIGHT - PLASMA_HEIGHT),
                        trunc_within(column, PLASMA_FIELD_WIDTH - PLASMA_WIDTH)};
}

void plasma_offsets(float t, PlasmaOffset offset[PLASMA_LAYERS]) {
    const double s = t;
    offset[0] = window_at(scalar_cos((s + 1.3) * 0.8f + 1.1f) * 90 + 128,
                          scalar_sin((s + 1.9) * 1.1f + 1.5) * 100 + 256);
    offset[1] = window_at(scalar_cos((s + 0.7f) * 0.7f + 6.9f) * 80 + 128,
                          scalar_sin((s + 1.4) * 0.9f + 4.2f) * 140 + 256);
    offset[2] =
        window_at(scalar_cos(1.1f * t + 12.0) * 70 + 128, scalar_sin(0.9f * t + 3.1) * 100 + 256);
    offset[3] =
        window_at(scalar_cos(0.6f * t + 7.0) * 70 + 128, scalar_sin(0.5 * s + 2.1) * 150 + 256);
}

void plasma_draw(const Image *field, const uint32_t *palette, float t, Image *target) {
    PlasmaOffset o[PLASMA_LAYERS];
    plasma_offsets(t, o);
    const uint32_t *base = field->pixels;
    for (int32_t y = 0; y < PLASMA_HEIGHT; y++) {
        const uint32_t *a = base + size_t(o[0].row + y) * PLASMA_FIELD_WIDTH + o[0].column;
        const uint32_t *b = base + size_t(o[1].row + y) * PLASMA_FIELD_WIDTH + o[1].column;
        const uint32_t *c = base + size_t(o[2].row + y) * PLASMA_FIELD_WIDTH + o[2].column;
        const uint32_t *d = base + size_t(o[3].row + y) * PLASMA_FIELD_WIDTH + o[3].column;
        uint32_t *out = target->pixels + size_t(y) * size_t(target->width);
        for (int32_t x = 0; x < PLASMA_WIDTH; x++)
            out[x] = palette[((a[x] >> 24) + (b[x] >> 24) + (c[x] >> 24) + (d[x] >> 24)) & 255];
    }
}

void plasma_pack_field(const Image *field, uint8_t *bytes) {
    for (size_t n = 0; n < size_t(PLASMA_FIELD_WIDTH) * PLASMA_FIELD_HEIGHT; n++)
        bytes[n] = uint8_t(field->pixels[n] >> 24);
}

// (text + plasma) >> 1 in each colour byte, the plasma's mask byte.
static uint32_t plasma_average(uint32_t text, uint32_t plasma) {
    uint32_t out = plasma & 0xFF;
    for (int shift = 8; shift < 32; shift += 8)
        out |= (((text >> shift & 255) + (plasma >> shift & 255)) >> 1) << shift;
    return out;
}

#if QM_PACKED
// Sixteen pixels from x on: the four windows' bytes summed (wrapping, as AND 255 does), looked
// up, stored plain and averaged with the text as blit_average's packed path does it.
static void plasma_blend16(const uint8_t *const row[PLASMA_LAYERS], int32_t x,
                           const uint32_t *palette, const uint32_t *text, uint32_t *plain,
                           uint32_t *target) {
    const __m128i low_bits_clear = _mm_set1_epi8(int8_t(0xFE));
    const __m128i mask_byte = _mm_set1_epi32(0xFF);
    __m128i sum = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row[0] + x));
    for (int k = 1; k < PLASMA_LAYERS; k++)
        sum = _mm_add_epi8(sum, _mm_loadu_si128(reinterpret_cast<const __m128i *>(row[k] + x)));
    alignas(16) uint8_t index[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(index), sum);
    for (int q = 0; q < 16; q += 4) {
        __m128i p = _mm_setr_epi32(int32_t(palette[index[q]]), int32_t(palette[index[q + 1]]),
                                   int32_t(palette[index[q + 2]]), int32_t(palette[index[q + 3]]));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(plain + x + q), p);
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + x + q));
        // (s + p) >> 1 per byte without a carry out: (s & p) + ((s ^ p) >> 1), the low bits
        // cleared first so the 16-bit shift moves nothing across bytes.
        __m128i half = _mm_srli_epi16(_mm_and_si128(_mm_xor_si128(s, p), low_bits_clear), 1);
        __m128i mean = _mm_add_epi8(_mm_and_si128(s, p), half);
        mean = _mm_or_si128(_mm_and_si128(mask_byte, p), _mm_andnot_si128(mask_byte, mean));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(target + x + q), mean);
    }
}
#endif

void plasma_draw_blended(const uint8_t *field_bytes, const uint32_t *palette, float t,
                         const Image *text, Image *plain, Image *target) {
    PlasmaOffset o[PLASMA_LAYERS];
    plasma_offsets(t, o);
    for (int32_t y = 0; y < PLASMA_HEIGHT; y++) {
        const uint8_t *row[PLASMA_LAYERS];
        for (int k = 0; k < PLASMA_LAYERS; k++)
            row[k] = field_bytes + size_t(o[k].row + y) * PLASMA_FIELD_WIDTH + o[k].column;
        const uint32_t *over = text->pixels + size_t(y) * PLASMA_WIDTH;
        uint32_t *out = plain->pixels + size_t(y) * PLASMA_WIDTH;
        uint32_t *blended = target->pixels + size_t(y) * PLASMA_WIDTH;
        int32_t x = 0;
#if QM_PACKED
        for (; x + 16 <= PLASMA_WIDTH; x += 16) plasma_blend16(row, x, palette, over, out, blended);
#endif
        for (; x < PLASMA_WIDTH; x++) {
            out[x] = palette[uint8_t(row[0][x] + row[1][x] + row[2][x] + row[3][x])];
            blended[x] = plasma_average(over[x], out[x]);
        }
    }
}

// ---- loading ---------------------------------------------------------------------------------

static Image *load_sized_jpeg(const char *name, int32_t width, int32_t height) {
    return image_require_size(load_jpeg(name, 0), name, width, height);
}

static int load_pictures() {
    meta_text = load_sized_jpeg(META_TEXT, 512, 256);
    if (!meta_text) return 0;
    meta_field = image_create(PLASMA_FIELD_WIDTH, PLASMA_FIELD_HEIGHT, 0);
    if (!meta_field) {
        data_error("out of memory for the plasma field");
        return 0;
    }
    meta_envmap = load_sized_jpeg(META_ENVMAP, 256, 256);
    if (!meta_envmap) return 0;
    plasma_build_field(meta_field);
    meta_field_bytes =
        static_cast<uint8_t *>(mem_alloc(size_t(PLASMA_FIELD_WIDTH) * PLASMA_FIELD_HEIGHT));
    if (!meta_field_bytes) {
        data_error("out of memory for the plasma field");
        return 0;
    }
    plasma_pack_field(meta_field, meta_field_bytes);
    meta_palette = static_cast<uint32_t *>(mem_alloc(META_PALETTE_BYTES));
    if (!meta_palette) {
        data_error("out of memory for the plasma palette");
        return 0;
    }
    plasma_build_palette(meta_palette);
    return 1;
}

// The part's own target: the middle rows of the large work image, and a depth plane.
static int create_target() {
    if (!WorkImageLarge || WorkImageLarge->width != 512 || WorkImageLarge->height != 512) {
        data_error("the metaball part needs the 512 x 512 work image");
        return 0;
    }
    meta_target = static_cast<Image *>(mem_alloc(sizeof(Image)));
    auto *depth_block = static_cast<uint8_t *>(mem_alloc(META_DEPTH_BLOCK_BYTES));
    if (!meta_target || !depth_block) {
        data_error("out of memory for the metaball part's target");
        return 0;
    }
    meta_target->width = PLASMA_WIDTH;
    meta_target->height = PLASMA_HEIGHT;
    meta_target->pixels = WorkImageLarge->pixels + 128 * 512;
    meta_target->depth = reinterpret_cast<float *>(depth_block + META_DEPTH_OFFSET);
    return 1;
}

// The scene's first object carries the grid: its first eight points are the cube's corners.
static int load_cube_scene() {
    meta_scene = load_scene(META_SCENE, 512, 256, 400.0f, SCENE_PART_FLAGS);
    if (!meta_scene) return 0;
    if (meta_scene->object_count < 1 || meta_scene->objects[0]->point_count < 8) {
        data_error("%s: the first object needs the eight corners of a cube", META_SCENE);
        return 0;
    }
    if (meta_scene->light_count < 1) {
        data_error("%s: the scene has no light", META_SCENE);
        return 0;
    }
    meta_cube = meta_scene->objects[0];
    for (int n = 0; n < meta_cube->point_count; n++)
        vec_scale(meta_cube->points[n], 0.99f, meta_cube->points[n]);
    meta_scene->target = WorkImageB; // the scene's own picture is never shown
    Light *light = meta_scene->lights[0];
    light->type = LIGHT_DEFAULT_TYPE;
    light->intensity = 255.0f;
    light->range = 100.0f;
    light->target = meta_cube;
    light->motion = nullptr;
    light->world_position = Vec3{0.0f, 0.0f, -530.0f};
    return 1;
}

int metaball_load() {
    if (!load_pictures() || !create_target() || !load_cube_scene()) return 0;
    meta_iso = iso_create();
    if (!meta_iso) {
        data_error("out of memory for the isosurface grid");
        return 0;
    }
    iso_set_blobs(meta_iso, meta_swing, META_THRESHOLD);
    meta_clock = 0.0f;
    meta_upper_x = META_UPPER_START;
    meta_lower_x = META_LOWER_START;
    return 1;
}

// ---- the frame -------------------------------------------------------------------------------

// Opens from white, closes to white; 0 once the closing fade has reached white.
static int update_brightness() {
    if (meta_clock > META_LENGTH) {
        if (meta_brightness >= META_WHITE) {
            image_fill_rect(FrameBuffer, pixel_rgb(255, 255, 255), 0, 0, 512, 256);
            meta_brightness = 255.0f;
            display_brightness = 255;
            return 0;
        }
        meta_brightness += META_FADE_OUT * frame_time;
        if (meta_brightness > META_WHITE) meta_brightness = META_WHITE;
    } else if (meta_clock < META_LENGTH) {
        if (meta_brightness > 256.0f) meta_brightness -= META_FADE_IN * frame_time;
        if (meta_brightness <= 256.0f) meta_brightness = 256.0f;
    }
    display_brightness = int32_t(meta_brightness);
    return 1;
}

static void draw_masked(const Image *picture, float x, int32_t y) {
    if (picture)
        blit_masked(picture, meta_target, 0, 0, picture->width, picture->height, int32_t(x), y);
}

static void draw_bars() {
    draw_masked(BarUp, meta_upper_x, 0);
    draw_masked(BarDown, meta_lower_x, 227);
    draw_masked(TextStrip[5], meta_upper_x + 32.0f, 0);
    draw_masked(TextStrip[6], meta_lower_x + 14.0f, 229);
    meta_upper_x += META_BAR_PACE * frame_time;
    if (meta_upper_x > META_UPPER_END) meta_upper_x = META_UPPER_END;
    meta_lower_x -= META_BAR_PACE * frame_time;
    if (meta_lower_x < META_LOWER_END) meta_lower_x = META_LOWER_END;
}

int metaball_run() {
    if (!update_brightness()) return 0;
    float *depth = meta_target->depth;
    for (int32_t n = 0; n < PLASMA_WIDTH * PLASMA_HEIGHT; n++) depth[n] = ISO_DEPTH_CLEAR;
    // The plasma into WorkImageA, and with the text averaged over it into the target.
    plasma_draw_blended(meta_field_bytes, meta_palette, meta_time, meta_text, WorkImageA,
                        meta_target);
    meta_time += META_PLASMA_PACE * frame_time;
    render_scene(meta_scene);
    // The surface drawn now is the field of the previous frame at this frame's placement.
    iso_place_grid(meta_iso, meta_scene, meta_cube);
    iso_polygonise(meta_iso, meta_scene->view->lights[0], meta_envmap, meta_target);
    iso_blob_centres(meta_iso, meta_time);
    iso_evaluate_field(meta_iso);
    draw_bars();
    meta_clock += frame_time;
    blit_copy(meta_target, FrameBuffer, 0, 0, 512, 256, 0, 0);
    return 1;
}
