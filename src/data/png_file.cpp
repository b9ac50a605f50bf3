// png_file.cpp -- writes RGB pictures as PNG files with libpng

#include "data/png_file.h"

#include "data/error.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

int png_file_write(const char *path, const uint8_t *rgb, int32_t width, int32_t height) {
    FILE *file = std::fopen(path, "wb");
    if (!file) {
        data_error("%s: cannot write: %s", path, std::strerror(errno));
        return 0;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        data_error("%s: cannot write the picture", path);
        return 0;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Fast settings: frames are written while the show runs.
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; y++) png_write_row(png, rgb + size_t(y) * size_t(width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        data_error("%s: cannot write: %s", path, std::strerror(errno));
        return 0;
    }
    return 1;
}
