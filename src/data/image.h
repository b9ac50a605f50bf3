// image.h -- the one picture type: frame buffer, work buffers, textures and loaded pictures.
//
// A pixel word is 32 bits: byte 0 the mask byte, bytes 1, 2, 3 red, green, blue (the
// little-endian value 0xBBGGRRMM). Rows run top to bottom, back to back: pixel (x, y) is word
// y * width + x.
#pragma once

#include <cstddef>
#include <cstdint>

// Creation flags.
constexpr int32_t IMG_ALIGNED = 0x01;        // pixels in a 32 KB-aligned block
constexpr int32_t IMG_ALIGNED_DEPTH = 0x02;  // asked for, but no effect: the depth buffer is
                                             // always a plain block
constexpr int32_t IMG_ALIGNED_LOOKUP = 0x04; // the lookup table in a 32 KB-aligned block
constexpr int32_t IMG_LOOKUP = 0x40;         // allocate the lookup table
constexpr int32_t IMG_DEPTH = 0x80;          // allocate the depth buffer

// What the work images ask for (7): every block aligned, though none is made but the pixels.
constexpr int32_t IMG_WORK = IMG_ALIGNED | IMG_ALIGNED_DEPTH | IMG_ALIGNED_LOOKUP;
// What the frame buffer and a scene's own target picture ask for (0x87): a work image with a
// depth buffer.
constexpr int32_t IMG_WORK_DEPTH = IMG_WORK | IMG_DEPTH;

constexpr size_t IMG_LOOKUP_SIZE = 262144; // bytes of the optional lookup table
constexpr size_t IMG_PIXEL_SLACK = 32;     // spare bytes after the last pixel word

// Loaders refuse pictures wider or taller than this: such a header is damaged, not a picture
// of this program, and believing it would cost up to a quarter gigabyte per picture.
constexpr int32_t IMG_MAX_SIDE = 8192;

struct Image {
    int32_t flags;        // the creation flags
    int32_t width;        // pixels per row
    int32_t height;       // rows
    uint32_t *pixels;     // width * height pixel words, then IMG_PIXEL_SLACK spare bytes
    uint8_t *lookup;      // IMG_LOOKUP_SIZE bytes, or nullptr
    int32_t palette[256]; // filled when a picture is reduced to colour indices
    float *depth;         // width * height depths (smaller = nearer), or nullptr
    int32_t spare;        // 0
};

// The pixel word of a colour, mask byte 0.
constexpr uint32_t pixel_rgb(uint32_t red, uint32_t green, uint32_t blue) {
    return (red & 0xFF) << 8 | (green & 0xFF) << 16 | (blue & 0xFF) << 24;
}

// A zero-filled width x height picture with the buffers the flags ask for, or nullptr when
// memory fails or a side is not positive. Valid until image_free or mem_free_all.
Image *image_create(int32_t width, int32_t height, int32_t flags);

// Frees the depth buffer, lookup table, pixels and the record; nullptr is ignored.
void image_free(Image *image);

// Sets every pixel of the rectangle to colour, clipped to the picture on all four sides.
void image_fill_rect(Image *image, uint32_t colour, int32_t x, int32_t y, int32_t w, int32_t h);

// Sets one pixel; does nothing outside the picture.
void image_put_pixel(Image *image, uint32_t colour, int32_t x, int32_t y);

// Loads a run-length-encoded 24-bit TGA picture (stored bottom-up) through file_load. Returns
// nullptr, with the reason in data_last_error(), when it is missing or damaged. Valid until
// image_free or mem_free_all.
Image *load_tga(const char *name, int32_t flags);

// Loads a JPEG picture through file_load (greyscale comes out grey). Returns nullptr, with the
// reason in data_last_error(), when it is missing or damaged. Valid as load_tga's.
Image *load_jpeg(const char *name, int32_t flags);

// The loaded picture when it is exactly width x height, else nullptr with the reason, naming the
// file, in data_last_error(). Parts that index a picture's pixels directly load through it, so a
// picture of another size is refused instead of read out of bounds. A null picture passes through.
Image *image_require_size(Image *picture, const char *name, int32_t width, int32_t height);
