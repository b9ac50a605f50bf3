// object.h -- triangle meshes, their faces and surfaces, and the LightWave object (LWOB) reader.
//
// A SceneObject owns its point arrays, faces and surfaces; all of them come from the block
// registry and live until shut-down (mem_free_all). Textures and hooks that the show parts store
// in faces and surfaces stay owned by the parts.
#pragma once

#include "engine/math3d.h"
#include "fillers/face.h"

#include <cstdint>

struct Image;
struct Motion;

// Surface flags: the file's double-sided bit; the low byte holds texture-mapping bits.
constexpr int SURF_DOUBLE_SIDED = 0x100;

constexpr int SURFACE_NAME_SIZE = 32; // 31 characters and the terminator

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
    SceneObject *parent; // the object this one moves with (its motion is relative to it), or null
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
