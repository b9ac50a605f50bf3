// glow.h -- the glow part's state and its dissolve (its routines are in parts/parts.h).
#pragma once

#include "data/image.h"

#include <cstdint>

struct Scene;

constexpr int GLOW_CAPTIONS = 10;

// Key colour of the overlay: its see-through pixels, and the background of the scene.
constexpr uint32_t GLOW_KEY = pixel_rgb(21, 58, 58);

// The part's clocks and fades. The angles, the caption state and the dissolve keep their
// program-start values across loads; glow_load sets ending, brightness and blur_factor.
struct GlowState {
    int32_t ending = 0;           // 1 once the tenth caption has gone
    float brightness = 256.0f;    // of the closing fade to black
    float angle_a = 0.0f;         // pitch of the first two objects
    float angle_b = 0.0f;         // heading
    float angle_c = 0.0f;         // bank
    float blur_factor = 0.06f;    // of the radial blur
    float caption_clock = 0.0f;   // 0.1 per tick; captions start once it passes 20
    int32_t caption_index = 0;    // 0..9, 10 once all have been shown
    float caption_alpha = 255.0f; // of the current caption, 4 less per tick
    float dissolve = 0.0f;        // threshold of the opening dissolve, 0.9 per tick
};

// The part's state, for inspection. Valid for the life of the program.
const GlowState *glow_state();

// Puts the whole state back to its program-start values (a new show in the same process).
void glow_reset();
