// digest.cpp -- the 64-bit xxHash (XXH64), read little-endian as the published algorithm does

#include "data/digest.h"

#include <cstring>

constexpr uint64_t PRIME1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t PRIME2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t PRIME3 = 0x165667B19E3779F9ull;
constexpr uint64_t PRIME4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t PRIME5 = 0x27D4EB2F165667C5ull;

static inline uint64_t rotl(uint64_t v, int r) {
    return v << r | v >> (64 - r);
}

static inline uint64_t read64(const uint8_t *p) {
    uint64_t v;
    std::memcpy(&v, p, 8); // x86-64 is little-endian, as the algorithm reads
    return v;
}

static inline uint64_t read32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

static inline uint64_t round_in(uint64_t acc, uint64_t input) {
    return rotl(acc + input * PRIME2, 31) * PRIME1;
}

static inline uint64_t merge(uint64_t h, uint64_t lane) {
    return (h ^ round_in(0, lane)) * PRIME1 + PRIME4;
}

// Four lanes over whole 32-byte stripes; returns their merged state and moves *p past them.
static uint64_t stripes(const uint8_t **p, const uint8_t *end, uint64_t seed) {
    uint64_t v1 = seed + PRIME1 + PRIME2, v2 = seed + PRIME2, v3 = seed, v4 = seed - PRIME1;
    const uint8_t *q = *p;
    for (; end - q >= 32; q += 32) {
        v1 = round_in(v1, read64(q));
        v2 = round_in(v2, read64(q + 8));
        v3 = round_in(v3, read64(q + 16));
        v4 = round_in(v4, read64(q + 24));
    }
    *p = q;
    uint64_t h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
    return merge(merge(merge(merge(h, v1), v2), v3), v4);
}

uint64_t digest_bytes(const void *data, size_t size, uint64_t seed) {
    const uint8_t *p = static_cast<const uint8_t *>(data);
    const uint8_t *end = p + size;
    uint64_t h = size >= 32 ? stripes(&p, end, seed) : seed + PRIME5;
    h += uint64_t(size);
    for (; end - p >= 8; p += 8) h = rotl(h ^ round_in(0, read64(p)), 27) * PRIME1 + PRIME4;
    if (end - p >= 4) {
        h = rotl(h ^ read32(p) * PRIME1, 23) * PRIME2 + PRIME3;
        p += 4;
    }
    for (; p < end; p++) h = rotl(h ^ *p * PRIME5, 11) * PRIME1;
    h ^= h >> 33;
    h *= PRIME2;
    h ^= h >> 29;
    h *= PRIME3;
    return h ^ h >> 32;
}
