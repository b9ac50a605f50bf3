// object.h -- triangle meshes, their faces and surfaces, and the LightWave object (LWOB) reader.
//
// A SceneObject owns its point arrays, faces and surfaces; all of them come from the block
// registry and live until shut-down (mem_free_all). Textures and hooks that the show parts store
// in faces and surfaces stay owned by the parts.
#pragma once

#include "engine/math3d.h"

#include <cstdint>

struct Image;
struct Face;
struct Motion;

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

// Surface flags: the file's double-sided bit; the low byte holds texture-mapping bits.
constexpr int SURF_DOUBLE_SIDED = 0x100;

constexpr int SURFACE_NAME_SIZE = 32; // 31 characters and the terminator
constexpr int FACE_TEXTURES = 4;
constexpr int FACE_UV_FLOATS = 36; // six floats (u, v of three vertices) per texture layer

// One triangle: the unit the pipeline lights, clips and sorts and that every filler receives.
struct Face {
    int vertex_count;              // vertex count of the source polygon (3)
    int flags;                     // FACE_* bits (FACE_SOLID)
    uint32_t colour;               // colour word of its surface (white)
    float flat_intensity;          // 0..255, flat lighting
    float gouraud_intensity[3];    // 0..255 at each vertex
    Vec3 v[3];                     // camera space, then screen x, y and depth after projection
    int point_index[3];            // the vertices in the object's point array
    Vec3 vertex_normal[3];         // camera-space normal at each vertex
    Vec3 face_normal;              // camera-space face normal (flat lighting)
    float projected_size;          // on-screen size of a flare
    int depth_key;                 // sort key
    int clip_stride;               // floats per clip vertex: 3 + 2 per texture layer (3)
    int uv_layer[FACE_TEXTURES];   // start (in floats) of each texture's coordinates in uv
    int surface_index;             // into the object's surfaces, -1 for none
    Image *texture[FACE_TEXTURES]; // texture[0] is also the sprite of flares and particles
    int uv_count;                  // texture-coordinate floats in use, 6 per layer
    float uv[FACE_UV_FLOATS];      // per layer: u, v of vertex 0, 1, 2 in texels
    float env_scale;               // environment mapping scale (128.0)
    Filler draw_hook;              // when set, draws each clipped triangle instead of dispatch
    Filler custom_filler;          // used when flags has FACE_CUSTOM
    float flare_radius;            // world-space radius of a flare
};

// Repetitions of a cylindrical or spherical map around (u) and along (v) its axis.
struct SurfaceWrap {
    float u;
    float v;
};

// One named surface of an object file.
struct Surface {
    int flags; // SURF_DOUBLE_SIDED; the low byte holds texture-mapping bits
    char name[SURFACE_NAME_SIZE];
    uint32_t colour;      // colour word, white unless the file gives one
    Image *texture_image; // set by the show parts, as are the fields below
    Image *env_image;
    Image *extra_image1;
    Image *extra_image2;
    Vec3 texture_size;   // 1.0 each
    Vec3 texture_centre; // 1.0 each
    SurfaceWrap wrap;    // 1.0 each
};

// A mesh with its animation state.
struct SceneObject {
    int kind;            // 0
    Vec3 position;       // from the motion, this frame
    Vec3 world_position; // after the (identity) world transform
    Angles rotation;     // from the motion
    int point_count;
    int face_count;
    int surface_count;
    Vec3 *points;        // model space, already scaled at load
    Vec3 *point_normals; // average of the adjacent face normals (not renormalised)
    Vec3 *view_points;   // camera space, rewritten every frame
    Vec3 *view_normals;  // camera space, rewritten every frame
    Face *faces;         // face_count triangles
    Surface *surfaces;   // surface_count surfaces
    Mat3 matrix;         // orientation, rebuilt every frame
    Motion *motion;      // null for objects loaded outside a scene
    float radius;        // largest half-extent of the points' bounding box
};

// Reads the LWOB file at path (through file_load) and builds its object with every point
// multiplied by scale. Null (with the reason in data_error) when the file is missing, is not a
// well-formed LWOB or memory runs out. Valid until mem_free_all.
SceneObject *load_object(const char *path, float scale);

// An object with no points, faces or surfaces (a scene's null object). Null when memory runs
// out. Valid until mem_free_all.
SceneObject *new_empty_object();

// n faces with the defaults (3 vertices, solid, white, no surface, stride 3, env scale 128).
// Null when memory runs out or n is negative. Valid until mem_free_all.
Face *new_faces(int n);

// n surfaces with the defaults (white, texture size, centre and wrap 1.0). Null when memory
// runs out or n is negative. Valid until mem_free_all.
Surface *new_surfaces(int n);

// The length of the diagonal of the points' bounding box; with no points, that of the initial
// box whose corners are +-999999.9.
float object_diagonal(const SceneObject *obj);
