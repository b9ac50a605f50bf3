// noise.cpp -- seeded random numbers, value noise and arithmetic-only sine and exponential
#include "noise.h"

#include <cmath>

Rng rng_make(uint64_t seed) {
    return Rng{seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull};
}

uint64_t rng_next(Rng *rng) {
    uint64_t z = (rng->state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// 24 random bits scaled by 2^-24: exact in a float, never 1.0.
float rng_float(Rng *rng) {
    return (float)(rng_next(rng) >> 40) * (1.0f / 16777216.0f);
}

float rng_range(Rng *rng, float lo, float hi) {
    return lo + (hi - lo) * rng_float(rng);
}

// A well-mixed 32-bit hash of a lattice corner (the integer finaliser of murmur3).
static uint32_t hash_corner(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = (uint32_t)x * 0x8DA6B343u ^ (uint32_t)y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

static float corner_value(int32_t x, int32_t y, uint32_t seed) {
    return (float)(hash_corner(x, y, seed) >> 8) * (1.0f / 16777215.0f);
}

float noise_value(float x, float y, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int32_t ix = (int32_t)fx, iy = (int32_t)fy;
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    float top = fm_mix(corner_value(ix, iy, seed), corner_value(ix + 1, iy, seed), tx);
    float bottom = fm_mix(corner_value(ix, iy + 1, seed), corner_value(ix + 1, iy + 1, seed), tx);
    return fm_mix(top, bottom, ty);
}

float noise_fbm(float x, float y, int octaves, float gain, uint32_t seed) {
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (int i = 0; i < octaves; i++) {
        sum += amplitude * noise_value(x, y, seed + (uint32_t)i * 1013u);
        total += amplitude;
        amplitude *= gain;
        // A rotation-free offset between octaves keeps their lattices from lining up.
        x = x * 2.0f + 17.31f;
        y = y * 2.0f - 9.77f;
    }
    return sum / total;
}

// Reduces x to [-pi, pi] and sums the Taylor series to x^15 in double (error below 1e-9 there).
float fm_sin(float x) {
    const double two_pi = 6.283185307179586;
    double r = (double)x;
    r -= two_pi * std::floor(r / two_pi + 0.5);
    double r2 = r * r, term = r, sum = r;
    for (int n = 1; n <= 7; n++) {
        term = -term * r2 / (double)((2 * n) * (2 * n + 1));
        sum += term;
    }
    return (float)sum;
}

float fm_cos(float x) {
    return fm_sin(x + 1.57079632679489662f);
}

// e^x = 2^k * e^r with |r| <= ln2/2; the power of two is exact (ldexp), e^r a short series.
float fm_exp(float x) {
    if (x < -80.0f) return 0.0f;
    const double ln2 = 0.6931471805599453;
    double k = std::floor((double)x / ln2 + 0.5);
    double r = (double)x - k * ln2;
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 12; n++) {
        term = term * r / (double)n;
        sum += term;
    }
    return (float)std::ldexp(sum, (int)k);
}

float fm_smoothstep(float edge0, float edge1, float x) {
    float t = fm_clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

float fm_clamp(float x, float lo, float hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}

float fm_mix(float a, float b, float t) {
    return a + (b - a) * t;
}
