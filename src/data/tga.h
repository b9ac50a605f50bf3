// tga.h -- the run-length-encoded 24-bit TGA reader (load_tga, in image.h, reads the file).
#pragma once

#include "data/image.h"

#include <cstddef>
#include <cstdint>

// Decodes a TGA file already in memory; name is only used in failure reasons. Accepts image
// type 10 (run-length-encoded true colour) at 24 bits per pixel, its rows stored bottom-up or,
// when the descriptor's origin bit says so, top-down (and right to left when its other origin
// bit says that). Returns a new picture with mask bytes 0, or nullptr with the reason in
// data_last_error(). Valid until image_free or mem_free_all.
Image *tga_decode(const char *name, const uint8_t *data, size_t size, int32_t flags);
