// noise.h -- seeded random numbers, value noise and the few transcendental functions the forge
// paints with, all in plain arithmetic so that every machine makes the same bytes.
//
// The C library's exp, sin and pow pick different code (with or without fused multiply-add) on
// different processors; a last-bit difference changes a JPEG. These routines use only +, -, *, /
// and sqrt, which IEEE fixes exactly.
#pragma once

#include <cstdint>

// A small random generator (splitmix64); the whole state is the one word.
struct Rng {
    uint64_t state;
};

// A generator started from seed.
Rng rng_make(uint64_t seed);

// The next 64 random bits.
uint64_t rng_next(Rng *rng);

// A float uniformly in [0, 1).
float rng_float(Rng *rng);

// A float uniformly in [lo, hi).
float rng_range(Rng *rng, float lo, float hi);

// Smooth value noise in [0, 1] at (x, y); lattice values hashed from the integer corners and seed.
float noise_value(float x, float y, uint32_t seed);

// Fractal sum of octaves of value noise (each octave twice the frequency, gain times the
// amplitude), normalised back to [0, 1].
float noise_fbm(float x, float y, int octaves, float gain, uint32_t seed);

// Sine and cosine of x radians, accurate to a few float ulps.
float fm_sin(float x);
float fm_cos(float x);

// e to the power x; 0 for x below -80.
float fm_exp(float x);

// 0 below edge0, 1 above edge1, the cubic 3t^2 - 2t^3 between.
float fm_smoothstep(float edge0, float edge1, float x);

// x limited to [lo, hi].
float fm_clamp(float x, float lo, float hi);

// a + (b - a) * t.
float fm_mix(float a, float b, float t);

constexpr float FM_PI = 3.14159265358979f;
