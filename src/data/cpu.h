// cpu.h -- what the processor offers the drawing code.
#pragma once

#include <cstdint>

// 1 when the blits and the sprite drawer may take their packed-arithmetic paths, 0 for the
// plain ones. Set by cpu_detect; tests may flip it to compare the two paths.
extern int32_t has_mmx;

// Sets has_mmx for this processor (1 on x86-64, where SSE2 is always present; 0 elsewhere).
void cpu_detect();
