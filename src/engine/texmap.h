// texmap.h -- surface texture mapping: faces of textured surfaces get their fillers' flags and
// their layer-0 texture coordinates, projected once from the model-space points or normals.
#pragma once

struct Surface;
struct SceneObject;
struct Vec3;

// Mapping bits in the low byte of Surface::flags.
constexpr int MAP_SPHERICAL = 0x01;
constexpr int MAP_CYLINDRICAL = 0x02;
constexpr int MAP_PLANAR = 0x04;
constexpr int MAP_ANGULAR = 0x08;
constexpr int MAP_NORMALS = 0x10; // coordinates from the point normals
constexpr int MAP_AXIS_X = 0x20;  // mapping axis; neither X nor Y is Z
constexpr int MAP_AXIS_Y = 0x40;

// Turns the faces of surfaces with exactly a texture_image into textured faces and those with
// exactly an env_image into environment-mapped faces (other combinations keep their flags),
// then calls map_object_coordinates.
void apply_surface_textures(SceneObject *object);

// Writes the layer-0 coordinates (texels, 0 .. 255) of every face that has a surface whose
// mapping flags name a projection; faces of other surfaces keep theirs.
void map_object_coordinates(SceneObject *object);

// The projection of one model-space point p by the surface's mapping, u and v in -1 .. 1
// (planar, cylindrical, spherical) or 0 .. 1 (angular). u and v are left as they were when the
// surface names no projection.
void map_point(const Surface *surface, const Vec3 &p, float &u, float &v);

// The heading of a direction about the y axis: 0 along +z.
float heading_of(float x, float y, float z);

// The heading (as heading_of) and the pitch above the x-z plane of a direction.
void heading_pitch_of(float x, float y, float z, float &heading, float &pitch);
