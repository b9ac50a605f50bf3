// image.cpp -- creates and frees pictures, and the two small drawing calls

#include "data/image.h"

#include "data/archive.h"
#include "data/error.h"
#include "data/jpeg_source.h"
#include "data/memory.h"
#include "data/packed.h"
#include "data/tga.h"

#include <algorithm>

static void *alloc_maybe_aligned(size_t bytes, bool aligned) {
    return aligned ? mem_alloc_aligned(bytes) : mem_alloc(bytes);
}

Image *image_create(int32_t width, int32_t height, int32_t flags) {
    if (width <= 0 || height <= 0) return nullptr;
    size_t count = size_t(width) * size_t(height);
    Image *image = static_cast<Image *>(mem_alloc(sizeof(Image)));
    if (!image) return nullptr;
    image->flags = flags;
    image->width = width;
    image->height = height;
    image->pixels = static_cast<uint32_t *>(
        alloc_maybe_aligned(count * 4 + IMG_PIXEL_SLACK, flags & IMG_ALIGNED));
    bool ok = image->pixels != nullptr;
    if (ok && (flags & IMG_DEPTH)) {
        image->depth = static_cast<float *>(mem_alloc(count * sizeof(float)));
        ok = image->depth != nullptr;
    }
    if (ok && (flags & IMG_LOOKUP)) {
        image->lookup = static_cast<uint8_t *>(
            alloc_maybe_aligned(IMG_LOOKUP_SIZE, flags & IMG_ALIGNED_LOOKUP));
        ok = image->lookup != nullptr;
    }
    if (!ok) {
        image_free(image);
        return nullptr;
    }
    return image;
}

void image_free(Image *image) {
    if (!image) return;
    mem_free(image->depth);
    mem_free(image->lookup);
    mem_free(image->pixels);
    mem_free(image);
}

// Several parts clear the whole frame every frame: four words per store.
static void fill_row(uint32_t *p, int64_t n, uint32_t colour) {
    int64_t i = 0;
#if QM_PACKED
    const __m128i four = _mm_set1_epi32(int32_t(colour));
    for (; i + 4 <= n; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i *>(p + i), four);
#endif
    for (; i < n; i++) p[i] = colour;
}

void image_fill_rect(Image *image, uint32_t colour, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!image || w <= 0 || h <= 0) return;
    // 64-bit edges: x + w must not wrap for rectangles far outside the picture.
    int64_t left = std::max<int64_t>(x, 0);
    int64_t top = std::max<int64_t>(y, 0);
    int64_t right = std::min<int64_t>(int64_t(x) + w, image->width);
    int64_t bottom = std::min<int64_t>(int64_t(y) + h, image->height);
    if (left >= right || top >= bottom) return;
    for (int64_t row = top; row < bottom; row++)
        fill_row(image->pixels + row * image->width + left, right - left, colour);
}

void image_put_pixel(Image *image, uint32_t colour, int32_t x, int32_t y) {
    if (!image || x < 0 || y < 0 || x >= image->width || y >= image->height) return;
    image->pixels[int64_t(y) * image->width + x] = colour;
}

// Reads a whole file and decodes it with one of the picture readers.
using PictureDecoder = Image *(*)(const char *name, const uint8_t *data, size_t size,
                                  int32_t flags);

static Image *load_picture(const char *name, int32_t flags, PictureDecoder decode) {
    size_t size = 0;
    uint8_t *data = file_load(name, &size);
    if (!data) return nullptr;
    Image *image = decode(name, data, size, flags);
    mem_free(data);
    return image;
}

Image *load_tga(const char *name, int32_t flags) {
    return load_picture(name, flags, tga_decode);
}

Image *load_jpeg(const char *name, int32_t flags) {
    return load_picture(name, flags, jpeg_decode);
}

Image *image_require_size(Image *picture, const char *name, int32_t width, int32_t height) {
    if (!picture || (picture->width == width && picture->height == height)) return picture;
    data_error("%s: the picture is %d x %d, not %d x %d", name, picture->width, picture->height,
               width, height);
    return nullptr;
}
