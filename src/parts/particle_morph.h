// particle_morph.h -- the particle morph part's state and drawing steps (its routines are also
// declared in parts/parts.h).
//
// A cloud of particles morphs back and forth through five shapes while it turns, over a rotating
// and zooming lettering and a background picture. The picture comes out of white through a
// dissolve mask, the side bars slide in, and at the end the part fades to black.
#pragma once

#include "data/image.h"

#include <cstdint>

struct SceneObject;

constexpr int32_t PARTICLE_FRAME_WIDTH = 512;
constexpr int32_t PARTICLE_FRAME_HEIGHT = 256;
constexpr int32_t PARTICLE_TEXTURE_SIDE = 256; // the rotozoom reads 65,536 texels, 256 a row

// A rotating, zooming view of a 256-wide texture.
struct Rotozoom {
    int32_t centre_x, centre_y; // 256, 128
    float angle;                // radians
    float zoom;                 // 1 = one texel per pixel
    int32_t spare1, spare2;     // 0
    const Image *texture;       // 256 x 256
};

// Loads the part's pictures, scene and shapes and sets its opening state. 1, or 0 with the
// reason (naming the file) in data_last_error().
int particle_morph_load();

// Draws one frame into the FrameBuffer; 1 while the part goes on, 0 once it has faded to black.
int particle_morph_run();

// Fills the whole of dst from the rotozoom's texture. The texture coordinates are 16.16 fixed
// point in 32-bit integers (wrapping), shifted arithmetically; the texel index wraps at 65,536.
void particle_morph_rotozoom(const Rotozoom *rotozoom, Image *dst);

// particle_morph_rotozoom a pixel at a time, which the packed rows (four texel numbers at once)
// must equal.
void particle_morph_rotozoom_plain(const Rotozoom *rotozoom, Image *dst);

// Every pixel of dst (all three pictures the same size) becomes the src pixel where the mask's
// red byte is below threshold, else white (mask byte 0).
void particle_morph_dissolve(const Image *src, const Image *mask, Image *dst, int32_t threshold);

// particle_morph_dissolve a pixel at a time, which its packed path (four at once) must equal.
void particle_morph_dissolve_plain(const Image *src, const Image *mask, Image *dst,
                                   int32_t threshold);
