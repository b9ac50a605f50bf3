// portrait.cpp -- a full-frame portrait out of a white flash

#include "data/blit.h"
#include "data/image.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

constexpr float PORTRAIT_LENGTH = 90.0f; // on the part clock, which runs at 0.1 per tick
constexpr float PORTRAIT_PACE = 0.1f;
constexpr float PORTRAIT_FADE = 1.5f; // brightness lost per tick

static Image *portrait_picture;
static float portrait_clock;
static float portrait_brightness;

int portrait_load() {
    portrait_picture = load_jpeg("data\\girl.jpg", 0);
    if (!portrait_picture) return 0;
    portrait_clock = 0.0f;
    portrait_brightness = 511.0f;
    return 1;
}

int portrait_run() {
    if (portrait_clock > PORTRAIT_LENGTH) return 0;
    if (portrait_brightness > 256.0f) {
        portrait_brightness -= PORTRAIT_FADE * frame_time;
        if (portrait_brightness < 256.0f) portrait_brightness = 256.0f;
    }
    display_brightness = int32_t(portrait_brightness);
    blit_copy(portrait_picture, FrameBuffer, 0, 0, 512, 256, 0, 0);
    portrait_clock += PORTRAIT_PACE * frame_time;
    return 1;
}
