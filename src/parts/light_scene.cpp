// light_scene.cpp -- glowing shapes over a tunnel of lettering, streaked by a wandering blur

#include "parts/light_scene.h"

#include "data/blit.h"
#include "data/error.h"
#include "data/memory.h"
#include "engine/morph.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scalar.h"
#include "engine/scene.h"
#include "engine/texmap.h"
#include "fillers/fillers.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <cmath>

constexpr const char *BACKGROUND_NAME = "data\\liteback.jpg";
constexpr const char *TEXTURE_NAME = "data\\litetext.jpg";
constexpr const char *SCENE_NAME = "data\\litescen.lws";

constexpr int32_t FRAME_WIDTH = LIGHT_TUNNEL_WIDTH;
constexpr int32_t FRAME_HEIGHT = LIGHT_TUNNEL_HEIGHT;
constexpr int32_t FRAME_PIXELS = FRAME_WIDTH * FRAME_HEIGHT;

// The scene: depth-sorted, animated, drawn into the frame buffer; its clock runs 1.3 times fast.
constexpr int SCENE_FLAGS = SCENE_PART_FLAGS | SCENE_ORDER_SPARE;
constexpr float SCENE_FOCAL = 400.0f;
constexpr float SCENE_SPEED = 1.3f;

// The lamp: a point light far behind the viewer, so every face turned to the camera is lit.
constexpr float LAMP_INTENSITY = 200.0f;
constexpr float LAMP_RANGE = 150.0f;
constexpr Vec3 LAMP_POSITION = {0.0f, 0.0f, -1530.0f};

// Normal mapping of the lettered object: 115 units of texture, centred on (1, 1, 1).
constexpr int LETTERED_MAPPING = MAP_NORMALS | MAP_AXIS_Y;
constexpr Vec3 LETTERED_SIZE = {115.0f, 115.0f, 115.0f};
constexpr Vec3 LETTERED_CENTRE = {1.0f, 1.0f, 1.0f};

// The tunnel: rays from the origin into a tube whose radius changes over the frame. The origin
// sits on the tube's axis; the vanishing point lies 30 rows below the frame.
constexpr double TUNNEL_FOCUS_X = 256.0;
constexpr double TUNNEL_FOCUS_Y = 286.0;
constexpr double TUNNEL_FOCAL = 256.0;
constexpr Vec3 TUNNEL_ORIGIN = {0.0f, 0.0f, 0.0f};
constexpr double TUNNEL_DEPTH_SCALE = 0.2;
constexpr double TUNNEL_ANGLE_SCALE = 81.48733085241038; // 256 / pi
constexpr uint32_t TUNNEL_MISS = 128u << 8 | 128u;       // where a ray misses the tube
constexpr float TUNNEL_SPEED = 0.005f;                   // phase per tick

// Opening and closing: the brightness falls from white to just above neutral, and after the
// part's time it climbs back to white at one step per tick.
constexpr float FADE_WHITE = 511.0f;
constexpr float FADE_FLOOR = 330.0f;
constexpr float PART_LENGTH = 950.0f;
constexpr uint32_t WHITE_PIXEL = 0xffffff00u;

// The blur's centre swings over the frame on two sines; the blur reaches 6% of the way.
constexpr float BLUR_SPEED_X = 0.06f;
constexpr float BLUR_SPEED_Y = 0.04f;
constexpr float BLUR_SWING_X = 200.0f;
constexpr float BLUR_SWING_Y = 128.0f;
constexpr float BLUR_MIDDLE_X = 256.0f;
constexpr float BLUR_MIDDLE_Y = 128.0f;
constexpr float BLUR_STRENGTH = 0.06f;

// The bars come in after 100 ticks at one row per tick and stop at the frame's edges.
constexpr float BARS_START = 100.0f;
constexpr float UPPER_BAR_START = -32.0f;
constexpr float UPPER_BAR_STOP = 0.0f;
constexpr float LOWER_BAR_START = 259.0f;
constexpr float LOWER_BAR_STOP = 227.0f;
constexpr int32_t BAR_WIDTH = 304, BAR_HEIGHT = 29;
constexpr int32_t UPPER_BAR_X = -32, LOWER_BAR_X = 240;
constexpr int32_t CAPTION_WIDTH = 256, CAPTION_HEIGHT = 24;
constexpr int32_t UPPER_CAPTION_X = 0, LOWER_CAPTION_X = 254;
constexpr float LOWER_CAPTION_DROP = 4.0f;
constexpr int UPPER_CAPTION = 7, LOWER_CAPTION = 8;

static LightSceneState light;
static Image *background;
static Image *lettering;
static Scene *scene;
static uint16_t *tunnel_table;

const LightSceneState *light_scene_state() {
    return &light;
}

// The C library's double-precision sine, rounded to float, as the whole part uses it.
static float light_sin(float x) {
    return float(scalar_sin(double(x)));
}

// ---- the tunnel -----------------------------------------------------------------------------

