// face.h -- the triangle every filler draws: the Face record, its flags, and the Filler type.
//
// The engine fills faces (lights, clips and projects them) and hands them to the fillers; the
// fillers own the record so that they need nothing from the engine.
#pragma once

#include "data/vector.h"

#include <cstdint>

struct Image;
struct Face;

// Draws one screen-space triangle (vertices already projected) into target. A face's draw_hook
// and custom_filler have this type; the pipeline calls them with its scratch face.
using Filler = void (*)(const Face *face, Image *target);

// Colour word: bytes 1, 2, 3 hold red, green, blue, byte 0 is 0 (as a little-endian value
// 0xBBGGRR00).
constexpr uint32_t COLOUR_WHITE = 0xFFFFFF00u;

// Face flags: what kind of primitive a face is and how it is lit.
constexpr int FACE_SOLID = 0x0001;        // solid colour
constexpr int FACE_HIDDEN = 0x0002;       // never drawn
constexpr int FACE_TEXTURED = 0x0004;     // colour texture
constexpr int FACE_POINT = 0x0008;        // one pixel at vertex 0
constexpr int FACE_ENVMAP = 0x0010;       // texture coordinates from the vertex normals
constexpr int FACE_FLARE = 0x0020;        // a sprite at vertex 0
constexpr int FACE_GOURAUD = 0x0080;      // per-vertex intensity
constexpr int FACE_FLAT = 0x0100;         // one intensity per face
constexpr int FACE_DOUBLE_SIDED = 0x0400; // no back-face test
constexpr int FACE_CUSTOM = 0x4000;       // drawn by the face's own custom_filler
constexpr int FACE_PARTICLE = 0x8000;     // every vertex drawn as a sprite

constexpr int FACE_TEXTURES = 4;
constexpr int FACE_UV_FLOATS = 36; // six floats (u, v of three vertices) per texture layer

// One triangle: the unit the pipeline lights, clips and sorts and that every filler receives.
// The fields every frame reads of a visible face come first, so that a face sorted far from its
// neighbours costs as few cache lines as may be; the rest follow.
struct Face {
    int flags;                     // FACE_* bits (FACE_SOLID)
    uint32_t colour;               // colour word of its surface (white)
    Vec3 v[3];                     // camera space, then screen x, y and depth after projection
    int point_index[3];            // the vertices in the object's point array
    int depth_key;                 // sort key
    int clip_stride;               // floats per clip vertex: 3 + 2 per texture layer (3)
    int uv_count;                  // texture-coordinate floats in use, 6 per layer
    int uv_layer[FACE_TEXTURES];   // start (in floats) of each texture's coordinates in uv
    Image *texture[FACE_TEXTURES]; // texture[0] is also the sprite of flares and particles
    Filler draw_hook;              // when set, draws each clipped triangle instead of dispatch
    float flat_intensity;          // 0..255, flat lighting
    float gouraud_intensity[3];    // 0..255 at each vertex
    float uv[FACE_UV_FLOATS];      // per layer: u, v of vertex 0, 1, 2 in texels
    Vec3 vertex_normal[3];         // camera-space normal at each vertex
    Vec3 face_normal;              // camera-space face normal (flat lighting)
    float env_scale;               // environment mapping scale (128.0)
    Filler custom_filler;          // used when flags has FACE_CUSTOM
    int vertex_count;              // vertex count of the source polygon (3)
    float projected_size;          // on-screen size of a flare
    int surface_index;             // into the object's surfaces, -1 for none
    float flare_radius;            // world-space radius of a flare
};
