// magnet.h -- the magnet part's state and drawing helpers (its routines are in parts/parts.h).
#pragma once

#include "data/blit.h"
#include "engine/math3d.h"

#include <cstdint>

// The part's clocks and positions. Set by magnet_load (background_on and white_fade excepted),
// advanced by magnet_run.
struct MagnetState {
    float part_time = 0.0f;     // ticks since the part started
    float dissolve = 0.0f;      // threshold of the opening dissolve, 0.9 per tick
    float fog_level = 0.0f;     // taken off the background's light once part_time > 826
    int background_on = 1;      // 0 for good once fog_level has reached 254
    float blur_angle = 0.0f;    // phase of the radial blur factor
    float blur_factor = 0.0f;   // radial blur factor once the background is off
    float morph_angle = 0.0f;   // phase of the morph
    float plane_angle_z = 0.0f; // phases of the background camera
    float plane_angle_x = 0.0f;
    Vec3 plane_camera = {0.0f, 0.0f, -666.0f}; // background camera position
    float left_x = -120.0f;                    // horizontal positions of the left and right strips
    float right_x = 608.0f;
    float white_fade = 256.0f; // brightness of the closing fade
};

// The part's state, for inspection. Valid for the life of the program.
const MagnetState *magnet_state();

// Puts background_on and white_fade back to their program-start values (a new show in the same
// process).
void magnet_reset();

// Fills table (65,536 pixel words, index colour * 256 + level) from palette: with
// c = cos(level * pi / 512), each channel 255 c^3 + channel * c, clamped to 0..255. Level 0 is
// white; the higher the level, the darker.
void magnet_build_background_table(const uint32_t *palette, uint32_t *table);

// Fills the GRID_COLUMNS x GRID_ROWS points of the floor (y = -512) and ceiling (y = 512) seen
// from camera: texture column and row from the hit point, shade 255 near falling to 0 far, less
// fog (at least 0). Rays parallel to the planes (the middle row) see the far, white horizon.
void magnet_background_grid(GridPoint *grid, const Vec3 &camera, float fog);

// Copies the pixels of src whose mask red byte is below threshold into dst (all 512 x 256):
// four pixels at a time with SSE2 where there is SSE2, else magnet_dissolve_plain, whose pixels
// it gives.
void magnet_dissolve(const Image *src, const Image *mask, Image *dst, int32_t threshold);
void magnet_dissolve_plain(const Image *src, const Image *mask, Image *dst, int32_t threshold);