uint32_t light_scene_tunnel_entry(int32_t column, int32_t row) {
    const double r2 = double(row) * row, c2 = double(column) * column;
    const double radius = scalar_sin(scalar_atan2(r2, c2));
    double dx = double(column) - TUNNEL_FOCUS_X, dy = double(row) - TUNNEL_FOCUS_Y;
    double dz = TUNNEL_FOCAL;
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    dx /= length, dy /= length, dz /= length;
    const double ox = TUNNEL_ORIGIN.x, oy = TUNNEL_ORIGIN.y, oz = TUNNEL_ORIGIN.z;
    // |(o + t d).xy| = radius: e t^2 + h t + (|o.xy|^2 - radius^2) = 0. The focus lies below
    // the frame, so dx and dy are never both 0 and e is never 0.
    const double e = dx * dx + dy * dy;
    const double h = 2.0 * (ox * dx + oy * dy);
    const double disc = h * h - 4.0 * e * (ox * ox + oy * oy - radius * radius);
    if (disc < 0.0) return TUNNEL_MISS;
    const double root = std::sqrt(disc);
    // A plain comparison, not fmin: on the top row both roots are zeros of opposite sign, and
    // fmin may return either.
    const double t1 = (root - h) / (2.0 * e), t2 = (-h - root) / (2.0 * e);
    const double t = t1 < t2 ? t1 : t2;
    const double px = ox + t * dx, py = oy + t * dy, pz = oz + t * dz;
    const uint32_t u = uint32_t(int32_t(std::fabs(pz) * TUNNEL_DEPTH_SCALE));
    const uint32_t v = uint32_t(int32_t(std::fabs(scalar_atan2(py, px)) * TUNNEL_ANGLE_SCALE));
    return (v & 255u) << 8 | (u & 255u);
}

static void build_tunnel_table(uint16_t *table) {
    for (int32_t r = 0; r < FRAME_HEIGHT; r++)
        for (int32_t c = 0; c < FRAME_WIDTH; c++)
            table[r * FRAME_WIDTH + c] = uint16_t(light_scene_tunnel_entry(c, r));
}

uint32_t light_scene_tunnel_offset(float phase) {
    // Two's complement: a negative row or column wraps within its byte (the row within 16 bits).
    const uint32_t row = uint32_t(int32_t(light_sin(1.5f * phase) * 128.0f));
    const uint32_t column = uint32_t(int32_t(light_sin(1.8f * phase) * 199.9f));
    return ((row << 8) & 0xffffu) | (column & 255u);
}

void light_scene_draw_tunnel_plain(const uint16_t *table, const Image *texture, uint32_t offset,
                                   Image *dst) {
    blit_table_plain(table, texture->pixels, offset, dst->pixels, FRAME_PIXELS);
}

void light_scene_draw_tunnel(const uint16_t *table, const Image *texture, uint32_t offset,
                             Image *dst) {
    blit_table(table, texture->pixels, offset, dst->pixels, FRAME_PIXELS);
}

// ---- load -----------------------------------------------------------------------------------

static Image *load_picture(const char *name, int32_t width, int32_t height) {
    Image *picture = load_jpeg(name, 0);
    return width == 0 ? picture : image_require_size(picture, name, width, height);
}

static void set_lamp(Light *lamp) {
    lamp->type = LIGHT_DEFAULT_TYPE;
    lamp->intensity = LAMP_INTENSITY;
    lamp->range = LAMP_RANGE;
    lamp->target = nullptr;
    lamp->motion = nullptr; // stays where it is put
    lamp->world_position = LAMP_POSITION;
}

static void letter_object(SceneObject *object, Image *texture) {
    for (int i = 0; i < object->surface_count; i++) {
        Surface &s = object->surfaces[i];
        s.flags = LETTERED_MAPPING;
        s.texture_image = texture;
        s.texture_size = LETTERED_SIZE;
        s.texture_centre = LETTERED_CENTRE;
        s.wrap = SurfaceWrap{1.0f, 1.0f};
    }
    apply_surface_textures(object);
    for (int i = 0; i < object->face_count; i++) object->faces[i].draw_hook = fill_textured_depth;
}

static void make_glow(SceneObject *object) {
    for (int i = 0; i < object->face_count; i++) {
        object->faces[i].flags = FACE_SOLID;
        object->faces[i].draw_hook = fill_flat_add_depth;
    }
}

// Dresses a loaded scene as the part plays it: its first light as a fixed lamp before the
// camera, its last object wrapped in texture and depth-tested, and every object before the
// next-to-last one turned into depth-tested additive glow. Returns 0, with the reason naming
// name, when the scene has no object or no light.
static int light_scene_dress(Scene *scene_to_dress, Image *texture, const char *name) {
    const int count = scene_to_dress->object_count;
    if (count < 1 || scene_to_dress->light_count < 1) {
        data_error("%s: the scene needs an object and a light (it has %d and %d)", name, count,
                   scene_to_dress->light_count);
        return 0;
    }
    set_lamp(scene_to_dress->lights[0]);
    letter_object(scene_to_dress->objects[count - 1], texture);
    // The next-to-last object keeps the faces it was loaded with.
    for (int i = 0; i < count - 2; i++) make_glow(scene_to_dress->objects[i]);
    return 1;
}

