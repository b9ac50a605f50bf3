// end.h -- the closing part's state (its run routine is in parts/parts.h).
//
// The last part loads its own data on its first call: a scene of a turning knot circled by
// flares, played into the frame buffer and averaged with a night picture, while the credits
// rise over it to the end music. It fades picture and music in, and after a fixed time out
// again; when the picture is black the show ends.
#pragma once

#include <cstdint>

struct Scene;

// Files the part reads (from the archive), and its music (from disk).
constexpr const char *END_SCENE_FILE = "data\\endscene.lws";
constexpr const char *END_BACK_FILE = "data\\endback.jpg";
constexpr const char *END_TEXTURE_FILE = "data\\endtmap.jpg";
constexpr const char *END_FLARE1_FILE = "data\\endfmap.jpg";
constexpr const char *END_FLARE2_FILE = "data\\endfmap2.jpg";
constexpr const char *END_SCROLLER_FILE = "data\\endscrol.tga";
constexpr const char *END_MUSIC_FILE = "end.xm";

// Timings in ticks and rates per tick.
constexpr float END_OPENING_UNTIL = 700.0f;  // fades in while the part clock is below this
constexpr float END_CLOSING_AFTER = 4200.0f; // fades out once the part clock is above this
constexpr float END_BRIGHTNESS_RISE = 0.8f;
constexpr float END_BRIGHTNESS_KNEE = 215.0f; // the rise stops here...
constexpr float END_BRIGHTNESS_HELD =
    216.0f; // ...and the level is held, a little darker than neutral
constexpr float END_VOLUME_RISE = 0.5f;
constexpr float END_VOLUME_FULL = 255.0f;
constexpr float END_FADE_OUT = 0.8f; // picture and music alike
constexpr float END_SCROLL_START = -256.0f;
constexpr float END_SCROLL_PACE = 0.2f;
constexpr float END_SCENE_SPEED = 0.8f;

// What the part animates.
struct EndState {
    int32_t loaded;   // 1 once the data is loaded (the first call)
    float brightness; // mirrored into display_brightness, 0 black .. 256 neutral
    float volume;     // the music's volume, 0..255
    float scroll;     // the scroller row shown at the top of the frame
    float clock;      // ticks since the first drawn frame
};

// The part's state. Valid for the whole program; changed by end_run and end_reset.
const EndState *end_state();

// The scene as the part dressed it, or null until a first call has loaded it. Valid until
// end_reset or mem_free_all.
Scene *end_scene();

// Forgets the loaded data: the next end_run loads it again (a new show in the same process).
void end_reset();
