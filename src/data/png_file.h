// png_file.h -- pictures written as PNG files: the screens --frames keeps, quellmoor-view's frames.
#pragma once

#include <cstdint>

// Writes width x height 8-bit RGB triples, row by row, as a PNG file at path. Returns 1, or 0
// with the reason, naming the file, in data_last_error().
int png_file_write(const char *path, const uint8_t *rgb, int32_t width, int32_t height);
