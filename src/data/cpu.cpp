// cpu.cpp -- picks the packed-arithmetic drawing paths for this processor

#include "data/cpu.h"

int32_t has_mmx = 0;
int32_t has_ssse3 = 0;

#if defined(__SSSE3__)
[[maybe_unused]] static constexpr int32_t defined_ssse3 = 1;
#else
[[maybe_unused]] static constexpr int32_t defined_ssse3 = 0;
#endif

void cpu_detect() {
    // Every x86-64 processor has SSE2, which does the packed byte arithmetic sixteen bytes at a
    // time; other processors take the plain paths.
#if defined(__SSE2__)
    has_mmx = 1;
#if defined(__x86_64__) || defined(__i386__)
    // Not part of the x86-64 baseline: asked of the processor itself, once.
    has_ssse3 = __builtin_cpu_supports("ssse3") ? 1 : 0;
#else
    // Elsewhere the intrinsics are translated at compile time (WebAssembly's SIMD128).
    has_ssse3 = defined_ssse3;
#endif
#else
    has_mmx = 0;
    has_ssse3 = 0;
#endif
}
