// preload.cpp -- loads the show behind a loading screen with a progress bar, then dissolves it

#include "shell/preload.h"

#include "data/blit.h"
#include "data/error.h"
#include "parts/parts.h"
#include "platform/signals.h"
#include "platform/video.h"
#include "shell/sequencer.h"
#include "shell/setup.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/music.h"

#include <cstdio>
#include <initializer_list>

constexpr int32_t LOADING_STEPS = 8;
constexpr int32_t DISSOLVE_FRAMES = 160;
constexpr float DISSOLVE_RATE = 0.6f; // threshold growth per tick
constexpr int32_t BAR_X = 196, BAR_Y = 91, BAR_WIDTH = 128, BAR_HEIGHT = 8;
constexpr uint32_t BAR_COLOUR = pixel_rgb(255, 181, 5);

// The part load routines of each loading step, in order. A step is one eighth of the progress
// bar, not a piece of work of its own: one step loads nothing. A null entry is no routine.
struct PreloadStep {
    PartLoad first;
    PartLoad second;
};

static const PreloadStep preload_steps[LOADING_STEPS] = {
    {raytraced_load, intro_load},       // raytraced part, intro part
    {title_load, nullptr},              // title part
    {magnet_load, textured_scene_load}, // magnet part, textured scene part
    {nullptr, nullptr},                 // nothing
    {metaball_load, music_fade_load},   // metaball part, music fade part
    {particle_morph_load, nullptr},     // particle morph part
    {light_scene_load, portrait_load},  // light scene part, portrait part
    {glow_load, nullptr},               // glow part
};

// Image creation reports no reason of its own.
static Image *create(int32_t width, int32_t height, int32_t flags, const char *what) {
    Image *image = image_create(width, height, flags);
    if (!image) data_error("out of memory for %s (%d x %d)", what, width, height);
    return image;
}

static int present(const Image *image, int32_t x1, int32_t y1, int32_t dst_y) {
    return display_device->present(image, 0, 0, x1, y1, 0, dst_y);
}

// Escape pressed since the last present: a press and release within one look leaves the key
// down until the next look, so one look after every present sees every press (and a closed
// window, which holds Escape down). Clicks are not looked at here.
static bool escape_seen() {
    return key_down[VK_ESCAPE] == 1;
}

static int clear_screen() {
    Image *black = create(DISPLAY_WIDTH, DISPLAY_HEIGHT, 0, "the screen");
    if (!black) return 0;
    present(black, DISPLAY_WIDTH, DISPLAY_HEIGHT, 0);
    image_free(black);
    return 1;
}

// The dissolve reads both pictures pixel for pixel alongside the FrameBuffer.
static Image *load_screen_picture(const char *name) {
    Image *picture = load_jpeg(name, 0);
    if (picture && (picture->width != 512 || picture->height != 256)) {
        data_error("%s: the picture is %d x %d, not 512 x 256", name, picture->width,
                   picture->height);
        return nullptr;
    }
    return picture;
}

static int run_step(const PreloadStep *step) {
    for (PartLoad load : {step->first, step->second}) {
        if (!load) continue;
        data_clear_error();
        if (!load()) {
            if (!data_last_error()[0]) data_error("a part of the show failed to load");
            return 0;
        }
    }
    return 1;
}

// Each frame, pixels whose dissolve map value is below the threshold turn black; the threshold
// grows with time, so the pace is the same at any frame rate.
static void dissolve(const Image *loading, const Image *map) {
    float threshold = 0.0f;
    clock_update();
    for (int n = 0; n < DISSOLVE_FRAMES && !signals_caught() && !escape_seen(); n++) {
        uint32_t t = uint32_t(int32_t(threshold));
        for (int32_t i = 0; i < 512 * 256; i++) {
            uint32_t red = map->pixels[i] >> 8 & 0xFF;
            FrameBuffer->pixels[i] = red < t ? 0u : loading->pixels[i];
        }
        display_device->wait_retrace();
        clock_step();
        clock_update();
        present(FrameBuffer, 512, 256, 64);
        sequencer_after_present();
        threshold += frame_time * DISSOLVE_RATE;
    }
}

// PRELOAD_DONE, PRELOAD_ESCAPED between two steps, or PRELOAD_FAILED.
static int loading_screen() {
    Image *map = load_screen_picture("data\\loadalph.jpg");
    Image *loading = map ? load_screen_picture("data\\loading.jpg") : nullptr;
    Image *bar = loading ? create(BAR_WIDTH, BAR_HEIGHT, 0, "the progress bar") : nullptr;
    if (!bar) return PRELOAD_FAILED;
    image_fill_rect(bar, BAR_COLOUR, 0, 0, BAR_WIDTH, BAR_HEIGHT);
    for (int32_t step = 0; step < LOADING_STEPS; step++) {
        if (signals_caught() || !run_step(&preload_steps[step])) return PRELOAD_FAILED;
        int32_t shown = BAR_WIDTH / LOADING_STEPS * (step + 1);
        blit_copy(bar, loading, 0, 0, shown, BAR_HEIGHT, BAR_X, BAR_Y);
        present(loading, 512, 256, 64);
        // A part's loading cannot be cut short; the next step is where it can stop.
        if (escape_seen()) return PRELOAD_ESCAPED;
    }
    dissolve(loading, map);
    return escape_seen() ? PRELOAD_ESCAPED : PRELOAD_DONE;
}

int preload() {
    data_clear_error();
    sequencer_reset();
    if (!clear_screen() || !stage_create_images() || !stage_load_pictures()) return 0;
    if (escape_seen()) return PRELOAD_ESCAPED;
    bool sound = show_settings.sound_device != SOUND_NONE;
    // The show would play silent and end with a failure: it ends now instead.
    if (sound && !music_load("quellmor.xm")) return PRELOAD_FAILED;
    // Ctrl-C or kill stops the loading between steps and frames.
    int loaded = loading_screen();
    if (loaded != PRELOAD_DONE || signals_caught()) return signals_caught() ? 0 : loaded;
    if (sound) {
        music_play();
        music_set_volume(255.0f);
    }
    clock_update();
    clock_update();
    // A click on the loading screen is not a key press of the show (it would end it at once).
    mouse_click = 0;
    return PRELOAD_DONE;
}
