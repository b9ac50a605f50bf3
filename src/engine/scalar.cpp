// scalar.cpp -- machine-independent sine, cosine and arc tangents

#include "engine/scalar.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// Sine and cosine: Cody-Waite reduction to r = x - n pi/2, |r| <= pi/4, with pi/2 split into
// three 33-bit pieces plus a tail. For |n| < 2^20 each n * piece is exact, so the reduced
// argument r is carried as a head and a tail (r = head + tail) accurate to about 2^-100
// relative to x. Then degree-13 (sine) and degree-14 (cosine) minimax polynomials on
// [-pi/4, pi/4], evaluated in double with the tail folded in to first order; their combined
// error is below 1 ulp. The quadrant n mod 4 picks the kernel and sign.

static constexpr double INV_PIO2 = 6.36619772367581382433e-01; // 2/pi, 53 bits
static constexpr double PIO2_1 = 1.57079632673412561417e+00;   // first 33 bits of pi/2
static constexpr double PIO2_2 = 6.07710050630396597660e-11;   // next 33 bits
static constexpr double PIO2_2T = 2.02226624879595063154e-21;  // pi/2 - PIO2_1 - PIO2_2
static constexpr double PIO2_3 = 2.02226624871116645580e-21;   // third 33 bits
static constexpr double PIO2_3T = 8.47842766036889956997e-32;  // pi/2 - first three pieces
static constexpr double ROUND_TO_INT = 6755399441055744.0;   // 1.5 * 2^52: adding rounds to nearest
static constexpr double MEDIUM_LIMIT = 1647099.0;            // 2^20 pi/2: n * PIO2_1 stays exact
static constexpr double TWO_PI = 6.28318530717958647692e+00; // the double nearest 2 pi

static int exponent_of(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits); // std::bit_cast, where the library lacks it
    return int((bits >> 52) & 0x7ff);
}

struct Reduced {
    double head;
    double tail;
    int32_t quadrant;
};

// Reduces |x| < MEDIUM_LIMIT modulo pi/2. Each step subtracts the next piece of n pi/2 and
// recovers the rounding error of that subtraction (two-sum), so the head only drifts from the
// true remainder by what the remaining pieces would take away.
static Reduced reduce_pio2(double x) {
    const double fn = (x * INV_PIO2 + ROUND_TO_INT) - ROUND_TO_INT;
    double r = x - fn * PIO2_1; // exact: fn < 2^20 and PIO2_1 has 33 bits
    double t = r;
    double w = fn * PIO2_2;
    r = t - w;
    w = fn * PIO2_2T - ((t - r) - w);
    if (exponent_of(x) - exponent_of(r - w) > 49) {
        // Deep cancellation near a multiple of pi/2: one more piece.
        t = r;
        w = fn * PIO2_3;
        r = t - w;
        w = fn * PIO2_3T - ((t - r) - w);
    }
    const double head = r - w;
    return Reduced{head, (r - head) - w, int32_t(fn)};
}

static constexpr double S1 = -1.66666666666666324348e-01;
static constexpr double S2 = 8.33333333332248946124e-03;
static constexpr double S3 = -1.98412698298579493134e-04;
static constexpr double S4 = 2.75573137070700676789e-06;
static constexpr double S5 = -2.50507602534068634195e-08;
static constexpr double S6 = 1.58969099521155010221e-10;

