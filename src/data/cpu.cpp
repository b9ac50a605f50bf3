// cpu.cpp -- picks the packed-arithmetic drawing paths for this processor

#include "data/cpu.h"

#include "data/packed.h"

int32_t has_mmx = 0;
int32_t has_ssse3 = 0;

void cpu_detect() {
#if QM_PACKED && (defined(__x86_64__) || defined(__i386__))
    // Every x86-64 processor has SSE2 (a 32-bit x86 build has it when compiled for it), which
    // does the packed byte arithmetic sixteen bytes at a time. SSSE3 is not part of the
    // baseline: asked of the processor itself, once.
    has_mmx = 1;
    has_ssse3 = __builtin_cpu_supports("ssse3") ? 1 : 0;
#elif QM_PACKED && defined(__SSE2__)
    // The x86 intrinsics translated at compile time for another vector unit (WebAssembly's
    // SIMD128): the byte shuffle is there when the build was asked for it.
    has_mmx = 1;
#if defined(__SSSE3__)
    has_ssse3 = 1;
#endif
#elif QM_PACKED
    // The portable layer compiled the packed paths for this processor's own vector unit,
    // byte shuffle included: nothing to ask at run time.
    has_mmx = 1;
    has_ssse3 = 1;
#else
    has_mmx = 0;
    has_ssse3 = 0;
#endif
}
