// magnet.cpp -- a morphing, table-shaded cube among flares over a scrolling fogged plane

#include "parts/magnet.h"

#include "data/error.h"
#include "data/memory.h"
#include "data/packed.h"
#include "engine/morph.h"
#include "engine/object.h"
#include "engine/quantize.h"
#include "engine/render.h"
#include "engine/scalar.h"
#include "engine/scene.h"
#include "engine/texmap.h"
#include "fillers/part_fillers.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <algorithm>
#include <cmath>

constexpr int32_t MAGNET_WIDTH = 512;
constexpr int32_t MAGNET_HEIGHT = 256;
constexpr int32_t MAGNET_MAP_SIDE = 256; // the environment, highlight and plane textures
constexpr int32_t MAGNET_MAP_PIXELS = MAGNET_MAP_SIDE * MAGNET_MAP_SIDE;
constexpr int MAGNET_SHAPES = 5;
constexpr int MAGNET_MORPH_KEYS = 10;

constexpr float MAGNET_LENGTH = 2520.0f;     // ticks before the closing fade
constexpr float MAGNET_FULL_COPY = 520.0f;   // the dissolve gives way to whole copies
constexpr float MAGNET_FOG_START = 826.0f;   // the plane starts fading out
constexpr float MAGNET_FOG_END = 254.0f;     // fog level at which the plane is dropped
constexpr float MAGNET_WHITE = 511.0f;       // brightness that ends the closing fade
constexpr float MAGNET_DISSOLVE_PACE = 0.9f; // threshold per tick
constexpr float MAGNET_FADE_PACE = 1.9f;     // brightness per tick
constexpr float MAGNET_STRIP_PACE = 0.5f;    // pixels per tick
constexpr float MAGNET_LEFT_END = 0.0f;
constexpr float MAGNET_RIGHT_END = 488.0f;
constexpr float MAGNET_PLANE_Y = 512.0f;   // the ceiling; the floor is its mirror
constexpr float MAGNET_RAY_SCALE = 148.0f; // pixels per unit of ray slope
constexpr float MAGNET_FLARE_RADIUS = 700.0f;

static const char *const MAGNET_MASK = "data\\magnalph.jpg";
static const char *const MAGNET_SCENE = "data\\magnscen.lws";
static const char *const MAGNET_SHAPE_FILES[MAGNET_SHAPES] = {
    "data\\magnkub3.lwo", "data\\magnkub4.lwo", "data\\magnkub2.lwo",
    "data\\magnkub1.lwo", "data\\magnkub5.lwo",
};
enum MagnetShape { KUB3, KUB4, KUB2, KUB1, KUB5 };

// The shape reached at every 200 ticks of morph time.
static const MagnetShape MAGNET_MORPH_ORDER[MAGNET_MORPH_KEYS] = {
    KUB3, KUB4, KUB2, KUB1, KUB5, KUB3, KUB4, KUB1, KUB2, KUB5,
};
constexpr float MAGNET_MORPH_STEP = 200.0f;

static Image *magnet_mask;
static Image *magnet_flare;
static Image *magnet_flare2;
static Image *magnet_envmap;            // palette indices after the load
static Image *magnet_highlight;         // intensities after the load
static Image *magnet_texture;           // palette indices after the load
static uint8_t *magnet_texture_indices; // the same, a byte each, for the grid warp
static uint8_t *magnet_envmap_indices;  // and those of the cube's two maps, for its filler
static uint8_t *magnet_highlight_levels;
static uint32_t *magnet_shades;
static uint32_t *magnet_background_shades;
static SceneObject *magnet_shapes[MAGNET_SHAPES];
static Scene *magnet_scene;
static SceneObject *magnet_cube;
static MorphSequence *magnet_morph;
static GridPoint magnet_grid[GRID_COLUMNS * GRID_ROWS];
// background_on and white_fade hold their program-start values; the load leaves them alone.
static MagnetState magnet;

const MagnetState *magnet_state() {
    return &magnet;
}

void magnet_reset() {
    const MagnetState fresh;
    magnet.background_on = fresh.background_on;
    magnet.white_fade = fresh.white_fade;
}

// ---- tables and the background ---------------------------------------------------------------

static uint32_t channel(uint32_t colour, int byte) {
    return (colour >> (8 * byte)) & 0xFF;
}

static uint32_t clamp_byte(double value) {
    return value <= 0.0 ? 0 : value >= 255.0 ? 255 : uint32_t(value);
}

