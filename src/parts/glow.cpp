// glow.cpp -- a flare scene on teal, streaked by a radial blur, behind a see-through frame
// with ten captions fading in turn

#include "parts/glow.h"

#include "data/blit.h"
#include "data/error.h"
#include "engine/morph.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scene.h"
#include "parts/magnet.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <cstdio>

constexpr int32_t GLOW_WIDTH = 512;
constexpr int32_t GLOW_HEIGHT = 256;
constexpr int32_t CAPTION_WIDTH = 192;
constexpr int32_t CAPTION_HEIGHT = 24;
constexpr int32_t CAPTION_X = 14;
constexpr int32_t CAPTION_Y = 110;
constexpr int GLOW_TURNED = 2; // the first objects of the scene, turned by the part

constexpr float BLUR_X = 416.0f; // the blur streaks away from here
constexpr float BLUR_Y = 70.0f;
constexpr float CAPTION_START = 20.0f; // caption clock
constexpr float CAPTION_PACE = 0.1f;   // caption clock per tick
constexpr float CAPTION_FADE = 4.0f;   // alpha per tick
constexpr float DISSOLVE_PACE = 0.9f;  // threshold per tick
constexpr float DARKEN_PACE = 2.0f;    // brightness per tick
constexpr int32_t DISSOLVE_FULL = 256; // every mask level is below this

static const char *const GLOW_FLARE = "data\\grflare.jpg";
static const char *const GLOW_OVERLAY = "data\\grback.tga";
static const char *const GLOW_MASK = "data\\grfade.jpg";
static const char *const GLOW_SCENE = "data\\grscene.lws";

static Image *glow_flare;
static Image *glow_overlay;
static Image *glow_mask;
static Image *glow_captions[GLOW_CAPTIONS];
static Scene *glow_scene;
static GlowState glow;

const GlowState *glow_state() {
    return &glow;
}

void glow_reset() {
    glow = GlowState{};
}

// ---- loading ---------------------------------------------------------------------------------

// Null, with the reason, when the picture is missing, damaged or not 512 x 256: the overlay is
// copied and the mask read pixel for pixel over the whole frame.
static Image *load_frame_picture(Image *picture, const char *name) {
    return image_require_size(picture, name, GLOW_WIDTH, GLOW_HEIGHT);
}

// A damaged or missing caption would leave a silent gap in the text; it fails the load like
// every other picture of the part.
static int load_captions() {
    for (int n = 0; n < GLOW_CAPTIONS; n++) {
        char name[32];
        std::snprintf(name, sizeof name, "data\\g%d.tga", n + 1);
        glow_captions[n] = load_tga(name, 0);
        if (!glow_captions[n]) return 0;
    }
    return 1;
}

// The first two objects are turned by the part, not by their motions; every later object
// carries the flare picture.
static int dress_scene() {
    if (glow_scene->object_count < GLOW_TURNED) {
        data_error("%s: %d objects, but the part turns the first %d", GLOW_SCENE,
                   glow_scene->object_count, GLOW_TURNED);
        return 0;
    }
    glow_scene->speed = 1.5f;
    glow_scene->target = WorkImageA;
    for (int n = 0; n < GLOW_TURNED; n++) glow_scene->objects[n]->motion = nullptr;
    for (int n = 1; n < glow_scene->object_count; n++) {
        SceneObject *obj = glow_scene->objects[n];
        for (int f = 0; f < obj->face_count; f++) obj->faces[f].texture[0] = glow_flare;
    }
    return 1;
}

int glow_load() {
    if (!WorkImageA || WorkImageA->width != GLOW_WIDTH || WorkImageA->height != GLOW_HEIGHT) {
        data_error("the glow part needs a 512 x 256 work image");
        return 0;
    }
    glow_flare = load_jpeg(GLOW_FLARE, 0);
    if (!glow_flare) return 0;
    glow_overlay = load_frame_picture(load_tga(GLOW_OVERLAY, 0), GLOW_OVERLAY);
    if (!glow_overlay) return 0;
    glow_mask = load_frame_picture(load_jpeg(GLOW_MASK, 0), GLOW_MASK);
    if (!glow_mask) return 0;
    preload_key_text(glow_overlay, GLOW_KEY);
    if (!load_captions()) return 0;
    glow_scene = load_scene(GLOW_SCENE, GLOW_WIDTH, GLOW_HEIGHT, 400.0f, SCENE_PART_FLAGS);
    if (!glow_scene || !dress_scene()) return 0;
    glow.blur_factor = 0.06f;
    glow.ending = 0;
    glow.brightness = 256.0f;
    return 1;
}

// ---- the frame -------------------------------------------------------------------------------

// The closing fade to black; 0 once it is complete.
static int darken(float ft) {
    if (!glow.ending) return 1;
    glow.brightness -= DARKEN_PACE * ft;
    if (glow.brightness >= 1.0f) {
        display_brightness = int32_t(glow.brightness);
        return 1;
    }
    glow.brightness = 0.0f;
    display_brightness = BRIGHTNESS_BLACK;
    return 0;
}

// The turned objects take this frame's angles; the angles move on afterwards.
static void turn_objects(float ft) {
    for (int n = 0; n < GLOW_TURNED; n++)
        glow_scene->objects[n]->rotation = Angles{glow.angle_a, glow.angle_b, glow.angle_c};
    glow.angle_a += 0.022f * ft;
    glow.angle_b -= 0.012f * ft;
    glow.angle_c += 0.009f * ft;
}

// One caption at a time pops in and fades out; the frame in which it has faded shows none.
static void draw_caption(Image *target, float ft) {
    if (glow.caption_index >= GLOW_CAPTIONS) {
        glow.ending = 1;
        return;
    }
    glow.caption_clock += CAPTION_PACE * ft;
    if (glow.caption_clock <= CAPTION_START) return;
    if (glow.caption_alpha > 0.0f) {
        const Image *caption = glow_captions[glow.caption_index];
        if (caption)
            blit_blend(caption, target, 0, 0, CAPTION_WIDTH, CAPTION_HEIGHT, CAPTION_X, CAPTION_Y,
                       int32_t(glow.caption_alpha));
        glow.caption_alpha -= CAPTION_FADE * ft;
    } else {
        glow.caption_index++;
        glow.caption_alpha = 255.0f;
    }
}

// Until the threshold passes the brightest mask level, only the pixels whose mask lies below
// it are replaced; the rest of the frame buffer keeps the previous part's picture.
static void show(const Image *target, float ft) {
    const int32_t threshold = int32_t(glow.dissolve);
    if (threshold >= DISSOLVE_FULL) {
        blit_copy(target, FrameBuffer, 0, 0, GLOW_WIDTH, GLOW_HEIGHT, 0, 0);
        return;
    }
    magnet_dissolve(target, glow_mask, FrameBuffer, threshold);
    glow.dissolve += DISSOLVE_PACE * ft;
}

int glow_run() {
    const float ft = frame_time;
    if (!darken(ft)) return 0;
    turn_objects(ft);
    Image *target = glow_scene->target;
    image_fill_rect(target, GLOW_KEY, 0, 0, GLOW_WIDTH, GLOW_HEIGHT);
    render_scene(glow_scene);
    radial_blur(target, target, BLUR_X, BLUR_Y, glow.blur_factor);
    blit_masked(glow_overlay, target, 0, 0, GLOW_WIDTH, GLOW_HEIGHT, 0, 0);
    draw_caption(target, ft);
    show(target, ft);
    return 1;
}
