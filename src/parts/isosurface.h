// isosurface.h -- five moving point charges sampled on a 17 x 17 x 17 grid that is laid over a
// cube of a scene, and their surface polygonised with marching cubes and drawn at once,
// environment-mapped and depth-tested.
//
// Every frame the caller runs, in this order: iso_place_grid, iso_polygonise, iso_blob_centres,
// iso_evaluate_field; so a frame shows the previous frame's field at this frame's placement. The
// field starts at 0 everywhere, which draws nothing. Nothing here allocates after iso_create.
#pragma once

#include "engine/math3d.h"

#include <cstdint>

struct Image;
struct Light;
struct Scene;
struct SceneObject;

constexpr int ISO_CELLS = 16;           // cells along each side of the grid
constexpr int ISO_SIDE = ISO_CELLS + 1; // grid points along each side
constexpr int ISO_POINTS = ISO_SIDE * ISO_SIDE * ISO_SIDE;
constexpr int ISO_BLOBS = 5;
constexpr float ISO_WORLD_START = -216.0f;       // world position of grid point 0 on every axis
constexpr float ISO_WORLD_STEP = 27.0f;          // 432 / 16
constexpr float ISO_DEPTH_CLEAR = 299999.90625f; // depth plane value meaning "nothing drawn yet"

// Triangles with a vertex further than this from the origin of the target (in pixels) are not
// drawn: they come from cube corners at or behind the eye and have no sensible shape.
constexpr float ISO_MAX_COORD = 32768.0f;

// One grid point, and the edge vertex made from two of them.
struct IsoPoint {
    Vec3 screen; // x, y in pixels; z the depth relative to the cube (smaller = nearer)
    float value; // the field (unused in edge vertices)
    Vec3 normal; // the field's gradient towards the charges, not unit length
};

struct IsoSurface {
    IsoPoint grid[ISO_POINTS]; // (k, j, i) = (x, y, z) at k + 17 * (j + 17 * i)
    Vec3 centre[ISO_BLOBS];    // world positions of the charges this frame
    Vec3 amplitude[ISO_BLOBS]; // how far each charge swings along x, y and z
    float threshold;           // the field value of the surface
};

// A screen vertex of the triangle filler: position, depth and unit environment coordinates.
struct IsoVertex {
    float x, y, z;
    float u, v; // 0..1 across the environment map
};

// A zero grid (nothing drawn until the field is evaluated), no swing, threshold 0. Null when
// memory runs out. Valid until mem_free_all.
IsoSurface *iso_create();

// The marching-cubes tables for a cell whose corner index is index (bit m set when corner m
// lies below the threshold): bit e of the mask is set for every edge the surface crosses, and
// the row lists the triangles as triples of edge numbers ended by -1. Valid for ever.
int32_t iso_edge_mask(int index);
const int32_t *iso_triangles(int index);

// Index of grid point (k, j, i).
inline int iso_index(int k, int j, int i) {
    return k + ISO_SIDE * (j + ISO_SIDE * i);
}

// Sets the 3 x 5 swings of the charges and the surface's field value.
void iso_set_blobs(IsoSurface *iso, const Vec3 amplitude[ISO_BLOBS], float threshold);

// Lays the grid over the eight corners of cube (its first eight points, camera space as the
// last render_scene left them), projected with the scene's view. Returns 0 and places nothing
// when the cube has fewer than eight points.
int iso_place_grid(IsoSurface *iso, const Scene *scene, const SceneObject *cube);

// Moves the charges to where they are at time t (ticks x 0.02).
void iso_blob_centres(IsoSurface *iso, float t);

// Samples the field and its gradient at every grid point's world position.
void iso_evaluate_field(IsoSurface *iso);
// The same, one point at a time: the reference the packed path must equal bit for bit.
void iso_evaluate_field_scalar(IsoSurface *iso);

// Runs all 16 x 16 x 16 cells: every front-facing triangle that light reaches with intensity 1
// or more is drawn into target (which needs a depth plane), mapped with envmap (256 x 256).
// Returns the number of triangles drawn.
int iso_polygonise(const IsoSurface *iso, const Light *light, const Image *envmap, Image *target);
// The same, running every cell: the reference iso_polygonise must equal.
int iso_polygonise_every_cell(const IsoSurface *iso, const Light *light, const Image *envmap,
                              Image *target);

// Draws one triangle: affine environment coordinates, depth-tested against target->depth (a
// pixel is written, with its depth, only where it is nearer than what is there). Clipped to the
// target; nothing when a coordinate is not finite or beyond ISO_MAX_COORD.
void iso_fill_triangle(const IsoVertex vertex[3], const Image *envmap, Image *target);