// sin(x + y) for |x| <= pi/4, |y| tiny against x. Error below 0.5 ulp of the polynomial part.
static double kernel_sin(double x, double y) {
    const double z = x * x;
    const double w = z * z;
    const double r = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
    const double v = z * x;
    return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

static constexpr double C1 = 4.16666666666666019037e-02;
static constexpr double C2 = -1.38888888888741095749e-03;
static constexpr double C3 = 2.48015872894767294178e-05;
static constexpr double C4 = -2.75573143513906633035e-07;
static constexpr double C5 = 2.08757232129817482790e-09;
static constexpr double C6 = -1.13596475577881948265e-11;

// cos(x + y) for |x| <= pi/4. 1 - x^2/2 is split so its rounding error is added back.
static double kernel_cos(double x, double y) {
    const double z = x * x;
    const double w = z * z;
    const double r = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
    const double hz = 0.5 * z;
    const double one_minus = 1.0 - hz;
    return one_minus + (((1.0 - one_minus) - hz) + (z * r - x * y));
}

// Folds a huge but finite angle into [0, 2 pi) exactly modulo the double TWO_PI; fmod is exact.
static double fold_huge(double x) {
    return std::fmod(x, TWO_PI);
}

// sin(x + quarter_turns * pi/2).
static double sine_shifted(double x, int32_t quarter_turns) {
    if (std::isnan(x) || std::isinf(x)) return x - x;
    if (std::fabs(x) >= MEDIUM_LIMIT) x = fold_huge(x);
    const Reduced red = reduce_pio2(x);
    switch ((uint32_t(red.quadrant) + uint32_t(quarter_turns)) & 3u) {
    case 0:
        return kernel_sin(red.head, red.tail);
    case 1:
        return kernel_cos(red.head, red.tail);
    case 2:
        return -kernel_sin(red.head, red.tail);
    default:
        return -kernel_cos(red.head, red.tail);
    }
}

double scalar_sin(double x) {
    // Tiny arguments (and both zeros) are their own sine to within half an ulp.
    if (std::fabs(x) < 0x1p-27) return x;
    return sine_shifted(x, 0);
}

double scalar_cos(double x) {
    if (std::fabs(x) < 0x1p-27) return 1.0;
    return sine_shifted(x, 1);
}

float scalar_sin(float x) {
    return float(scalar_sin(double(x)));
}

float scalar_cos(float x) {
    return float(scalar_cos(double(x)));
}

// Arc tangent: the argument is reduced to |t| < 7/16 with atan(x) = atan(c) + atan((x - c) /
// (1 + x c)) for c in {1/2, 1, 3/2, infinity}, atan(c) held as a head and tail; then an odd
// degree-23 minimax polynomial in t, split into even and odd halves in t^4. Error below 1 ulp.

static constexpr double ATAN_HI[] = {
    4.63647609000806093515e-01, // atan(0.5)
    7.85398163397448278999e-01, // atan(1.0)
    9.82793723247329054082e-01, // atan(1.5)
    1.57079632679489655800e+00, // atan(inf)
};
static constexpr double ATAN_LO[] = {
    2.26987774529616870924e-17,
    3.06161699786838301793e-17,
    1.39033110312309984516e-17,
    6.12323399573676603587e-17,
};
static constexpr double AT[] = {
    3.33333333333329318027e-01,  -1.99999999998764832476e-01, 1.42857142725034663711e-01,
    -1.11111104054623557880e-01, 9.09088713343650656196e-02,  -7.69187620504482999495e-02,
    6.66107313738753120669e-02,  -5.83357013379057348645e-02, 4.97687799461593236017e-02,
    -3.65315727442169155270e-02, 1.62858201153657823623e-02,
};

// atan(x) as head + tail, the tail far below an ulp of the head.
struct TwoPart {
    double head;
    double tail;
};

// atan(ax + correction) for 2^-27 <= ax < 2^66; the correction, far below an ulp of ax, enters
// to first order as correction / (1 + ax^2).
static TwoPart atan_positive(double ax, double correction) {
    int id = -1;
    double t = ax;
    if (ax >= 0.4375) {
        if (ax < 0.6875) {
            id = 0;
            t = (2.0 * ax - 1.0) / (2.0 + ax);
        } else if (ax < 1.1875) {
            id = 1;
            t = (ax - 1.0) / (ax + 1.0);
        } else if (ax < 2.4375) {
            id = 2;
            t = (ax - 1.5) / (1.0 + 1.5 * ax);
        } else {
            id = 3;
            t = -1.0 / ax;
        }
    }
    const double dz = correction / (1.0 + ax * ax);
    const double z = t * t;
    const double w = z * z;
    const double s1 =
        z * (AT[0] + w * (AT[2] + w * (AT[4] + w * (AT[6] + w * (AT[8] + w * AT[10])))));
    const double s2 = w * (AT[1] + w * (AT[3] + w * (AT[5] + w * (AT[7] + w * AT[9]))));
    if (id < 0) return TwoPart{t, -(t * (s1 + s2) - dz)};
    return TwoPart{ATAN_HI[id], -((t * (s1 + s2) - (ATAN_LO[id] + dz)) - t)};
}

double scalar_atan(double x) {
    if (std::isnan(x)) return x + x;
    const double ax = std::fabs(x);
    if (ax >= 0x1p66) return std::signbit(x) ? -(ATAN_HI[3] + ATAN_LO[3]) : ATAN_HI[3] + ATAN_LO[3];
    if (ax < 0x1p-27) return x; // atan(x) = x to within half an ulp; keeps the sign of zero
    const TwoPart r = atan_positive(ax, 0.0);
    const double sum = r.head + r.tail;
    return std::signbit(x) ? -sum : sum;
}

float scalar_atan(float x) {
    return float(scalar_atan(double(x)));
}

static constexpr double PI = 3.1415926535897931160e+00;
static constexpr double PI_LO = 1.2246467991473531772e-16; // pi - PI
static constexpr double PI_O_2 = 1.5707963267948966192e+00;
static constexpr double PI_O_4 = 7.8539816339744827900e-01;

// atan2 on an axis or at infinity, where the answer is a fixed angle. `quadrant` is bit 0 =
// y negative, bit 1 = x negative.
static double atan2_special(double y, double x, unsigned quadrant) {
    static constexpr double on_x_axis[] = {0.0, -0.0, PI, -PI};
    static constexpr double both_infinite[] = {PI_O_4, -PI_O_4, 3.0 * PI_O_4, -3.0 * PI_O_4};
    if (y == 0.0) return quadrant < 2 ? y : on_x_axis[quadrant];
    if (std::isinf(x)) return std::isinf(y) ? both_infinite[quadrant] : on_x_axis[quadrant];
    return std::signbit(y) ? -PI_O_2 : PI_O_2; // x == 0 or y infinite
}

// Splits a into a 26-bit head and the rest, so products of heads are exact (Veltkamp).
static void split(double a, double &hi, double &lo) {
    const double c = 134217729.0 * a; // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
}

// atan(y / x) for positive finite y, x whose exponents differ by at most 60. The rounding error
// of the quotient would add up to half an ulp on its own, so the residual y - q x is computed
// exactly (Dekker's product) after scaling x to [1, 2), and passed on as a correction.
static TwoPart atan_of_quotient(double y, double x) {
    const int e = std::ilogb(x);
    x = std::scalbn(x, -e);
    y = std::scalbn(y, -e);
    const double q = y / x;
    if (q < 0x1p-27) return TwoPart{q, 0.0};
    double qh, ql, xh, xl;
    split(q, qh, ql);
    split(x, xh, xl);
    const double p = q * x;
    const double p_err = ((qh * xh - p) + qh * xl + ql * xh) + ql * xl;
    return atan_positive(q, ((y - p) - p_err) / x);
}

// pi - (head + tail) with one rounding at the end: the difference of the heads is split into
// its rounded value and its exact error (two-sum), and the small parts are added to that.
static double pi_minus(TwoPart z) {
    const double s = PI - z.head;
    const double b = s - PI;
    const double err = (PI - (s - b)) + (-z.head - b);
    return s + ((err + PI_LO) - z.tail);
}

double scalar_atan2(double y, double x) {
    if (std::isnan(x) || std::isnan(y)) return x + y;
    const unsigned quadrant = (std::signbit(y) ? 1u : 0u) | (std::signbit(x) ? 2u : 0u);
    if (y == 0.0 || x == 0.0 || std::isinf(x) || std::isinf(y))
        return atan2_special(y, x, quadrant);
    // Quotients too large or too small for the polynomial are settled from the exponents, so
    // y / x never overflows or underflows into a wrong quadrant.
    const int k = exponent_of(y) - exponent_of(x);
    if (k > 60) return std::signbit(y) ? -PI_O_2 : PI_O_2;
    TwoPart z{0.0, 0.0};
    if (k >= -60)
        z = atan_of_quotient(std::fabs(y), std::fabs(x));
    else if (!std::signbit(x))
        z.head = std::fabs(y / x); // atan(q) = q to within half an ulp; may underflow to 0
    switch (quadrant) {
    case 0:
        return z.head + z.tail;
    case 1:
        return -(z.head + z.tail);
    case 2:
        return pi_minus(z);
    default:
        return -pi_minus(z);
    }
}

float scalar_atan2(float y, float x) {
    return float(scalar_atan2(double(y), double(x)));
}
