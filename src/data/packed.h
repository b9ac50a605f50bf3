// packed.h -- which packed-arithmetic instructions this build compiles in.
//
// The packed paths are written with the SSE2 intrinsics (sixteen bytes at a time), and the
// screen conversion and the radial blur also with SSSE3's byte shuffle. Every file that has a
// packed path includes this header and tests QM_PACKED, never the processor's own macros:
//
//   QM_PACKED 1  on x86-64, where SSE2 is always present (the shuffle is compiled for SSSE3
//                with QM_TARGET_SSSE3 and used where cpu_detect finds it);
//   QM_PACKED 1  on other processors built with QM_SIMDE, where SIMDe maps the same intrinsics
//                onto the processor's own vector unit with the same results bit for bit;
//   QM_PACKED 0  otherwise, and in a build with QM_PLAIN (the `plain` preset), which compiles
//                the packed paths out so that only the plain ones remain.
//
// Both paths give the same pixels; has_mmx and has_ssse3 (data/cpu.h) choose between them at
// run time where the build has both.
#pragma once

#if defined(QM_PLAIN)
#define QM_PACKED 0
#elif defined(__SSE2__)
#define QM_PACKED 1
#include <emmintrin.h>
#include <tmmintrin.h>
#define QM_TARGET_SSSE3 __attribute__((target("ssse3")))
#elif defined(QM_SIMDE)
#define QM_PACKED 1
// The intrinsics under their x86 names, and exact x86 results: no SIMDE_FAST_* option is set,
// so a truncation of NaN or of an out-of-range float still gives INT32_MIN, and the minimum and
// maximum keep their operand order for NaN.
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/x86/ssse3.h>
#define QM_TARGET_SSSE3
#else
#define QM_PACKED 0
#endif