// Fills table (65,536 pixel words, index colour * 256 + intensity) from palette (256 pixel
// words): each channel a / 256 lit by cos theta, theta = (255 - intensity) / 256 * pi / 2, with
// a white highlight 0.9 cos^5(2 theta) while theta < pi / 4, clamped to 0..255.
static void magnet_build_shade_table(const uint32_t *palette, uint32_t *table) {
    const double quarter = 3.14159265358979323846 / 2.0;
    for (int i = 0; i < 256; i++) {
        const double theta = (255 - i) / 256.0 * quarter;
        const double lit = scalar_cos(theta);
        double highlight = 0.0;
        if (theta < quarter / 2.0) {
            const double c = scalar_cos(2.0 * theta);
            highlight = 0.9 * c * c * c * c * c;
        }
        for (int p = 0; p < 256; p++) {
            uint32_t word = 0;
            for (int byte = 1; byte <= 3; byte++) {
                const double a = channel(palette[p], byte) / 256.0 * lit + highlight;
                const double v = a < 0.0 ? 0.0 : a > 1.0 ? 1.0 : a;
                word |= clamp_byte(255.0 * v) << (8 * byte);
            }
            table[p * 256 + i] = word;
        }
    }
}

void magnet_build_background_table(const uint32_t *palette, uint32_t *table) {
    for (int j = 0; j < 256; j++) {
        const double c = scalar_cos(j * 3.14159265358979323846 / 512.0);
        for (int p = 0; p < 256; p++) {
            uint32_t word = 0;
            for (int byte = 1; byte <= 3; byte++)
                word |= clamp_byte(255.0 * c * c * c + channel(palette[p], byte) * c) << (8 * byte);
            table[p * 256 + j] = word;
        }
    }
}

// The plane point seen through screen position (x, y). A ray parallel to the planes never meets
// them: it sees the horizon, far and therefore white.
static GridPoint plane_point(float x, float y, const Vec3 &cam, float fog) {
    Vec3 d;
    vec_normalize(d, Vec3{(x - 256.0f) / MAGNET_RAY_SCALE, (y - 128.0f) / MAGNET_RAY_SCALE, 1.0f});
    if (d.y == 0.0f) return GridPoint{0.0f, 0.0f, 0.0f};
    const float s = ((d.y > 0.0f ? MAGNET_PLANE_Y : -MAGNET_PLANE_Y) - cam.y) / d.y;
    const float hit_x = cam.x + d.x * s;
    const float hit_z = cam.z + d.z * s;
    float light = 255.0f - (hit_z - cam.z) / 14.0f;
    if (light > 255.0f || light < 0.0f) light = 0.0f;
    light -= fog;
    if (light < 0.0f) light = 0.0f;
    return GridPoint{float(int32_t(std::fabs(hit_x) * 0.1f)),
                     float(int32_t(std::fabs(hit_z) * 0.2f)), light};
}

void magnet_background_grid(GridPoint *grid, const Vec3 &camera, float fog) {
    for (int32_t i = 0; i < GRID_COLUMNS; i++)
        for (int32_t j = 0; j < GRID_ROWS; j++)
            grid[i * GRID_ROWS + j] = plane_point(float(8 * i), float(8 * j), camera, fog);
}

void magnet_dissolve_plain(const Image *src, const Image *mask, Image *dst, int32_t threshold) {
    const uint32_t limit = threshold < 0 ? 0 : uint32_t(threshold);
    for (int32_t n = 0; n < MAGNET_WIDTH * MAGNET_HEIGHT; n++)
        if (channel(mask->pixels[n], 1) < limit) dst->pixels[n] = src->pixels[n];
}

#if QM_PACKED
// Each destination word is rewritten, with its own value where the mask says no: no branch on
// the mask's noise. Thresholds past 256 take every pixel, as 256 does, and keep the signed
// comparison of the red byte (0..255) exact.
void magnet_dissolve(const Image *src, const Image *mask, Image *dst, int32_t threshold) {
    const __m128i limit = _mm_set1_epi32(std::clamp(threshold, 0, 256));
    const __m128i red = _mm_set1_epi32(0xFF);
    const auto *in = reinterpret_cast<const __m128i *>(src->pixels);
    const auto *levels = reinterpret_cast<const __m128i *>(mask->pixels);
    auto *out = reinterpret_cast<__m128i *>(dst->pixels);
    for (int32_t n = 0; n < MAGNET_WIDTH * MAGNET_HEIGHT / 4; n++) {
        const __m128i level = _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128(levels + n), 8), red);
        const __m128i take = _mm_cmplt_epi32(level, limit);
        const __m128i kept = _mm_andnot_si128(take, _mm_loadu_si128(out + n));
        _mm_storeu_si128(out + n, _mm_or_si128(kept, _mm_and_si128(take, _mm_loadu_si128(in + n))));
    }
}
#else
void magnet_dissolve(const Image *src, const Image *mask, Image *dst, int32_t threshold) {
    magnet_dissolve_plain(src, mask, dst, threshold);
}
#endif

