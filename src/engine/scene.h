// scene.h -- a playable scene: objects, lights and one camera, each with a motion, plus the
// render view and the target picture; and the LightWave scene (.lws) reader that builds it.
//
// Everything here comes from the block registry and lives until shut-down (mem_free_all).
#pragma once

#include "data/image.h"
#include "engine/math3d.h"

#include <cstdint>

struct Motion;
struct RenderView;
struct SceneObject;

// Scene flags. Bits 0-1 are the draw order, of which only bit 0 counts: orders 1 and 3 sort
// every visible face far to near, 0 and 2 draw the objects in file order.
constexpr int SCENE_DEPTH_SORTED = 0x01;
constexpr int SCENE_ORDER_SPARE = 0x02; // no effect (the light scene asks for order 3)
constexpr int SCENE_ANIMATE = 0x10;     // advance the clock and the motions every frame
constexpr int SCENE_FROZEN = 0x20;      // no clock or motion update (unless SCENE_ANIMATE)
constexpr int SCENE_NO_TARGET = 0x40;   // the caller supplies the target picture

// How the show's parts load their scenes (0x51): depth-sorted, animated, drawn into a picture
// the part gives (the FrameBuffer or a work image).
constexpr int SCENE_PART_FLAGS = SCENE_DEPTH_SORTED | SCENE_ANIMATE | SCENE_NO_TARGET;

// The target picture a scene makes for itself: the frame buffer's flags.
constexpr int SCENE_TARGET_IMAGE_FLAGS = IMG_WORK_DEPTH;

// Light types as lighting reads them (type & 0xF).
constexpr int LIGHT_DEFAULT_TYPE = 2;
constexpr float LIGHT_DEFAULT_INTENSITY = 255.0f;
constexpr float LIGHT_DEFAULT_RANGE = 200.0f;

struct Camera {
    Vec3 position;       // from the motion
    Vec3 world_position; // after the (identity) world transform
    Angles rotation;     // from the motion
    Mat3 orientation;    // camera to world
    Mat3 view;           // world to camera (transpose of orientation)
    Motion *motion;
    SceneObject *target; // looked at when set
    SceneObject *parent; // the object it moves with (its motion is relative to it), or null
};

struct Light {
    int type;                // LIGHT_DEFAULT_TYPE; lighting reads type & 0xF
    Vec3 view_position;      // relative to the viewer, used by lighting
    Vec3 world_position;     // from the motion
    Vec3 view_position_copy; // the same value as view_position
    Angles rotation;         // from the motion, not used by lighting
    Motion *motion;
    float intensity;     // LIGHT_DEFAULT_INTENSITY
    float range;         // LIGHT_DEFAULT_RANGE
    uint32_t colour;     // colour word written by the show parts; the engine does not read it
    SceneObject *target; // not used by lighting
    SceneObject *parent; // the object it moves with (its motion is relative to it), or null
};

struct Scene {
    int flags; // SCENE_* bits
    int object_count;
    int camera_count; // 1 after loading
    int light_count;
    int current_camera;    // index of the camera used for rendering
    SceneObject **objects; // in file order
    Camera **cameras;
    Light **lights;   // in file order
    RenderView *view; // projection and light list
    Image *target;    // the picture the scene is drawn into
    float time;       // scene clock in ticks, compared directly with key frames
    float speed;      // clock rate factor (1.0)
};

// Reads the .lws file at path (through file_load), loads its objects and builds the scene with
// a view of width x height and the given focal length. Null (with the reason in data_error) when
// the file is missing or malformed, an object fails to load or memory runs out. Valid until
// mem_free_all.
Scene *load_scene(const char *path, int width, int height, float focal, int flags);

// An empty scene with its view and, unless flags has SCENE_NO_TARGET, a width x height target
// picture. SCENE_ANIMATE is added when neither SCENE_ANIMATE nor SCENE_FROZEN is given. Null when
// memory runs out. Valid until mem_free_all.
Scene *scene_create(int width, int height, float focal, int flags);

// Append one record to the scene (lights also to the view's light list). 1, or 0 when an
// argument is null or memory runs out (the scene is then unchanged).
int scene_add_object(Scene *scene, SceneObject *obj);
int scene_add_camera(Scene *scene, Camera *cam);
int scene_add_light(Scene *scene, Light *light);

// A light with the defaults (type 2, intensity 255, range 200). Null when memory runs out.
// Valid until mem_free_all.
Light *new_light();
