// textured_scene.cpp -- a scene wrapped in two pictures and lit by flares, faded in and out

#include "parts/textured_scene.h"

#include "data/error.h"
#include "data/image.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scene.h"
#include "engine/texmap.h"
#include "fillers/part_fillers.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <cstdint>

constexpr int32_t TEXTURED_WIDTH = 512;
constexpr int32_t TEXTURED_HEIGHT = 256;
constexpr float TEXTURED_FOCAL = 400.0f;
constexpr float TEXTURED_SCENE_SPEED = 0.8f;
constexpr int32_t TEXTURED_MAP_SIDE = 256;

constexpr float TEXTURED_CLOCK_PACE = 1.1f; // part clock per tick
constexpr float TEXTURED_OPENING = 500.0f;  // the fade in runs while the clock is below this
constexpr float TEXTURED_CLOSING = 1295.0f; // the fade out starts once the clock is above this
constexpr float TEXTURED_FADE_IN_PACE = 1.0f;
constexpr float TEXTURED_FADE_OUT_PACE = 0.6f;
constexpr float TEXTURED_NEUTRAL = 256.0f;
constexpr float TEXTURED_WHITE = 511.0f;
constexpr float TEXTURED_WHITE_ENOUGH = 510.0f; // the last frame is shown at full white

// Texels (0..255) to units of the whole texture.
constexpr float TEXTURED_UNIT = 0.00390625f;
constexpr int TEXTURED_UV_FLOATS = 6;

// The whole flag word is written: planar along Y, and planar with neither X nor Y (along Z).
constexpr int TEXTURED_FIRST_FLAGS = 0x44;
constexpr int TEXTURED_SECOND_FLAGS = 0x84;
// Sizes given by their bit patterns 0x4442748b and 0x43fd3649.
constexpr Vec3 TEXTURED_FIRST_SIZE = {777.8209838867188f, 506.4241027832031f, 777.8209838867188f};
constexpr Vec3 TEXTURED_SECOND_SIZE = {290.0f, 290.0f, 40.0f};

static const char *const TEXTURED_SCENE_FILE = "data\\scene.lws";
static const char *const TEXTURED_FIRST_FILE = "data\\scentmap.jpg";
static const char *const TEXTURED_SECOND_FILE = "data\\scenmap2.jpg";
static const char *const TEXTURED_FLARE_FILE = "data\\scenfmap.jpg";

static Scene *textured_scene;
static TexturedSceneState textured;

const TexturedSceneState *textured_scene_state() {
    return &textured;
}

Scene *textured_scene_scene() {
    return textured_scene;
}

void textured_scene_restart() {
    textured = TexturedSceneState{0.0f, 0.0f};
}

// ---- dressing --------------------------------------------------------------------------------

// Names compared without regard to case, ASCII letters only.
static bool is_second(const Surface &surface) {
    const char *a = surface.name;
    const char *b = TEXTURED_SECOND_SURFACE;
    for (; *a && *b; a++, b++) {
        const char x = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
        if (x != *b) return false;
    }
    return *a == *b;
}

static void set_surface(Surface &surface, const TexturedPictures *pictures) {
    const bool second = is_second(surface);
    surface.flags = second ? TEXTURED_SECOND_FLAGS : TEXTURED_FIRST_FLAGS;
    surface.texture_image = second ? pictures->second : pictures->first;
    surface.texture_size = second ? TEXTURED_SECOND_SIZE : TEXTURED_FIRST_SIZE;
    surface.texture_centre = Vec3{0.0f, 0.0f, 0.0f};
    surface.wrap = SurfaceWrap{1.0f, 1.0f};
}

static void hook_face(const SceneObject *object, Face &face, const TexturedPictures *pictures) {
    const int s = face.surface_index;
    const bool second = s >= 0 && s < object->surface_count && is_second(object->surfaces[s]);
    face.texture[0] = second ? pictures->second : pictures->first;
    face.clip_stride = 5;
    face.uv_count = TEXTURED_UV_FLOATS;
    face.draw_hook = fill_unit_textured;
}

// Sets the mapping of every surface of object, hooks fill_unit_textured into every face that
// is not a flare, maps the coordinates, gives flares their sprite and rescales the first
// coordinate set of every face from texels to 0..1.
static void textured_scene_dress(SceneObject *object, const TexturedPictures *pictures) {
    for (int s = 0; s < object->surface_count; s++) set_surface(object->surfaces[s], pictures);
    for (int f = 0; f < object->face_count; f++)
        if (!(object->faces[f].flags & FACE_FLARE)) hook_face(object, object->faces[f], pictures);
    apply_surface_textures(object);
    for (int f = 0; f < object->face_count; f++) {
        Face &face = object->faces[f];
        if (face.flags & FACE_FLARE) face.texture[0] = pictures->flare;
        for (int k = 0; k < TEXTURED_UV_FLOATS; k++) face.uv[k] *= TEXTURED_UNIT;
    }
}

// ---- loading ---------------------------------------------------------------------------------

// The picture, or null when it is missing or, for a texture, not 256 x 256: the filler reads
// whole 256 x 256 texture pages.
static Image *load_picture(const char *name, bool texture) {
    Image *image = load_jpeg(name, 0);
    return texture ? image_require_size(image, name, TEXTURED_MAP_SIDE, TEXTURED_MAP_SIDE) : image;
}

int textured_scene_load() {
    textured_scene = nullptr;
    if (!FrameBuffer) {
        data_error("the textured scene needs the frame buffer");
        return 0;
    }
    Scene *scene = load_scene(TEXTURED_SCENE_FILE, TEXTURED_WIDTH, TEXTURED_HEIGHT, TEXTURED_FOCAL,
                              SCENE_PART_FLAGS);
    if (!scene) return 0;
    scene->target = FrameBuffer;
    scene->speed = TEXTURED_SCENE_SPEED;
    TexturedPictures pictures;
    pictures.first = load_picture(TEXTURED_FIRST_FILE, true);
    if (!pictures.first) return 0;
    pictures.second = load_picture(TEXTURED_SECOND_FILE, true);
    if (!pictures.second) return 0;
    pictures.flare = load_picture(TEXTURED_FLARE_FILE, false);
    if (!pictures.flare) return 0;
    for (int n = 0; n < scene->object_count; n++)
        textured_scene_dress(scene->objects[n], &pictures);
    textured_scene = scene;
    textured_scene_restart();
    return 1;
}

// ---- the frame -------------------------------------------------------------------------------

int textured_scene_run() {
    const float ft = frame_time;
    // Only a successful load sets the scene; without it the part has nothing to show.
    if (!textured_scene) return 0;
    render_scene(textured_scene);
    if (textured.clock > TEXTURED_CLOSING) {
        if (textured.brightness < TEXTURED_WHITE)
            textured.brightness += TEXTURED_FADE_OUT_PACE * ft;
        if (textured.brightness >= TEXTURED_WHITE_ENOUGH) {
            textured.brightness = TEXTURED_WHITE;
            display_brightness = int32_t(TEXTURED_WHITE);
            return 0;
        }
        display_brightness = int32_t(textured.brightness);
    }
    if (textured.clock < TEXTURED_OPENING) {
        if (textured.brightness < TEXTURED_NEUTRAL)
            textured.brightness += TEXTURED_FADE_IN_PACE * ft;
        if (textured.brightness > TEXTURED_NEUTRAL) textured.brightness = TEXTURED_NEUTRAL;
        display_brightness = int32_t(textured.brightness);
    }
    textured.clock += TEXTURED_CLOCK_PACE * ft;
    return 1;
}
