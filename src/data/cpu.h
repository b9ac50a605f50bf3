// cpu.h -- what the processor offers the drawing code.
#pragma once

#include <cstdint>

// 1 when the blits and the sprite drawer may take their packed-arithmetic paths, 0 for the
// plain ones. Set by cpu_detect; tests may flip it to compare the two paths. The name is
// historical: no path uses MMX; it means "the packed paths may run", whatever instructions the
// build packs with.
extern int32_t has_mmx;

// 1 when the processor has SSSE3's byte shuffle (pshufb), which the screen conversion uses to
// reorder and pack pixel bytes; 0 otherwise. Set by cpu_detect; tests may flip it.
extern int32_t has_ssse3;

// Sets has_mmx for this processor (1 on x86-64, where SSE2 is always present; 0 elsewhere)
// and has_ssse3.
void cpu_detect();
