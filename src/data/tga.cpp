// tga.cpp -- reads run-length-encoded 24-bit TGA pictures

#include "data/tga.h"

#include "data/error.h"
#include "data/memory.h"

constexpr size_t TGA_HEADER_SIZE = 18;
constexpr uint8_t TGA_TYPE_RLE_TRUE_COLOUR = 10;
// Image descriptor bits that place the first pixel of the file: without them, bottom left.
constexpr uint8_t TGA_ORIGIN_RIGHT = 0x10;
constexpr uint8_t TGA_ORIGIN_TOP = 0x20;

static uint16_t read_u16(const uint8_t *p) {
    return uint16_t(p[0] | p[1] << 8);
}

// Where the pixel data starts: after the header, the identification field and any colour map
// (a true-colour picture may still carry one; it is skipped, not used).
static size_t pixel_data_offset(const uint8_t *header) {
    size_t offset = TGA_HEADER_SIZE + header[0];
    if (header[1] != 0) offset += size_t(read_u16(header + 5)) * ((header[7] + 7) / 8);
    return offset;
}

static bool check_header(const char *name, const uint8_t *data, size_t size) {
    if (size < TGA_HEADER_SIZE) {
        data_error("%s: TGA header is %zu bytes long, 18 expected", name, size);
        return false;
    }
    if (data[2] != TGA_TYPE_RLE_TRUE_COLOUR) {
        data_error("%s: TGA image type %u is not supported (only type 10, run-length-encoded "
                   "true colour)",
                   name, data[2]);
        return false;
    }
    if (data[16] != 24) {
        data_error("%s: TGA with %u bits per pixel is not supported (only 24)", name, data[16]);
        return false;
    }
    int32_t width = read_u16(data + 12), height = read_u16(data + 14);
    if (width == 0 || height == 0 || width > IMG_MAX_SIDE || height > IMG_MAX_SIDE) {
        data_error("%s: TGA size %d x %d is out of range (1 to %d per side)", name, width, height,
                   IMG_MAX_SIDE);
        return false;
    }
    return true;
}

// Where the file's pixels go, as the descriptor's origin bits say (the usual file starts at the
// bottom left): the picture's pixel number of the next one, the step to the pixel after it in its
// row, and the step from a row's last pixel to the next row's first.
struct PixelWalk {
    int64_t at;
    int64_t step;
    int64_t next_row;
};

static PixelWalk walk_from(uint8_t descriptor, const Image *image) {
    const int64_t width = image->width;
    const bool top = descriptor & TGA_ORIGIN_TOP, right = descriptor & TGA_ORIGIN_RIGHT;
    const int64_t row = top ? 0 : image->height - 1, row_step = top ? width : -width;
    const int64_t step = right ? -1 : 1;
    // From one past the row's end back to its start, then on to the next row.
    return PixelWalk{row * width + (right ? width - 1 : 0), step, row_step - step * width};
}

// Unpacks the packets from data[pos] on into the picture, from the corner the descriptor names.
// A packet may run on into the next row but not past the last pixel. Returns false with the
// reason recorded.
static bool unpack(const char *name, const uint8_t *data, size_t size, size_t pos, Image *image) {
    const int32_t width = image->width;
    int64_t left = int64_t(width) * image->height; // pixels still to come
    PixelWalk w = walk_from(data[17], image);
    int32_t done_in_row = 0;
    while (left > 0) {
        if (pos >= size) break;
        uint8_t packet = data[pos++];
        int32_t count = (packet & 0x7F) + 1;
        bool repeat = packet & 0x80;
        size_t bytes = repeat ? 3 : size_t(count) * 3;
        if (count > left) {
            data_error("%s: TGA run-length packet runs past the end of the picture", name);
            return false;
        }
        if (size - pos < bytes) break;
        for (int32_t i = 0; i < count; i++) {
            const uint8_t *bgr = data + pos + (repeat ? 0 : i * 3);
            image->pixels[w.at] = pixel_rgb(bgr[2], bgr[1], bgr[0]);
            w.at += w.step;
            if (++done_in_row == width) {
                done_in_row = 0;
                w.at += w.next_row;
            }
        }
        pos += bytes;
        left -= count;
    }
    if (left > 0) {
        data_error("%s: TGA pixel data ends early (%lld of %lld pixels missing)", name,
                   (long long)left, (long long)image->width * image->height);
        return false;
    }
    return true;
}

// A packet of 4 bytes covers at most 128 pixels: a file shorter than that cannot fill the
// picture, and is refused before a picture of the size it claims is allocated.
static bool could_hold(const char *name, size_t size, size_t pos, int64_t pixels) {
    uint64_t least = uint64_t((pixels + 127) / 128) * 4;
    if (pos <= size && size - pos >= least) return true;
    data_error("%s: TGA pixel data ends early (%zu bytes cannot hold %lld pixels)", name,
               pos <= size ? size - pos : 0, (long long)pixels);
    return false;
}

Image *tga_decode(const char *name, const uint8_t *data, size_t size, int32_t flags) {
    if (!check_header(name, data, size)) return nullptr;
    size_t pos = pixel_data_offset(data);
    if (!could_hold(name, size, pos, int64_t(read_u16(data + 12)) * read_u16(data + 14)))
        return nullptr;
    Image *image = image_create(read_u16(data + 12), read_u16(data + 14), flags);
    if (!image) {
        data_error("%s: out of memory for a %u x %u picture", name, read_u16(data + 12),
                   read_u16(data + 14));
        return nullptr;
    }
    if (!unpack(name, data, size, pos, image)) {
        image_free(image);
        return nullptr;
    }
    return image;
}
