// end.cpp -- the closing part: the end music, a scene averaged with a night picture, the credits

#include "parts/end.h"

#include "data/blit.h"
#include "data/error.h"
#include "data/image.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scene.h"
#include "engine/texmap.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/music.h"
#include "stage/stage.h"

constexpr float END_FOCAL = 400.0f;
constexpr float END_LIGHT_RANGE = 100.0f;
constexpr Vec3 END_LIGHT_POSITION = {0.0f, 0.0f, -530.0f};
constexpr int END_SURFACE_MAPPING = MAP_NORMALS | MAP_AXIS_Y;

struct EndData {
    Scene *scene;
    Image *back;     // averaged over the rendered scene
    Image *texture;  // on every surface of the scene's first object
    Image *flare1;   // the flares of the first half of the objects
    Image *flare2;   // and of the second half
    Image *scroller; // the credits, scrolled upward
};

static EndData end_data;
static EndState state;

const EndState *end_state() {
    return &state;
}

Scene *end_scene() {
    return end_data.scene;
}

void end_reset() {
    end_data = EndData{};
    state = EndState{};
}

// Loads every file in order and stops at the first that fails, reporting it.
static int load_files() {
    end_data.scene = load_scene(END_SCENE_FILE, 512, 256, END_FOCAL, SCENE_PART_FLAGS);
    if (end_data.scene) end_data.scene->target = FrameBuffer;
    int ok = end_data.scene && (end_data.back = load_jpeg(END_BACK_FILE, 0)) &&
             (end_data.texture = load_jpeg(END_TEXTURE_FILE, 0)) &&
             (end_data.flare1 = load_jpeg(END_FLARE1_FILE, 0)) &&
             (end_data.flare2 = load_jpeg(END_FLARE2_FILE, 0)) &&
             (end_data.scroller = load_tga(END_SCROLLER_FILE, 0));
    if (!ok) {
        fault_report(data_last_error());
        end_data = EndData{};
        return 0;
    }
    // The part textures the first object and places the first light: a scene without them
    // is damaged, not one of ours.
    if (end_data.scene->object_count < 1 || end_data.scene->light_count < 1) {
        data_error("%s: the scene needs an object and a light", END_SCENE_FILE);
        fault_report(data_last_error());
        end_data = EndData{};
        return 0;
    }
    return 1;
}

// A fixed light in front of the scene, and the texture on the first object, mapped from its
// normals.
static void dress_scene(Scene *scene) {
    scene->speed = END_SCENE_SPEED;
    Light *light = scene->lights[0];
    light->type = LIGHT_DEFAULT_TYPE;
    light->intensity = LIGHT_DEFAULT_INTENSITY;
    light->range = END_LIGHT_RANGE;
    light->motion = nullptr; // stays where it is put
    light->world_position = END_LIGHT_POSITION;
    SceneObject *first = scene->objects[0];
    for (int i = 0; i < first->surface_count; i++) {
        first->surfaces[i].flags = END_SURFACE_MAPPING;
        first->surfaces[i].texture_image = end_data.texture;
    }
    apply_surface_textures(first);
}

// Flares of the first half of the objects get one sprite, those of the second half the other.
static void dress_flares(Scene *scene) {
    const int half = scene->object_count / 2;
    for (int n = 0; n < scene->object_count; n++) {
        SceneObject *obj = scene->objects[n];
        Image *sprite = n < half ? end_data.flare1 : end_data.flare2;
        for (int f = 0; f < obj->face_count; f++)
            if (obj->faces[f].flags & FACE_FLARE) obj->faces[f].texture[0] = sprite;
    }
}

// Silences the show's music and starts the end music at volume 0. With sound on, a module that
// cannot be played is reported and returns 0: the show would only play on silent to a failure.
static int start_music() {
    music_set_volume(0.0f);
    music_release_and_restart();
    data_clear_error();
    if (!music_open(END_MUSIC_FILE, MUSIC_MODULE) && data_last_error()[0]) {
        fault_report(data_last_error());
        return 0;
    }
    music_set_volume(state.volume);
    return 1;
}

// The first call: everything is loaded and set up, the screen stays black.
static int end_load() {
    if (!load_files()) return 0;
    dress_scene(end_data.scene);
    dress_flares(end_data.scene);
    state.scroll = END_SCROLL_START;
    state.volume = 0.0f;
    state.brightness = 0.0f;
    state.clock = 0.0f;
    display_brightness = BRIGHTNESS_BLACK;
    if (!start_music()) return 0;
    state.loaded = 1;
    return 1;
}

static void fade_in(float dt) {
    if (state.brightness < END_BRIGHTNESS_KNEE)
        state.brightness += END_BRIGHTNESS_RISE * dt;
    else
        state.brightness = END_BRIGHTNESS_HELD;
    state.volume += END_VOLUME_RISE * dt;
    if (state.volume > END_VOLUME_FULL) state.volume = END_VOLUME_FULL;
}

// Returns 0 once the picture is black.
static int fade_out(float dt) {
    if (state.volume > 0.0f) state.volume -= END_FADE_OUT * dt;
    if (state.volume <= 1.0f) state.volume = 0.0f;
    state.brightness -= END_FADE_OUT * dt;
    if (state.brightness > 1.0f) return 1;
    state.brightness = 0.0f;
    display_brightness = BRIGHTNESS_BLACK;
    return 0;
}

// The scene averaged with the night picture, then the credits over it, keyed on black: only
// pixels with all three colour bytes non-zero are copied. Rows above the picture's top move the
// destination down, so the text enters at the bottom (a scroll just below 0 truncates the top
// up and the bottom down: a row fewer). One pass over each screen row does both.
static void draw_frame() {
    render_scene(end_data.scene);
    const float s = state.scroll;
    blit_average_key(end_data.back, {0, 0, 512, 256, 0, 0}, end_data.scroller,
                     {0, int32_t(s), 512, int32_t(s + 256.0f), 0, 0}, FrameBuffer, 0);
}

int end_run() {
    if (!state.loaded) return end_load();
    const float dt = frame_time;
    if (state.clock < END_OPENING_UNTIL) fade_in(dt);
    if (state.clock > END_CLOSING_AFTER && !fade_out(dt)) return 0;
    display_brightness = int32_t(state.brightness);
    draw_frame();
    state.scroll += END_SCROLL_PACE * dt;
    music_set_volume(state.volume);
    state.clock += dt;
    return 1;
}
