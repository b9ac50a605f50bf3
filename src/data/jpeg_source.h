// jpeg_source.h -- the JPEG reader: drives the JPEG library from a block in memory (load_jpeg, in
// image.h, reads the file).
#pragma once

#include "data/image.h"

#include <cstddef>
#include <cstdint>

// Decodes a JPEG file already in memory; name is only used in failure reasons. Colour files come
// out as RGB, greyscale files as grey RGB, mask bytes 0. Returns nullptr, with the library's own
// message or ours in data_last_error(), when the data is damaged, truncated, has another number
// of colour components or a side over IMG_MAX_SIDE. Valid until image_free or mem_free_all.
Image *jpeg_decode(const char *name, const uint8_t *data, size_t size, int32_t flags);
