// digest.h -- a 64-bit digest of bytes, to tell whether two runs drew the same pictures.
#pragma once

#include <cstddef>
#include <cstdint>

// XXH64 of size bytes at data with the given seed: the published 64-bit xxHash, so any other
// implementation (xxhsum -H1) gives the same value for the same bytes.
uint64_t digest_bytes(const void *data, size_t size, uint64_t seed);
