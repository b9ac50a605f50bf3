// math3d.cpp -- matrix products, transposes and the three rotation builders

#include "engine/math3d.h"

#include "engine/scalar.h"

void mat_mul(Mat3 &dst, const Mat3 &a, const Mat3 &b) {
    for (int r = 0; r < 3; r++) {
        const float *ar = &a.m[r * 3];
        for (int c = 0; c < 3; c++)
            dst.m[r * 3 + c] = ar[0] * b.m[c] + ar[1] * b.m[3 + c] + ar[2] * b.m[6 + c];
    }
}

void vec_mul_mat(Vec3 &dst, const Vec3 &v, const Mat3 &m) {
    dst.x = v.x * m.m[0] + v.y * m.m[3] + v.z * m.m[6];
    dst.y = v.x * m.m[1] + v.y * m.m[4] + v.z * m.m[7];
    dst.z = v.x * m.m[2] + v.y * m.m[5] + v.z * m.m[8];
}

void vec_array_mul_mat(Vec3 *dst, const Vec3 *src, int n, const Mat3 &m) {
    // The matrix in locals: the compiler cannot know dst never overlaps m.
    const float m0 = m.m[0], m1 = m.m[1], m2 = m.m[2];
    const float m3 = m.m[3], m4 = m.m[4], m5 = m.m[5];
    const float m6 = m.m[6], m7 = m.m[7], m8 = m.m[8];
    for (int i = 0; i < n; i++) {
        const float x = src[i].x, y = src[i].y, z = src[i].z;
        dst[i].x = x * m0 + y * m3 + z * m6;
        dst[i].y = x * m1 + y * m4 + z * m7;
        dst[i].z = x * m2 + y * m5 + z * m8;
    }
}

void mat_transpose(Mat3 &dst, const Mat3 &a) {
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) dst.m[r * 3 + c] = a.m[c * 3 + r];
}

void mat_from_angles(Mat3 &dst, float pitch, float heading, float bank) {
    const float sa = scalar_sin(pitch), ca = scalar_cos(pitch);
    const float sb = scalar_sin(heading), cb = scalar_cos(heading);
    const float sc = scalar_sin(bank), cc = scalar_cos(bank);
    dst.m[0] = cc * cb;
    dst.m[1] = sc * ca + sa * sb * cc;
    dst.m[2] = sc * sa - ca * sb * cc;
    dst.m[3] = -(sc * cb);
    dst.m[4] = cc * ca - sa * sb * sc;
    dst.m[5] = cc * sa + ca * sb * sc;
    dst.m[6] = sb;
    dst.m[7] = -(cb * sa);
    dst.m[8] = cb * ca;
}

static void set_row(Mat3 &dst, int row, const Vec3 &v) {
    dst.m[row * 3] = v.x;
    dst.m[row * 3 + 1] = v.y;
    dst.m[row * 3 + 2] = v.z;
}

void mat_look_at(Mat3 &dst, const Vec3 &forward, const Vec3 &up) {
    Vec3 f, u, r, along;
    vec_normalize(f, forward);
    // Gram-Schmidt: take out of up the part that runs along f.
    vec_normalize(u, up);
    vec_scale(along, vec_dot(f, u), f);
    vec_sub(u, u, along);
    vec_normalize(u, u);
    vec_cross(r, u, f);
    set_row(dst, 0, r);
    set_row(dst, 1, u);
    set_row(dst, 2, f);
}

void mat_axis_angle(Mat3 &dst, const Vec3 &axis, float angle) {
    Vec3 n;
    vec_normalize(n, axis);
    const float c = scalar_cos(angle), s = scalar_sin(angle), t = 1.0f - c;
    dst.m[0] = t * n.x * n.x + c;
    dst.m[1] = t * n.x * n.y + n.z * s;
    dst.m[2] = t * n.x * n.z - n.y * s;
    dst.m[3] = t * n.x * n.y - n.z * s;
    dst.m[4] = t * n.y * n.y + c;
    dst.m[5] = t * n.y * n.z + n.x * s;
    dst.m[6] = t * n.x * n.z + n.y * s;
    dst.m[7] = t * n.y * n.z - n.x * s;
    dst.m[8] = t * n.z * n.z + c;
}