// ---- loading ---------------------------------------------------------------------------------

// The picture, or null when it is missing or not width x height (its pixels are read whole).
static Image *load_picture(const char *name, int32_t width, int32_t height) {
    Image *picture = load_jpeg(name, 0);
    return width == 0 ? picture : image_require_size(picture, name, width, height);
}

static int load_shapes() {
    for (int k = 0; k < MAGNET_SHAPES; k++) {
        magnet_shapes[k] = load_object(MAGNET_SHAPE_FILES[k], 1.0f);
        if (!magnet_shapes[k]) return 0;
    }
    return 1;
}

// The pictures after the shapes, in load order; side 0 takes any size.
struct MagnetPicture {
    const char *name;
    Image **slot;
    int32_t side;
};
static const MagnetPicture MAGNET_PICTURES[] = {
    {"data\\magnflar.jpg", &magnet_flare, 0},
    {"data\\magnfla2.jpg", &magnet_flare2, 0},
    {"data\\magnenvm.jpg", &magnet_envmap, MAGNET_MAP_SIDE},
    {"data\\magnphng.jpg", &magnet_highlight, MAGNET_MAP_SIDE},
    {"data\\magntxtr.jpg", &magnet_texture, MAGNET_MAP_SIDE},
};

static int load_pictures() {
    for (const MagnetPicture &picture : MAGNET_PICTURES) {
        *picture.slot = load_picture(picture.name, picture.side, picture.side);
        if (!*picture.slot) return 0;
    }
    return 1;
}

// Replaces picture's pixels by indices into its own palette block.
static int index_picture(Image *picture, uint8_t *indices, const char *name) {
    uint32_t *palette = reinterpret_cast<uint32_t *>(picture->palette);
    if (!quantize_colors(palette, picture->pixels, indices, MAGNET_MAP_PIXELS, 255)) {
        data_error("%s: out of memory reducing its colours", name);
        return 0;
    }
    for (int32_t n = 0; n < MAGNET_MAP_PIXELS; n++) picture->pixels[n] = indices[n];
    return 1;
}

static uint32_t *new_table(const char *what) {
    auto *table = static_cast<uint32_t *>(mem_alloc(SHADE_TABLE_SIZE * sizeof(uint32_t)));
    if (!table) data_error("out of memory for the magnet part's %s", what);
    return table;
}

// The highlight map keeps one intensity per pixel; the environment map and the plane texture
// become palette indices with their shade tables.
static int prepare_maps() {
    magnet_texture_indices = static_cast<uint8_t *>(mem_alloc(MAGNET_MAP_PIXELS));
    magnet_envmap_indices = static_cast<uint8_t *>(mem_alloc(MAGNET_MAP_PIXELS));
    magnet_highlight_levels = static_cast<uint8_t *>(mem_alloc(MAGNET_MAP_PIXELS));
    magnet_shades = new_table("shade table");
    magnet_background_shades = new_table("background shade table");
    if (!magnet_texture_indices || !magnet_envmap_indices || !magnet_highlight_levels ||
        !magnet_shades || !magnet_background_shades) {
        data_error("out of memory for the magnet part's tables");
        return 0;
    }
    for (int32_t n = 0; n < MAGNET_MAP_PIXELS; n++) {
        magnet_highlight->pixels[n] = magnet_highlight->pixels[n] >> 24;
        magnet_highlight_levels[n] = uint8_t(magnet_highlight->pixels[n]);
    }
    if (!index_picture(magnet_envmap, magnet_envmap_indices, "data\\magnenvm.jpg") ||
        !index_picture(magnet_texture, magnet_texture_indices, "data\\magntxtr.jpg"))
        return 0;
    magnet_build_shade_table(reinterpret_cast<uint32_t *>(magnet_envmap->palette), magnet_shades);
    magnet_build_background_table(reinterpret_cast<uint32_t *>(magnet_texture->palette),
                                  magnet_background_shades);
    fill_set_shade_table(magnet_shades);
    fill_set_shade_bytes(magnet_envmap, magnet_envmap_indices, magnet_highlight,
                         magnet_highlight_levels);
    return 1;
}

