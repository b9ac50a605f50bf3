// light_scene.h -- the light scene part's state and its drawing steps (its routines are in
// parts/parts.h).
//
// A moving tunnel of a lettering texture, averaged with a background picture; over it a scene
// whose objects glow additively and whose last object wears the lettering, all streaked by a
// radial blur with a wandering centre; the bars and captions slide in. The part opens out of
// white and ends by fading to white.
#pragma once

#include "data/image.h"

#include <cstdint>

struct Scene;

constexpr int32_t LIGHT_TUNNEL_WIDTH = 512; // one table entry per frame-buffer pixel
constexpr int32_t LIGHT_TUNNEL_HEIGHT = 256;
constexpr int32_t LIGHT_TEXTURE_SIDE = 256;

// Everything the part animates. Times and speeds are in ticks.
struct LightSceneState {
    float fade_level;   // mirrored into display_brightness: 511 white, falls to 330, back to 511
    float blur_angle_x; // 0.06 per tick; the blur centre's column swings with its sine
    float blur_angle_y; // 0.04 per tick; the blur centre's row swings with its sine
    float tunnel_phase; // 0.005 per tick; the tunnel's texture offset swings with it
    float clock;        // ticks since the part started
    float upper_bar_y;  // -32 sliding down to 0
    float lower_bar_y;  // 259 sliding up to 227
};

// The part's state. Valid for the whole program; changed by light_scene_load and light_scene_run.
const LightSceneState *light_scene_state();

// The tunnel table entry of frame-buffer pixel (column, row): (v << 8) | u, with v the angle
// around the tunnel and u the depth along it, 8 bits each.
uint32_t light_scene_tunnel_entry(int32_t column, int32_t row);

// The texture offset added to every tunnel entry at the given phase: 8.8, row and column; the
// row part swings with sin(1.5 phase), the column part with sin(1.8 phase).
uint32_t light_scene_tunnel_offset(float phase);

// Fills dst (512 x 256) with the texels of texture (256 x 256) named by table entry + offset,
// the sum taken modulo 65,536 (a column that carries over moves one row down). The table holds
// the entries in 16 bits, all they have, which halves what a frame reads of it.
void light_scene_draw_tunnel(const uint16_t *table, const Image *texture, uint32_t offset,
                             Image *dst);

// light_scene_draw_tunnel a pixel at a time, which its packed path (eight texel numbers at once)
// must equal.
void light_scene_draw_tunnel_plain(const uint16_t *table, const Image *texture, uint32_t offset,
                                   Image *dst);
