// Tests of the rotation builders, each against an independent property: the product of the
// single-angle matrices, the fixed axis.

#include "engine/math3d.h"

#include <gtest/gtest.h>

static const float HALF_PI = 1.5707963267948966f;

static void expect_near(const float *a, const float *b, int n, float tolerance = 1e-5f) {
    for (int i = 0; i < n; i++) EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

static void expect_vec(const Vec3 &v, float x, float y, float z) {
    const float want[3] = {x, y, z};
    expect_near(&v.x, want, 3);
}

// A rotation keeps lengths and handedness: M x transpose(M) = I and row0 x row1 = row2.
static void expect_rotation(const Mat3 &m) {
    static const Mat3 IDENTITY = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    Mat3 t, p;
    mat_transpose(t, m);
    mat_mul(p, m, t);
    expect_near(p.m, IDENTITY.m, 9);
    Vec3 c;
    vec_cross(c, {m.m[0], m.m[1], m.m[2]}, {m.m[3], m.m[4], m.m[5]});
    expect_near(&c.x, m.m + 6, 3);
}

TEST(Math3d, EulerMatrixIsBankThenHeadingThenPitch) {
    Mat3 m, p, h, b, bh, bhp;
    Vec3 out;
    mat_from_angles(m, 0, HALF_PI, 0); // heading turns z to +x
    vec_mul_mat(out, Vec3{0, 0, 1}, m);
    expect_vec(out, 1, 0, 0);
    // The full matrix is bank x heading x pitch of the single-angle ones, which catches a wrong
    // sign in any term that vanishes when only one angle is set.
    const float pitch = 0.7f, heading = -1.3f, bank = 2.2f;
    mat_from_angles(p, pitch, 0, 0);
    mat_from_angles(h, 0, heading, 0);
    mat_from_angles(b, 0, 0, bank);
    mat_mul(bh, b, h);
    mat_mul(bhp, bh, p);
    mat_from_angles(m, pitch, heading, bank);
    expect_near(m.m, bhp.m, 9, 1e-6f);
    expect_rotation(m);
}

TEST(Math3d, AxisAngleRotatesAboutAnyAxisLength) {
    Mat3 m, h;
    // About y it agrees with the heading rotation.
    mat_axis_angle(m, {0, 7, 0}, 0.9f);
    mat_from_angles(h, 0, 0.9f, 0);
    expect_near(m.m, h.m, 9, 1e-6f);
    // An oblique axis: points on it stay put, and the result is a rotation.
    const Vec3 axis{1, 2, 2};
    Vec3 out;
    mat_axis_angle(m, axis, 1.234f);
    vec_mul_mat(out, axis, m);
    expect_vec(out, axis.x, axis.y, axis.z);
    expect_rotation(m);
}
