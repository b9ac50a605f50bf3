// bytes.cpp -- byte buffers and whole-file writing
#include "bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void bytes_u8(Bytes *out, uint32_t v) {
    out->data.push_back((uint8_t)v);
}

void bytes_u16be(Bytes *out, uint32_t v) {
    bytes_u8(out, v >> 8);
    bytes_u8(out, v);
}

void bytes_u32be(Bytes *out, uint32_t v) {
    bytes_u16be(out, v >> 16);
    bytes_u16be(out, v);
}

void bytes_f32be(Bytes *out, float v) {
    uint32_t bits;
    memcpy(&bits, &v, 4);
    bytes_u32be(out, bits);
}

void bytes_raw(Bytes *out, const void *data, size_t size) {
    const uint8_t *p = (const uint8_t *)data;
    out->data.insert(out->data.end(), p, p + size);
}

void bytes_text(Bytes *out, const char *text) {
    bytes_raw(out, text, strlen(text));
}

void bytes_patch_u32be(Bytes *out, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; i++) out->data[offset + i] = (uint8_t)(v >> (24 - 8 * i));
}

int bytes_save(const Bytes *bytes, const char *path) {
    FILE *f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "forge: %s: cannot create: %s\n", path, strerror(errno));
        return 0;
    }
    size_t n = bytes->data.size();
    int ok = fwrite(bytes->data.data(), 1, n, f) == n;
    ok = (fclose(f) == 0) && ok;
    if (!ok) fprintf(stderr, "forge: %s: write failed: %s\n", path, strerror(errno));
    return ok;
}
