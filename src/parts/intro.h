// intro.h -- the intro part's state and its drawing steps (its routines are in parts/parts.h).
//
// The opening: the group logo fades in and out on black; then a textured tunnel seen through a
// background picture that soft bobs reveal, a white flash, the bars sliding in, and the makers'
// credits dissolving one into the next; at the end the screen fades to white.
#pragma once

#include "data/image.h"

#include <cstdint>

constexpr int32_t INTRO_TUNNEL_WIDTH = 512; // one table entry per frame-buffer pixel
constexpr int32_t INTRO_TUNNEL_HEIGHT = 256;
constexpr int32_t INTRO_TEXTURE_SIDE = 256;
constexpr int32_t INTRO_BOB_SIDE = 128;
constexpr int32_t INTRO_BOB_COUNT = 4;
constexpr int32_t INTRO_CREDIT_WIDTH = 320;
constexpr int32_t INTRO_CREDIT_HEIGHT = 64;
constexpr int32_t INTRO_CREDIT_X = 96; // where the credits stand in the frame buffer
constexpr int32_t INTRO_CREDIT_Y = 96;
constexpr int32_t INTRO_CREDIT_COUNT = 5;
constexpr int32_t INTRO_SLOTS = 7; // nothing, the five credits, nothing

// The opening's states, in the order they follow each other.
enum IntroPhase {
    INTRO_LOGO_IN,    // the logo fades in over black
    INTRO_HOLD_FIRST, // the logo stays on screen
    INTRO_HOLD_SECOND,
    INTRO_LOGO_OUT,   // the logo fades out
    INTRO_FLASH,      // the tunnel comes up and the screen brightens to white
    INTRO_FLASH_FADE, // the white fades to normal; then the credits run
    INTRO_CLOSE,      // the closing fade to white
};

// A soft bob wandering over the background on two sine waves.
struct IntroBob {
    float x, y;             // top-left corner, last drawn
    float speed_a, speed_b; // radians per tick of the two angles
    float amp_x, amp_y;     // x = (sin a + 1) * amp_x, y = (sin b + 1) * amp_y
    float a, b;             // the angles
};

// Everything the intro animates. Times and speeds are in ticks.
struct IntroState {
    float clock;             // 0.1 per tick; the part ends above 386
    int32_t phase;           // an IntroPhase
    float logo_level;        // alpha of the logo, 0..255
    float brightness;        // mirrored into display_brightness
    float tunnel_phase;      // 0.01 per tick while the tunnel is drawn
    float texture_angle;     // 0.01 per tick; drives the mix of the two tunnel textures
    float upper_bar_x;       // -304 sliding right to -32
    float lower_bar_x;       // 512 sliding left to 240
    int32_t credits_running; // 1 once the white flash has faded
    int32_t credit_index;    // slot of the credit being held
    float credit_hold;       // ticks the current credit has been held
    float dissolve_level;    // 0..255 while one credit dissolves into the next
    IntroBob bobs[INTRO_BOB_COUNT];
};

// The intro's state. Valid for the whole program; changed by intro_load and intro_run.
const IntroState *intro_state();

// The tunnel table entry of frame-buffer pixel (column, row): (v << 8) | u, with u the angle
// around the tunnel and v the depth, both 8 bits.
uint32_t intro_tunnel_entry(int32_t column, int32_t row);

// Fills dst (512 x 256) with texture (256 x 256) seen through the tunnel table, the texture
// shifted by an offset that swings with phase. The table holds the entries in 16 bits, all they
// have, which halves what a frame reads of it. Eight offsets at a time with SSE2 where there is
// SSE2, giving the pixels of intro_draw_tunnel_plain.
void intro_draw_tunnel(const uint16_t *table, const Image *texture, float phase, Image *dst);
void intro_draw_tunnel_plain(const uint16_t *table, const Image *texture, float phase, Image *dst);

// Adds the bob's red bytes (128 x 128) into the mask bytes of background with the bob's corner at
// (x, y), saturating at 255. Rows and columns outside background are skipped. Four pixels at a
// time with SSE2 where there is SSE2, giving the pixels of intro_add_bob_plain.
void intro_add_bob(Image *background, const Image *bob, int32_t x, int32_t y);
void intro_add_bob_plain(Image *background, const Image *bob, int32_t x, int32_t y);
