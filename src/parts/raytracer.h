// raytracer.h -- a small real-time raytracer: three bouncing spheres on a floor before a
// textured wall, one point light with hard shadows, traced on a coarse grid and refined in
// 8 x 8 blocks that are either interpolated or split down to single pixels.
//
// Colours inside the tracer are "tracer words": red in byte 0, green in byte 1, blue in byte 2,
// byte 3 unused (0). The wall texture comes in this layout and the output is written in it;
// the caller converts both ways.
#pragma once

#include "engine/math3d.h"

#include <cstdint>

constexpr int32_t TRACE_WIDTH = 512;  // output pixels per row
constexpr int32_t TRACE_HEIGHT = 256; // output rows
constexpr int32_t TRACE_TEXTURE_SIDE = 256;
constexpr int32_t TRACE_SLOTS = 10; // object slots of a scene
constexpr int32_t TRACE_LIGHTS = 4; // light slots of a scene
constexpr int32_t TRACE_BLOCK = 8;  // side of the coarse grid's blocks, in pixels
constexpr int32_t TRACE_COARSE_COLUMNS = TRACE_WIDTH / TRACE_BLOCK; // 64
constexpr int32_t TRACE_COARSE_ROWS = TRACE_HEIGHT / TRACE_BLOCK;   // 32
constexpr float TRACE_FAR = 8192.0f; // depth units; a hit counts while t * 255 stays below it

// Status map values besides the 1-based object numbers.
constexpr uint8_t TRACE_UNTRACED = 0;
constexpr uint8_t TRACE_MISS = 255;

// What one traced pixel saw. For a plain material u, v and shade_red all carry the light; for
// a textured one u and v are texel coordinates and the three shades carry the light.
struct TraceSample {
    int16_t u;
    int16_t v;
    int16_t shade_red;
    int16_t shade_green;
    int16_t shade_blue;
    int16_t depth; // trunc(t * 255)
    int16_t light; // -100..100
};

enum TraceMaterialKind : uint8_t { MATERIAL_PLAIN = 0, MATERIAL_TEXTURED = 1 };

struct TraceMaterial {
    const uint32_t *texture; // 256 x 256 tracer words; read only by textured materials
    uint8_t kind;            // TraceMaterialKind
    uint8_t red, green, blue;
    uint8_t spare;
};

// Object kinds; the plane kinds are also the axis their plane faces.
enum TraceShape : int32_t {
    SHAPE_SPHERE = 0,
    SHAPE_PLANE_X = 1,
    SHAPE_PLANE_Y = 2,
    SHAPE_PLANE_Z = 3
};

struct TraceObject;
struct TraceScene;

// Distance t along the unit direction to the first hit; a value not above 0 is a miss.
using TraceIntersect = float (*)(TraceObject *object, const Vec3 &origin, const Vec3 &direction);
// Fills the sample's u and v for a hit at point.
using TraceTexCoords = void (*)(const TraceObject *object, const Vec3 &point, TraceSample *sample);
// Fills the sample's light values for a hit on object number index (0-based) at point.
using TraceShade = void (*)(TraceScene *scene, int32_t index, const Vec3 &point,
                            TraceSample *sample);

struct TraceObject {
    TraceIntersect intersect;
    TraceTexCoords tex_coords; // nullptr for plain materials
    TraceShade shade;
    Vec3 position; // a sphere's centre, a point of a plane
    TraceMaterial *material;
    float radius;  // spheres
    int32_t shape; // TraceShape
    // A sphere keeps |origin - centre|^2 - radius^2 for the origin of the last ray that set it:
    // all primary rays share the camera, so the constant is worked out once while the flag is
    // clear. Whoever casts a ray from elsewhere sets the flag before and after.
    int32_t recompute;
    float sphere_constant;
    // The same for rays from the camera, worked out once per frame by tracer_camera_constants:
    // camera position - centre and its constant (spheres), or the camera's distance along the
    // axis to the plane (planes).
    Vec3 camera_offset;
    float camera_constant;
};

