// fuzz/tga.cpp -- feeds arbitrary bytes to the TGA reader.

#include "data/tga.h"
#include "data/image.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Image *image = tga_decode("fuzz.tga", data, size, 0);
    if (image) {
        // Every pixel was written and reads back with mask byte 0.
        uint32_t mask = 0;
        for (int64_t i = 0; i < int64_t(image->width) * image->height; i++)
            mask |= image->pixels[i];
        if (mask & 0xFF) __builtin_trap();
    }
    image_free(image);
    return 0;
}
