// fuzz/jpeg.cpp -- feeds arbitrary bytes to the JPEG reader.

#include "data/image.h"
#include "data/jpeg_source.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Image *image = jpeg_decode("fuzz.jpg", data, size, 0);
    if (image) {
        uint32_t mask = 0;
        for (int64_t i = 0; i < int64_t(image->width) * image->height; i++)
            mask |= image->pixels[i];
        if (mask & 0xFF) __builtin_trap();
    }
    image_free(image);
    return 0;
}
