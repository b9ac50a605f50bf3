// scalar_test.cpp -- accuracy, special values and quadrants of the machine-independent maths

#include "engine/scalar.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

// Distance from got to the exact value, in units of the last place of the double nearest it.
double ulp_error(double got, long double exact) {
    const double nearest = double(exact);
    const double mag = std::fabs(nearest);
    if (mag == 0.0) return got == 0.0 ? 0.0 : std::numeric_limits<double>::infinity();
    const double ulp = std::nextafter(mag, INFINITY) - mag;
    return double(std::fabs((long double)got - exact) / (long double)ulp);
}

struct Worst {
    double error = 0.0;
    double where = 0.0;
    void see(double err, double x) {
        if (err > error) {
            error = err;
            where = x;
        }
    }
};

void check_sin_cos(Worst &sin_worst, Worst &cos_worst, double x) {
    sin_worst.see(ulp_error(scalar_sin(x), sinl((long double)x)), x);
    cos_worst.see(ulp_error(scalar_cos(x), cosl((long double)x)), x);
}

// Magnitudes spread evenly over the exponents from 2^lo to 2^hi, either sign.
double log_uniform(std::mt19937_64 &rng, double lo, double hi) {
    std::uniform_real_distribution<double> exponent(lo, hi);
    const double m = std::exp2(exponent(rng));
    return (rng() & 1u) ? -m : m;
}

} // namespace

TEST(Scalar, SineAndCosineWithinOneUlpUpToAMillion) {
    Worst sin_worst, cos_worst;
    for (int i = -2000000; i <= 2000000; ++i) check_sin_cos(sin_worst, cos_worst, i * 5e-6);
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 1000000; ++i)
        check_sin_cos(sin_worst, cos_worst, log_uniform(rng, -40.0, 19.9));
    // Near multiples of pi/2 the reduction cancels most of the argument.
    for (int k = -600000; k <= 600000; k += 7) {
        const double x = double(k * 1.5707963267948966192313216916397514L);
        for (int step = -2; step <= 2; ++step) {
            const double near = step < 0   ? std::nextafter(x, -INFINITY)
                                : step > 0 ? std::nextafter(x, INFINITY)
                                           : x;
            check_sin_cos(sin_worst, cos_worst, near);
        }
    }
    EXPECT_LT(sin_worst.error, 1.0) << "at x = " << sin_worst.where;
    EXPECT_LT(cos_worst.error, 1.0) << "at x = " << cos_worst.where;
}

TEST(Scalar, ArcTangentWithinOneUlp) {
    Worst worst;
    for (int i = -2000000; i <= 2000000; ++i) {
        const double x = i * 2.5e-5;
        worst.see(ulp_error(scalar_atan(x), atanl((long double)x)), x);
    }
    std::mt19937_64 rng(777);
    for (int i = 0; i < 1000000; ++i) {
        const double x = log_uniform(rng, -60.0, 80.0);
        worst.see(ulp_error(scalar_atan(x), atanl((long double)x)), x);
    }
    EXPECT_LT(worst.error, 1.0) << "at x = " << worst.where;

    Worst worst2;
    double worst_y = 0.0;
    for (int i = 0; i < 1000000; ++i) {
        const double y = log_uniform(rng, -30.0, 30.0), x = log_uniform(rng, -30.0, 30.0);
        const double err = ulp_error(scalar_atan2(y, x), atan2l((long double)y, (long double)x));
        if (err > worst2.error) worst_y = y;
        worst2.see(err, x);
    }
    // Exponents far apart, down into the subnormals: the quotient must neither overflow nor
    // lose its quadrant.
    for (int i = 0; i < 200000; ++i) {
        const double y = log_uniform(rng, -1070.0, 1020.0), x = log_uniform(rng, -1070.0, 1020.0);
        const double err = ulp_error(scalar_atan2(y, x), atan2l((long double)y, (long double)x));
        if (err > worst2.error) worst_y = y;
        worst2.see(err, x);
    }
    EXPECT_LT(worst2.error, 1.0) << "at y = " << worst_y << ", x = " << worst2.where;
}

// On the axes and at infinity atan2 returns fixed angles; every one must land in the right
// quadrant with the right sign of zero. Zeros and NaN pass through every routine.
TEST(Scalar, SpecialValuesSignsAndQuadrants) {
    const double inf = INFINITY;
    const double values[] = {0.0,      -0.0, 1.0,  -1.0,         3.5e-300,
                             -2.0e300, inf,  -inf, DBL_TRUE_MIN, -DBL_MAX};
    for (double y : values) {
        for (double x : values) {
            const double got = scalar_atan2(y, x);
            const long double exact = atan2l((long double)y, (long double)x);
            const double want = double(exact);
            if (y == 0.0 || x == 0.0 || std::isinf(x) || std::isinf(y))
                EXPECT_EQ(got, want) << "atan2(" << y << ", " << x << ")";
            else
                EXPECT_LT(ulp_error(got, exact), 1.0) << "atan2(" << y << ", " << x << ")";
            EXPECT_EQ(std::signbit(got), std::signbit(want)) << "atan2(" << y << ", " << x << ")";
        }
    }
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
