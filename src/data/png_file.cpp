// png_file.cpp -- writes RGB pictures as PNG files with libpng

#include "data/png_file.h"

#include "data/error.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

// Where libpng's bytes go, and the system's reason when they did not get there.
struct PngSink {
    FILE *file;
    int error; // errno of the failed write, 0 while all is well
};

static void sink_write(png_structp png, png_bytep data, size_t size) {
    auto *sink = static_cast<PngSink *>(png_get_io_ptr(png));
    errno = 0;
    if (std::fwrite(data, 1, size, sink->file) != size) {
        sink->error = errno ? errno : EIO;
        png_error(png, "write failed");
    }
}

static void sink_flush(png_structp) {}

// libpng would print its own line on stderr; the reason goes to data_error instead.
static void quiet_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

static void quiet_warning(png_structp, png_const_charp) {}

// A picture cut short is worse than none: a regular file left half written is removed.
static int give_up(FILE *file, const char *path, int error) {
    struct stat st;
    bool regular = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
    std::fclose(file);
    if (regular) std::remove(path);
    data_error("%s: cannot write the picture: %s", path, std::strerror(error ? error : EIO));
    return 0;
}

int png_file_write(const char *path, const uint8_t *rgb, int32_t width, int32_t height) {
    FILE *file = std::fopen(path, "wb");
    if (!file) {
        data_error("%s: cannot write: %s", path, std::strerror(errno));
        return 0;
    }
    PngSink sink = {file, 0};
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return give_up(file, path, sink.error ? sink.error : ENOMEM);
    }
    png_set_write_fn(png, &sink, sink_write, sink_flush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Fast settings: frames are written while the show runs.
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; y++) png_write_row(png, rgb + size_t(y) * size_t(width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    // The last buffered bytes are written here: a full disk may only show now.
    if (std::fflush(file) != 0) return give_up(file, path, errno);
    if (std::fclose(file) != 0) {
        int error = errno;
        std::remove(path);
        data_error("%s: cannot write the picture: %s", path, std::strerror(error));
        return 0;
    }
    return 1;
}
