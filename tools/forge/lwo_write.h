// lwo_write.h -- writes triangle meshes as LightWave objects (FORM LWOB with PNTS, SRFS, POLS
// and one SURF per surface carrying COLR and FLAG).
#pragma once

#include "bytes.h"

#include <cstdint>

// Surface flag word bit that makes a surface double-sided.
constexpr uint16_t LWO_DOUBLE_SIDED = 0x100;

struct LwoSurface {
    const char *name; // at most 31 characters
    uint8_t red, green, blue;
    uint16_t flags; // LWO_DOUBLE_SIDED or 0
};

struct LwoTriangle {
    uint16_t point[3]; // indices into the points, clockwise seen from the visible side
    uint16_t surface;  // index into the surfaces (0-based; the file stores it 1-based)
};

struct LwoMesh {
    int point_count;     // at most 65,536
    const float *points; // x, y, z per point
    int triangle_count;
    const LwoTriangle *triangles;
    int surface_count; // at least 1, at most 32,767
    const LwoSurface *surfaces;
};

// Encodes the mesh. Returns 1, or 0 with a message on stderr when it breaks the format's limits
// (too many points, an index or surface out of range, a surface name too long).
int lwo_encode(Bytes *out, const LwoMesh *mesh);

// Encodes and saves; 1 on success, 0 with a message naming the file.
int lwo_save(const char *path, const LwoMesh *mesh);
