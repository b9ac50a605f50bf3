// scalar_test.cpp -- accuracy, special values and quadrants of the machine-independent maths

#include "engine/scalar.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <tuple>

namespace {

// The worst distance seen from a result to the exact value, in units of the last place of the
// double nearest the exact value, and the arguments it was seen at.
struct Worst {
    double error = 0.0, x = 0.0, y = 0.0;
    void see(double got, long double exact, double at_x, double at_y = 0.0) {
        const double mag = std::fabs(double(exact));
        const double ulp = std::nextafter(mag, INFINITY) - mag;
        const double err = mag == 0.0 ? (got == 0.0 ? 0.0 : INFINITY)
                                      : double(std::fabs((long double)got - exact) / ulp);
        if (err > error) error = err, x = at_x, y = at_y;
    }
};

// Magnitudes spread evenly over the exponents from 2^lo to 2^hi, either sign.
double log_uniform(std::mt19937_64 &rng, double lo, double hi) {
    const double m = std::exp2(std::uniform_real_distribution<double>(lo, hi)(rng));
    return (rng() & 1u) ? -m : m;
}

} // namespace

TEST(Scalar, SineAndCosineWithinOneUlpUpToAMillion) {
    Worst sin_worst, cos_worst;
    auto check = [&](double x) {
        sin_worst.see(scalar_sin(x), sinl((long double)x), x);
        cos_worst.see(scalar_cos(x), cosl((long double)x), x);
    };
    for (int i = -2000000; i <= 2000000; ++i) check(i * 5e-6);
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 1000000; ++i) check(log_uniform(rng, -40.0, 19.9));
    // Near multiples of pi/2 the reduction cancels most of the argument.
    for (int k = -600000; k <= 600000; k += 7) {
        const double x = double(k * 1.5707963267948966192313216916397514L);
        check(std::nextafter(x, -INFINITY));
        check(x);
        check(std::nextafter(x, INFINITY));
    }
    EXPECT_LT(sin_worst.error, 1.0) << "at x = " << sin_worst.x;
    EXPECT_LT(cos_worst.error, 1.0) << "at x = " << cos_worst.x;
}

TEST(Scalar, ArcTangentWithinOneUlp) {
    Worst worst, worst2;
    for (int i = -2000000; i <= 2000000; ++i)
        worst.see(scalar_atan(i * 2.5e-5), atanl((long double)(i * 2.5e-5)), i * 2.5e-5);
    std::mt19937_64 rng(777);
    for (int i = 0; i < 1000000; ++i) {
        const double x = log_uniform(rng, -60.0, 80.0);
        worst.see(scalar_atan(x), atanl((long double)x), x);
    }
    EXPECT_LT(worst.error, 1.0) << "at x = " << worst.x;
    // Then exponents far apart, down into the subnormals: the quotient must neither overflow
    // nor lose its quadrant.
    for (auto [lo, hi, n] : {std::tuple{-30.0, 30.0, 1000000}, {-1070.0, 1020.0, 200000}})
        for (int i = 0; i < n; ++i) {
            const double y = log_uniform(rng, lo, hi), x = log_uniform(rng, lo, hi);
            worst2.see(scalar_atan2(y, x), atan2l((long double)y, (long double)x), x, y);
        }
    EXPECT_LT(worst2.error, 1.0) << "at y = " << worst2.y << ", x = " << worst2.x;
}

// On the axes and at infinity atan2 returns fixed angles; every one must land in the right
// quadrant with the right sign of zero. Zeros and NaN pass through every routine.
TEST(Scalar, SpecialValuesSignsAndQuadrants) {
    const double inf = INFINITY;
    const double values[] = {0.0,      -0.0, 1.0,  -1.0,         3.5e-300,
                             -2.0e300, inf,  -inf, DBL_TRUE_MIN, -DBL_MAX};
    Worst worst;
    for (double y : values)
        for (double x : values) {
            const double got = scalar_atan2(y, x);
            const long double exact = atan2l((long double)y, (long double)x);
            if (y == 0.0 || x == 0.0 || std::isinf(x) || std::isinf(y))
                EXPECT_EQ(got, double(exact)) << "atan2(" << y << ", " << x << ")";
            else
                worst.see(got, exact, x, y);
            EXPECT_EQ(std::signbit(got), std::signbit(exact)) << "atan2(" << y << ", " << x << ")";
        }
    EXPECT_LT(worst.error, 1.0) << "at y = " << worst.y << ", x = " << worst.x;
    // Zeros and the smallest subnormals come back exact, with their sign.
    for (double x : {0.0, -0.0, DBL_TRUE_MIN, -DBL_TRUE_MIN}) {
        EXPECT_EQ(scalar_sin(x), x);
        EXPECT_EQ(std::signbit(scalar_sin(x)), std::signbit(x));
        EXPECT_EQ(scalar_atan(x), x);
        EXPECT_EQ(std::signbit(scalar_atan(x)), std::signbit(x));
        EXPECT_EQ(scalar_cos(x), 1.0);
    }
    EXPECT_TRUE(std::isnan(scalar_atan2(double(NAN), 1.0)));
    EXPECT_TRUE(std::isnan(scalar_atan2(1.0, double(NAN))));
    EXPECT_TRUE(std::isnan(scalar_atan(double(NAN))));
    EXPECT_EQ(scalar_atan(inf), double(atanl((long double)inf)));
    EXPECT_EQ(scalar_atan(-inf), double(atanl(-(long double)inf)));
}

TEST(Scalar, HugeAnglesStayFiniteAndInfiniteOnesGiveNan) {
    const double huge[] = {1.7e6, -3.0e9, 1e300, DBL_MAX, -DBL_MAX, 0x1p52 + 1.0};
    for (double x : huge) {
        const double s = scalar_sin(x), c = scalar_cos(x);
        EXPECT_TRUE(std::isfinite(s) && std::fabs(s) <= 1.0) << x;
        EXPECT_TRUE(std::isfinite(c) && std::fabs(c) <= 1.0) << x;
        // Both come from the same folded angle, so they still lie on the unit circle.
        EXPECT_NEAR(s * s + c * c, 1.0, 1e-15) << x;
    }
    EXPECT_TRUE(std::isnan(scalar_sin(double(INFINITY))));
    EXPECT_TRUE(std::isnan(scalar_cos(-double(INFINITY))));
    EXPECT_TRUE(std::isnan(scalar_sin(double(NAN))));
}