static void reset_state() {
    light = LightSceneState{};
    light.fade_level = FADE_WHITE;
    light.upper_bar_y = UPPER_BAR_START;
    light.lower_bar_y = LOWER_BAR_START;
}

int light_scene_load() {
    background = load_picture(BACKGROUND_NAME, 0, 0);
    lettering =
        background ? load_picture(TEXTURE_NAME, LIGHT_TEXTURE_SIDE, LIGHT_TEXTURE_SIDE) : nullptr;
    if (!lettering) return 0;
    scene = load_scene(SCENE_NAME, FRAME_WIDTH, FRAME_HEIGHT, SCENE_FOCAL, SCENE_FLAGS);
    if (!scene) return 0;
    scene->target = FrameBuffer;
    scene->speed = SCENE_SPEED;
    if (!light_scene_dress(scene, lettering, SCENE_NAME)) return 0;
    tunnel_table = static_cast<uint16_t *>(mem_alloc(sizeof(uint16_t) * FRAME_PIXELS));
    if (!tunnel_table) {
        data_error("the light scene's tunnel table: out of memory");
        return 0;
    }
    build_tunnel_table(tunnel_table);
    reset_state();
    return 1;
}

// ---- run ------------------------------------------------------------------------------------

// Returns 0 once the closing fade has reached white (the frame is then white and the display's
// brightness back to neutral).
static int fade(float dt) {
    if (light.clock > PART_LENGTH) {
        light.fade_level += dt;
        if (light.fade_level >= FADE_WHITE) {
            light.fade_level = FADE_WHITE;
            image_fill_rect(FrameBuffer, WHITE_PIXEL, 0, 0, FRAME_WIDTH, FRAME_HEIGHT);
            display_brightness = BRIGHTNESS_NEUTRAL;
            return 0;
        }
    } else {
        light.fade_level -= dt;
        if (light.fade_level < FADE_FLOOR) light.fade_level = FADE_FLOOR;
    }
    display_brightness = int32_t(light.fade_level);
    return 1;
}

static void draw_scene() {
    // Every depth-tested face compares against 0.0, the nearest depth a face may still reach.
    if (FrameBuffer->depth)
        mem_fill(FrameBuffer->depth, 0,
                 sizeof(float) * size_t(FrameBuffer->width) * size_t(FrameBuffer->height));
    render_scene(scene);
}

static void draw_bars() {
    const int32_t upper = int32_t(light.upper_bar_y), lower = int32_t(light.lower_bar_y);
    const int32_t caption_y = int32_t(light.lower_bar_y + LOWER_CAPTION_DROP);
    blit_masked(BarUp, FrameBuffer, 0, 0, BAR_WIDTH, BAR_HEIGHT, UPPER_BAR_X, upper);
    blit_masked(BarDown, FrameBuffer, 0, 0, BAR_WIDTH, BAR_HEIGHT, LOWER_BAR_X, lower);
    blit_masked(TextStrip[UPPER_CAPTION], FrameBuffer, 0, 0, CAPTION_WIDTH, CAPTION_HEIGHT,
                UPPER_CAPTION_X, upper);
    blit_masked(TextStrip[LOWER_CAPTION], FrameBuffer, 0, 0, CAPTION_WIDTH, CAPTION_HEIGHT,
                LOWER_CAPTION_X, caption_y);
}

static void move_bars(float dt) {
    if (light.clock <= BARS_START) return;
    light.upper_bar_y += dt;
    if (light.upper_bar_y >= UPPER_BAR_STOP) light.upper_bar_y = UPPER_BAR_STOP;
    light.lower_bar_y -= dt;
    if (light.lower_bar_y <= LOWER_BAR_STOP) light.lower_bar_y = LOWER_BAR_STOP;
}

int light_scene_run() {
    const float dt = frame_time;
    if (!fade(dt)) return 0;
    const float ax = light.blur_angle_x, ay = light.blur_angle_y;
    light.blur_angle_x += BLUR_SPEED_X * dt;
    light.blur_angle_y += BLUR_SPEED_Y * dt;
    light_scene_draw_tunnel(tunnel_table, lettering, light_scene_tunnel_offset(light.tunnel_phase),
                            FrameBuffer);
    light.tunnel_phase += TUNNEL_SPEED * dt;
    blit_average(background, FrameBuffer, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, 0, 0);
    draw_scene();
    radial_blur(FrameBuffer, FrameBuffer, light_sin(ax) * BLUR_SWING_X + BLUR_MIDDLE_X,
                light_sin(ay) * BLUR_SWING_Y + BLUR_MIDDLE_Y, BLUR_STRENGTH);
    draw_bars();
    move_bars(dt);
    light.clock += dt;
    return 1;
}
