// vector.h -- the three-float vector every layer shares: points and normals in the engine,
// screen vertices (column, row, depth) in the faces the fillers draw. Its arithmetic is in
// engine/math3d.h.
#pragma once

struct Vec3 {
    float x;
    float y;
    float z;
};