// Every shape must move every point of the cube, in the cube's own point order.
static int check_scene() {
    if (magnet_scene->object_count < 1) {
        data_error("%s: the scene has no objects; the first must be the cube", MAGNET_SCENE);
        return 0;
    }
    magnet_cube = magnet_scene->objects[0];
    for (int k = 0; k < MAGNET_SHAPES; k++) {
        if (magnet_shapes[k]->point_count != magnet_cube->point_count) {
            data_error("%s: %d points, but the scene's cube has %d", MAGNET_SHAPE_FILES[k],
                       magnet_shapes[k]->point_count, magnet_cube->point_count);
            return 0;
        }
    }
    for (int n = 1; n < magnet_scene->object_count; n++) {
        if (magnet_scene->objects[n]->face_count < 1) {
            data_error("%s: object %d should be a flare but has no face", MAGNET_SCENE, n + 1);
            return 0;
        }
    }
    return 1;
}

static int build_morph() {
    magnet_morph = morph_new();
    for (int k = 0; magnet_morph && k < MAGNET_MORPH_KEYS; k++) {
        MorphKey *key = morph_key(magnet_shapes[MAGNET_MORPH_ORDER[k]], MAGNET_MORPH_STEP * k);
        if (!morph_add(magnet_morph, key)) magnet_morph = nullptr;
    }
    if (!magnet_morph) data_error("out of memory for the magnet part's morph");
    return magnet_morph != nullptr;
}

// The cube is mapped once from its normals with the environment map, then shaded per frame
// through the table with the highlight map, whose coordinates the pipeline writes.
static void dress_cube() {
    SceneObject *cube = magnet_cube;
    cube->motion = nullptr;
    cube->position = Vec3{0.0f, 0.0f, -500.0f};
    for (int s = 0; s < cube->surface_count; s++) {
        Surface &surface = cube->surfaces[s];
        surface.texture_image = magnet_envmap;
        surface.flags = (surface.flags & ~0xFF) | MAP_NORMALS | MAP_AXIS_Y;
    }
    apply_surface_textures(cube);
    for (int f = 0; f < cube->face_count; f++) {
        Face &face = cube->faces[f];
        face.flags = FACE_TEXTURED | FACE_ENVMAP;
        face.clip_stride = 7;
        face.uv_count = 12;
        face.texture[0] = magnet_envmap;
        face.texture[1] = magnet_highlight;
        face.uv_layer[0] = 0;
        face.uv_layer[1] = 6;
        face.draw_hook = fill_table_shaded;
    }
}

// The first half of the flares (after the cube) get one sprite, the second half the other.
static void dress_flares() {
    const int n = magnet_scene->object_count;
    for (int k = 1; k < n; k++) {
        Face &face = magnet_scene->objects[k]->faces[0];
        face.texture[0] = k < n / 2 ? magnet_flare : magnet_flare2;
        face.flare_radius = MAGNET_FLARE_RADIUS;
    }
}

static void start_state() {
    MagnetState fresh;
    fresh.background_on = magnet.background_on;
    fresh.white_fade = magnet.white_fade;
    magnet = fresh;
}

int magnet_load() {
    magnet_mask = load_picture(MAGNET_MASK, MAGNET_WIDTH, MAGNET_HEIGHT);
    if (!magnet_mask) return 0;
    if (!WorkImageA || WorkImageA->width != MAGNET_WIDTH || WorkImageA->height != MAGNET_HEIGHT) {
        data_error("the magnet part needs a 512 x 256 work image");
        return 0;
    }
    if (!load_shapes() || !load_pictures() || !prepare_maps()) return 0;
    magnet_scene = load_scene(MAGNET_SCENE, MAGNET_WIDTH, MAGNET_HEIGHT, 400.0f, SCENE_PART_FLAGS);
    if (!magnet_scene || !check_scene() || !build_morph()) return 0;
    magnet_scene->target = WorkImageA;
    magnet_scene->speed = 1.5f;
    dress_cube();
    dress_flares();
    start_state();
    return 1;
}

// ---- the frame -------------------------------------------------------------------------------

