// decimal.h -- numbers in text, read and written the same way whatever the user's locale.
//
// The C library's number routines take the decimal point from the locale, and a desktop sets a
// locale whose point may be a comma; scene files and everything the program prints use a point.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads one number at *text after any blanks (the C rules: sign, point, exponent, also "inf"
// and "nan") and moves *text past it. Returns 1, or 0 with *text unchanged when none is there.
int decimal_read_float(const char **text, float *value);

// Reads up to count numbers, each after any blanks, as scanf's "%f %f ..." in the "C" locale.
// Returns how many were read before the first that is not a number.
int32_t decimal_read_floats(const char *text, float *values, int32_t count);

// Writes value with `decimals` digits after a point (printf's "%.Nf" in the "C" locale) into text
// (size bytes, always terminated; cut short when too small). Returns text.
const char *decimal_fixed(char *text, size_t size, double value, int32_t decimals);
