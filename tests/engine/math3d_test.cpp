// Tests of the vector and matrix routines and the three rotation builders.

#include "engine/math3d.h"

#include <gtest/gtest.h>

#include <cmath>

static const float HALF_PI = 1.5707963267948966f;

static void expect_matrix_near(const Mat3 &a, const Mat3 &b, float tolerance = 1e-6f) {
    for (int i = 0; i < 9; i++) EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element m" << i;
}

static void expect_vec_near(const Vec3 &a, const Vec3 &b, float tolerance = 1e-6f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

static const Mat3 IDENTITY = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};

// A rotation keeps lengths and handedness: M x transpose(M) = I and det M = +1.
static void expect_rotation(const Mat3 &m) {
    Mat3 t, p;
    mat_transpose(t, m);
    mat_mul(p, m, t);
    expect_matrix_near(p, IDENTITY, 1e-5f);
    Vec3 r0{m.m[0], m.m[1], m.m[2]}, r1{m.m[3], m.m[4], m.m[5]}, r2{m.m[6], m.m[7], m.m[8]}, c;
    vec_cross(c, r0, r1);
    EXPECT_NEAR(vec_dot(c, r2), 1.0f, 1e-5f);
}

TEST(Math3d, VectorRoutinesAllowTheDestinationToBeAnInput) {
    Vec3 a{1, 0, 0}, b{0, 1, 0};
    vec_cross(a, a, b);
    expect_vec_near(a, {0, 0, 1});

    Vec3 v{3, 4, 0};
    EXPECT_FLOAT_EQ(vec_normalize_len(v, v), 5.0f);
    expect_vec_near(v, {0.6f, 0.8f, 0.0f});

    Vec3 w{0, 0, -2};
    vec_normalize(w, w);
    expect_vec_near(w, {0, 0, -1});
    EXPECT_FLOAT_EQ(vec_length(Vec3{2, 3, 6}), 7.0f);

    Vec3 p{5, 7, 9}, q{1, 2, 3};
    vec_sub(p, p, q);
    expect_vec_near(p, {4, 5, 6});
    vec_add(p, p, p);
    expect_vec_near(p, {8, 10, 12});
    vec_scale(p, 0.5f, p);
    expect_vec_near(p, {4, 5, 6});
    EXPECT_FLOAT_EQ(vec_dot(p, q), 4 + 10 + 18);
}

TEST(Math3d, ZeroVectorsNormaliseToNonFiniteValues) {
    Vec3 z{0, 0, 0}, n;
    vec_normalize(n, z);
    EXPECT_FALSE(std::isfinite(n.x));
}

TEST(Math3d, RowVectorsMultiplyOnTheLeftAndProductsChainLeftToRight) {
    const Mat3 a = {{1, 2, 3, 4, 5, 6, 7, 8, 10}};
    const Mat3 b = {{0, 1, 0, -1, 0, 0, 0, 0, 2}};
    Vec3 v{1, -2, 3}, va, vab, direct;
    vec_mul_mat(va, v, a);
    expect_vec_near(va, {1 - 8 + 21, 2 - 10 + 24, 3 - 12 + 30});
    vec_mul_mat(vab, va, b);
    Mat3 ab;
    mat_mul(ab, a, b);
    vec_mul_mat(direct, v, ab);
    expect_vec_near(direct, vab, 1e-4f);

    Mat3 ba;
    mat_mul(ba, b, a);
    EXPECT_NE(ab.m[0], ba.m[0]); // the order matters

    Mat3 t, tt;
    mat_transpose(t, a);
    EXPECT_EQ(t.m[1], a.m[3]);
    EXPECT_EQ(t.m[6], a.m[2]);
    mat_transpose(tt, t);
    expect_matrix_near(tt, a, 0.0f);
}

TEST(Math3d, ArrayTransformMatchesOneVectorAtATime) {
    Mat3 m;
    mat_from_angles(m, 0.3f, -1.1f, 2.0f);
    const Vec3 src[4] = {{1, 2, 3}, {-4, 0.5f, 9}, {0, 0, 0}, {1e3f, -1e3f, 7}};
    Vec3 dst[4];
    vec_array_mul_mat(dst, src, 4, m);
    for (int i = 0; i < 4; i++) {
        Vec3 one;
        vec_mul_mat(one, src[i], m);
        EXPECT_EQ(dst[i].x, one.x);
        EXPECT_EQ(dst[i].y, one.y);
        EXPECT_EQ(dst[i].z, one.z);
    }
}

