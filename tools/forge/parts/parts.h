// parts.h -- the data of each show part: every routine writes its files into the data folder.
//
// Each returns 1, or 0 after printing on stderr which file failed and why.
#pragma once

#include "canvas.h"

// The loading screen and its dissolve map, the four bars with their alpha pictures, and the
// twelve caption strips.
int forge_shared(const char *dir);

// The opening: group logo, credits and their dissolve map, tunnel textures, the moor behind the
// tunnel with its alpha, and the bob that reveals it.
int forge_intro(const char *dir);

// The title picture.
int forge_title(const char *dir);

// The magnet cube's five shapes, its steel and highlight maps, the floor plate, the flares, the
// opening dissolve and their scene.
int forge_magnet(const char *dir);

// The portrait.
int forge_portrait(const char *dir);

// The glow part's flare, frame, dissolve and captions, its star, rings and sparks, and their
// scene.
int forge_glow(const char *dir);

// The textured scene's cavern stretches, door and lamps, its rock, door and lamp pictures, and
// the flight through them.
int forge_textured_scene(const char *dir);

// The light scene's background and lettering, its sparks, halo, crown and lettered ring, and
// their scene.
int forge_light_scene(const char *dir);

// The particle cloud's five shapes and spark sprite, the turning lettering, the twilight moor,
// its dissolve and the scene.
int forge_particle_morph(const char *dir);

// The closing scene: the knot and its flares, the night picture behind them, the knot's texture,
// the two flare sprites and the credits' scroller.
int forge_end(const char *dir);

// The metaballs' environment map and lettering, the cube their grid lies on and its scene.
int forge_metaball(const char *dir);

// The hidden picture.
int forge_hidden(const char *dir);

// The stone wall behind the raytraced spheres.
int forge_raytraced(const char *dir);

// Saves the canvas as dir/name, a JPEG of quality 92 (dithered with the given seed).
int part_save_jpeg(const char *dir, const char *name, const Canvas *canvas, uint32_t seed);

// Saves 8-bit RGB pixels as dir/name, a run-length TGA.
int part_save_tga(const char *dir, const char *name, int width, int height, const uint8_t *rgb);
