// hidden_picture.cpp -- the still picture shown once its four keys were seen

#include "data/blit.h"
#include "data/error.h"
#include "data/image.h"
#include "parts/parts.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/stage.h"

static int32_t hidden_loaded;
static Image *hidden_picture;

void hidden_picture_run() {
    if (!hidden_loaded) {
        // Loaded on first use only, and never retried: a failure leaves the last frame shown.
        hidden_loaded = 1;
        hidden_picture = load_jpeg("data\\moorlight.jpg", 0);
        if (!hidden_picture) fault_report(data_last_error());
        display_brightness = BRIGHTNESS_NEUTRAL;
    }
    if (hidden_picture) blit_copy(hidden_picture, FrameBuffer, 0, 0, 512, 256, 0, 0);
}

void hidden_picture_reset() {
    hidden_loaded = 0;
    hidden_picture = nullptr;
}