TEST(Math3d, EulerMatrixIsBankThenHeadingThenPitch) {
    Mat3 m;
    mat_from_angles(m, 0, 0, 0);
    expect_matrix_near(m, IDENTITY, 0.0f);

    mat_from_angles(m, 0, 0, HALF_PI);
    EXPECT_NEAR(m.m[0], 0, 1e-7f);
    EXPECT_NEAR(m.m[1], 1, 1e-7f);
    EXPECT_NEAR(m.m[3], -1, 1e-7f);
    EXPECT_NEAR(m.m[4], 0, 1e-7f);

    // Heading alone turns about y: z goes to +x.
    mat_from_angles(m, 0, HALF_PI, 0);
    Vec3 z{0, 0, 1}, out;
    vec_mul_mat(out, z, m);
    expect_vec_near(out, {1, 0, 0});
    // Pitch alone turns about x: y goes to +z.
    mat_from_angles(m, HALF_PI, 0, 0);
    Vec3 y{0, 1, 0};
    vec_mul_mat(out, y, m);
    expect_vec_near(out, {0, 0, 1});

    // The full matrix is the product bank x heading x pitch of the single-angle matrices, which
    // catches a wrong sign in any term that vanishes when only one angle is set.
    const float pitch = 0.7f, heading = -1.3f, bank = 2.2f;
    Mat3 p, h, b, bh, bhp, full;
    mat_from_angles(p, pitch, 0, 0);
    mat_from_angles(h, 0, heading, 0);
    mat_from_angles(b, 0, 0, bank);
    mat_mul(bh, b, h);
    mat_mul(bhp, bh, p);
    mat_from_angles(full, pitch, heading, bank);
    expect_matrix_near(full, bhp, 1e-6f);
    expect_rotation(full);
}

TEST(Math3d, LookAtBuildsRightUpForwardRows) {
    Mat3 m;
    mat_look_at(m, {0, 0, 1}, {0, 1, 0});
    expect_matrix_near(m, IDENTITY, 0.0f);

    // Looking along +x with y up, right is -z in this left-handed frame.
    mat_look_at(m, {5, 0, 0}, {0, 1, 0});
    expect_matrix_near(m, {{0, 0, -1, 0, 1, 0, 1, 0, 0}});

    // A slanted view: forward is the unit direction, up loses its part along forward but still
    // points upwards, and the result is a proper rotation.
    const Vec3 dir{3, -4, 12};
    mat_look_at(m, dir, {0, 1, 0});
    expect_vec_near({m.m[6], m.m[7], m.m[8]}, {3.0f / 13, -4.0f / 13, 12.0f / 13});
    Vec3 up{m.m[3], m.m[4], m.m[5]};
    EXPECT_NEAR(vec_dot(up, dir), 0.0f, 1e-5f);
    EXPECT_GT(up.y, 0.9f);
    expect_rotation(m);
}

TEST(Math3d, AxisAngleRotatesAboutAnyAxisLength) {
    Mat3 m;
    mat_axis_angle(m, {0, 3, -4}, 0.0f);
    expect_matrix_near(m, IDENTITY);

    mat_axis_angle(m, {0, 0, 2}, HALF_PI);
    Vec3 x{1, 0, 0}, out;
    vec_mul_mat(out, x, m);
    expect_vec_near(out, {0, 1, 0});

    // About y it agrees with the heading rotation.
    Mat3 h;
    mat_axis_angle(m, {0, 7, 0}, 0.9f);
    mat_from_angles(h, 0, 0.9f, 0);
    expect_matrix_near(m, h);

    // A point on the axis stays put; an oblique axis still gives a rotation.
    const Vec3 axis{1, 2, 2};
    mat_axis_angle(m, axis, 1.234f);
    vec_mul_mat(out, axis, m);
    expect_vec_near(out, axis, 1e-5f);
    expect_rotation(m);
}
