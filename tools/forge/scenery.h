// scenery.h -- landscape painting for the forge's pictures: skies, hill lines, stars, mist,
// water that mirrors the sky, grass and reeds.
#pragma once

#include "canvas.h"

#include <cstdint>

// A hill line: the height at column x is base_y + amplitude * (fbm(x * frequency) - 0.5) * 2.
struct Ridge {
    float base_y;
    float amplitude;
    float frequency;
    int octaves;
    uint32_t seed;
};

// Fills everything below the ridge with the gradient stops (spread over the canvas height),
// edge anti-aliased. Returns 0 when memory fails.
int scenery_hills(Canvas *canvas, const Ridge *ridge, const GradientStop *stops, int count);

// Scatters count stars above row max_y, fainter towards max_y; a few get a soft halo.
void scenery_stars(Canvas *canvas, int count, float max_y, float brightness, uint32_t seed);

// Adds a band of drifting mist centred on row y, height rows high.
void scenery_mist(Canvas *canvas, float y, float height, Rgb colour, float strength, uint32_t seed);

// Inside the water mask, replaces the picture by its mirror about row axis_y, rippled
// sideways, darkened by dim and tinted towards tint by tint_amount.
void scenery_water(Canvas *canvas, const Mask *water, float axis_y, float dim, Rgb tint,
                   float tint_amount, uint32_t seed);

// Draws count blades of grass or reeds standing on rows between y0 and y1, up to height rows
// tall, in colour.
int scenery_grass(Canvas *canvas, int count, float y0, float y1, float height, Rgb colour,
                  uint32_t seed);

// Draws a windswept tree silhouette standing at (x, y), height rows tall, branching from a
// seeded pattern and leaning with the wind (positive leans right).
int scenery_tree(Canvas *canvas, float x, float y, float height, float wind, Rgb colour,
                 uint32_t seed);

// Adds count small floating lights (soft glows with a bright core) around (x, y) within a box
// of half-size spread_x by spread_y.
void scenery_lights(Canvas *canvas, int count, float x, float y, float spread_x, float spread_y,
                    Rgb colour, float strength, uint32_t seed);
