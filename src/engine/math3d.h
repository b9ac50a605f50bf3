// math3d.h -- vectors, 3x3 matrices and the rotations the engine builds from them.
//
// Single precision throughout. Vectors are row vectors multiplied on the left of a matrix
// (v' = v x M), so transforms concatenate left to right: "A then B" is A x B. The frame is
// left-handed: x right, y up, z into the screen. Angles are radians.
//
// Nothing here allocates or checks its arguments. The vector routines accept a destination that
// is also one of the inputs; the matrix routines say where they do not.
#pragma once

#include "data/vector.h"

#include <cmath>

// Nine floats m0..m8 stored row by row: row 0 = m[0] m[1] m[2], row 1 = m[3..5], row 2 = m[6..8].
struct Mat3 {
    float m[9];
};

// An orientation as the motion channels carry it, in the order the engine passes the angles.
struct Angles {
    float pitch;
    float heading;
    float bank;
};

// dst = s * v.
inline void vec_scale(Vec3 &dst, float s, const Vec3 &v) {
    dst.x = s * v.x;
    dst.y = s * v.y;
    dst.z = s * v.z;
}

// The dot product a . b.
inline float vec_dot(const Vec3 &a, const Vec3 &b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// dst = a x b.
inline void vec_cross(Vec3 &dst, const Vec3 &a, const Vec3 &b) {
    float x = a.y * b.z - a.z * b.y;
    float y = a.z * b.x - a.x * b.z;
    float z = a.x * b.y - a.y * b.x;
    dst.x = x;
    dst.y = y;
    dst.z = z;
}

// The Euclidean length of v.
inline float vec_length(const Vec3 &v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// dst = v scaled by 1/|v| (a multiply by the reciprocal). A zero vector gives non-finite values.
inline void vec_normalize(Vec3 &dst, const Vec3 &v) {
    float k = 1.0f / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    dst.x = v.x * k;
    dst.y = v.y * k;
    dst.z = v.z * k;
}

// dst = v divided by |v|; returns |v|. A zero vector gives non-finite values.
inline float vec_normalize_len(Vec3 &dst, const Vec3 &v) {
    float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    dst.x = v.x / l;
    dst.y = v.y / l;
    dst.z = v.z / l;
    return l;
}

// dst = a - b.
inline void vec_sub(Vec3 &dst, const Vec3 &a, const Vec3 &b) {
    dst.x = a.x - b.x;
    dst.y = a.y - b.y;
    dst.z = a.z - b.z;
}

// dst = a + b.
inline void vec_add(Vec3 &dst, const Vec3 &a, const Vec3 &b) {
    dst.x = a.x + b.x;
    dst.y = a.y + b.y;
    dst.z = a.z + b.z;
}

// dst = a x b. dst must not be a or b.
void mat_mul(Mat3 &dst, const Mat3 &a, const Mat3 &b);

// dst = v x m. dst must not be v.
void vec_mul_mat(Vec3 &dst, const Vec3 &v, const Mat3 &m);

// dst[i] = src[i] x m for i in 0..n-1. dst and src are different arrays.
void vec_array_mul_mat(Vec3 *dst, const Vec3 *src, int n, const Mat3 &m);

// dst = the transpose of a. dst must not be a.
void mat_transpose(Mat3 &dst, const Mat3 &a);

// dst = the rotation of objects, lights and free cameras from pitch, heading and bank.
void mat_from_angles(Mat3 &dst, float pitch, float heading, float bank);

// dst = the orthonormal basis looking along forward: rows right, up, forward. up is made
// perpendicular to forward first.
void mat_look_at(Mat3 &dst, const Vec3 &forward, const Vec3 &up);

// dst = the rotation by angle about axis (any non-zero length).
void mat_axis_angle(Mat3 &dst, const Vec3 &axis, float angle);
