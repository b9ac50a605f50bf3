// preload.cpp -- loads the show behind a loading screen with a progress bar, then dissolves it

#include "shell/preload.h"

#include "data/blit.h"
#include "data/error.h"
#include "parts/parts.h"
#include "platform/signals.h"
#include "shell/sequencer.h"
#include "shell/setup.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/music.h"

#include <cstdio>
#include <initializer_list>

constexpr int32_t BYTE_RED = 1;
constexpr int32_t BYTE_BLUE = 3;

constexpr int32_t LOADING_STEPS = 8;
constexpr int32_t DISSOLVE_FRAMES = 160;
constexpr float DISSOLVE_RATE = 0.6f; // threshold growth per tick
constexpr int32_t BAR_X = 196, BAR_Y = 91, BAR_WIDTH = 128, BAR_HEIGHT = 8;
constexpr uint32_t BAR_COLOUR = pixel_rgb(255, 181, 5);

// The part load routines of each loading step, in order. A null entry is a part this build does
// not have yet.
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

static int clear_screen() {
    Image *black = create(DISPLAY_WIDTH, DISPLAY_HEIGHT, 0, "the screen");
    if (!black) return 0;
    present(black, DISPLAY_WIDTH, DISPLAY_HEIGHT, 0);
    image_free(black);
    return 1;
}

static int create_work_images() {
    FrameBuffer = create(512, 256, IMG_DEPTH | 7, "the frame buffer");
    if (FrameBuffer) WorkImageA = create(512, 256, 7, "a work image");
    if (WorkImageA) WorkImageB = create(512, 256, 7, "a work image");
    if (WorkImageB) WorkImageLarge = create(512, 512, 7, "a work image");
    return WorkImageLarge != nullptr;
}

int preload_bar_alpha(Image *picture, const Image *alpha, int32_t byte, const char *name) {
    // The mask of every pixel comes from the same pixel of the alpha picture: it must cover it.
    if (alpha->width < picture->width || alpha->height < picture->height) {
        data_error("%s: the alpha picture is %d x %d, smaller than its bar (%d x %d)", name,
                   alpha->width, alpha->height, picture->width, picture->height);
        return 0;
    }
    for (int32_t y = 0; y < picture->height; y++) {
        uint32_t *row = picture->pixels + size_t(y) * size_t(picture->width);
        const uint32_t *alpha_row = alpha->pixels + size_t(y) * size_t(alpha->width);
        for (int32_t x = 0; x < picture->width; x++)
            row[x] = (row[x] & 0xFFFFFF00u) | (alpha_row[x] >> (8 * byte) & 0xFF);
    }
    return 1;
}

static int load_bars() {
    return (BarDown = load_tga("data\\bardown.tga", 0)) &&
           (BarUp = load_tga("data\\barup.tga", 0)) &&
           (BarDownAlpha = load_tga("data\\bardowna.tga", 0)) &&
           (BarUpAlpha = load_tga("data\\barupa.tga", 0)) &&
           (BarLeft = load_tga("data\\barleft.tga", 0)) &&
           (BarRight = load_tga("data\\baright.tga", 0)) &&
           (BarLeftAlpha = load_tga("data\\barlefta.tga", 0)) &&
           (BarRightAlpha = load_tga("data\\barighta.tga", 0));
}

static int load_text_strips() {
    for (int n = 1; n <= 12; n++) {
        char name[32];
        std::snprintf(name, sizeof name, "data\\tx%d.tga", n);
        if (!(TextStrip[n] = load_tga(name, 0))) return 0;
    }
    return 1;
}

static int load_shared_pictures() {
    if (!load_bars() || !load_text_strips()) return 0;
    for (int n = 1; n <= 12; n++) {
        bool upright = n == 3 || n == 4 || n == 9 || n == 10;
        preload_key_text(TextStrip[n], upright ? TEXT_KEY_UPRIGHT : TEXT_KEY_ACROSS);
    }
    return preload_bar_alpha(BarDown, BarDownAlpha, BYTE_RED, "data\\bardowna.tga") &&
           preload_bar_alpha(BarUp, BarUpAlpha, BYTE_BLUE, "data\\barupa.tga") &&
           preload_bar_alpha(BarLeft, BarLeftAlpha, BYTE_RED, "data\\barlefta.tga") &&
           preload_bar_alpha(BarRight, BarRightAlpha, BYTE_RED, "data\\barighta.tga");
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
    for (int n = 0; n < DISSOLVE_FRAMES && !signals_caught(); n++) {
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

static int loading_screen() {
    Image *map = load_screen_picture("data\\loadalph.jpg");
    Image *loading = map ? load_screen_picture("data\\loading.jpg") : nullptr;
    Image *bar = loading ? create(BAR_WIDTH, BAR_HEIGHT, 0, "the progress bar") : nullptr;
    if (!bar) return 0;
    image_fill_rect(bar, BAR_COLOUR, 0, 0, BAR_WIDTH, BAR_HEIGHT);
    for (int32_t step = 0; step < LOADING_STEPS; step++) {
        if (signals_caught() || !run_step(&preload_steps[step])) return 0;
        int32_t shown = BAR_WIDTH / LOADING_STEPS * (step + 1);
        blit_copy(bar, loading, 0, 0, shown, BAR_HEIGHT, BAR_X, BAR_Y);
        present(loading, 512, 256, 64);
    }
    dissolve(loading, map);
    return 1;
}

int preload() {
    data_clear_error();
    sequencer_reset();
    if (!clear_screen() || !create_work_images() || !load_shared_pictures()) return 0;
    bool sound = show_settings.sound_device != SOUND_NONE;
    if (sound && !music_load("quellmor.xm")) fault_report(data_last_error());
    // Ctrl-C or kill stops the loading between steps and frames.
    if (!loading_screen() || signals_caught()) return 0;
    if (sound) {
        music_play();
        music_set_volume(255.0f);
    }
    clock_update();
    clock_update();
    // A click on the loading screen is not a key press of the show (it would end it at once).
    mouse_click = 0;
    return 1;
}