// The closing fade to white; 0 once it is complete.
static int fade_out(float ft) {
    if (magnet.part_time <= MAGNET_LENGTH) return 1;
    if (magnet.white_fade >= MAGNET_WHITE) {
        image_fill_rect(FrameBuffer, pixel_rgb(255, 255, 255), 0, 0, MAGNET_WIDTH, MAGNET_HEIGHT);
        display_brightness = BRIGHTNESS_NEUTRAL;
        return 0;
    }
    display_brightness = int32_t(magnet.white_fade);
    magnet.white_fade += MAGNET_FADE_PACE * ft;
    return 1;
}

// Shows the previous frame's picture: through the dissolve at first, whole later, while the
// plane fogs over and, once it is gone, the blur starts pulsing.
static void show_previous(float ft) {
    if (magnet.part_time < MAGNET_FULL_COPY) {
        const int32_t c = int32_t(magnet.dissolve);
        if (c < 256) {
            magnet_dissolve(WorkImageA, magnet_mask, FrameBuffer, c);
            magnet.dissolve += MAGNET_DISSOLVE_PACE * ft;
        } else {
            blit_copy(WorkImageA, FrameBuffer, 0, 0, MAGNET_WIDTH, MAGNET_HEIGHT, 0, 0);
        }
        return;
    }
    blit_copy(WorkImageA, FrameBuffer, 0, 0, MAGNET_WIDTH, MAGNET_HEIGHT, 0, 0);
    if (magnet.part_time <= MAGNET_FOG_START) return;
    if (magnet.fog_level >= MAGNET_FOG_END) {
        magnet.fog_level = 255.0f;
        magnet.background_on = 0;
        magnet.blur_factor = scalar_cos(magnet.blur_angle) * 0.04f + 0.1f;
        magnet.blur_angle += 0.13f * ft;
    } else {
        magnet.fog_level += ft;
    }
}

// The grid uses the camera of the previous frame; the camera moves on afterwards.
static void draw_background(float ft) {
    magnet_background_grid(magnet_grid, magnet.plane_camera, magnet.fog_level);
    magnet.plane_camera.z = scalar_sin(magnet.plane_angle_z) * 1300.0f;
    magnet.plane_angle_z += 0.01f * ft;
    magnet.plane_camera.x = scalar_sin(magnet.plane_angle_x) * 5000.0f;
    magnet.plane_angle_x += 0.008f * ft;
    magnet.plane_camera.y = 0.0f;
    grid_warp(magnet_grid, magnet_texture_indices, magnet_background_shades, WorkImageA);
}

static void draw_strip(const Image *picture, int32_t height, float x, int32_t y) {
    if (picture) blit_masked(picture, WorkImageA, 0, 0, 24, height, int32_t(x), y);
}

static void draw_strips(float ft) {
    draw_strip(BarLeft, 307, magnet.left_x, 32);
    draw_strip(BarRight, 307, magnet.right_x, -79);
    draw_strip(TextStrip[3], 256, magnet.left_x, 32);
    draw_strip(TextStrip[4], 256, magnet.right_x, -22);
    // Clamped after the step as well, so that a long frame cannot carry a strip past its place.
    magnet.left_x = magnet.left_x >= MAGNET_LEFT_END
                        ? MAGNET_LEFT_END
                        : std::fmin(magnet.left_x + MAGNET_STRIP_PACE * ft, MAGNET_LEFT_END);
    magnet.right_x = magnet.right_x <= MAGNET_RIGHT_END
                         ? MAGNET_RIGHT_END
                         : std::fmax(magnet.right_x - MAGNET_STRIP_PACE * ft, MAGNET_RIGHT_END);
}

int magnet_run() {
    const float ft = frame_time;
    magnet.part_time += ft;
    if (!fade_out(ft)) return 0;
    show_previous(ft);
    if (magnet.background_on) draw_background(ft);
    render_scene(magnet_scene);
    if (!magnet.background_on)
        radial_blur(WorkImageA, WorkImageA, 256.0f, 128.0f, magnet.blur_factor);
    morph_apply(magnet_morph, magnet_cube, (scalar_cos(magnet.morph_angle) + 1.0f) * 900.0f);
    magnet.morph_angle += 0.005f * ft;
    draw_strips(ft);
    magnet_cube->rotation.pitch += 0.005f * ft;
    magnet_cube->rotation.heading += 0.013f * ft;
    magnet_cube->rotation.bank += 0.008f * ft;
    return 1;
}
