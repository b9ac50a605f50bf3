// scalar.h -- sine, cosine and arc tangents that give the same bits on every x86-64 machine.
//
// The C library picks its sin, cos and atan code at run time by processor (plain SSE2, or
// FMA variants) and does not round them correctly, so their last bits differ between
// machines, and the engine's truncations turn those bits into different pixels. These
// routines use only + - * / and exact operations (fmod, bit tests), so a given input gives
// the same result anywhere. Errors are below 1 ulp in double for |x| up to 1.6e6; beyond
// that the argument is first folded exactly modulo the double nearest 2 pi, so results stay
// finite and within [-1, 1] but lose accuracy. NaN and infinite angles give NaN.
//
// The float overloads evaluate in double and round once to float, so a call site written
// for float arguments keeps its float precision. The forge keeps its own float-precision
// versions for its pictures (tools/forge/noise.h); their bytes are fixed by its tests.
#pragma once

// Sine of x radians.
double scalar_sin(double x);
// Sine of x radians, computed in double and rounded to float.
float scalar_sin(float x);
// Cosine of x radians.
double scalar_cos(double x);
// Cosine of x radians, computed in double and rounded to float.
float scalar_cos(float x);
// Arc tangent of x, in [-pi/2, pi/2]; odd, exact at 0.
double scalar_atan(double x);
// Arc tangent of x, computed in double and rounded to float.
float scalar_atan(float x);
// Angle of the point (x, y) in [-pi, pi], with the signs and quadrants of C's atan2 for
// zeros and infinities; NaN if either argument is NaN.
double scalar_atan2(double y, double x);
// Angle of the point (x, y), computed in double and rounded to float.
float scalar_atan2(float y, float x);