enum TraceLightKind : uint8_t { LIGHT_NONE = 0, LIGHT_POINT = 1 };

struct TraceLight {
    uint8_t kind;
    Vec3 position;
};

// The view plane's corners are points the primary rays pass through; the rays leave from
// position but take the direction of the corner point itself.
struct TraceCamera {
    Vec3 top_left, top_right, bottom_left, bottom_right;
    Mat3 rotation;
    Vec3 position;
    uint32_t *output; // width x height tracer words
    int32_t width, height;
    // Set up for a number of rows: the rotated top corners and the steps down each side.
    Vec3 row_left, row_right;
    Vec3 step_left, step_right;
    // Every row set up for: its left end, row_left + r * step_left, and the span from there to
    // its right end (row_right + r * step_right).
    Vec3 row_start[TRACE_HEIGHT], row_span[TRACE_HEIGHT];
};

// Objects seen by one coarse ray: every object whose test returned t above 0, hit or not.
struct TraceCandidates {
    uint8_t count;
    uint8_t index[TRACE_SLOTS]; // 0-based object numbers
};

struct TraceScene {
    TraceObject objects[TRACE_SLOTS];
    TraceMaterial materials[TRACE_SLOTS];
    int32_t object_count;
    TraceCamera cameras[1];
    int32_t camera_count;
    int32_t current_camera;
    TraceLight lights[TRACE_LIGHTS];
    int32_t light_count;
    TraceSample *samples; // one per output pixel
    uint8_t *status;      // one per output pixel: TRACE_UNTRACED, TRACE_MISS or object number
    float far_limit;      // TRACE_FAR
    TraceCandidates candidates[TRACE_COARSE_ROWS * TRACE_COARSE_COLUMNS];
    // The bounce and the camera sway.
    float fall_speed[3];
    float clock;
    float phase;
};

// Builds the scene for a 512 x 256 output of tracer words and a 256 x 256 texture in the same
// layout. Returns nullptr when memory runs out. Valid until mem_free_all; the output and the
// texture must stay valid as long.
TraceScene *tracer_setup(uint32_t *output, const uint32_t *texture);

// Moves the spheres and, once the tracer clock passed 16, sways the view plane; s is the time
// step in tracer seconds.
void tracer_animate(TraceScene *scene, float s);

// Traces the current state into the output: pixels that no object covers come out black, as do
// the last 7 columns and rows (the tracer clears the rows as it goes, so the caller need not).
// has_mmx selects the packed block fill and pixels, and the single-pixel blocks written pixel by
// pixel; both give the same frame.
void tracer_render(TraceScene *scene);

// Works out every object's camera constants for the current camera position.
void tracer_camera_constants(TraceScene *scene);

// The object's intersect routine for a ray from the camera, from the camera constants: the
// same t, bit for bit, without touching the object.
float tracer_camera_intersect(const TraceObject *object, const Vec3 &direction);

// 1 when the object's intersect routine gives 0 < t < dist for the ray from p along the unit
// direction l (a shadow ray), without necessarily working out t.
int tracer_blocks_light(TraceObject *object, const Vec3 &p, const Vec3 &l, float dist);

// vec_normalize_len in place; with has_mmx the three quotients come from one packed division,
// each lane rounded as the scalar one is.
float tracer_unit(Vec3 &v);

// One frame: tracer_animate, then tracer_render.
void tracer_frame(TraceScene *scene, float s);

// Fills the w x w block at out (rows TRACE_WIDTH words apart) by interpolating the corner
// samples top left, top right, bottom left, bottom right through material m (a block of 1 is
// the top left sample's own pixel). has_mmx selects the packed path; both give the same words.
void tracer_fill_block(uint32_t *out, int32_t w, const TraceMaterial *m,
                       const TraceSample *const corner[4]);

// The tracer word of pixel (x, y) traced on its own against every object, as a fully refined
// frame would draw it, or 0 when the ray hits nothing. Reuses nothing of the last frame and
// leaves the status map and samples alone.
uint32_t tracer_reference_pixel(TraceScene *scene, int32_t x, int32_t y);
