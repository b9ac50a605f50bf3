// metaball.h -- the metaball part's plasma (its routines to load and run the part are in
// parts/parts.h).
//
// The plasma is the sum of four windows into one precomputed 1024 x 512 field of bytes, moving
// with the plasma time, looked up in a 256-entry grey palette.
#pragma once

#include "data/image.h"

#include <cstdint>

constexpr int32_t PLASMA_FIELD_WIDTH = 1024;
constexpr int32_t PLASMA_FIELD_HEIGHT = 512;
constexpr int32_t PLASMA_WIDTH = 512;
constexpr int32_t PLASMA_HEIGHT = 256;
constexpr int32_t PLASMA_LAYERS = 4;

// Where one layer's window starts in the field.
struct PlasmaOffset {
    int32_t row;
    int32_t column;
};

// Writes the field into byte 3 (the blue byte) of every pixel of field (1024 x 512): the
// distance from the centre, rippled four and nine times around it, wrapped to 0..255.
void plasma_build_field(Image *field);

// Fills palette[0..255]: greys rising to 84, falling back to 42, then to 0 again.
void plasma_build_palette(uint32_t *palette);

// The four windows at plasma time t; each lies wholly inside the field.
void plasma_offsets(float t, PlasmaOffset offset[PLASMA_LAYERS]);

// Draws the plasma at time t into target (512 x 256): each pixel is
// palette[(sum of the four windows' field bytes) AND 255].
void plasma_draw(const Image *field, const uint32_t *palette, float t, Image *target);

// The field's bytes alone, one per texel (PLASMA_FIELD_WIDTH x PLASMA_FIELD_HEIGHT), for
// plasma_draw_blended.
void plasma_pack_field(const Image *field, uint8_t *bytes);

// plasma_draw into plain, then the same plasma with text averaged over it into target (each
// colour byte (plasma + text) >> 1, the mask byte the plasma's), in one pass: what plasma_draw,
// blit_copy and blit_average make of it. All three images are 512 x 256.
void plasma_draw_blended(const uint8_t *field_bytes, const uint32_t *palette, float t,
                         const Image *text, Image *plain, Image *target);

// Puts back the values the metaball part has when the program starts (plasma time 0, brightness
// 511): for a second show in the same process. The load routine does not reset them.
void metaball_reset();
