// cpu.h -- what the processor offers the drawing code.
#pragma once

#include <cstdint>

// 1 when the blits, the sprite drawer and the other packed-arithmetic paths may run, 0 for the
// plain ones. The name is the historical one: it means "this build has packed paths
// (data/packed.h) and this processor runs them" -- SSE2 on x86-64, the vector unit through the
// portable layer elsewhere -- not the MMX instruction set. Set by cpu_detect; tests may flip it
// to compare the two paths.
extern int32_t has_mmx;

// 1 when the packed paths may use SSSE3's byte shuffle (pshufb), which the screen conversion
// and the radial blur use to reorder pixel bytes: on x86-64 when the processor reports SSSE3,
// elsewhere whenever the portable layer is built in (it has the shuffle as a table lookup); 0
// otherwise. Set by cpu_detect; tests may flip it.
extern int32_t has_ssse3;

// Sets has_mmx and has_ssse3 for this build on this processor.
void cpu_detect();
