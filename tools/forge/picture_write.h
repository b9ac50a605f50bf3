// picture_write.h -- writes 8-bit RGB pictures as baseline JPEG and as run-length-encoded
// 24-bit TGA (type 10, rows bottom-up), the two forms the show's loaders read.
#pragma once

#include "bytes.h"

#include <cstdint>

// Encodes the pixels as a three-component JPEG at the given quality (1..100) with the exact
// integer DCT and 4:4:4 sampling (captions and thin lines keep their colour). Returns 1, or 0
// with a message on stderr.
int jpeg_encode(Bytes *out, int width, int height, const uint8_t *rgb, int quality);

// Encode and save in one step; 1 on success, 0 with a message naming the file.
int tga_save(const char *path, int width, int height, const uint8_t *rgb);
int jpeg_save(const char *path, int width, int height, const uint8_t *rgb, int quality);
