// music_fade.cpp -- a black pause while the music fades down before the closing part

#include "data/image.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/music.h"
#include "stage/stage.h"

constexpr float FADE_LENGTH = 250.0f; // on the part clock, which runs at 1.1 per tick
constexpr float FADE_PACE = 1.1f;

static float fade_clock;
static int32_t fade_first_frame;
static float fade_volume;

int music_fade_load() {
    fade_clock = 0.0f;
    fade_first_frame = 1;
    fade_volume = 255.0f;
    return 1;
}

int music_fade_run() {
    if (fade_clock > FADE_LENGTH) return 0;
    if (fade_first_frame) {
        image_fill_rect(FrameBuffer, 0, 0, 0, 512, 256);
        fade_first_frame = 0;
    }
    fade_volume -= frame_time;
    if (fade_volume < 1.0f) fade_volume = 0.0f;
    music_set_volume(fade_volume);
    fade_clock += FADE_PACE * frame_time;
    return 1;
}
