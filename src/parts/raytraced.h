// raytraced.h -- the raytraced part's pixel conversions (its routines are in parts/parts.h).
//
// The tracer works in words with red, green and blue in bytes 0, 1 and 2; pixel words keep the
// mask in byte 0 and the colours in bytes 1 to 3.
#pragma once

#include <cstdint>

// Turns n tracer words back into pixel words in place. The mask byte takes a copy of red.
// has_mmx selects a packed path; both give the same words.
void raytraced_from_tracer(uint32_t *pixels, int32_t n);
