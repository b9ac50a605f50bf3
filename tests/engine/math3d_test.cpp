// Tests of the vector and matrix routines and the three rotation builders.

#include "engine/math3d.h"

#include <gtest/gtest.h>

static const float HALF_PI = 1.5707963267948966f;
static const Mat3 IDENTITY = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};

static void expect_near(const Mat3 &a, const Mat3 &b, float tolerance = 1e-6f) {
    for (int i = 0; i < 9; i++) EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element m" << i;
}

static void expect_near(const Vec3 &a, const Vec3 &b, float tolerance = 1e-6f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// A rotation keeps lengths and handedness: M x transpose(M) = I and row0 x row1 = row2.
static void expect_rotation(const Mat3 &m) {
    Mat3 t, p;
    mat_transpose(t, m);
    mat_mul(p, m, t);
    expect_near(p, IDENTITY, 1e-5f);
    Vec3 r0{m.m[0], m.m[1], m.m[2]}, r1{m.m[3], m.m[4], m.m[5]}, c;
    vec_cross(c, r0, r1);
    expect_near(c, {m.m[6], m.m[7], m.m[8]}, 1e-5f);
}

TEST(Math3d, VectorRoutinesAllowTheDestinationToBeAnInput) {
    Vec3 a{1, 0, 0}, b{0, 1, 0};
    vec_cross(a, a, b);
    expect_near(a, {0, 0, 1});
    Vec3 v{3, 4, 0};
    EXPECT_FLOAT_EQ(vec_normalize_len(v, v), 5.0f);
    expect_near(v, {0.6f, 0.8f, 0.0f});
    Vec3 p{5, 7, 9}, q{1, 2, 3};
    vec_sub(p, p, q);
    vec_add(p, p, p);
    vec_scale(p, 0.5f, p);
    expect_near(p, {4, 5, 6});
    vec_normalize(p, Vec3{0, 0, -2});
    expect_near(p, {0, 0, -1});
}

TEST(Math3d, RowVectorsMultiplyOnTheLeftAndProductsChainLeftToRight) {
    const Mat3 a = {{1, 2, 3, 4, 5, 6, 7, 8, 10}};
    const Mat3 b = {{0, 1, 0, -1, 0, 0, 0, 0, 2}};
    const Vec3 src[2] = {{1, -2, 3}, {-4, 0.5f, 9}};
    Vec3 va[2], vab, direct;
    vec_array_mul_mat(va, src, 2, a);
    expect_near(va[0], {1 - 8 + 21, 2 - 10 + 24, 3 - 12 + 30});
    vec_mul_mat(vab, va[1], b);
    Mat3 ab;
    mat_mul(ab, a, b);
    vec_mul_mat(direct, src[1], ab);
    expect_near(direct, vab, 1e-4f);
}

TEST(Math3d, EulerMatrixIsBankThenHeadingThenPitch) {
    Mat3 m;
    mat_from_angles(m, 0, 0, 0);
    expect_near(m, IDENTITY, 0.0f);
    mat_from_angles(m, 0, 0, HALF_PI);
    expect_near(m, {{0, 1, 0, -1, 0, 0, 0, 0, 1}});

    Vec3 out;
    mat_from_angles(m, 0, HALF_PI, 0); // heading turns z to +x
    vec_mul_mat(out, Vec3{0, 0, 1}, m);
    expect_near(out, {1, 0, 0});
    mat_from_angles(m, HALF_PI, 0, 0); // pitch turns y to +z
    vec_mul_mat(out, Vec3{0, 1, 0}, m);
    expect_near(out, {0, 0, 1});

    // The full matrix is bank x heading x pitch of the single-angle ones, which catches a wrong
    // sign in any term that vanishes when only one angle is set.
    const float pitch = 0.7f, heading = -1.3f, bank = 2.2f;
    Mat3 p, h, b, bh, bhp;
    mat_from_angles(p, pitch, 0, 0);
    mat_from_angles(h, 0, heading, 0);
    mat_from_angles(b, 0, 0, bank);
    mat_mul(bh, b, h);
    mat_mul(bhp, bh, p);
    mat_from_angles(m, pitch, heading, bank);
    expect_near(m, bhp);
    expect_rotation(m);
}

TEST(Math3d, LookAtBuildsRightUpForwardRows) {
    Mat3 m;
    mat_look_at(m, {0, 0, 1}, {0, 1, 0});
    expect_near(m, IDENTITY, 0.0f);
    // Looking along +x with y up, right is -z in this left-handed frame.
    mat_look_at(m, {5, 0, 0}, {0, 1, 0});
    expect_near(m, {{0, 0, -1, 0, 1, 0, 1, 0, 0}});

    // Slanted: forward is the unit direction, up loses its part along it but still points up.
    const Vec3 dir{3, -4, 12};
    mat_look_at(m, dir, {0, 1, 0});
    expect_near(Vec3{m.m[6], m.m[7], m.m[8]}, Vec3{3.0f / 13, -4.0f / 13, 12.0f / 13});
    EXPECT_NEAR(vec_dot({m.m[3], m.m[4], m.m[5]}, dir), 0.0f, 1e-5f);
    EXPECT_GT(m.m[4], 0.9f);
    expect_rotation(m);
}

TEST(Math3d, AxisAngleRotatesAboutAnyAxisLength) {
    Mat3 m, h;
    mat_axis_angle(m, {0, 3, -4}, 0.0f);
    expect_near(m, IDENTITY);
    Vec3 out;
    mat_axis_angle(m, {0, 0, 2}, HALF_PI);
    vec_mul_mat(out, Vec3{1, 0, 0}, m);
    expect_near(out, {0, 1, 0});
    // About y it agrees with the heading rotation.
    mat_axis_angle(m, {0, 7, 0}, 0.9f);
    mat_from_angles(h, 0, 0.9f, 0);
    expect_near(m, h);
    // An oblique axis: points on it stay put, and the result is a rotation.
    const Vec3 axis{1, 2, 2};
    mat_axis_angle(m, axis, 1.234f);
    vec_mul_mat(out, axis, m);
    expect_near(out, axis, 1e-5f);
    expect_rotation(m);
}
