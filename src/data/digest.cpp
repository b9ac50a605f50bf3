// digest.cpp -- the 64-bit xxHash (XXH64), from libxxhash's header

#include "data/digest.h"

// The header alone, its routines inlined here: the cross builds (web, ARM) need no library
// built for them.
#define XXH_INLINE_ALL
#include <xxhash.h>

uint64_t digest_bytes(const void *data, size_t size, uint64_t seed) {
    return XXH64(data, size, seed);
}
