// bytes.h -- a growable byte buffer with big- and little-endian stores, and whole-file writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Bytes {
    std::vector<uint8_t> data;
};

void bytes_u8(Bytes *out, uint32_t v);
void bytes_u16be(Bytes *out, uint32_t v);
void bytes_u32be(Bytes *out, uint32_t v);
// An IEEE single-precision float, big-endian.
void bytes_f32be(Bytes *out, float v);
void bytes_raw(Bytes *out, const void *data, size_t size);
// Appends text without its terminator.
void bytes_text(Bytes *out, const char *text);
// Overwrites four bytes at offset with v, big-endian (for lengths known only afterwards).
void bytes_patch_u32be(Bytes *out, size_t offset, uint32_t v);

// Writes the bytes to path. Returns 1, or 0 with a message naming the file on stderr.
int bytes_save(const Bytes *bytes, const char *path);
